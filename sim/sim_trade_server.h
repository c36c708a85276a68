// The simulated HUX trade server: speaks the trade protocol from the server
// side on a TCP port (127.0.0.1 unless told another address), for tests
// (in-process) and for the standalone program hux-sim-server. With its UDP
// order channel open it also answers the order-entry requests that come as
// datagrams, on the trade connection whose logon named the sender's port.
// With its query port open it also serves the adapter's query protocol on a
// second listener of the same address (open_query).
//
// It answers the session requests (version report, logon, symbol and account
// index queries, heart-beat setting, heart-beat, market session, symbol
// status and session id queries), the terminal reports that
// come on connections of their own (version check, then a verdict per
// report, each report's content decrypted and recorded) and, when configured, the
// order-entry requests (orders with an accept or reject, then fills; quotes,
// cancels, quote actions, combination and special orders with an accept or a
// reject) from a settable configuration,
// records every message each connection sends, cut by type, and on demand
// misbehaves: raw bytes, split or coalesced writes, wrong
// length fields, delays, silence, clean or reset closes, stopped reading.
// A new order naming the configured drop-marker symbol is not answered: it
// closes every trade and query connection at once (drop_connections).
//
// Every member is thread-safe. Answers are written on the loopback server's
// poll thread (answers to datagrams on the UDP thread), one batch at a time,
// so while an answer is delayed or blocked no connection is read. The query
// port has a poll thread of its own, which writes its answers.
#ifndef HUX_SIM_SIM_TRADE_SERVER_H
#define HUX_SIM_SIM_TRADE_SERVER_H

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <memory>

#include "sim/loopback_server.h"
#include "sim/sim_collection.h"
#include "sim/sim_query_values.h"
#include "sim/sim_status_values.h"

namespace hux_sim {

// Message types of the requests the server answers.
enum : uint16_t {
    msg_new_order = 10,
    msg_cancel_order = 11,
    msg_new_quote = 12,
    msg_quote_action = 13,
    msg_new_combo = 14,
    msg_simple_order = 20,
    msg_simple_quote = 22,
    msg_special_order = 30,
    msg_special_cancel = 31,
    msg_account_idx_query = 61,
    msg_symbol_idx_query = 62,
    msg_logon = 70,
    msg_report_version = 80,
    msg_query_market_session = 84,
    msg_query_symbol_status = 87,
    msg_heart_beat_setting = 90,
    msg_query_session_id = 94,
    msg_heart_beat = 200,
};

// Message types of the query port's requests.
enum : uint16_t {
    msg_query_logon = 68,
    msg_change_password = 69,
    msg_query_user_account = 71,
    msg_query_symbol = 72,
    msg_query_position = 73,
    msg_rewind_order = 74,
    msg_rewind_execution = 75,
    msg_query_margin = 77,
    msg_query_fee = 78,
    msg_query_account_bp = 81,
    msg_query_account_risk = 82,
    msg_query_symbol_risk = 83,
};

// Fixed length of a request type the client may send; 0 for a type that is
// not a request.
size_t request_length(uint16_t type);

// Fixed length of a request type of the query port; 0 for a type that is not one.
size_t query_request_length(uint16_t type);

// True for the order-entry requests (orders, quotes, cancels, quote actions,
// combination and special orders, the simple forms): the requests answered
// when they come over the UDP order channel.
bool order_entry_request(uint16_t type);

// A zero-filled message of `len` bytes (at least 4) with `type` in its header
// and, in its length field, `len` or `length_field` when that is 0..65535.
std::string make_message(uint16_t type, size_t len, int32_t length_field = -1);

// `m` with `bytes` written over it from offset `at` on, cut at its end.
std::string patch_bytes(std::string m, size_t at, const std::string& bytes);
// The little-endian bytes of `v` in `width` bytes (at most 8), and of a double.
std::string le_bytes(uint64_t v, size_t width);
std::string f64_bytes(double v);

struct sim_symbol {
    std::string name;  // at most 19 characters (20-byte field with its NUL)
    uint16_t index = 0;
};

struct sim_account {
    std::string name;  // at most 15 characters (16-byte field with its NUL)
    uint8_t index = 0;
};

// How the order-entry requests are answered. Orders (10, and 20 in its
// simple form) get a 1010; the others get the trading server's answer of
// their kind (quote 1018, cancel 1011, quote action 1019, combination 1025,
// special order 1030, special-order cancel 1031), the simple quote (22) the
// 1018. Fills follow orders only: for the other requests partial and fill
// answer as accept.
enum class order_mode {
    none,     // recorded, not answered
    accept,   // the answer with 0 in its verdict field
    reject,   // the answer with `order_reject_code` in its verdict field
    partial,  // the accept, then `order_fill_parts` 1014 fills short of the quantity
    fill,     // the accept, then `order_fill_parts` 1014 fills of the whole quantity
};

struct sim_config {
    // Version answer 1080.
    std::string version_text = "hux-sim-terminal";  // the 33 bytes at 12: at most 33, zero-filled
    int32_t version_number = 20240101;              // int32 at 45
    uint8_t version_verdict = 0;                    // byte 49: 0 accepted
    uint8_t version_use_text = 0;                   // byte 50: 1 = take the text at 12 as it is
    uint8_t server_edition = 0;                     // byte 51: 6 = qv27

