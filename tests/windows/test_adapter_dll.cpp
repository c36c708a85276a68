// HUXAdapterApi.dll as an application meets it: loaded at run time from
// beside this program, its functions found by name, used without a server
// (refused and local connections only), and unloaded. Nothing of the adapter
// is linked into this program: every call goes through the DLL.
#include <winsock2.h>
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "hux_adapter_api.h"
#include "mv_hux_adapter.h"
#include "tests/windows/support/winsock_peer.h"

namespace {

using hux_wtest::wait_for;
using hux_wtest::wait_limit_ms;

const char* const DLL_NAME = "HUXAdapterApi.dll";

// The threads of this process.
int thread_count() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    int n = 0;
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Thread32First(snap, &entry); more; more = Thread32Next(snap, &entry))
        if (entry.th32OwnerProcessID == self) ++n;
    CloseHandle(snap);
    return n;
}

// The Winsock error of creating a socket now: 10093 (WSANOTINITIALISED)
// while nothing in the process has started Winsock, 0 when one was made.
int socket_error_now() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return WSAGetLastError();
    closesocket(s);
    return 0;
}

// The DLL, loaded for one test and freed at its end; HUX_FIND gives a
// function of it by name, typed as the header declares it (decltype only:
// the program never refers to the function itself).
class adapter_dll {
public:
    adapter_dll() : m_module(LoadLibraryA(DLL_NAME)) {}
    ~adapter_dll() {
        if (m_module) FreeLibrary(m_module);
    }
    adapter_dll(const adapter_dll&) = delete;
    adapter_dll& operator=(const adapter_dll&) = delete;
    HMODULE module() const { return m_module; }
    FARPROC raw(const char* name) const { return m_module ? GetProcAddress(m_module, name) : nullptr; }
    template <typename F>
    F find(const char* name) const {
        return reinterpret_cast<F>(reinterpret_cast<void*>(raw(name)));
    }

private:
    HMODULE m_module;
};
#define HUX_FIND(dll, fn) (dll).find<decltype(&fn)>(#fn)

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

// The one "<dir>\tavlog_<date>.log" file, or "" when there is none.
std::string log_in(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\tavlog_*.log").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return "";
    FindClose(h);
    return dir + "\\" + found.cFileName;
}

bool is_directory(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HUX_TradeSvrInfo server_at(uint16_t tcp_port) {
    HUX_TradeSvrInfo info;
    strcpy(info.server_ip, "127.0.0.1");
    info.tcp_port = tcp_port;
    strcpy(info.query_ip, "127.0.0.1");
    info.query_port = tcp_port;
    info.heartbeat_interval = 0;
    return info;
}

// The connection callback's reports, in order.
struct connection_reports {
    std::mutex lock;
    std::vector<int> codes;
    std::vector<int> snapshot() {
        std::lock_guard<std::mutex> guard(lock);
        return codes;
    }
};
connection_reports g_reports;

void on_connection(void*, int code, const char*) {
    std::lock_guard<std::mutex> guard(g_reports.lock);
    g_reports.codes.push_back(code);
}

}  // namespace

// Loading the DLL starts no thread and no Winsock; unloading it leaves none
// behind either.
TEST(AdapterDll, LoadAndUnloadDoNothing) {
    ASSERT_EQ(socket_error_now(), WSANOTINITIALISED);
    const int before = thread_count();
    ASSERT_GT(before, 0);
    {
        adapter_dll dll;
        ASSERT_NE(dll.module(), nullptr) << "LoadLibrary error " << GetLastError();
        EXPECT_EQ(thread_count(), before);
        EXPECT_EQ(socket_error_now(), WSANOTINITIALISED);
        EXPECT_NE(dll.raw("MVHUX_CreateTrade"), nullptr);
    }
    EXPECT_EQ(thread_count(), before);
    EXPECT_EQ(socket_error_now(), WSANOTINITIALISED);
}

