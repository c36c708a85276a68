// The TCP flow receiver: card set-up, the receive thread and its buffers.
#include "bypass/tcp_quote_new.h"

#include <arpa/inet.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "bypass/bypass_fatal.h"

#define TRY(x) HUX_BYPASS_TRY("tcp_quote_new", x)
#define TEST(x) HUX_BYPASS_TEST("tcp_quote_new", x)

namespace {

int64_t monotonic_ns() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

}  // namespace

i_tcp_quote_new* i_tcp_quote_new::create_tcp_quote() { return new (std::nothrow) tcp_quote_new(); }

tcp_quote_new::tcp_quote_new() : m_thread() {
    std::memset(&m_param, 0, sizeof m_param);
    m_ring = static_cast<char*>(mmap_ringbuff(hux_bypass::tcp_flow_assembler::RING_SIZE));
}

tcp_quote_new::~tcp_quote_new() {
    close();
    if (m_ring) unmmap_ringbuff(m_ring, hux_bypass::tcp_flow_assembler::RING_SIZE);
    m_ring = nullptr;
}

// ---------------------------------------------------------------- set-up

bool tcp_quote_new::init(sock_tcp_param_new& param, i_tcp_quote_event_new* sink, bool reorder) {
    // Refusals that touch nothing.
    if (m_running) return false;
    in_addr local;
    char local_ip[sizeof param.local_ip + 1];
    std::memcpy(local_ip, param.local_ip, sizeof param.local_ip);
    local_ip[sizeof param.local_ip] = '\0';
    if (inet_pton(AF_INET, local_ip, &local) != 1) return false;
    if (param.m_eth_name[0] == '\0') return false;
    if (reorder && !m_ring) return false;

    m_param = param;
    m_param.m_eth_name[sizeof m_param.m_eth_name - 1] = '\0';
    m_sink = sink;
    m_reorder = reorder;
    m_flow.start(local.s_addr, param.local_port, sink, reorder, m_ring);

    // The resource record; without it the process ends.
    m_res = new (std::nothrow) resources();
    if (!m_res) std::exit(1);
    resources& r = *m_res;

    TRY(ef_driver_open(&r.dh));
    TRY(ef_pd_alloc_by_name(&r.pd, r.dh, m_param.m_eth_name, EF_PD_DEFAULT));
    r.pd_allocated = true;
    // Receive queue only: no transmit queue.
    TRY(ef_vi_alloc_from_pd(&r.vi, r.dh, &r.pd, r.dh, -1, RX_QUEUE_SIZE, 0, nullptr, -1, EF_VI_FLAGS_DEFAULT));
    r.vi_allocated = true;
    r.rx_prefix = ef_vi_receive_prefix_len(&r.vi);

    // Packet buffers for the whole receive queue, in 2 MiB units: huge
    // pages when the system has them, else 2 MiB-aligned memory.
    const size_t want = static_cast<size_t>(RX_QUEUE_SIZE) * RX_BUF_SIZE;
    r.pkt_mem_size = (want + PKT_MEM_ALIGN - 1) / PKT_MEM_ALIGN * PKT_MEM_ALIGN;
    void* mem = mmap(nullptr, r.pkt_mem_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_HUGETLB, -1, 0);
    if (mem != MAP_FAILED) {
        r.pkt_mem_huge = true;
    } else {
        mem = nullptr;
        TEST(posix_memalign(&mem, PKT_MEM_ALIGN, r.pkt_mem_size) == 0);
        r.pkt_mem_huge = false;
    }
    r.pkt_mem = static_cast<unsigned char*>(mem);
    TRY(ef_memreg_alloc(&r.memreg, r.dh, &r.pd, r.dh, r.pkt_mem, r.pkt_mem_size));
    r.memreg_allocated = true;

    r.free_ids = new (std::nothrow) uint32_t[RX_QUEUE_SIZE];
    TEST(r.free_ids != nullptr);
    for (int i = 0; i < RX_QUEUE_SIZE; ++i) r.free_ids[i] = static_cast<uint32_t>(RX_QUEUE_SIZE - 1 - i);
    r.free_count = RX_QUEUE_SIZE;
    refill(true);

    ef_filter_spec fs;
    ef_filter_spec_init(&fs, EF_FILTER_FLAG_NONE);
    TRY(ef_filter_spec_set_port_sniff(&fs, 1));
    TRY(ef_vi_filter_add(&r.vi, r.dh, &fs, nullptr));

    m_stop.store(false);
    TEST(pthread_create(&m_thread, nullptr, &tcp_quote_new::func_work_thread, this) == 0);
    m_running = true;
    return true;
}

void tcp_quote_new::close() {
    if (m_running) {
        m_stop.store(true);
        pthread_join(m_thread, nullptr);
        m_running = false;
    }
    release_resources();
}

void tcp_quote_new::release_resources() {
    if (!m_res) return;
    resources& r = *m_res;
    if (r.memreg_allocated) ef_memreg_free(&r.memreg, r.dh);
    if (r.vi_allocated) ef_vi_free(&r.vi, r.dh);
    if (r.pd_allocated) ef_pd_free(&r.pd, r.dh);
    if (r.dh >= 0) ef_driver_close(r.dh);
    if (r.pkt_mem) {
        if (r.pkt_mem_huge)
            munmap(r.pkt_mem, r.pkt_mem_size);
        else
            std::free(r.pkt_mem);
    }
    delete[] r.free_ids;
    delete m_res;
    m_res = nullptr;
}

