#include "plugin/zf_tcp_client_sock.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sched.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>
#include <zf/zf.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "bypass/bypass_fatal.h"

#define ZF_TRY(x) HUX_BYPASS_FN_TRY("ZF_TRY", "zf_tcp_client_sock", #x, x)
#define ZF_TEST(x) HUX_BYPASS_FN_TEST("ZF_TEST", "zf_tcp_client_sock", #x, x)

namespace {

std::atomic<int> g_thread_wait_ms{2000};
std::atomic<int> g_lock_wait_ms{200};

unsigned long current_lwp() { return static_cast<unsigned long>(syscall(SYS_gettid)); }

long long monotonic_us() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// A short pause of a bounded wait.
void nap() {
    timespec ts{0, 50000};
    nanosleep(&ts, nullptr);
}

}  // namespace

zf_tcp_client_sock::zf_tcp_client_sock()
    : m_sink(nullptr), m_stack(nullptr), m_muxer(nullptr), m_tcp_handle(nullptr), m_zock(nullptr), m_attr(nullptr),
      m_server_port(0), m_work(true), m_connected(false), m_auto_reconn(false), m_reconn_interval_s(5),
      m_thread_running(false), m_reconn_stop(false), m_unit_no(1), m_unit_buf(), m_keep_offset(-1), m_keep_len(0),
      m_cpu(-1), m_thread_id(), m_lwp(0), m_zf_stack_lock(PTHREAD_MUTEX_INITIALIZER), m_lock_made(false),
      m_recv_buf(), m_thread_live(false), m_work_thread(), m_work_joinable(false), m_pending_close(0),
      m_pending_was_connected(false), m_reconn_thread(), m_reconn_started(false) {}

zf_tcp_client_sock::~zf_tcp_client_sock() {
    m_reconn_stop.store(true);
    if (m_reconn_started) pthread_join(m_reconn_thread, nullptr);
    if (m_work_joinable) {
        if (on_work_thread_now() || !stop_work_thread()) {
            lprintf("zf client work thread still running at destruction.\n");
            pthread_detach(m_work_thread);
        }
    }
    // The stack (when no sock_close released it) is not touched here.
}

void zf_tcp_client_sock::lprintf(char const* fmt, ...) {
    char text[4096];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    if (n >= static_cast<int>(sizeof text)) n = static_cast<int>(sizeof text) - 1;
    timeval tv;
    gettimeofday(&tv, nullptr);
    tm t;
    localtime_r(&tv.tv_sec, &t);
    char head[64];
    const int h = std::snprintf(head, sizeof head, "%04d%02d%02d-%02d:%02d:%02d.%06d %05d ", t.tm_year + 1900,
                                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, static_cast<int>(tv.tv_usec), n);
    flockfile(stdout);
    std::fwrite(head, 1, static_cast<size_t>(h), stdout);
    std::fwrite(text, 1, static_cast<size_t>(n), stdout);
    std::fflush(stdout);
    funlockfile(stdout);
}

void zf_tcp_client_sock::set_close_bounds(int thread_wait_ms, int lock_wait_ms) {
    g_thread_wait_ms.store(thread_wait_ms);
    g_lock_wait_ms.store(lock_wait_ms);
}

