// Fuzz target for the order-entry and query functions of the C interface.
// The first input byte picks the server edition (bit 0: 1 = qv27); the rest
// is a series of calls, each an operation byte followed by the record of
// its function, byte for byte (zero-filled when the input ends first), and
// the texts it takes:
//   bits 0..3  the function, modulo 13: MVHUX_EnterOrder, EnterQuote,
//              EnterCombo, EnterSpecialOrder, EnterSimpleOrder,
//              EnterSimpleQuote, CancelOrder, CancelSpecialOrder,
//              QuoteAction, QueryMarketSession, QuerySymbolStatus,
//              QuerySessionID, QueryOtAccountBP
//   bit 4      skip_token_check (EnterOrder, EnterQuote)
//   bit 5      a null record
//   bit 6      a null text (the account name, the session or account text)
//   bit 7      a null symbol name
// A text is a length byte and that many bytes, given NUL-terminated; the
// session-id query takes its market byte first. So prices are any doubles
// (NaN, infinities, huge values), fixed text fields need not be terminated
// and every exchange and side value comes up. Each record lies in a heap
// block of its own size, so the address sanitizer catches a read past it.
//
// One logged-on session per edition lives for the whole process, against a
// simulated server with client flow control out of reach. Once it is logged
// on the server stops reading its connection and this target reads the
// server's end itself: after every call the message it must have sent is
// waited for and whatever else has arrived is read with it (over loopback a
// message is there when its send returns), and at the end of every input a
// market-session query goes out as a marker, read up to, so nothing an input
// sent is missed. Each call is checked against the interface's documented
// contract:
//   - the result is the one the documented check order gives: 23 on a qv27
//     server where the function is not available there, 25 for a null
//     argument, 24 when a price is not a number or infinite (and never for
//     prices far inside the range), 9 for a token not above the session's
//     mark, 18 for an exchange outside 100..108 (a market other than 0 and
//     100..108), 20 and 21 for names not in the session's index, 256 for
//     an account text of more than 15 characters, else 0;
//   - a 0 sent exactly one message of the function's type and length (none
//     for a warm-up), anything else sent nothing;
//   - the token mark rises to the token of a request whose token was taken,
//     stays put otherwise, and cancels raise it with a non-zero token above
//     it (not order cancels and quote actions on a qv27 server);
//   - texts documented as sent as they are appear in the message; the
//     simple forms send their record as rewritten (and keep it as it was when
//     refused), with the index and user id written in.
// An input that moved the token mark has it set back by a logon answer fed
// through the receive path before the next input.
#include <poll.h>
#include <sys/socket.h>
#include <netinet/in.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "mv_hux_trade.h"
#include "tests/fuzz/fuzz_session.h"
#include "tests/support/test_wait.h"