    // Logon answer 1070. The digest at 45 of the request must be the MD5
    // upper-hex text of `password` with its NUL; otherwise the answer carries
    // `wrong_password_result` instead of `logon_result`.
    std::string password;
    int32_t logon_result = 0;           // int32 at 12
    int32_t wrong_password_result = 2;  // int32 at 12 for a wrong digest
    int32_t server_value = 0;           // int32 at 4
    uint32_t user_id = 1;               // uint32 at 49
    int32_t logon_value = 0;            // int32 at 53
    int32_t max_token = 0;              // int32 at 57
    uint32_t order_fc_count = 0;        // at 61
    uint32_t order_fc_window_us = 0;    // at 65
    uint32_t cancel_fc_count = 0;       // at 69
    uint32_t cancel_fc_window_us = 0;   // at 73

    // Index tables, served in list order.
    std::vector<sim_symbol> symbols;
    std::vector<sim_account> accounts;

    // Heart-beat setting answer 1090.
    int32_t heart_beat_result = 0;    // int32 at 12
    int32_t heart_beat_timeout = 30;  // int32 at 16, seconds

    // Status queries of the trade connection. A market session query (84)
    // gets one 1084 per entry, the last one marked at 13 whatever its `last`
    // says (none: a single marked 1084 with no sessions). A symbol status
    // query (87) gets one 1087 per entry with no end mark, then a 1087 with
    // the end mark and no entry. A session id query (94) gets `session_id`
    // as its 1094.
    std::vector<sim_market_sessions> market_sessions;  // sessions: at most 255 bytes
    std::vector<sim_symbol_status> symbol_statuses;    // symbol at most 20 bytes, short text 9
    sim_session_id session_id;                         // session text at most 17 bytes

    // The query port. A query logon (68) gets a 1068 with `query_logon_result`
    // at 8 when the digest at 45 is the MD5 upper-hex text of `password` with
    // its NUL, else `query_wrong_password_result`, and `query_user_id` at 45.
    // A password change (69) gets a 1069 with `change_password_result` at 12.
    uint32_t query_logon_result = 0;
    uint32_t query_wrong_password_result = 2;
    uint32_t query_user_id = 2;  // the trade logon's is `user_id`
    uint32_t change_password_result = 0;
    // Scripted answers of the query port: request type -> the messages sent,
    // in this order, for each request of that type, in place of its built-in
    // answer (68, 69 and, while it answers, the query data's) or of none.
    // Keys are query request types.
    std::map<uint16_t, std::vector<std::string>> query_answers;
    // The account queries' data (71 to 83) and the buying-power pushes: see
    // sim_query_data. While query_data.answer is off those requests get only
    // their scripted answers.
    sim_query_data query_data;

