// Plug-ins that go wrong in one way each, for the loader's failure paths, and
// one that journals the calls it gets. Built once per kind as a shared
// library of its own (tests/bypass/CMakeLists.txt):
//   ZF_FAKE_NO_EXPORTS    neither export
//   ZF_FAKE_CREATE_ONLY   CreateZFClientSock only
//   ZF_FAKE_NULL_OBJECT   both; CreateZFClientSock returns null
//   ZF_FAKE_JOURNAL       both, and zf_fake_set_journal: every close, the
//                         destroy call and the destructor append their name
#include <string>

#include "bypass/zf_client_sock.h"

#define ZF_FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::string* g_journal = nullptr;

void note(char const* what) {
    if (g_journal != nullptr) *g_journal += std::string(what) + ";";
}

class journal_sock : public i_zf_tcp_client_sock {
public:
    ~journal_sock() override { note("~object"); }
    bool zf_clt_init(char const*, int, char const*, int, i_zf_tcp_client_sock_event*, bool) override {
        note("zf_clt_init");
        return false;
    }
    int sock_send(char const*, unsigned int) override { return -1; }
    bool sock_close() override {
        note("sock_close");
        return true;
    }
    bool sock_close_ex() override {
        note("sock_close_ex");
        return true;
    }
    void zf_stop() override {}
    bool is_connected() override { return false; }
};

}  // namespace

ZF_FAKE_EXPORT void zf_fake_set_journal(std::string* journal) { g_journal = journal; }

#if defined(ZF_FAKE_CREATE_ONLY) || defined(ZF_FAKE_NULL_OBJECT) || defined(ZF_FAKE_JOURNAL)
i_zf_tcp_client_sock* CreateZFClientSock() {
#if defined(ZF_FAKE_JOURNAL)
    note("CreateZFClientSock");
    return new journal_sock;
#else
    return nullptr;
#endif
}
#endif

#if defined(ZF_FAKE_NULL_OBJECT) || defined(ZF_FAKE_JOURNAL)
void DestroyZFClientSock(i_zf_tcp_client_sock* sock) {
    note("DestroyZFClientSock");
    delete sock;
}
#endif