bool zf_tcp_client_sock::zf_clt_init(char const* server_ip, int server_port, char const* dev, int cpu,
                                     i_zf_tcp_client_sock_event* sink, bool first_time) {
    // An endpoint still held (or a work thread still running) is closed first.
    if (m_zock != nullptr || m_thread_live.load(std::memory_order_acquire)) {
        lprintf("zf client still holds a connection, close it first.\n");
        return false;
    }
    m_server_ip = server_ip != nullptr ? server_ip : "";
    m_server_port = server_port;
    m_dev = dev != nullptr ? dev : "";
    m_cpu = cpu;
    if (m_server_ip.empty() || server_port < 1 || m_dev.empty()) {
        lprintf("tcp direct server ip or port or dev ,not correct.\n");
        return false;
    }
    m_sink = sink;
    lprintf("TCPDirect version:%s\n", zf_version());

    if (first_time) {
        if (m_stack != nullptr) {
            // An earlier first-time stack that no sock_close released.
            ZF_TRY(zf_stack_free(m_stack));
            ZF_TRY(zf_deinit());
            zf_attr_free(m_attr);
            m_stack = nullptr;
            m_attr = nullptr;
        }
        if (!m_lock_made) {
            ZF_TEST(pthread_mutex_init(&m_zf_stack_lock, NULL) == 0);
            m_lock_made = true;
        }
        ZF_TRY(zf_init());
        ZF_TRY(zf_attr_alloc(&m_attr));
        ZF_TRY(zf_attr_set_int(m_attr, "tcp_delayed_ack", 0));
        ZF_TRY(zf_attr_set_str(m_attr, "interface", m_dev.c_str()));
        ZF_TRY(zf_attr_set_int(m_attr, "pio", 0));
        ZF_TRY(zf_attr_set_str(m_attr, "ctpio_mode", "ct"));
        ZF_TRY(zf_stack_alloc(m_attr, &m_stack));
    } else if (m_stack == nullptr) {
        lprintf("zf client has no stack to reuse, a first-time init is needed.\n");
        return false;
    }

    ZF_TRY(zft_alloc(m_stack, m_attr, &m_tcp_handle));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(server_port));
    zft* zock = nullptr;
    const int rc = inet_pton(AF_INET, m_server_ip.c_str(), &addr.sin_addr) == 1
                       ? zft_connect(m_tcp_handle, reinterpret_cast<sockaddr const*>(&addr), sizeof addr, &zock)
                       : -EINVAL;
    if (rc < 0) {
        void* handle = m_tcp_handle;
        zft_handle_free(m_tcp_handle);
        m_tcp_handle = nullptr;
        lprintf("ERROR2:(%s) errno=%d,zock=%p,tcp_handle=%p\n", std::strerror(-rc), -rc, static_cast<void*>(zock),
                handle);
        return false;
    }
    m_tcp_handle = nullptr;  // the endpoint took it
    pthread_mutex_lock(&m_zf_stack_lock);
    m_zock = zock;
    pthread_mutex_unlock(&m_zf_stack_lock);

    while (zft_state(m_zock) == TCP_SYN_SENT) zf_reactor_perform(m_stack);
    if (zft_state(m_zock) != TCP_ESTABLISHED) {
        lprintf("ERROR2:zft_state(m_zock) == TCP_ESTABLISHED failed.\n");
        pthread_mutex_lock(&m_zf_stack_lock);
        ZF_TRY(zft_free(m_zock));
        m_zock = nullptr;
        pthread_mutex_unlock(&m_zf_stack_lock);
        return false;
    }

    m_keep_offset = -1;
    m_keep_len = 0;
    m_connected.store(true);
    if (m_sink != nullptr) m_sink->on_zf_tcp_connect();
    lprintf("INFO2 zft_connect server [%s][%d] success...!\n", m_server_ip.c_str(), m_server_port);
    m_work.store(true);

    lprintf("init zf sock ok.~~~~~~!\n");
    ZF_TRY(zf_muxer_alloc(m_stack, &m_muxer));
    epoll_event event{};
    event.events = EPOLLIN | EPOLLERR | EPOLLHUP | EPOLLRDHUP;
    event.data.ptr = m_zock;
    ZF_TRY(zf_muxer_add(m_muxer, zft_to_waitable(m_zock), &event));

    // The work thread is born with SIGINT blocked, so the process's handler
    // never runs on it (it holds the stack lock for whole passes).
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    pthread_sigmask(SIG_BLOCK, &block, &old);
    m_pending_close.store(0);
    m_pending_was_connected = false;
    m_thread_live.store(true, std::memory_order_release);
    const int trc = pthread_create(&m_work_thread, nullptr, work_thread_entry, this);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (trc != 0) {
        m_thread_live.store(false);
        lprintf("zf client work thread create fail, return %d.\n", trc);
        pthread_mutex_lock(&m_zf_stack_lock);
        release(true, true);
        pthread_mutex_unlock(&m_zf_stack_lock);
        return false;
    }
    m_work_joinable = true;
    return true;
}

void* zf_tcp_client_sock::work_thread_entry(void* self) {
    static_cast<zf_tcp_client_sock*>(self)->on_work_thread();
    return nullptr;
}