    // Order-entry requests. Each answer echoes the request's fields. An
    // accepted order carries the next order number (1, 2, ... per server) at
    // 104, which the fills carry at 32 with the order's price and symbol. A
    // fill quantity is split into `order_fill_parts` near-equal parts, never
    // a part of 0 (so fewer fills come when the quantity is smaller than the
    // parts). Partial fills leave one lot unfilled; an order of quantity 0
    // gets no fills. The cancel answers carry at 48 the number of the order
    // concerned (see sim/README.md).
    order_mode order_answer = order_mode::none;
    uint32_t order_reject_code = 1;  // verdict of every reject; 0 is refused
    uint32_t order_fill_parts = 1;   // 1..max_order_fill_parts

    // Behaviour, of trade and query connections alike.
    bool silent = false;                          // record, answer nothing
    std::chrono::microseconds answer_delay{0};    // wait before each write of answers
    bool coalesce = false;                        // all answers to one read in one write
    std::vector<size_t> split_pieces;             // cut each write into these sizes (last takes the rest)
    size_t random_split_max = 0;                  // else, when > 0: cut each write at random into 1..max
    uint32_t random_seed = 1;                     // seed of the random cuts (advanced per write)
    int32_t length_field = -1;                    // -1: true lengths; 0..65535: this in every answer

    // Terminal-report connections (first byte 97) are answered by these
    // settings alone; `silent` and the write settings above concern trade
    // connections. Each answer goes out in one write.
    coll_version_mode coll_version = coll_version_mode::accept;
    uint8_t coll_version_result = 1;          // byte 1 of a refusal; 0 is refused
    bool coll_use_test_key = false;           // byte 2 of the version reply
    // Answers to the reports in the order the server receives them, over all
    // connections: report n (from 0) gets entry n; past the end, verdict 0.
    std::vector<coll_verdict> coll_verdicts;
    // Directory of normal_private.pem and test_private.pem; empty: reports
    // are recorded and answered but not decrypted.
    std::string coll_key_dir;

    // A new order (10, on the stream or as a datagram) whose symbol field at
    // 76, up to its first NUL, equals this text is recorded like any other
    // but not answered: the server closes every open trade and query
    // connection at once (drop_connections) and keeps listening. At most 20
    // bytes, the field's width; empty: no marker.
    std::string drop_marker;

    // Address the program hux-sim-server listens on (TCP and UDP), dotted
    // IPv4; empty: 127.0.0.1. Its option --listen wins. A server object takes
    // its address in its constructor, so set_config leaves a running
    // listener where it is.
    std::string listen_ip;
};

const uint32_t max_order_fill_parts = 1000;

// Checks the limits of a configuration; false with the reason in `why`.
bool check_config(const sim_config& cfg, std::string* why);

// Reads settings, one `key value` per line (see sim/README.md), over `cfg`.
// False with a message naming the line in `error`; `cfg` may then be partly set.
bool parse_script(const std::string& text, sim_config& cfg, std::string& error);
bool load_script_file(const std::string& path, sim_config& cfg, std::string& error);

enum class conn_kind {
    pending,          // nothing received yet
    trade,            // a trade session
    terminal_report,  // first byte 97 ('a'): the collection protocol
};

struct sim_message {
    uint16_t type = 0;
    bool known = true;  // false: a type that is not a request; holds all bytes that were buffered
    std::string bytes;
    // When the server read the message's last bytes: the pace of a client's
    // messages, whenever a test gets to look at them.
    std::chrono::steady_clock::time_point received_at{};
};

// A datagram of the UDP order channel, in arrival order.
struct sim_datagram {
    std::string bytes;
    std::string source_ip;     // dotted IPv4 of the sender
    uint16_t source_port = 0;  // the sender's port
    // The trade connection whose logon carried source_port at 128 (the last
    // such logon), whose configuration answered its order-entry requests
    // there; sim_trade_server::no_connection when no logon did: recorded only.
    size_t conn = static_cast<size_t>(-1);
};

class sim_trade_server {
public:
    // Listens on `listen_ip` (dotted IPv4) at `port` (0 = a free port).
    // Check listening(): false also for an address that is not one.
    explicit sim_trade_server(uint16_t port = 0, const std::string& listen_ip = "127.0.0.1");
    ~sim_trade_server();
    sim_trade_server(const sim_trade_server&) = delete;
    sim_trade_server& operator=(const sim_trade_server&) = delete;