namespace {

const char* const kTarget = "fuzz_order";
const uint32_t kMark = 100;  // the token mark the logon answer sets
const uint32_t kUserId = 77;

[[noreturn]] void fault(const char* function, const char* what, int result) {
    char text[256];
    snprintf(text, sizeof(text), "%s returned %d: %s", function, result, what);
    hux_fuzz::fail(kTarget, text);
}

// ---------------------------------------------------------------- input

class reader {
public:
    reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool done() const { return m_at >= m_size; }
    uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    // `n` bytes into `out`, zeros past the end of the input.
    void bytes(void* out, size_t n) {
        const size_t k = m_at < m_size ? std::min(n, m_size - m_at) : 0;
        memcpy(out, m_data + m_at, k);
        memset(static_cast<char*>(out) + k, 0, n - k);
        m_at += k;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

// A record of type R in a heap block of exactly its size, or null (its
// bytes are read all the same, so the flag changes nothing else).
template <class R>
struct record {
    std::unique_ptr<unsigned char[]> block;
    R* get() const { return reinterpret_cast<R*>(block.get()); }
    record(reader& in, bool null) : block(new unsigned char[sizeof(R)]) {
        in.bytes(block.get(), sizeof(R));
        if (null) block.reset();
    }
};

// A NUL-terminated text of a length byte's bytes, in a block of its size, or null.
struct text_arg {
    std::unique_ptr<char[]> block;
    text_arg(reader& in, bool null) {
        const size_t n = in.byte();
        block.reset(new char[n + 1]);
        in.bytes(block.get(), n);
        block[n] = '\0';
        if (null) block.reset();
    }
    const char* get() const { return block.get(); }
};

// ---------------------------------------------------------------- oracles

enum class price_kind { fits, fails, either };

// A price image is the price times 10000 in a signed 64-bit integer: far
// inside that it fits, a NaN, an infinity or anything from 1e15 on does not.
price_kind classify(double a, double b) {
    auto fails = [](double x) { return !std::isfinite(x) || std::fabs(x) >= 1e15; };
    auto fits = [](double x) { return std::isfinite(x) && std::fabs(x) < 9e14; };
    if (fails(a) || fails(b)) return price_kind::fails;
    if (fits(a) && fits(b)) return price_kind::fits;
    return price_kind::either;
}

bool valid_exchange(uint8_t id) { return id >= 100 && id <= 108; }

void sink(uint32_t v) { hux_fuzz::g_sink.fetch_add(v, std::memory_order_relaxed); }

bool contains(const std::string& msg, const void* bytes, size_t n) {
    return n == 0 || memmem(msg.data(), msg.size(), bytes, n) != nullptr;
}

// ---------------------------------------------------------------- session

void adjust_config(hux_sim::sim_config& cfg) {
    // Client flow control (the logon answer's limits) out of reach: every
    // call is decided by its checks alone, whatever the rate.
    cfg.order_fc_count = UINT32_MAX;
    cfg.order_fc_window_us = 1;
    cfg.cancel_fc_count = UINT32_MAX;
    cfg.cancel_fc_window_us = 1;
}

uint16_t local_port(int fd, bool peer) {
    sockaddr_in a;
    socklen_t n = sizeof(a);
    memset(&a, 0, sizeof(a));
    const int rc = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&a), &n)
                        : getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    return rc == 0 && a.sin_family == AF_INET ? ntohs(a.sin_port) : 0;
}

// The server's end of the session's connection: the session's socket is the
// one socket of this process connected to the server's port (the terminal
// report's connection is closed by now); the server's end is the socket on
// that port whose peer it is.
int server_end(uint16_t port) {
    uint16_t session_port = 0;
    int sessions = 0;
    for (int fd = 0; fd < 4096; ++fd) {
        if (local_port(fd, true) == port) {
            session_port = local_port(fd, false);
            ++sessions;
        }
    }
    if (sessions != 1) hux_fuzz::fail(kTarget, "set-up: not one connection to the server");
    for (int fd = 0; fd < 4096; ++fd)
        if (local_port(fd, false) == port && local_port(fd, true) == session_port) return fd;
    hux_fuzz::fail(kTarget, "set-up: the server's end of the connection not found");
}

class order_session {
public:
    explicit order_session(bool qv27) : s(kTarget, qv27, nullptr, &adjust_config), m_qv27(qv27) {
        const size_t conn = s.sim.wait_for_trade_connection(0, hux_test::test_wait());
        if (conn == hux_sim::sim_trade_server::no_connection) hux_fuzz::fail(kTarget, "set-up: no trade connection");
        m_fd = server_end(s.sim.port());
        // From here on only this target reads the connection.
        s.sim.pause_reading(conn, true);
        if (mark() != kMark) hux_fuzz::fail(kTarget, "set-up: token mark not the logon answer's");
    }

    void* handle() const { return s.handle; }
    bool qv27() const { return m_qv27; }

    // The index of a name in the session's account or symbol list; -1 when
    // it is not there.
    int account_index(const char* name) const {
        for (const hux_sim::sim_account& a : s.cfg.accounts)
            if (a.name == name) return a.index;
        return -1;
    }
    int symbol_index(const char* name) const {
        for (const hux_sim::sim_symbol& y : s.cfg.symbols)
            if (y.name == name) return y.index;
        return -1;
    }

    uint32_t mark() {
        unsigned token = 0;
        const int rc = MVHUX_GetMaxToken(s.handle, &token);
        if (rc != HUX_RESULT_OK) fault("MVHUX_GetMaxToken", "not 0 on a logged-on session", rc);
        return token;
    }

