#pragma once

// Shared by the ef_vi sender's test programs: fixed MAC addresses on the two
// veth ends (so frames can be compared with hand-written bytes), the
// sender's record, a fixture that puts the stand-in back to its defaults, a
// recorder of the stand-in's posts, and frame field readers.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bypass/client_server_info.h"
#include "bypass/mv_ef_vi_sender.h"
#include "bypass/standin/hux_standin.h"
#include "tests/support/netns_pair.h"

namespace efvi_test {

// The two ends' MAC addresses, set before the first test.
constexpr unsigned char CLIENT_MAC[6] = {0x02, 0xc1, 0x00, 0x00, 0x00, 0x01};
constexpr unsigned char PEER_MAC[6] = {0x02, 0xf2, 0x00, 0x00, 0x00, 0x02};

class fixed_macs : public ::testing::Environment {
public:
    void SetUp() override {
        if (!hux_test::netns_ready()) return;
        const hux_test::netns_pair_names& n = hux_test::netns();
        hux_test::ns_run(n.client_ns, "ip link set dev " + n.client_if + " address 02:c1:00:00:00:01");
        hux_test::ns_run(n.peer_ns, "ip link set dev " + n.peer_if + " address 02:f2:00:00:00:02");
        hux_test::ns_run(n.client_ns, "ip neigh flush dev " + n.client_if);
        hux_test::ns_run(n.peer_ns, "ip neigh flush dev " + n.peer_if);
    }
};
inline ::testing::Environment* const g_fixed_macs = ::testing::AddGlobalTestEnvironment(new fixed_macs);

inline client_server_info make_info(char const* server_ip, unsigned short server_port, unsigned short local_port,
                                    bool timestamps = false) {
    client_server_info info{};
    std::snprintf(info.server_ip, sizeof info.server_ip, "%s", server_ip);
    info.server_port = server_port;
    std::snprintf(info.local_ip, sizeof info.local_ip, "%s", hux_test::CLIENT_IP);
    info.local_port = local_port;
    info.timestamps = timestamps ? 1 : 0;
    return info;
}

inline char const* client_if() { return hux_test::netns().client_if.c_str(); }

// Every test starts from the stand-in's defaults and 4 GiB of huge pages.
class efvi_fixture : public ::testing::Test {
protected:
    void SetUp() override {
        hux_standin_efvi_reset();
        hux_test::set_hugepages(2048, 2048);
    }
    void TearDown() override { hux_standin_efvi_reset(); }
};

// The stand-in's posts as they happened: DMA address, id and the bytes the
// DMA address showed at the moment of the post.
struct post_record {
    uint64_t dma_addr;
    int rq_id;
    std::vector<unsigned char> bytes;
};

class post_recorder {
public:
    post_recorder() { hux_standin_efvi_set_post_hook(&post_recorder::on_post, this); }
    ~post_recorder() { hux_standin_efvi_set_post_hook(nullptr, nullptr); }
    std::vector<post_record> posts;

private:
    static void on_post(void* ctx, uint64_t dma_addr, unsigned char const* bytes, int len, int rq_id) {
        static_cast<post_recorder*>(ctx)->posts.push_back(
            post_record{dma_addr, rq_id, std::vector<unsigned char>(bytes, bytes + len)});
    }
};

// The slot a DMA address belongs to (its frame starts at the address that
// the slot's first 8 bytes hold), -1 for none.
inline int slot_of(ef_vi_udp_sender const& s, uint64_t dma_addr) {
    for (int k = 0; k < ef_vi_udp_sender::SLOT_COUNT; ++k) {
        uint64_t addr;
        std::memcpy(&addr, s.slot(k), sizeof addr);
        if (addr == dma_addr) return k;
    }
    return -1;
}

inline unsigned be16(unsigned char const* p) { return (unsigned(p[0]) << 8) | p[1]; }

// The IPv4 header checksum is right when the header sums to 0xffff.
inline bool ipv4_checksum_ok(unsigned char const* frame) {
    uint32_t sum = 0;
    for (int i = 0; i < 20; i += 2) sum += be16(frame + 14 + i);
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return sum == 0xffff;
}

inline std::string bytes_text(unsigned char const* p, size_t n) { return std::string(reinterpret_cast<char const*>(p), n); }

// A payload of n bytes that differs for every tag.
inline std::string payload(size_t n, unsigned tag) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((tag * 31 + i * 7 + 1) & 0xff);
    if (n >= 4) std::memcpy(&s[0], &tag, 4);
    return s;
}

// Descriptors open in this process.
inline int open_descriptors() {
    int count = 0;
    for (int fd = 0; fd < 4096; ++fd)
        if (fcntl(fd, F_GETFD) != -1) ++count;
    return count;
}

}  // namespace efvi_test