    bool listening() const { return port() != 0; }
    uint16_t port() const { return tcp_.port(); }
    const std::string& listen_ip() const { return tcp_.listen_ip(); }

    // Configuration for every connection without one of its own. False (and
    // nothing changed) when check_config refuses it.
    bool set_config(const sim_config& cfg);
    sim_config config() const;
    // Configuration for connection number `conn` only (it may not exist yet).
    bool set_connection_config(size_t conn, const sim_config& cfg);
    // Shorthand for the common switch: silence for every connection, trade
    // and query.
    void set_silent(bool silent);

    // Connections are numbered 0, 1, 2, ... in accept order, whatever their
    // kind: a client that reports before each logon leaves a report
    // connection before each of its trade connections.
    bool wait_for_connection(size_t conn, std::chrono::milliseconds timeout) { return tcp_.wait_accept(conn, timeout); }
    size_t connection_count() const { return tcp_.accepted_count(); }
    conn_kind kind(size_t conn) const;
    // Waits until the connection's first byte classified it; pending on time-out.
    conn_kind wait_for_kind(size_t conn, std::chrono::milliseconds timeout) const;

    // The accept number of the n-th connection (from 0) classified as trade,
    // in the order their first bytes arrived; no_connection when fewer have
    // been classified so far, or, for the wait, by the time-out.
    static constexpr size_t no_connection = static_cast<size_t>(-1);
    size_t trade_connection(size_t n) const;
    size_t wait_for_trade_connection(size_t n, std::chrono::milliseconds timeout) const;

    // Terminal reports received, over all connections, in arrival order. A
    // report is recorded before its verdict is sent.
    std::vector<sim_coll_report> reports() const;
    bool wait_for_reports(size_t n, std::chrono::milliseconds timeout) const;

    // Recorded messages of a trade connection, in arrival order.
    std::vector<sim_message> messages(size_t conn) const;
    std::vector<sim_message> messages(size_t conn, uint16_t type) const;
    size_t count(size_t conn, uint16_t type) const;
    // Bytes of the last message of that type; empty when none arrived.
    std::string last_message(size_t conn, uint16_t type) const;
    // Number of recorded messages whose type is not a request.
    size_t unknown_count(size_t conn) const;
    bool wait_for_message(size_t conn, uint16_t type, size_t count, std::chrono::milliseconds timeout) const;
    // Every byte the connection sent (also for terminal-report connections).
    std::string raw_received(size_t conn) const { return tcp_.received(conn); }

    // On demand.
    bool send_raw(size_t conn, const std::string& bytes) { return tcp_.send(conn, bytes); }
    bool send_raw_pieces(size_t conn, const std::string& bytes, const std::vector<size_t>& pieces) {
        return tcp_.send_pieces(conn, bytes, pieces);
    }
    bool send_raw_random(size_t conn, const std::string& bytes, uint32_t seed, size_t max_piece) {
        return tcp_.send_random_pieces(conn, bytes, seed, max_piece);
    }
    void close(size_t conn) { tcp_.close(conn); }
    void reset(size_t conn) { tcp_.reset(conn); }
    void pause_reading(size_t conn, bool paused) { tcp_.pause_reading(conn, paused); }
    // Everything else the loopback server offers (stop listening, waits, ...).
    hux_test::loopback_server& transport() { return tcp_; }

