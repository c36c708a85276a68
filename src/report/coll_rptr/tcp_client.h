// tcp_client: one terminal report, run as a conversation with the collection
// server on its own thread. connect() brings the connection up; the connected
// callback starts the pass: the version check, one 1024-byte report per login
// and the wait for one verdict per login. The owner polls is_report_finish()
// and get_report_result() from its own thread.
//
// Results: -1 no verdict (yet, or in time); 0 every login accepted; 102, 103
// or another verdict byte: a login refused; 105 version refused or not
// answered; 106 no connection; 110 the terminal description could not be
// collected or encrypted.
#ifndef HUX_COLL_TCP_CLIENT_H
#define HUX_COLL_TCP_CLIENT_H

#include <atomic>
#include <mutex>
#include <string>

#include "thread/morvast_thread.h"
#include "tools/lock.h"
#include "tools/template_map_str.h"
#include "tools/base_log.h"
#include "report/coll_rptr/coll_msg.h"
#include "report/coll_rptr/coll_rptr_struct.h"
#include "report/coll_rptr/tcp_client_impl.h"

class tcp_client : public MORVAST::THREAD::morvast_thread {
public:
    // Name of the report connection, given to the transport.
    static constexpr const char* NODE_NAME = "coll_rptr";
    // How long the pass waits for the verdicts, in milliseconds.
    static const int DEFAULT_VERDICT_WAIT_MS = 3000;
    // Expected logins per report: the size the result map is made with.
    static const int RESULT_MAP_SIZE = 111;
    // A result key is "<login id>_<app id>": at most 32 + 1 + 29 characters.
    static const int RESULT_KEY_LEN = 62;

    tcp_client(const server_info& server, const clients_info& clients, base_log* log, bool log_switch);
    // close(), then the members.
    ~tcp_client() override;
    tcp_client(const tcp_client&) = delete;
    tcp_client& operator=(const tcp_client&) = delete;

    // The waits of one pass (defaults 3000 ms each); set them before connect.
    void set_connect_wait_ms(int ms);
    void set_version_wait_ms(int ms);
    void set_verdict_wait_ms(int ms) { m_verdict_wait_ms.store(ms); }

    // Connects; on failure the report is finished with 106 and false.
    bool connect();
    // Ends the pass, closes the connection and releases it.
    void close();

    using MORVAST::THREAD::morvast_thread::run;
    // One pass of the conversation.
    void run(const char* thread_name) override;

    bool is_report_finish() { return m_is_report_finish.load(); }
    bool is_report_error() { return get_report_result() > 0; }
    int get_report_result();

private:
    static void on_connected(void* owner);
    static void on_disconnected(void* owner);
    static void on_report(void* owner, HUX_COLL_WIRE::collect_info_msg_report& report);
    void store_verdict(const HUX_COLL_WIRE::collect_info_msg_report& report);
    void set_result(int result);
    // Sends one report per login, then waits for the verdicts.
    bool transmit();
    // True when every login has a zero verdict; false on the first positive
    // verdict (kept as the result) or when the wait ends first.
    bool is_transmit_verify_valid();

    std::string m_sock_name;
    server_info m_server_info;
    clients_info m_clients_info;
    MORVAST::TOOLS::mutex_lock m_tcp_client_lock;
    tcp_client_impl* m_tcp_impl;
    base_log* m_txt_logger;
    bool m_bLoggerSwitch;
    // Written by the transport's proc thread, scanned by the pass: both,
    // and m_result, only under m_result_lock.
    MORVAST::TOOLS::map_str<int, RESULT_KEY_LEN, MORVAST::TOOLS::null_lock> m_map_rptr_result;
    int m_result;
    std::mutex m_result_lock;
    std::atomic<bool> m_is_report_finish;
    std::atomic<int> m_verdict_wait_ms;
};

#endif
