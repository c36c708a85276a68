// Plug-ins that go wrong in one way each, for the loader's failure paths, and
// one that journals the calls it gets. Built once per kind as a shared
// library of its own (tests/bypass/CMakeLists.txt):
//   ZF_FAKE_NO_EXPORTS    neither export
//   ZF_FAKE_CREATE_ONLY   CreateZFClientSock only
//   ZF_FAKE_NULL_OBJECT   both; CreateZFClientSock returns null
//   ZF_FAKE_JOURNAL       both, and zf_fake_set_journal: every close, the
//                         destroy call and the destructor append their name
//   ZF_FAKE_HELD          the journal's, and zf_fake_set_hook: zf_clt_init
//                         starts a work thread that passes the test point
//                         "zf fake: work thread" through the hook (where a
//                         test holds it) and ends; a close fails while that
//                         thread runs, and the destructor detaches it
#include <atomic>
#include <string>
#include <thread>

#include "bypass/zf_client_sock.h"

#define ZF_FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::string* g_journal = nullptr;
void (*g_hook)(const char*, const void*) = nullptr;

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

class held_sock : public journal_sock {
public:
    ~held_sock() override {
        if (m_thread.joinable()) m_thread.detach();
    }
    bool zf_clt_init(char const*, int, char const*, int, i_zf_tcp_client_sock_event*, bool) override {
        note("zf_clt_init");
        m_running = true;
        m_thread = std::thread([this] {
            if (g_hook != nullptr) g_hook("zf fake: work thread", this);
            m_running = false;
        });
        return true;
    }
    bool sock_close() override {
        note("sock_close");
        if (m_running.load()) return false;
        if (m_thread.joinable()) m_thread.join();
        return true;
    }

private:
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};

}  // namespace

ZF_FAKE_EXPORT void zf_fake_set_journal(std::string* journal) { g_journal = journal; }
ZF_FAKE_EXPORT void zf_fake_set_hook(void (*hook)(const char*, const void*)) { g_hook = hook; }

#if defined(ZF_FAKE_CREATE_ONLY) || defined(ZF_FAKE_NULL_OBJECT) || defined(ZF_FAKE_JOURNAL) || defined(ZF_FAKE_HELD)
i_zf_tcp_client_sock* CreateZFClientSock() {
#if defined(ZF_FAKE_JOURNAL)
    note("CreateZFClientSock");
    return new journal_sock;
#elif defined(ZF_FAKE_HELD)
    return new held_sock;
#else
    return nullptr;
#endif
}
#endif

#if defined(ZF_FAKE_NULL_OBJECT) || defined(ZF_FAKE_JOURNAL) || defined(ZF_FAKE_HELD)
void DestroyZFClientSock(i_zf_tcp_client_sock* sock) {
    note("DestroyZFClientSock");
    delete sock;
}
#endif
