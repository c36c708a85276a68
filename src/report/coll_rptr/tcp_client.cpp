// tcp_client: the pass (version check, reports, wait for the verdicts) on
// its own thread; verdicts arrive on the transport's proc thread and the
// owner polls the result from its thread. The result map and m_result are
// read and written only under m_result_lock; the finish flag is atomic.
#include "report/coll_rptr/tcp_client.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "tools/cross_platform_api.h"
#include "tools/date_time.h"
#include "tools/tool_function.h"
#include "report/coll_encrpt/systeminfo_collection.h"

using namespace HUX_COLL_WIRE;

namespace {

// Name of the thread that runs the pass.
const char* const pass_thread_name = "report";

// Copies the text of a fixed field that need not be terminated: at most
// src_len bytes of it and at most dest_len - 1, then a terminator.
void copy_field(char* dest, size_t dest_len, const char* src, size_t src_len) {
    if (dest_len == 0) return;
    size_t n = strnlen(src, src_len);
    if (n > dest_len - 1) n = dest_len - 1;
    memcpy(dest, src, n);
    dest[n] = '\0';
}

// "<login id>_<app id>", each read no further than its field.
void result_key(char* key, size_t key_len, const char* login_id, const char* app_id) {
    snprintf(key, key_len, "%.32s_%.29s", login_id, app_id);
}

}  // namespace

tcp_client::tcp_client(const server_info& server, const clients_info& clients, base_log* log, bool log_switch)
    : m_server_info(server),
      m_clients_info(clients),
      m_tcp_impl(nullptr),
      m_txt_logger(log),
      m_bLoggerSwitch(log_switch),
      m_map_rptr_result(RESULT_MAP_SIZE),
      m_result(-1),
      m_is_report_finish(false),
      m_verdict_wait_ms(DEFAULT_VERDICT_WAIT_MS) {
    for (const client_info& login : m_clients_info.m_vec_client) {
        char key[RESULT_KEY_LEN + 1];
        result_key(key, sizeof(key), login.m_login_id, login.m_app_id);
        m_map_rptr_result.set(key, -1);
    }
    m_tcp_impl = new tcp_client_impl(NODE_NAME, m_server_info);
    if (!m_tcp_impl->init(m_clients_info.m_local_ip.c_str())) set_result(106);
    m_tcp_impl->set_callbacks(this, &tcp_client::on_connected, &tcp_client::on_disconnected, &tcp_client::on_report);
}

tcp_client::~tcp_client() { close(); }

void tcp_client::set_connect_wait_ms(int ms) {
    if (m_tcp_impl) m_tcp_impl->set_connect_wait_ms(ms);
}

void tcp_client::set_version_wait_ms(int ms) {
    if (m_tcp_impl) m_tcp_impl->set_version_wait_ms(ms);
}

bool tcp_client::connect() {
    if (m_tcp_impl && m_tcp_impl->connect()) return true;
    set_result(106);
    m_is_report_finish.store(true);
    return false;
}

void tcp_client::close() {
    if (!m_tcp_impl) return;
    wait_stop();
    MORVAST::TOOLS::sleep_mv(1);
    m_tcp_impl->disconnect();
    // A connect event that came in meanwhile may have started a new pass;
    // no event can come any more, so this stop is the last.
    wait_stop();
    delete m_tcp_impl;
    m_tcp_impl = nullptr;
}

int tcp_client::get_report_result() {
    std::lock_guard<std::mutex> guard(m_result_lock);
    return m_result;
}

void tcp_client::set_result(int result) {
    std::lock_guard<std::mutex> guard(m_result_lock);
    m_result = result;
}

void tcp_client::on_connected(void* owner) {
    tcp_client* self = static_cast<tcp_client*>(owner);
    // A reconnect restarts the pass.
    self->wait_stop();
    self->start(pass_thread_name);
}

void tcp_client::on_disconnected(void*) {}

void tcp_client::on_report(void* owner, collect_info_msg_report& report) {
    static_cast<tcp_client*>(owner)->store_verdict(report);
}

void tcp_client::store_verdict(const collect_info_msg_report& report) {
    char key[RESULT_KEY_LEN + 1];
    result_key(key, sizeof(key), report.m_login_id, report.m_app_id);
    std::lock_guard<std::mutex> guard(m_result_lock);
    // A verdict for a login that was not reported adds its own entry.
    m_map_rptr_result.set(key, static_cast<int>(report.m_report_result));
}

void tcp_client::run(const char*) {
    if (!is_running()) return;
    if (!m_tcp_impl->check_version(static_cast<int>(COLL_PROTOCOL_VERSION))) {
        set_result(105);
    } else if (m_tcp_impl->get_tcp_status() != 1) {
        set_result(106);
    } else {
        transmit();
    }
    m_is_report_finish.store(true);
}

bool tcp_client::transmit() {
    MORVAST::TOOLS::mutex_locker guard(m_tcp_client_lock);
    for (const client_info& login : m_clients_info.m_vec_client) {
        collect_info_msg msg;
        memset(&msg, 0, sizeof(msg));
        msg.m_msg_type = MSG_COLLECT_INFO;
        m_sock_name = m_tcp_impl->get_sock_name();
        char second_ip[sizeof(login.m_ip2)];
        copy_field(second_ip, sizeof(second_ip), login.m_ip2, sizeof(login.m_ip2));
        system_raw_info raw;
        int content_len = systeminfo_collection::get_system_info(
            m_sock_name.c_str(), second_ip, msg.m_report_content, sizeof(msg.m_report_content), raw, m_txt_logger,
            m_bLoggerSwitch, m_tcp_impl->is_use_test_key(), ciphertext);
        if (content_len < 1) {
            set_result(110);
            return false;
        }
        copy_field(msg.m_app_id, sizeof(msg.m_app_id), login.m_app_id, sizeof(login.m_app_id));
        copy_field(msg.m_auth_code, sizeof(msg.m_auth_code), login.m_auth_code, sizeof(login.m_auth_code));
        copy_field(msg.m_login_id, sizeof(msg.m_login_id), login.m_login_id, sizeof(login.m_login_id));
        copy_field(msg.m_password, sizeof(msg.m_password), login.m_password, sizeof(login.m_password));
        std::string now = MORVAST::TOOLS::date_time().get_sql_datetime_str();
        MORVAST::TOOLS::strncpy_mv(msg.m_report_time, sizeof(msg.m_report_time), now.c_str());
        m_tcp_impl->send_msg(0, reinterpret_cast<const char*>(&msg), sizeof(msg));
    }
    return is_transmit_verify_valid();
}

bool tcp_client::is_transmit_verify_valid() {
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(m_result_lock);
            bool pending = false;
            for (auto it = m_map_rptr_result.begin(); it != m_map_rptr_result.end(); ++it) {
                int verdict = *it;
                if (verdict > 0) {
                    m_result = verdict;
                    return false;
                }
                if (verdict == -1) pending = true;
            }
            if (!pending) {
                m_result = 0;
                return true;
            }
        }
        // The result stays as it was (no verdict) when the wait runs out or
        // the pass is told to end.
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(m_verdict_wait_ms.load())) {
            return false;
        }
        if (!is_running()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