// Posts free buffers to the receive ring: into every free place (`all`), or
// REFILL_BATCH at a time while more than REFILL_BATCH - 1 places are free.
void tcp_quote_new::refill(bool all) {
    resources& r = *m_res;
    int room = ef_vi_receive_capacity(&r.vi) - ef_vi_receive_fill_level(&r.vi);
    int posted = 0;
    while (r.free_count > 0 && (all ? room > 0 : room >= REFILL_BATCH && r.free_count >= REFILL_BATCH)) {
        const int batch = all ? 1 : REFILL_BATCH;
        for (int i = 0; i < batch; ++i) {
            const uint32_t id = r.free_ids[--r.free_count];
            const ef_addr addr = ef_memreg_dma_addr(&r.memreg, static_cast<size_t>(id) * RX_BUF_SIZE);
            TRY(ef_vi_receive_init(&r.vi, addr, static_cast<ef_request_id>(id)));
        }
        room -= batch;
        posted += batch;
    }
    if (posted > 0) ef_vi_receive_push(&r.vi);
}

// ---------------------------------------------------------------- thread

void* tcp_quote_new::func_work_thread(void* self) {
    static_cast<tcp_quote_new*>(self)->on_work_thread();
    return nullptr;
}

void tcp_quote_new::on_work_thread() {
    if (m_param.cpu > 0) {
        log_line(TCP_QUOTE_LOG_INFO, "tcp_quote_new::on_work_thread [%lu-%lu] bind cpu [%d]",
                 static_cast<unsigned long>(getpid()), static_cast<unsigned long>(syscall(SYS_gettid)), m_param.cpu);
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(m_param.cpu, &set);
        if (pthread_setaffinity_np(pthread_self(), sizeof set, &set) != 0)
            log_line(TCP_QUOTE_LOG_ERROR, "pthread_attr_setaffinity_np bind cpu");
    }
    thread_main_loop();
}

void tcp_quote_new::thread_main_loop() {
    resources& r = *m_res;
    ef_event events[POLL_EVENTS];
    while (!m_stop.load(std::memory_order_relaxed)) {
        const int n = ef_eventq_poll(&r.vi, events, POLL_EVENTS);
        for (int i = 0; i < n; ++i) {
            const ef_event& e = events[i];
            switch (EF_EVENT_TYPE(e)) {
            case EF_EVENT_TYPE_RX: {
                const uint32_t id = EF_EVENT_RX_RQ_ID(e);
                const int bytes = static_cast<int>(EF_EVENT_RX_BYTES(e)) - r.rx_prefix;
                if (id < static_cast<uint32_t>(RX_QUEUE_SIZE)) {
                    if (bytes > 0)
                        handle_rx(r.pkt_mem + static_cast<size_t>(id) * RX_BUF_SIZE + r.rx_prefix,
                                  static_cast<uint32_t>(bytes));
                    r.free_ids[r.free_count++] = id;
                }
                break;
            }
            case EF_EVENT_TYPE_RX_DISCARD: {
                const uint32_t id = EF_EVENT_RX_DISCARD_RQ_ID(e);
                log_line(TCP_QUOTE_LOG_ERROR, "ERROR: discard type=%d\n",
                         static_cast<int>(EF_EVENT_RX_DISCARD_TYPE(e)));
                if (id < static_cast<uint32_t>(RX_QUEUE_SIZE)) r.free_ids[r.free_count++] = id;
                break;
            }
            default:
                log_line(TCP_QUOTE_LOG_ERROR, "ERROR: unexpected event type=%d\n", static_cast<int>(EF_EVENT_TYPE(e)));
                break;
            }
        }
        // Listed data waits at most 10 ms, counted only while nothing arrives.
        if (n == 0 && m_flow.listed() > 0) m_flow.check_listed_age(monotonic_ns());
        refill(false);
    }
}

void tcp_quote_new::handle_rx(const uint8_t* frame, uint32_t len) { m_flow.handle_rx(frame, len, monotonic_ns()); }

// ---------------------------------------------------------------- helpers

void tcp_quote_new::enable_check_seq(bool on) {
    if (on && !m_check_seq.load()) {
        m_check_first = true;
        m_check_expected = 0;
    }
    m_check_seq.store(on);
}

bool tcp_quote_new::check_seq_num(tcp_head* head, unsigned int payload_len) {
    if (!m_check_seq.load() || !head) return true;
    const uint32_t s = ntohl(head->seq);
    if (!m_check_first && s != m_check_expected) return false;
    m_check_first = false;
    m_check_expected = s + payload_len;
    return true;
}

void tcp_quote_new::write_log(char const* text) {
    std::fputs(text ? text : "", stdout);
    std::fputc('\n', stdout);
}

char const* tcp_quote_new::get_sys_onload_version() { return ef_vi_version_str(); }

void tcp_quote_new::format_Ipv4(unsigned int addr, char* out) {
    in_addr a;
    a.s_addr = addr;
    if (!inet_ntop(AF_INET, &a, out, INET_ADDRSTRLEN)) out[0] = '\0';
}