bool zf_tcp_client_sock::on_work_thread_now() const {
    return m_lwp.load(std::memory_order_acquire) == current_lwp();
}

void zf_tcp_client_sock::on_work_thread() {
    m_thread_id = pthread_self();
    m_lwp.store(current_lwp(), std::memory_order_release);
    m_thread_running.store(true);
    lprintf("zf client work thread [%lx][LWP %lu] start.\n", static_cast<unsigned long>(m_thread_id), m_lwp.load());
    if (m_cpu >= 0) bind_cpu();

    epoll_event events[MAX_EVENTS];
    while (m_work.load(std::memory_order_acquire)) {
        if (!zf_stack_has_pending_work(m_stack)) continue;
        if (pthread_mutex_trylock(&m_zf_stack_lock) != 0) continue;
        const int n = zf_muxer_wait(m_muxer, events, MAX_EVENTS, 0);
        const bool ok = n <= 0 || proc_event(events, n);
        pthread_mutex_unlock(&m_zf_stack_lock);
        if (!ok) break;
    }

    // A close asked for by a callback is carried out here, off the loop.
    const int pending = m_pending_close.exchange(0);
    if (pending != 0) {
        pthread_mutex_lock(&m_zf_stack_lock);
        release(pending == 1, m_pending_was_connected);
        pthread_mutex_unlock(&m_zf_stack_lock);
    }
    m_thread_running.store(false);
    lprintf("zf client work thread [%lx][LWP %lu] exit.\n", static_cast<unsigned long>(m_thread_id), m_lwp.load());
    m_lwp.store(0, std::memory_order_release);
    m_thread_live.store(false, std::memory_order_release);
}

void zf_tcp_client_sock::bind_cpu() {
    const long ncpu = sysconf(_SC_NPROCESSORS_CONF);
    if (m_cpu >= CPU_SETSIZE || m_cpu >= ncpu) {
        lprintf("invalid cpu id: %d\n", m_cpu);
        return;
    }
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(m_cpu, &set);
    int rc = pthread_setaffinity_np(pthread_self(), sizeof set, &set);
    if (rc != 0) {
        lprintf("pthread_setaffinity_np return %d.\n", rc);
        return;
    }
    rc = pthread_getaffinity_np(pthread_self(), sizeof set, &set);
    if (rc != 0) {
        lprintf("pthread_getaffinity_np return %d.\n", rc);
        return;
    }
    for (int c = 0; c < CPU_SETSIZE; ++c)
        if (CPU_ISSET(c, &set))
            lprintf("thread[%lu][LWP %lu] after set affinity: CPU %d\n", static_cast<unsigned long>(pthread_self()),
                    m_lwp.load(), c);
}

bool zf_tcp_client_sock::proc_event(epoll_event const* events, int n) {
    for (int i = 0; i < n; ++i) {
        if ((events[i].events & EPOLLIN) == 0 || !event_client_receive()) {
            connection_lost();
            return false;
        }
        // A callback closed the connection.
        if (!m_work.load(std::memory_order_acquire)) return false;
    }
    return true;
}

void zf_tcp_client_sock::connection_lost() {
    m_work.store(false);
    if (m_connected.exchange(false) && m_sink != nullptr) m_sink->on_zf_tcp_disconnect();
}