    // Closes (FIN) every open connection of the trade port classified as
    // trade and every open connection of the query port, as the drop marker
    // does; terminal-report connections and those that sent nothing yet stay
    // open, and the listeners keep accepting. Returns the number this call
    // closed: one closed already, by its peer's close being seen or by
    // another drop at the same time, is not closed twice. Each drop is
    // recorded (drops()) and then handed to the drop hook, on the thread
    // that dropped (the poll thread, or the UDP thread for a marker that
    // came as a datagram), without the server's lock.
    size_t drop_connections();
    std::vector<size_t> drops() const;  // each drop's count, in order
    bool wait_for_drops(size_t count, std::chrono::milliseconds timeout) const;
    using drop_hook = std::function<void(size_t closed)>;
    void set_drop_hook(drop_hook hook);

    // UDP order channel: binds the listening address at `port` (0 = a free
    // port) and records every datagram. A datagram from a port that a trade
    // connection's logon carried at 128 (little-endian uint16; port 0 names
    // none) belongs to that connection (the latest such logon): its
    // order-entry requests, cut by their fixed lengths, are answered on that
    // TCP connection by its configuration, as if they had come on it (order
    // numbers included), but they are not among its messages(). Other
    // requests, an incomplete tail and datagrams from unknown ports are
    // recorded only. False when already open or when binding fails.
    bool open_udp(uint16_t port);
    uint16_t udp_port() const;
    std::vector<std::string> datagrams() const;
    std::vector<sim_datagram> datagram_log() const;
    bool wait_for_datagrams(size_t count, std::chrono::milliseconds timeout) const;

    // Query port: a second listener on the listening address at `port` (0 =
    // a free port), for the adapter's query sessions. Its connections are
    // numbered 0, 1, 2, ... in accept order, apart from the trade port's;
    // each one's requests are cut by their fixed lengths (a type that is not
    // a query request is recorded as an unknown message holding everything
    // buffered) and answered by the server's configuration, or by
    // set_query_connection_config's, with the trade side's silence and write
    // settings. Answers are written on the query port's own poll thread.
    // False when already open or when listening fails.
    bool open_query(uint16_t port);
    uint16_t query_port() const;  // 0 while not open
    bool set_query_connection_config(size_t conn, const sim_config& cfg);
    bool wait_for_query_connection(size_t conn, std::chrono::milliseconds timeout) const;
    size_t query_connection_count() const;
    std::vector<sim_message> query_messages(size_t conn) const;
    std::vector<sim_message> query_messages(size_t conn, uint16_t type) const;
    size_t query_count(size_t conn, uint16_t type) const;
    std::string query_last_message(size_t conn, uint16_t type) const;
    size_t query_unknown_count(size_t conn) const;
    bool wait_for_query_message(size_t conn, uint16_t type, size_t count, std::chrono::milliseconds timeout) const;
    std::string query_raw_received(size_t conn) const;
    // On demand, on a query connection (false, or nothing, while the port is
    // not open): the answers of sim/sim_query_answers.h, the 1093 push, or
    // anything else.
    bool send_query_raw(size_t conn, const std::string& bytes);
    // A buying-power push (1093) of these values; its request number field
    // is sent as given.
    bool push_account_bp(size_t conn, const sim_account_bp& values);
    bool send_query_raw_pieces(size_t conn, const std::string& bytes, const std::vector<size_t>& pieces);
    bool send_query_raw_random(size_t conn, const std::string& bytes, uint32_t seed, size_t max_piece);
    void close_query(size_t conn);
    void reset_query(size_t conn);
    void pause_query_reading(size_t conn, bool paused);
    // The query port's loopback server; nullptr while not open.
    hux_test::loopback_server* query_transport() const;

