// coll_rptr_app: one terminal report at logon, from start to verdict. The
// trade session builds one on its stack for each UserLogon, calls init_app
// (which connects a reporting tcp_client to the trade server's address and
// port, lets it report the login and the terminal description, and waits for
// the verdict) and close_app. It owns its reporting clients; the text log is
// the session's.
//
// init_app's codes: 0 accepted or no verdict in time; 102 verdict byte 1;
// 103 verdict byte 2; 3 to 255 any other verdict byte; 105 version refused
// or not answered; 106 no connection; 107 bad address or port (nothing
// attempted); 110 the terminal description could not be collected or
// encrypted.
#ifndef HUX_COLL_RPTR_APP_H
#define HUX_COLL_RPTR_APP_H

#include <vector>

#include "tools/lock.h"
#include "report/coll_rptr/coll_rptr_struct.h"

class base_log;
class tcp_client;

class coll_rptr_app {
public:
    // How long init_app polls for the verdict once connected, in milliseconds.
    static const int DEFAULT_REPORT_WAIT_MS = 9000;
    static const int DEFAULT_CONNECT_WAIT_MS = 3000;
    static const int DEFAULT_VERSION_WAIT_MS = 3000;
    static const int DEFAULT_VERDICT_WAIT_MS = 3000;

    coll_rptr_app();
    // close_app.
    ~coll_rptr_app();
    coll_rptr_app(const coll_rptr_app&) = delete;
    coll_rptr_app& operator=(const coll_rptr_app&) = delete;

    // The waits of the next init_app: the connection, the version reply,
    // the verdicts (all three per reporting client) and the overall poll.
    // Negative values are taken as 0.
    void set_waits(int connect_ms, int version_ms, int verdict_ms, int report_ms);

    // Runs one report of one login and returns its code (above). Texts are
    // NUL-terminated; a null text is taken as empty. The password is
    // reported only as its MD5 hex text. local_ip is not used to bind the
    // report connection.
    int init_app(const char* server_ip, int server_port, const char* local_ip, const char* app_id,
                 const char* auth_code, const char* login_id, const char* password, const char* ip2,
                 base_log* log, bool log_switch);
    // Closes and deletes every reporting client.
    void close_app();

private:
    // Creates and connects the reporting clients; false at the first that
    // does not connect.
    bool init_client();
    // code := the first positive client result (true); with check_finish, a
    // client not yet finished gives false; otherwise true with code 0.
    bool is_all_client_rptr_finish(bool check_finish, int& code);

    unsigned m_server_num;
    server_info m_server_info;
    std::vector<tcp_client*> m_vec_tcp_client;
    clients_info m_clients_info;
    MORVAST::TOOLS::mutex_lock m_lock_rptr;
    base_log* m_txt_logger;
    bool m_bLoggerSwitch;
    int m_connect_wait_ms;
    int m_version_wait_ms;
    int m_verdict_wait_ms;
    int m_report_wait_ms;
};

#endif