bool zf_tcp_client_sock::event_client_receive() {
    while (m_connected.load(std::memory_order_acquire)) {
        iovec iov{m_recv_buf, sizeof m_recv_buf};
        const int got = zft_recv(m_zock, &iov, 1, 0);
        if (got == -EAGAIN) return true;
        if (got <= 0) return false;

        if (m_keep_offset < 0) {
            char* front = m_recv_buf;
            int left = got;
            while (left > 0) {
                const int used = m_sink != nullptr ? m_sink->on_zf_tcp_recv_msg(front, left) : left;
                if (used < 0 || used > left) {
                    lprintf("zf client clt process data internal error, got negative result %d\n", used);
                    return false;
                }
                if (!m_work.load(std::memory_order_acquire)) return true;
                if (used == 0) {
                    if (left > RECV_UNIT_SIZE) {
                        lprintf("zf client too many unprocessed data, cannot buffered!(%d+%d > %d)\n", 0, left,
                                RECV_UNIT_SIZE);
                        return false;
                    }
                    std::memcpy(m_unit_buf, front, static_cast<size_t>(left));
                    m_keep_offset = 0;
                    m_keep_len = left;
                    lprintf("clt %d need buffer the unprocessed bytes, offset = %d, length = %d\n", m_unit_no,
                            m_keep_offset, m_keep_len);
                    break;
                }
                front += used;
                left -= used;
            }
            continue;
        }

        if (!paste_follow_data(m_recv_buf, got)) return false;
        while (m_keep_len > 0) {
            const int used =
                m_sink != nullptr ? m_sink->on_zf_tcp_recv_msg(m_unit_buf + m_keep_offset, m_keep_len) : m_keep_len;
            if (used < 0 || used > m_keep_len) {
                lprintf("zf client clt process data internal error, got negative result %d\n", used);
                return false;
            }
            if (!m_work.load(std::memory_order_acquire)) return true;
            if (used == 0) break;
            m_keep_offset += used;
            m_keep_len -= used;
        }
        if (m_keep_len == 0) m_keep_offset = -1;
    }
    return true;
}

bool zf_tcp_client_sock::paste_follow_data(char const* data, int len) {
    if (m_keep_len + len > RECV_UNIT_SIZE) {
        lprintf("zf client too many unprocessed data, cannot buffered!(%d+%d > %d)\n", m_keep_len, len,
                RECV_UNIT_SIZE);
        return false;
    }
    if (m_keep_offset + m_keep_len + len > RECV_UNIT_SIZE) {
        std::memmove(m_unit_buf, m_unit_buf + m_keep_offset, static_cast<size_t>(m_keep_len));
        m_keep_offset = 0;
    }
    std::memcpy(m_unit_buf + m_keep_offset + m_keep_len, data, static_cast<size_t>(len));
    m_keep_len += len;
    return true;
}

int zf_tcp_client_sock::sock_send(char const* data, unsigned int n) {
    if (data == nullptr || n == 0) {
        lprintf("zf tcp msg send error ");
        return -1;
    }
    // The work thread (a callback) holds the lock already.
    const bool locked = !on_work_thread_now();
    unsigned int sent = 0;
    while (sent < n) {
        if (locked) pthread_mutex_lock(&m_zf_stack_lock);
        const bool have_endpoint = m_zock != nullptr;
        const ssize_t rc = have_endpoint ? zft_send_single(m_zock, data + sent, n - sent, 0) : -1;
        if (locked) pthread_mutex_unlock(&m_zf_stack_lock);
        if (!have_endpoint) return -1;
        if (rc == -EAGAIN || rc == -ENOMEM) return static_cast<int>(sent);
        if (rc <= 0) return static_cast<int>(rc);
        sent += static_cast<unsigned int>(rc);
    }
    return static_cast<int>(n);
}

bool zf_tcp_client_sock::try_lock_stack(long wait_us) {
    const long long deadline = monotonic_us() + wait_us;
    for (;;) {
        if (pthread_mutex_trylock(&m_zf_stack_lock) == 0) return true;
        if (monotonic_us() >= deadline) return false;
        nap();
    }
}

void zf_tcp_client_sock::unlock_stack() { pthread_mutex_unlock(&m_zf_stack_lock); }

bool zf_tcp_client_sock::stop_work_thread() {
    m_work.store(false, std::memory_order_release);
    if (!m_work_joinable) return true;
    const long long deadline = monotonic_us() + 1000LL * g_thread_wait_ms.load();
    while (m_thread_live.load(std::memory_order_acquire)) {
        if (monotonic_us() >= deadline) return false;
        nap();
    }
    pthread_join(m_work_thread, nullptr);
    m_work_joinable = false;
    return true;
}

