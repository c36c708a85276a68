// A collection service for tests, on the loopback test server: it answers
// the version check ('a' -> 'b', accepted, refused or not at all, with or
// without the test-key flag) and each 1024-byte report ('c' -> 'd') with the
// verdict planned for it, and records what it received. It encodes and reads
// the messages by their byte offsets, independently of the client's records.
#ifndef HUX_TESTS_COLL_TEST_SERVER_H
#define HUX_TESTS_COLL_TEST_SERVER_H

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "sim/loopback_server.h"

namespace hux_test {

enum class coll_version_reply { accept, refuse, silent };

// The server's answer to one report.
struct coll_verdict {
    enum class kind { echo, foreign, unterminated, none };
    kind how = kind::echo;
    uint8_t result = 0;

    // Judges the reported login (its login id and app id echoed).
    static coll_verdict of(uint8_t result) { return {kind::echo, result}; }
    // Judges a login that was not reported (login id FOREIGN_LOGIN_ID).
    static coll_verdict foreign(uint8_t result) { return {kind::foreign, result}; }
    // Judges the reported login, its echoed ids with every NUL of their
    // fields turned into '#' (no terminator when the ids fill the fields).
    static coll_verdict unterminated(uint8_t result) { return {kind::unterminated, result}; }
    // No answer at all.
    static coll_verdict none() { return {kind::none, 0}; }
};

// One report as received, with its text fields read up to their first NUL.
struct coll_report {
    std::string bytes;  // all 1024
    std::string app_id;
    std::string auth_code;
    std::string login_id;
    std::string password;
    std::string report_time;
    std::string content;
};

class coll_test_server {
public:
    static constexpr size_t VERSION_CHECK_LEN = 8;
    static constexpr size_t REPORT_LEN = 1024;
    static constexpr size_t VERDICT_LEN = 96;
    static constexpr const char* FOREIGN_LOGIN_ID = "foreign_login";

    coll_test_server();
    coll_test_server(const coll_test_server&) = delete;
    coll_test_server& operator=(const coll_test_server&) = delete;

    uint16_t port() const { return m_tcp.port(); }
    loopback_server& tcp() { return m_tcp; }

    // The answer to every version check; a refusal carries refuse_code at byte 1.
    void set_version_reply(coll_version_reply how, bool use_test_key = false, uint8_t refuse_code = 1);
    // Verdicts for the reports in the order they arrive (over all
    // connections); reports past the list are accepted (0, echoed).
    void set_verdicts(const std::vector<coll_verdict>& verdicts);

    std::vector<std::string> version_checks() const;
    std::vector<coll_report> reports() const;
    // Bytes that began with a type the service does not know.
    std::string unknown_bytes() const;
    bool wait_version_checks(size_t n, std::chrono::milliseconds timeout) const;
    bool wait_reports(size_t n, std::chrono::milliseconds timeout) const;

private:
    void on_bytes(size_t conn, const char* data, size_t len);
    void answer_version(size_t conn);
    void answer_report(size_t conn, const std::string& report);

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    coll_version_reply m_version_reply = coll_version_reply::accept;
    bool m_use_test_key = false;
    uint8_t m_refuse_code = 1;
    std::vector<coll_verdict> m_verdicts;
    std::vector<std::string> m_version_checks;
    std::vector<coll_report> m_reports;
    std::string m_unknown;
    std::map<size_t, std::string> m_pending;  // bytes of an incomplete message, per connection
    // Last member: its threads stop first, before the state above goes.
    loopback_server m_tcp;
};

}  // namespace hux_test

#endif