    // Answer builders (also used by tests to send answers by hand).
    static std::string version_answer(const sim_config& cfg);
    static std::string logon_answer(const sim_config& cfg, int32_t result);
    static std::vector<std::string> symbol_page(const sim_config& cfg, uint16_t page, uint16_t page_size);
    static std::vector<std::string> account_list(const sim_config& cfg);
    static std::string heart_beat_setting_answer(const sim_config& cfg);
    static std::string heart_beat_answer(const sim_config& cfg);
    // The answers to a market session (84), symbol status (87) and session id
    // (94) query.
    static std::vector<std::string> market_session_answers(const sim_config& cfg);
    static std::vector<std::string> symbol_status_answers(const sim_config& cfg);
    static std::vector<std::string> session_id_answers(const sim_config& cfg);
    // The query port's 1068 with this result, and the 1069 to a password change.
    static std::string query_logon_answer(const sim_config& cfg, uint32_t result);
    static std::string change_password_answer(const sim_config& cfg);
    // The answers to one complete request of the query port.
    static std::vector<std::string> query_answers_to(const sim_config& cfg, const std::string& request);
    // Answers to a 100-byte new order by `cfg.order_answer`; `order_no` is
    // the number an accept gives it.
    static std::vector<std::string> new_order_answers(const sim_config& cfg, const std::string& order, int64_t order_no);
    // The answer to a 196-byte new quote (1018), a 144-byte combination order
    // (1025) or a 72-byte special order (1030) by `cfg.order_answer`; empty
    // for mode none or a short request.
    static std::vector<std::string> quote_answers(const sim_config& cfg, const std::string& quote);
    static std::vector<std::string> combo_answers(const sim_config& cfg, const std::string& combo);
    static std::vector<std::string> special_order_answers(const sim_config& cfg, const std::string& order);
    // The answer to a 44-byte cancel (11 -> 1011), quote action (13 -> 1019)
    // or special-order cancel (31 -> 1031); `order_no` goes to 48.
    static std::vector<std::string> cancel_answers(const sim_config& cfg, const std::string& cancel, int64_t order_no);
    // The 56-byte simple forms widened to the full request (100-byte order,
    // 196-byte quote): the account and symbol names are looked up by the
    // indexes at 9 and 10 in the configured tables (empty when not there).
    static std::string order_of_simple(const sim_config& cfg, const std::string& simple);
    static std::string quote_of_simple(const sim_config& cfg, const std::string& simple);

private:
    struct conn_state {
        conn_kind kind = conn_kind::pending;
        std::string pending;  // bytes of an incomplete message
        std::vector<sim_message> messages;
        // Client token -> number of the orders accepted on this connection,
        // for the cancels that address an order by its owner token.
        std::map<uint32_t, int64_t> order_numbers;
        // Terminal reports: the key the last version reply told the client
        // to use, and whether a byte of no known type ended the reading.
        bool coll_test_key = false;
        bool coll_stopped = false;
        uint16_t logon_udp_port = 0;  // at 128 of its last logon
    };

    // One message of a report connection, answered after the lock is let go.
    struct coll_step {
        std::string reply;   // a version reply, ready to send
        std::string report;  // or a report, to read, record and judge
        coll_verdict verdict;
        bool test_key = false;
        std::string key_dir;
        uint32_t user_id = 0;
        std::chrono::steady_clock::time_point received_at;
    };

    // How answers go on the wire: copied from the configuration.
    struct write_plan {
        bool coalesce = false;
        std::vector<size_t> pieces;
        size_t random_max = 0;
        uint32_t seed = 0;
        std::chrono::microseconds delay{0};
    };

