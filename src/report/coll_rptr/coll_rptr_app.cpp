// coll_rptr_app: one report from start to verdict on the caller's thread.
// The reporting client runs the conversation on its own thread; init_app
// polls its finish flag and result (both read under the client's own
// guards) until the verdict is known or the overall wait has passed.
#include "report/coll_rptr/coll_rptr_app.h"

#include <chrono>
#include <climits>
#include <cstring>

#include "tools/cross_platform_api.h"
#include "tools/md5.h"
#include "tools/tool_function.h"
#include "report/coll_rptr/tcp_client.h"

namespace {

const char* text_or_empty(const char* text) { return text ? text : ""; }

int non_negative(int ms) { return ms < 0 ? 0 : ms; }

}  // namespace

coll_rptr_app::coll_rptr_app()
    : m_server_num(1),
      m_txt_logger(nullptr),
      m_bLoggerSwitch(false),
      m_connect_wait_ms(DEFAULT_CONNECT_WAIT_MS),
      m_version_wait_ms(DEFAULT_VERSION_WAIT_MS),
      m_verdict_wait_ms(DEFAULT_VERDICT_WAIT_MS),
      m_report_wait_ms(DEFAULT_REPORT_WAIT_MS) {}

coll_rptr_app::~coll_rptr_app() { close_app(); }

void coll_rptr_app::set_waits(int connect_ms, int version_ms, int verdict_ms, int report_ms) {
    m_connect_wait_ms = non_negative(connect_ms);
    m_version_wait_ms = non_negative(version_ms);
    m_verdict_wait_ms = non_negative(verdict_ms);
    m_report_wait_ms = non_negative(report_ms);
}

int coll_rptr_app::init_app(const char* server_ip, int server_port, const char* local_ip, const char* app_id,
                            const char* auth_code, const char* login_id, const char* password, const char* ip2,
                            base_log* log, bool log_switch) {
    MORVAST::TOOLS::mutex_locker guard(m_lock_rptr);
    m_txt_logger = log;
    m_bLoggerSwitch = log_switch;
    m_server_num = 1;
    m_server_info = server_info();

    // The address must fit the 32-byte field with its terminator: a longer
    // one is refused rather than cut into another address.
    server_ip = text_or_empty(server_ip);
    size_t ip_len = strnlen(server_ip, sizeof(m_server_info.ip));
    if (ip_len == 0 || ip_len >= sizeof(m_server_info.ip) || server_port <= 0) return 107;
    MORVAST::TOOLS::strncpy_mv(m_server_info.ip, sizeof(m_server_info.ip), server_ip);
    m_server_info.port = server_port;

    client_info login;
    MORVAST::TOOLS::strncpy_mv(login.m_app_id, sizeof(login.m_app_id), text_or_empty(app_id));
    MORVAST::TOOLS::strncpy_mv(login.m_auth_code, sizeof(login.m_auth_code), text_or_empty(auth_code));
    MORVAST::TOOLS::strncpy_mv(login.m_login_id, sizeof(login.m_login_id), text_or_empty(login_id));
    MORVAST::TOOLS::strncpy_mv(login.m_ip2, sizeof(login.m_ip2), text_or_empty(ip2));
    password = text_or_empty(password);
    size_t password_len = strlen(password);
    MORVAST::TOOLS::encrypt_md5(password, password_len > INT_MAX ? INT_MAX : static_cast<int>(password_len),
                                login.m_password);

    clients_info logins;
    logins.m_local_ip = text_or_empty(local_ip);
    logins.m_vec_client.push_back(login);
    // Stored by assignment, which leaves the local address behind: the
    // report connection is made from the default local address.
    m_clients_info = logins;

    if (!init_client()) return 106;

    int code = 0;
    auto start = std::chrono::steady_clock::now();
    while (!is_all_client_rptr_finish(true, code)) {
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(m_report_wait_ms)) {
            is_all_client_rptr_finish(false, code);
            return code;
        }
        MORVAST::TOOLS::sleep_mv(1);
    }
    if (code > 0) return code;
    is_all_client_rptr_finish(false, code);
    return code;
}

void coll_rptr_app::close_app() {
    MORVAST::TOOLS::mutex_locker guard(m_lock_rptr);
    for (tcp_client* client : m_vec_tcp_client) {
        client->close();
        delete client;
    }
    m_vec_tcp_client.clear();
}

bool coll_rptr_app::init_client() {
    for (unsigned i = 0; i < m_server_num; ++i) {
        tcp_client* client = new tcp_client(m_server_info, m_clients_info, m_txt_logger, m_bLoggerSwitch);
        client->set_connect_wait_ms(m_connect_wait_ms);
        client->set_version_wait_ms(m_version_wait_ms);
        client->set_verdict_wait_ms(m_verdict_wait_ms);
        if (!client->connect()) {
            delete client;
            return false;
        }
        m_vec_tcp_client.push_back(client);
    }
    return true;
}

bool coll_rptr_app::is_all_client_rptr_finish(bool check_finish, int& code) {
    code = 0;
    for (tcp_client* client : m_vec_tcp_client) {
        int result = client->get_report_result();
        if (result > 0) {
            code = result;
            return true;
        }
        if (check_finish && !client->is_report_finish()) return false;
    }
    return true;
}
