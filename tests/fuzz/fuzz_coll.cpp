// Fuzz target for the terminal-report client's reading of the collection
// service's answers: the message handler of the client's end of the
// connection (tcp_client_impl::on_tcp_client_data_recv), which the stream
// transport offers every byte received and not yet consumed. The first input
// byte is the piece size (0: everything at once); the rest is what the
// service sends, handed over in a cut loop like the transport's: each piece
// is appended to what is left, the handler is called from the front while
// it consumes, and what it leaves waits for the next piece.
//
// One client end lives for the whole process, never connected; its owner
// callbacks are this target's. Each call is checked against the handler's
// contract: a version reply 'b' is consumed as its 8 bytes once all of them
// are there and sets the test-key flag from its byte 2; a verdict 'd' is
// consumed as its 96 bytes once all are there and reaches the report
// callback once, as sent except that a verdict byte of 1 reads 102 and 2
// reads 103; anything else (an incomplete message, another type) consumes
// nothing and reports nothing. Consuming more than was offered aborts.
#include <cstdint>
#include <cstring>

#include "report/coll_rptr/coll_msg.h"
#include "report/coll_rptr/tcp_client_impl.h"
#include "tests/fuzz/fuzz_support.h"

using namespace HUX_COLL_WIRE;

namespace {

const char* const kTarget = "fuzz_coll";

// What the owner callbacks saw during one call.
struct seen {
    unsigned reports = 0;
    collect_info_msg_report last;
    unsigned other_events = 0;
};
seen g_seen;

void on_connected(void*) { ++g_seen.other_events; }
void on_disconnected(void*) { ++g_seen.other_events; }
void on_report(void* owner, collect_info_msg_report& report) {
    if (owner != &g_seen) hux_fuzz::fail(kTarget, "report callback with another owner");
    hux_fuzz::touch(&report, sizeof(report));
    memcpy(&g_seen.last, &report, sizeof(report));
    ++g_seen.reports;
}

tcp_client_impl& client_end() {
    static tcp_client_impl* end = [] {
        server_info server;
        strcpy(server.ip, "127.0.0.1");
        server.port = 9;
        tcp_client_impl* c = new tcp_client_impl("coll_rptr", server);
        if (!c->init(nullptr)) hux_fuzz::fail(kTarget, "set-up: init");
        c->set_callbacks(&g_seen, &on_connected, &on_disconnected, &on_report);
        return c;
    }();
    return *end;
}

void check(bool ok, const char* what, size_t offered, unsigned long long used) {
    if (ok) return;
    char text[160];
    snprintf(text, sizeof(text), "%s (offered %zu, consumed %llu)", what, offered, used);
    hux_fuzz::fail(kTarget, text);
}

long long step(tcp_client_impl& c, const unsigned char* p, size_t n) {
    const uint8_t type = p[0];
    const size_t whole = type == MSG_CHECK_VERSION_REPORT  ? sizeof(client_check_version_msg_report)
                         : type == MSG_COLLECT_INFO_REPORT ? sizeof(collect_info_msg_report)
                                                           : 0;
    const size_t expected = whole != 0 && n >= whole ? whole : 0;
    g_seen.reports = 0;
    g_seen.other_events = 0;
    const uint32_t used = c.on_tcp_client_data_recv("coll_rptr", 0, reinterpret_cast<const char*>(p),
                                                    static_cast<uint32_t>(n));
    check(used <= n, "consumed more than offered", n, used);
    check(used == expected, expected ? "a whole message not consumed as its length" : "consumed without a whole reply or verdict",
          n, used);
    check(g_seen.other_events == 0, "a connection event from received bytes", n, used);
    if (expected && type == MSG_COLLECT_INFO_REPORT) {
        check(g_seen.reports == 1, "a verdict not reported once", n, used);
        collect_info_msg_report want;
        memcpy(&want, p, sizeof(want));
        if (want.m_report_result == 1) want.m_report_result = 102;
        else if (want.m_report_result == 2) want.m_report_result = 103;
        check(memcmp(&want, &g_seen.last, sizeof(want)) == 0, "the verdict reported differs from the one sent", n,
              used);
    } else {
        check(g_seen.reports == 0, "a report without a whole verdict", n, used);
    }
    if (expected && type == MSG_CHECK_VERSION_REPORT)
        check(c.is_use_test_key() == (p[2] != 0), "test-key flag not the version reply's byte 2", n, used);
    return used;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static hux_fuzz::piece_feeder feeder(kTarget);
    tcp_client_impl& c = client_end();
    feeder.feed(data + 1, size - 1, data[0], [&](const unsigned char* p, size_t n) { return step(c, p, n); });
    return 0;
}