    // Sets the token mark back to the logon answer's by logging on again
    // through the receive path; the requests that makes the session send
    // are read and dropped.
    void reset_mark() {
        if (mark() == kMark) return;
        if (!s.log_on_again()) hux_fuzz::fail(kTarget, "logging on again failed");
        for (const std::string& m : sent_before_marker())
            if (type_of(m) != 61 && type_of(m) != 62)
                hux_fuzz::fail(kTarget, "logging on again sent something other than index queries");
        if (mark() != kMark) hux_fuzz::fail(kTarget, "token mark not set back by the logon answer");
    }

    static uint16_t type_of(const std::string& m) {
        return static_cast<uint16_t>(static_cast<uint8_t>(m[0]) | static_cast<uint8_t>(m[1]) << 8);
    }

    // The messages the last call sent: the `expected` ones, waited for, and
    // any others that have arrived by then.
    std::vector<std::string> sent_by_call(size_t expected) {
        std::vector<std::string> sent;
        for (size_t i = 0; i < expected; ++i) sent.push_back(next_message());
        read_available();
        while (!m_inbox.empty()) sent.push_back(next_message());
        return sent;
    }

    // Sends the marker (a market-session query, type 84) and returns every
    // message the session sent before it that was not read yet.
    std::vector<std::string> sent_before_marker() {
        const int rc = MVHUX_QueryMarketSession(s.handle);
        if (rc != HUX_RESULT_OK) fault("MVHUX_QueryMarketSession", "the marker not sent", rc);
        std::vector<std::string> before;
        for (;;) {
            std::string m = next_message();
            if (type_of(m) == 84) return before;
            before.push_back(std::move(m));
        }
    }

private:
    // One whole request from the server's end, by the length of its type.
    std::string next_message() {
        fill(4);
        const uint16_t type = type_of(m_inbox);
        const size_t len = hux_sim::request_length(type);
        if (len == 0) {
            char text[64];
            snprintf(text, sizeof(text), "the session sent a message of type %u", type);
            hux_fuzz::fail(kTarget, text);
        }
        fill(len);
        const size_t field = static_cast<uint8_t>(m_inbox[2]) | static_cast<uint8_t>(m_inbox[3]) << 8;
        if (field != len) hux_fuzz::fail(kTarget, "a message sent with a wrong length field");
        std::string m = m_inbox.substr(0, len);
        m_inbox.erase(0, len);
        return m;
    }

    void read_available() {
        char buf[4096];
        ssize_t got;
        while ((got = recv(m_fd, buf, sizeof(buf), MSG_DONTWAIT)) > 0) m_inbox.append(buf, static_cast<size_t>(got));
    }

    // Reads until `n` bytes are buffered; the tests' wait setting at most.
    void fill(size_t n) {
        const auto deadline = std::chrono::steady_clock::now() + hux_test::test_wait();
        char buf[4096];
        while (m_inbox.size() < n) {
            const ssize_t got = recv(m_fd, buf, sizeof(buf), MSG_DONTWAIT);
            if (got > 0) {
                m_inbox.append(buf, static_cast<size_t>(got));
                continue;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (got == 0 || left.count() <= 0) hux_fuzz::fail(kTarget, "a message sent only in part, or not at all");
            pollfd p{m_fd, POLLIN, 0};
            poll(&p, 1, static_cast<int>(left.count()));
        }
    }

    hux_fuzz::sim_session s;
    bool m_qv27;
    int m_fd = -1;
    std::string m_inbox;
};

std::unique_ptr<order_session> g_sessions[2];

// ---------------------------------------------------------------- calls

// What one call is expected to do, filled as its checks are passed in the
// documented order; `result` is what it returned.
struct call_check {
    const char* name;
    int result;
    order_session& session;
    uint32_t mark_before;
    bool decided = false;  // the expected result is known
    int expected = 0;