// The C interface through the DLL: a handle's life, the results that need no
// server, the log directory and the connect checks.
TEST(AdapterDll, CInterfaceWithoutServer) {
    adapter_dll dll;
    ASSERT_NE(dll.module(), nullptr);
    auto create = HUX_FIND(dll, MVHUX_CreateTrade);
    auto destroy = HUX_FIND(dll, MVHUX_DestroyTrade);
    auto user_param = HUX_FIND(dll, MVHUX_GetUserParam);
    auto set_log_dir = HUX_FIND(dll, MVHUX_SetLogDir);
    auto conn = HUX_FIND(dll, MVHUX_ConnServer);
    auto disconn = HUX_FIND(dll, MVHUX_DisConnServer);
    auto logon = HUX_FIND(dll, MVHUX_UserLogon);
    auto timestamps = HUX_FIND(dll, MVHUX_GetTimestamps);
    auto max_token = HUX_FIND(dll, MVHUX_GetMaxToken);
    auto change_fc = HUX_FIND(dll, MVHUX_ChangeFCParam);
    auto async_mode = HUX_FIND(dll, MVHUX_SetAsyncReceiveMode);
    auto connection_event = HUX_FIND(dll, MVHUX_SetConnectionEvent);
    ASSERT_TRUE(create && destroy && user_param && set_log_dir && conn && disconn && logon && timestamps &&
                max_token && change_fc && async_mode && connection_event);

    int marker = 0;
    void* h = create(&marker);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(user_param(h), &marker);
    EXPECT_EQ(user_param(nullptr), nullptr);
    EXPECT_EQ(connection_event(h, &on_connection), HUX_RESULT_OK);

    // The log directory: a new relative directory takes both sessions' logs;
    // a name with '.' or ':' and a regular file change nothing.
    set_log_dir(h, "dll_logs");
    ASSERT_TRUE(is_directory("dll_logs"));
    const std::string log = log_in("dll_logs");
    ASSERT_FALSE(log.empty());
    // An earlier run's lines stay in front (the working directory is kept).
    const size_t earlier = read_file(log).size();
    set_log_dir(h, "dot.dir");
    set_log_dir(h, "c:colon");
    EXPECT_EQ(GetFileAttributesA("dot.dir"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA("c:colon"), INVALID_FILE_ATTRIBUTES);
    { std::ofstream("plain_file") << "x"; }
    set_log_dir(h, "plain_file");
    EXPECT_FALSE(is_directory("plain_file"));
    EXPECT_EQ(read_file("plain_file"), "x");

    // No server: the results that need none.
    unsigned token = 1;
    EXPECT_EQ(max_token(h, &token), HUX_RESULT_NOT_CONNECTED);
    EXPECT_EQ(logon(h, "user", "password", "app", "auth"), HUX_RESULT_NOT_CONNECTED);
    EXPECT_EQ(change_fc(h, 0, 0), HUX_RESULT_FC_PARAM_REFUSED);
    long long stamps[4] = {1, 2, 3, 4};
    int count = 4;
    EXPECT_EQ(timestamps(h, stamps, &count), HUX_RESULT_OK);
    EXPECT_EQ(count, 0);

    hux_wtest::winsock_peer peer;
    ASSERT_NE(peer.port(), 0);
    const uint16_t port = peer.port();

    // Equal UDP and TCP ports fail before any socket: the listener at that
    // port has no connection waiting when the call returns.
    HUX_TradeSvrInfo same = server_at(port);
    same.udp_port = port;
    strcpy(same.local_ip, "127.0.0.1");
    same.local_udp_port = 1;
    EXPECT_EQ(conn(h, &same), HUX_RESULT_CONNECT_FAILED);
    EXPECT_FALSE(peer.accept_one(0));

    // A synchronous connection to the listener, then a disconnect, which
    // reports 3 on the caller's thread.
    HUX_TradeSvrInfo info = server_at(port);
    ASSERT_EQ(conn(h, &info), HUX_RESULT_OK);
    ASSERT_TRUE(peer.accept_one(wait_limit_ms()));
    ASSERT_TRUE(wait_for([] { return !g_reports.snapshot().empty(); }, wait_limit_ms()));
    EXPECT_EQ(disconn(h), HUX_RESULT_OK);
    EXPECT_EQ(g_reports.snapshot(), (std::vector<int>{0, 3}));
    EXPECT_TRUE(peer.wait_client_gone(wait_limit_ms()));

    // A refused port: the connect fails, every time.
    peer.stop_listening();
    EXPECT_EQ(conn(h, &info), HUX_RESULT_CONNECT_FAILED);
    EXPECT_EQ(conn(h, &info), HUX_RESULT_CONNECT_FAILED);

    // Every line above went to the new directory; the first connect's line
    // once, though the first connect failed.
    const std::string text = read_file(log).substr(earlier);
    EXPECT_EQ(occurrences(text, "create trade conn"), 1u);
    char line[160];
    snprintf(line, sizeof(line), "invalid trade port params.udp trade port %u, cannot be same as trade tcp port:%u.",
             static_cast<unsigned>(port), static_cast<unsigned>(port));
    EXPECT_EQ(occurrences(text, line), 1u);
    snprintf(line, sizeof(line), "open trade servr 127.0.0.1:%u failed.", static_cast<unsigned>(port));
    EXPECT_EQ(occurrences(text, line), 2u);

    EXPECT_EQ(destroy(h), HUX_RESULT_OK);
    EXPECT_EQ(destroy(nullptr), HUX_RESULT_NULL_HANDLE);
}

// In the asynchronous receive mode a disconnect reports nothing.
TEST(AdapterDll, AsynchronousDisconnectReportsNothing) {
    adapter_dll dll;
    ASSERT_NE(dll.module(), nullptr);
    auto create = HUX_FIND(dll, MVHUX_CreateTrade);
    auto destroy = HUX_FIND(dll, MVHUX_DestroyTrade);
    auto conn = HUX_FIND(dll, MVHUX_ConnServer);
    auto disconn = HUX_FIND(dll, MVHUX_DisConnServer);
    auto async_mode = HUX_FIND(dll, MVHUX_SetAsyncReceiveMode);
    auto connection_event = HUX_FIND(dll, MVHUX_SetConnectionEvent);
    ASSERT_TRUE(create && destroy && conn && disconn && async_mode && connection_event);
    {
        std::lock_guard<std::mutex> guard(g_reports.lock);
        g_reports.codes.clear();
    }
    void* h = create(nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(connection_event(h, &on_connection), HUX_RESULT_OK);
    EXPECT_EQ(async_mode(h), HUX_RESULT_OK);
    hux_wtest::winsock_peer peer;
    HUX_TradeSvrInfo info = server_at(peer.port());
    ASSERT_EQ(conn(h, &info), HUX_RESULT_OK);
    ASSERT_TRUE(peer.accept_one(wait_limit_ms()));
    ASSERT_TRUE(wait_for([] { return !g_reports.snapshot().empty(); }, wait_limit_ms()));
    EXPECT_EQ(disconn(h), HUX_RESULT_OK);
    EXPECT_TRUE(peer.wait_client_gone(wait_limit_ms()));
    EXPECT_EQ(g_reports.snapshot(), (std::vector<int>{0}));
    EXPECT_EQ(destroy(h), HUX_RESULT_OK);
    EXPECT_EQ(g_reports.snapshot(), (std::vector<int>{0}));
}

// The object interface through the DLL's factory pair.
TEST(AdapterDll, ObjectInterface) {
    adapter_dll dll;
    ASSERT_NE(dll.module(), nullptr);
    auto create = HUX_FIND(dll, CreateHUXTraderApi);
    auto destroy = HUX_FIND(dll, DestroyHUXTraderApi);
    ASSERT_TRUE(create && destroy);
    HUXTraderApi* api = create();
    ASSERT_NE(api, nullptr);
    EXPECT_STREQ(api->GetTradeApiVersion(), "5.2.4.67");
    hux_wtest::winsock_peer peer;
    const uint16_t port = peer.port();
    peer.stop_listening();
    HUX_TradeSvrInfo info = server_at(port);
    EXPECT_EQ(api->ConnServer(info, nullptr), HUX_RESULT_CONNECT_FAILED);
    EXPECT_EQ(api->DisConnServer(), HUX_RESULT_OK);
    unsigned token = 0;
    EXPECT_EQ(api->GetMaxToken(&token), HUX_RESULT_NOT_CONNECTED);
    destroy(api);
    destroy(nullptr);
}

// The interface's exported special members: the constructors install the
// interface's own table (which lives in the DLL and is not the table of the
// DLL's objects), the assignment copies nothing and returns its object, and
// the destructors leave the interface's table in place.
TEST(AdapterDll, SpecialMembersOnlyInstallTheTable) {
    adapter_dll dll;
    ASSERT_NE(dll.module(), nullptr);
    // Members called as functions whose first argument is the object.
    typedef void (*construct_fn)(void*);
    typedef void (*copy_fn)(void*, const void*);
    typedef void* (*assign_fn)(void*, const void*);
    typedef void (*destroy_fn)(void*);
    auto c1 = reinterpret_cast<construct_fn>(reinterpret_cast<void*>(dll.raw("_ZN12HUXTraderApiC1Ev")));
    auto c2 = reinterpret_cast<construct_fn>(reinterpret_cast<void*>(dll.raw("_ZN12HUXTraderApiC2Ev")));
    auto copy1 = reinterpret_cast<copy_fn>(reinterpret_cast<void*>(dll.raw("_ZN12HUXTraderApiC1ERKS_")));
    auto copy2 = reinterpret_cast<copy_fn>(reinterpret_cast<void*>(dll.raw("_ZN12HUXTraderApiC2ERKS_")));
    auto assign = reinterpret_cast<assign_fn>(reinterpret_cast<void*>(dll.raw("_ZN12HUXTraderApiaSERKS_")));
    auto d0 = reinterpret_cast<destroy_fn>(reinterpret_cast<void*>(dll.raw("_ZN12HUXTraderApiD0Ev")));
    auto d1 = reinterpret_cast<destroy_fn>(reinterpret_cast<void*>(dll.raw("_ZN12HUXTraderApiD1Ev")));
    auto d2 = reinterpret_cast<destroy_fn>(reinterpret_cast<void*>(dll.raw("_ZN12HUXTraderApiD2Ev")));
    ASSERT_TRUE(c1 && c2 && copy1 && copy2 && assign && d0 && d1 && d2);
    EXPECT_EQ(dll.raw("_ZTV12HUXTraderApi"), nullptr);  // the table itself is not exported

    void* object[1] = {nullptr};
    c1(object);
    const void* table = object[0];
    ASSERT_NE(table, nullptr);
    HMODULE owner = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   static_cast<LPCSTR>(table), &owner));
    EXPECT_EQ(owner, dll.module());

    void* base[1] = {nullptr};
    c2(base);
    EXPECT_EQ(base[0], table);
    void* copied[1] = {nullptr};
    copy1(copied, object);
    EXPECT_EQ(copied[0], table);
    copied[0] = nullptr;
    copy2(copied, object);
    EXPECT_EQ(copied[0], table);

    void* target[1];
    memset(target, 0x5a, sizeof(target));
    void* pattern[1];
    memset(pattern, 0x5a, sizeof(pattern));
    EXPECT_EQ(assign(target, object), static_cast<void*>(target));
    EXPECT_EQ(memcmp(target, pattern, sizeof(target)), 0);

    d1(object);
    EXPECT_EQ(object[0], table);
    d2(base);
    EXPECT_EQ(base[0], table);
    // The deleting destructor frees its object: one the process heap gave.
    void** heap_object = static_cast<void**>(::operator new(sizeof(void*)));
    c1(heap_object);
    d0(heap_object);

    // The DLL's own objects have their own table.
    auto create = HUX_FIND(dll, CreateHUXTraderApi);
    auto destroy = HUX_FIND(dll, DestroyHUXTraderApi);
    ASSERT_TRUE(create && destroy);
    HUXTraderApi* api = create();
    ASSERT_NE(api, nullptr);
    EXPECT_NE(*reinterpret_cast<void**>(api), table);
    destroy(api);
}