bool zf_tcp_client_sock::close_common(bool keep_stack) {
    if (on_work_thread_now()) {
        if (m_connected.exchange(false)) m_pending_was_connected = true;
        const int want = keep_stack ? 1 : 2;
        if (m_pending_close.load() < want) m_pending_close.store(want);
        m_work.store(false, std::memory_order_release);
        return true;
    }
    if (!stop_work_thread()) {
        m_connected.store(false);
        lprintf("zf client work thread did not end in time, resources kept.\n");
        return false;
    }
    if (!try_lock_stack(1000L * g_lock_wait_ms.load())) {
        m_connected.store(false);
        lprintf("zf client stack lock busy, resources kept.\n");
        return false;
    }
    release(keep_stack, m_connected.load());
    pthread_mutex_unlock(&m_zf_stack_lock);
    return true;
}

void zf_tcp_client_sock::quiesce() {
    for (int i = 0; i < QUIESCE_PASSES && !zf_stack_is_quiescent(m_stack); ++i) zf_reactor_perform(m_stack);
}

void zf_tcp_client_sock::release(bool keep_stack, bool was_connected) {
    if (m_stack != nullptr) {
        if (!was_connected || m_zock == nullptr) {
            lprintf("zf client sock close, do a clean and free resources.\n");
            quiesce();
        } else {
            lprintf("zf client sock close, wait a litter time.\n");
            for (int i = 0; i < QUIESCE_PASSES && zft_shutdown_tx(m_zock) == -EAGAIN; ++i) zf_reactor_perform(m_stack);
            quiesce();
        }
        if (m_muxer != nullptr) {
            if (m_zock != nullptr) ZF_TRY(zf_muxer_del(zft_to_waitable(m_zock)));
            zf_muxer_free(m_muxer);
            m_muxer = nullptr;
        }
        if (m_zock != nullptr) ZF_TRY(zft_free(m_zock));
        m_zock = nullptr;
        if (!keep_stack) {
            ZF_TRY(zf_stack_free(m_stack));
            ZF_TRY(zf_deinit());
            zf_attr_free(m_attr);
            m_attr = nullptr;
            m_stack = nullptr;
        }
    }
    m_keep_offset = -1;
    m_keep_len = 0;
    m_connected.store(false);
}

bool zf_tcp_client_sock::sock_close() { return close_common(false); }

bool zf_tcp_client_sock::sock_close_ex() { return close_common(true); }

void zf_tcp_client_sock::zf_stop() {}

bool zf_tcp_client_sock::is_connected() { return m_connected.load(std::memory_order_acquire); }

void zf_tcp_client_sock::set_auto_reconn_flag(bool on, int interval_s) {
    m_auto_reconn.store(on);
    if (interval_s > 0) m_reconn_interval_s.store(interval_s);
}

bool zf_tcp_client_sock::create_auto_reconn_thread() {
    if (m_reconn_started) return true;
    m_reconn_stop.store(false);
    m_reconn_started = pthread_create(&m_reconn_thread, nullptr, func_auto_reconn_thread, this) == 0;
    return m_reconn_started;
}

void* zf_tcp_client_sock::func_auto_reconn_thread(void* self) {
    static_cast<zf_tcp_client_sock*>(self)->on_thread_auto_reconn();
    return nullptr;
}

void zf_tcp_client_sock::on_thread_auto_reconn() {
    while (!m_reconn_stop.load()) {
        // The interval in short steps, so that the destructor's stop is seen.
        const long long due = monotonic_us() + 1000000LL * m_reconn_interval_s.load();
        while (!m_reconn_stop.load() && monotonic_us() < due) {
            timespec ts{0, 100000000};
            nanosleep(&ts, nullptr);
        }
        if (m_reconn_stop.load()) break;
        if (!m_auto_reconn.load() || m_connected.load()) continue;
        if (m_server_ip.empty() || m_server_port == -1) {
            lprintf("zf client auto reconnect has no server, the reconnect thread ends.\n");
            break;
        }
        zf_connect_server();
    }
}

bool zf_tcp_client_sock::zf_connect_server() {
    // The endpoint goes, the stack stays for the new connection.
    if (!sock_close_ex()) return false;
    return zf_clt_init(m_server_ip.c_str(), m_server_port, m_dev.c_str(), m_cpu, m_sink, m_stack == nullptr);
}

extern "C" i_zf_tcp_client_sock* CreateZFClientSock() { return new zf_tcp_client_sock(); }

extern "C" void DestroyZFClientSock(i_zf_tcp_client_sock* sock) { delete sock; }