    // The next check in order: when `fails`, `code` is the expected result.
    void check(bool fails, int code) {
        if (decided || !fails) return;
        decided = true;
        expected = code;
    }
    // The price check, which may go either way near the limit.
    void check_prices(price_kind k) {
        if (decided) return;
        if (k == price_kind::fails) check(true, HUX_RESULT_BAD_PRICE);
        if (k == price_kind::either && result == HUX_RESULT_BAD_PRICE) check(true, HUX_RESULT_BAD_PRICE);
    }
    void expect_result() {
        if (!decided) expected = HUX_RESULT_OK;
        if (result != expected) {
            char text[64];
            snprintf(text, sizeof(text), "expected %d", expected);
            fault(name, text, result);
        }
    }
    // The messages sent: one of `type` after a 0 unless `sends_nothing`.
    std::string expect_sent(uint16_t type, bool sends_nothing = false) {
        const bool one = result == HUX_RESULT_OK && !sends_nothing;
        std::vector<std::string> sent = session.sent_by_call(one ? 1 : 0);
        if (sent.size() != (one ? 1u : 0u)) fault(name, one ? "not one message sent" : "a message sent", result);
        if (!one) return std::string();
        if (order_session::type_of(sent[0]) != type) fault(name, "a message of another type sent", result);
        return sent[0];
    }
    void expect_mark(uint32_t want) {
        const uint32_t now = session.mark();
        if (now != want) {
            char text[96];
            snprintf(text, sizeof(text), "token mark %u, expected %u (was %u)", now, want, mark_before);
            fault(name, text, result);
        }
    }
};

// The new order and the new quote: prices, then, unless a warm-up, token
// (unless skipped) and exchange.
template <class R>
void enter(order_session& s, reader& in, uint8_t op, bool quote) {
    const bool skip = (op & 0x10) != 0;
    record<R> r(in, (op & 0x20) != 0);
    const uint32_t before = s.mark();
    int result;
    const char* name;
    if constexpr (std::is_same<R, HUX_EnterOrderField>::value) {
        name = "MVHUX_EnterOrder";
        if (r.get()) sink(MVHUX_CalcVerificationValue(s.handle(), r.get()));
        result = MVHUX_EnterOrder(s.handle(), r.get(), skip);
    } else {
        name = "MVHUX_EnterQuote";
        result = MVHUX_EnterQuote(s.handle(), r.get(), skip);
    }
    call_check c{name, result, s, before};
    const R* q = r.get();
    bool warm = false;
    bool token_taken = false;
    c.check(!q, HUX_RESULT_NULL_ARGUMENT);
    if (q) {
        double p1, p2;
        if constexpr (std::is_same<R, HUX_EnterOrderField>::value) {
            p1 = q->price;
            p2 = q->second_price;
            warm = q->quantity == 0;
        } else {
            p1 = q->price_1;
            p2 = q->price_2;
            warm = q->quantity_1 == 0 && q->quantity_2 == 0;
        }
        c.check_prices(classify(p1, p2));
        if (!warm) {
            c.check(!skip && q->client_token <= before, HUX_RESULT_TOKEN_NOT_ABOVE);
            token_taken = !c.decided && !skip;
            c.check(!valid_exchange(q->exchange_id), HUX_RESULT_BAD_EXCHANGE);
        }
    }
    c.expect_result();
    const std::string msg = c.expect_sent(quote ? 12 : 10, warm);
    c.expect_mark(token_taken ? q->client_token : before);
    if (!msg.empty()) {
        if constexpr (std::is_same<R, HUX_EnterOrderField>::value) {
            if (!contains(msg, q->account, sizeof(q->account)) || !contains(msg, q->symbol, sizeof(q->symbol)))
                fault(name, "account or symbol not sent as it is", result);
        }
    }
}

// Combination and special orders: not on qv27, then token and exchange.
template <class R>
void enter_other(order_session& s, reader& in, uint8_t op) {
    record<R> r(in, (op & 0x20) != 0);
    const uint32_t before = s.mark();
    const bool combo = std::is_same<R, HUX_EnterComboField>::value;
    const char* name = combo ? "MVHUX_EnterCombo" : "MVHUX_EnterSpecialOrder";
    int result;
    if constexpr (std::is_same<R, HUX_EnterComboField>::value)
        result = MVHUX_EnterCombo(s.handle(), r.get());
    else
        result = MVHUX_EnterSpecialOrder(s.handle(), r.get());
    call_check c{name, result, s, before};
    const R* q = r.get();
    c.check(s.qv27(), HUX_RESULT_NOT_ON_QV27);
    c.check(!q, HUX_RESULT_NULL_ARGUMENT);
    c.check(q && q->client_token <= before, HUX_RESULT_TOKEN_NOT_ABOVE);
    const bool token_taken = !c.decided;
    c.check(q && !valid_exchange(q->exchange_id), HUX_RESULT_BAD_EXCHANGE);
    c.expect_result();
    const std::string msg = c.expect_sent(combo ? 14 : 30);
    c.expect_mark(token_taken ? q->client_token : before);
    if constexpr (std::is_same<R, HUX_EnterComboField>::value) {
        if (!msg.empty() && !contains(msg, q->legs, sizeof(q->legs))) fault(name, "legs not sent as they are", result);
    }
}

// The simple forms: not on qv27, null arguments, prices, token, exchange,
// account, symbol; the record is rewritten into the message only when sent.
template <class R>
void enter_simple(order_session& s, reader& in, uint8_t op) {
    const bool order = std::is_same<R, HUX_EnterOrderSimpleField>::value;
    const char* name = order ? "MVHUX_EnterSimpleOrder" : "MVHUX_EnterSimpleQuote";
    record<R> r(in, (op & 0x20) != 0);
    text_arg account(in, (op & 0x40) != 0);
    text_arg symbol(in, (op & 0x80) != 0);
    R image;
    memset(&image, 0, sizeof(image));
    if (r.get()) memcpy(&image, r.get(), sizeof(R));
    const uint32_t before = s.mark();
    int result;
    if constexpr (std::is_same<R, HUX_EnterOrderSimpleField>::value)
        result = MVHUX_EnterSimpleOrder(s.handle(), r.get(), account.get(), symbol.get());
    else
        result = MVHUX_EnterSimpleQuote(s.handle(), r.get(), account.get(), symbol.get());
    call_check c{name, result, s, before};
    c.check(s.qv27(), HUX_RESULT_NOT_ON_QV27);
    c.check(!r.get() || !account.get() || !symbol.get(), HUX_RESULT_NULL_ARGUMENT);
    int account_index = -1;
    int symbol_index = -1;
    if (!c.decided) {
        if constexpr (std::is_same<R, HUX_EnterOrderSimpleField>::value)
            c.check_prices(classify(image.price, image.second_price));
        else
            c.check_prices(classify(image.price_1, image.price_2));
        c.check(image.client_token <= before, HUX_RESULT_TOKEN_NOT_ABOVE);
    }
    const bool token_taken = !c.decided;
    if (!c.decided) {
        c.check(!valid_exchange(image.exchange_id), HUX_RESULT_BAD_EXCHANGE);
        account_index = s.account_index(account.get());
        symbol_index = s.symbol_index(symbol.get());
        c.check(account_index < 0, HUX_RESULT_UNKNOWN_ACCOUNT);
        c.check(symbol_index < 0, HUX_RESULT_UNKNOWN_SYMBOL);
    }
    c.expect_result();
    const std::string msg = c.expect_sent(order ? 20 : 22);
    c.expect_mark(token_taken ? image.client_token : before);
    if (!r.get()) return;
    if (result != HUX_RESULT_OK) {
        if (memcmp(&image, r.get(), sizeof(R)) != 0) fault(name, "a refused record rewritten", result);
        return;
    }
    const R* q = r.get();
    if (msg.size() != sizeof(R) || memcmp(msg.data(), q, sizeof(R)) != 0)
        fault(name, "the message sent is not the record as rewritten", result);
    if (q->msg_type != (order ? 20 : 22) || q->msg_length != sizeof(R) || q->user_id != (kUserId & 0xFF) ||
        q->account_index != account_index || q->symbol_index != symbol_index)
        fault(name, "header, user id or index not written into the record", result);
}

// The cancels: not on qv27 (special-order cancel), null record; sent
// whatever the token, which raises the mark when it is not 0 and above it
// (order cancels and quote actions on a qv27 server leave the mark alone).
template <class R>
void cancel(order_session& s, reader& in, uint8_t op, const char* name, uint16_t type, bool refused_on_qv27,
            bool mark_on_qv27) {
    record<R> r(in, (op & 0x20) != 0);
    const uint32_t before = s.mark();
    int result;
    if constexpr (std::is_same<R, HUX_CancelOrder>::value)
        result = MVHUX_CancelOrder(s.handle(), r.get());
    else if constexpr (std::is_same<R, HUX_CancelSpecialOrder>::value)
        result = MVHUX_CancelSpecialOrder(s.handle(), r.get());
    else
        result = MVHUX_QuoteAction(s.handle(), r.get());
    call_check c{name, result, s, before};
    c.check(refused_on_qv27 && s.qv27(), HUX_RESULT_NOT_ON_QV27);
    c.check(!r.get(), HUX_RESULT_NULL_ARGUMENT);
    c.expect_result();
    c.expect_sent(type);
    uint32_t want = before;
    if (result == HUX_RESULT_OK && (mark_on_qv27 || !s.qv27()) && r.get()->client_token > before)
        want = r.get()->client_token;
    c.expect_mark(want);
}

void query(order_session& s, reader& in, uint8_t op, int which) {
    const uint32_t before = s.mark();
    if (which == 0 || which == 1) {
        const char* name = which == 0 ? "MVHUX_QueryMarketSession" : "MVHUX_QuerySymbolStatus";
        const int result = which == 0 ? MVHUX_QueryMarketSession(s.handle()) : MVHUX_QuerySymbolStatus(s.handle());
        call_check c{name, result, s, before};
        c.expect_result();
        c.expect_sent(which == 0 ? 84 : 87);
        c.expect_mark(before);
        return;
    }
    if (which == 2) {
        const uint8_t market = in.byte();
        text_arg session(in, (op & 0x40) != 0);
        const int result = MVHUX_QuerySessionID(s.handle(), session.get(), market);
        call_check c{"MVHUX_QuerySessionID", result, s, before};
        c.check(market != 0 && !valid_exchange(market), HUX_RESULT_BAD_EXCHANGE);
        c.check(!session.get(), HUX_RESULT_NULL_ARGUMENT);
        c.expect_result();
        const std::string msg = c.expect_sent(94);
        c.expect_mark(before);
        // At most 16 characters of the text are sent.
        if (!msg.empty() && !contains(msg, session.get(), std::min<size_t>(strlen(session.get()), 16)))
            fault("MVHUX_QuerySessionID", "the session text not sent", result);
        return;
    }
    text_arg account(in, (op & 0x40) != 0);
    const int result = MVHUX_QueryOtAccountBP(s.handle(), account.get());
    call_check c{"MVHUX_QueryOtAccountBP", result, s, before};
    c.check(s.qv27(), HUX_RESULT_NOT_ON_QV27);
    c.check(!account.get(), HUX_RESULT_NULL_ARGUMENT);
    c.check(account.get() && strlen(account.get()) > 15, HUX_RESULT_TEXT_TOO_LONG);
    c.expect_result();
    const std::string msg = c.expect_sent(81);
    c.expect_mark(before);
    // An account that fits (15 characters at most) is sent whole.
    if (!msg.empty() && !contains(msg, account.get(), strlen(account.get())))
        fault("MVHUX_QueryOtAccountBP", "the account text not sent", result);
}

void call(order_session& s, reader& in) {
    const uint8_t op = in.byte();
    switch ((op & 0x0F) % 13) {
    case 0: enter<HUX_EnterOrderField>(s, in, op, false); break;
    case 1: enter<HUX_EnterQuoteField>(s, in, op, true); break;
    case 2: enter_other<HUX_EnterComboField>(s, in, op); break;
    case 3: enter_other<HUX_EnterSpecialOrderField>(s, in, op); break;
    case 4: enter_simple<HUX_EnterOrderSimpleField>(s, in, op); break;
    case 5: enter_simple<HUX_EnterQuoteSimpleField>(s, in, op); break;
    case 6: cancel<HUX_CancelOrder>(s, in, op, "MVHUX_CancelOrder", 11, false, false); break;
    case 7: cancel<HUX_CancelSpecialOrder>(s, in, op, "MVHUX_CancelSpecialOrder", 31, true, true); break;
    case 8: cancel<HUX_QuoteAction>(s, in, op, "MVHUX_QuoteAction", 13, false, false); break;
    default: query(s, in, op, (op & 0x0F) % 13 - 9); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool qv27 = (data[0] & 1) != 0;
    std::unique_ptr<order_session>& s = g_sessions[qv27 ? 1 : 0];
    if (!s) s.reset(new order_session(qv27));
    s->reset_mark();
    reader in(data + 1, size - 1);
    while (!in.done()) call(*s, in);
    // Whatever a call sent after it was checked arrives before the marker.
    if (!s->sent_before_marker().empty()) hux_fuzz::fail(kTarget, "a message sent after its call was checked");
    return 0;
}