    void on_bytes(size_t conn, const char* data, size_t len);
    void on_query_bytes(hux_test::loopback_server& tcp, size_t conn, const char* data, size_t len);
    // Cuts a report connection's buffered bytes into steps. Under m_.
    void cut_report_bytes(size_t conn, conn_state& st, const char* data, size_t len, std::vector<coll_step>& steps);
    void run_report_steps(size_t conn, const std::vector<coll_step>& steps);
    // Answers to one complete request; empty for requests it does not answer.
    // `next_order_no` is advanced for each accepted order, which is noted in
    // `order_numbers`.
    static std::vector<std::string> answer(const sim_config& cfg, const std::string& msg, int64_t& next_order_no,
                                           std::map<uint32_t, int64_t>& order_numbers);
    static write_plan plan_of(const sim_config& cfg);
    void write_answers(hux_test::loopback_server& tcp, size_t conn, const write_plan& plan,
                       const std::vector<std::string>& answers);
    // One batch of answers is written at a time, so that the pieces of the
    // poll thread's and the UDP thread's writes never interleave on a
    // connection. Both take the lock; false when the server is stopping.
    bool begin_writing(std::unique_lock<std::mutex>& lock);
    void end_writing();
    void on_datagram(const std::string& bytes, const std::string& source_ip, uint16_t source_port);
    const sim_config& config_for(size_t conn) const;  // under m_
    conn_state& state(size_t conn);                    // under m_
    const conn_state* find_state(size_t conn) const;   // under m_
    const sim_config& query_config_for(size_t conn) const;  // under m_
    const conn_state* find_query_state(size_t conn) const;  // under m_
    // The recorded messages of a connection (trade or query), all or of one type.
    static std::vector<sim_message> messages_of(const conn_state* st, const uint16_t* type);
    static size_t count_of(const conn_state* st, uint16_t type);
    static std::string last_of(const conn_state* st, uint16_t type);
    static size_t unknown_of(const conn_state* st);
    // Cuts the buffered bytes of a connection into requests by `length_of`.
    static std::vector<sim_message> cut_requests(conn_state& st, const char* data, size_t len,
                                                 size_t (*length_of)(uint16_t));
    hux_test::loopback_server* query_tcp() const;  // takes the lock
    void udp_loop();
    // True for a new order whose symbol is the configuration's drop marker.
    static bool drop_marked(const sim_config& cfg, const std::string& request);

    mutable std::mutex m_;
    mutable std::condition_variable cv_;
    bool stopping_ = false;
    sim_config cfg_;
    std::map<size_t, sim_config> conn_cfg_;
    std::vector<conn_state> conns_;
    uint32_t writes_ = 0;  // counts random-cut writes, to advance the seed
    int64_t next_order_no_ = 1;
    std::vector<size_t> trade_conns_;     // accept numbers, in classification order
    size_t coll_reports_seen_ = 0;        // reports cut so far: picks each one's verdict
    std::vector<sim_coll_report> reports_;
    std::vector<size_t> drops_;  // connections closed by each drop
    drop_hook drop_hook_;

    int udp_fd_ = -1;
    int udp_wake_fd_ = -1;
    uint16_t udp_port_ = 0;
    std::vector<sim_datagram> datagrams_;
    std::map<uint16_t, size_t> udp_port_conn_;  // logon's UDP port -> trade connection
    bool writing_ = false;                      // a batch of answers is going out
    std::thread udp_thread_;

    // Query port: connections and their configurations. The listener is set
    // once under m_ and destroyed before everything above.
    std::map<size_t, sim_config> query_conn_cfg_;
    std::vector<conn_state> query_conns_;
    std::unique_ptr<hux_test::loopback_server> query_tcp_;

    // Last: destroyed first (and the query listener second), so its poll
    // thread (which runs the answers) ends while everything above still exists.
    hux_test::loopback_server tcp_;
};

// "68 x1, 71 x2, unknown x1": requests counted by type, in type order, the
// messages of no known type last; "no requests" for none.
std::string requests_by_type(const std::vector<sim_message>& messages);

// What the program lists on its way out about trade traffic, one line each:
//   hux-sim-server: trade connection N: <requests_by_type>
//   hux-sim-server: trade connection N logon udp port P
// for each connection classified as trade, in accept order (the second line
// only after a logon: P is the uint16 at 128 of its last one), then
//   hux-sim-server: datagram I from port P on connection C: type T, L bytes
// for each datagram in arrival order (I from 0; C the owning connection or
// "none"; T the uint16 at 0, the first request's type, or the single byte of
// a one-byte datagram, 0 for an empty one).
std::string traffic_dump(const sim_trade_server& server);

}  // namespace hux_sim

#endif  // HUX_SIM_SIM_TRADE_SERVER_H
