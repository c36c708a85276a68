#include "tests/support/coll_test_server.h"

#include <cstring>

namespace hux_test {

namespace {

// A text field of a received message, up to its first NUL.
std::string field(const std::string& msg, size_t offset, size_t width) {
    std::string f = msg.substr(offset, width);
    return f.substr(0, f.find('\0'));
}

void put_le32(std::string& msg, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) msg[offset + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

}  // namespace

coll_test_server::coll_test_server() {
    m_tcp.set_receive_hook([this](size_t conn, const char* data, size_t len) { on_bytes(conn, data, len); });
}

void coll_test_server::set_version_reply(coll_version_reply how, bool use_test_key, uint8_t refuse_code) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_version_reply = how;
    m_use_test_key = use_test_key;
    m_refuse_code = refuse_code;
}

void coll_test_server::set_verdicts(const std::vector<coll_verdict>& verdicts) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_verdicts = verdicts;
}

std::vector<std::string> coll_test_server::version_checks() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_version_checks;
}

std::vector<coll_report> coll_test_server::reports() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_reports;
}

std::string coll_test_server::unknown_bytes() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_unknown;
}

bool coll_test_server::wait_version_checks(size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, timeout, [&] { return m_version_checks.size() >= n; });
}

bool coll_test_server::wait_reports(size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, timeout, [&] { return m_reports.size() >= n; });
}

// Runs on the loopback server's poll thread, one connection at a time.
void coll_test_server::on_bytes(size_t conn, const char* data, size_t len) {
    std::string& buf = m_pending[conn];
    buf.append(data, len);
    for (;;) {
        if (buf.empty()) return;
        uint8_t type = static_cast<uint8_t>(buf[0]);
        if (type == 97) {  // 'a' version check
            if (buf.size() < VERSION_CHECK_LEN) return;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_version_checks.push_back(buf.substr(0, VERSION_CHECK_LEN));
            }
            m_changed.notify_all();
            buf.erase(0, VERSION_CHECK_LEN);
            answer_version(conn);
        } else if (type == 99) {  // 'c' report
            if (buf.size() < REPORT_LEN) return;
            std::string report = buf.substr(0, REPORT_LEN);
            buf.erase(0, REPORT_LEN);
            answer_report(conn, report);
        } else {
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_unknown += buf;
            }
            m_changed.notify_all();
            buf.clear();
        }
    }
}

void coll_test_server::answer_version(size_t conn) {
    coll_version_reply how;
    std::string reply(VERSION_CHECK_LEN, '\0');
    {
        std::lock_guard<std::mutex> guard(m_lock);
        how = m_version_reply;
        reply[0] = 98;                                                     // 'b'
        reply[1] = static_cast<char>(how == coll_version_reply::refuse ? m_refuse_code : 0);  // verdict
        reply[2] = static_cast<char>(m_use_test_key ? 1 : 0);              // test-key flag
        put_le32(reply, 4, 1);                                             // version
    }
    if (how != coll_version_reply::silent) m_tcp.send(conn, reply);
}

void coll_test_server::answer_report(size_t conn, const std::string& report) {
    coll_report rec;
    rec.bytes = report;
    rec.app_id = field(report, 1, 30);
    rec.auth_code = field(report, 31, 18);
    rec.login_id = field(report, 49, 33);
    rec.password = field(report, 82, 33);
    rec.report_time = field(report, 115, 20);
    rec.content = field(report, 135, 889);
    coll_verdict verdict;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        size_t index = m_reports.size();
        if (index < m_verdicts.size()) verdict = m_verdicts[index];
        m_reports.push_back(rec);
    }
    m_changed.notify_all();
    if (verdict.how == coll_verdict::kind::none) return;

    std::string answer(VERDICT_LEN, '\0');
    answer[0] = 100;                                       // 'd'
    answer.replace(1, 30, report, 1, 30);                  // app id, as reported
    if (verdict.how != coll_verdict::kind::foreign) {
        answer.replace(31, 33, report, 49, 33);            // login id, as reported
    } else {
        std::string foreign(FOREIGN_LOGIN_ID);
        answer.replace(31, foreign.size(), foreign);       // a login id nobody reported
    }
    if (verdict.how == coll_verdict::kind::unterminated) {
        for (size_t i = 1; i < 64; ++i) {
            if (answer[i] == '\0') answer[i] = '#';
        }
    }
    put_le32(answer, 64, 4242);                            // user id
    std::string received_at = "2024-01-02 03:04:05";
    answer.replace(68, received_at.size(), received_at);   // receive time
    answer[88] = static_cast<char>(verdict.result);        // verdict
    m_tcp.send(conn, answer);
}

}  // namespace hux_test
