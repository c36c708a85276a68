#pragma once

// Ethernet/IPv4/TCP frames made to order, for tests of code that reads TCP
// segments off the wire: any addresses, ports and sequence number, IPv4 and
// TCP options, any payload, both checksums filled in, and short frames
// padded with zeros to the Ethernet minimum of 60 bytes (no FCS), as a card
// hands them over.
//
// Numbers are given in host order and written in network order. The frame
// is IPv4 (EtherType 0x0800, no VLAN tag), version 4, protocol 6, with DF set
// and no fragment offset unless `frag` says otherwise.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace hux_test {

constexpr size_t TCP_FRAME_ETH_LEN = 14;
constexpr size_t TCP_FRAME_MIN_LEN = 60;  // shorter frames are padded to this

// a.b.c.d in host order.
constexpr uint32_t ipv4_addr(unsigned a, unsigned b, unsigned c, unsigned d) {
    return uint32_t(a) << 24 | uint32_t(b) << 16 | uint32_t(c) << 8 | uint32_t(d);
}

struct tcp_frame {
    uint8_t dst_mac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    uint8_t src_mac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x02};
    uint32_t src_ip = ipv4_addr(10, 77, 0, 2);
    uint32_t dst_ip = ipv4_addr(10, 77, 0, 1);
    uint16_t src_port = 40000;
    uint16_t dst_port = 5000;
    uint32_t seq = 0;
    uint32_t ack = 0;
    uint8_t tcp_flags = 0x18;  // PSH, ACK
    uint16_t window = 65535;
    uint16_t ip_id = 0;
    uint16_t frag = 0x4000;  // flags and fragment offset: DF only
    uint8_t ttl = 64;
    std::vector<uint8_t> ip_options;   // a multiple of 4 bytes, at most 40
    std::vector<uint8_t> tcp_options;  // a multiple of 4 bytes, at most 40
    std::vector<uint8_t> payload;

    size_t ip_header_len() const { return 20 + ip_options.size(); }
    size_t tcp_header_len() const { return 20 + tcp_options.size(); }
    // Where the payload starts in the frame.
    size_t payload_at() const { return TCP_FRAME_ETH_LEN + ip_header_len() + tcp_header_len(); }
    // The frame's length, padding included.
    size_t frame_len() const {
        const size_t len = payload_at() + payload.size();
        return len < TCP_FRAME_MIN_LEN ? TCP_FRAME_MIN_LEN : len;
    }

    // Writes the frame to `out` (room for frame_len() bytes); its length.
    size_t write(uint8_t* out) const {
        const size_t ip_len = ip_header_len();
        const size_t tcp_len = tcp_header_len();
        const size_t total = ip_len + tcp_len + payload.size();
        const size_t len = frame_len();
        std::memset(out, 0, len);

        std::memcpy(out, dst_mac, 6);
        std::memcpy(out + 6, src_mac, 6);
        put16(out + 12, 0x0800);

        uint8_t* ip = out + TCP_FRAME_ETH_LEN;
        ip[0] = static_cast<uint8_t>(0x40 | (ip_len / 4));
        ip[1] = 0;  // DSCP, ECN
        put16(ip + 2, static_cast<uint16_t>(total));
        put16(ip + 4, ip_id);
        put16(ip + 6, frag);
        ip[8] = ttl;
        ip[9] = 6;
        put32(ip + 12, src_ip);
        put32(ip + 16, dst_ip);
        if (!ip_options.empty()) std::memcpy(ip + 20, ip_options.data(), ip_options.size());
        put16(ip + 10, fold(sum(ip, ip_len, 0)));

        uint8_t* tcp = ip + ip_len;
        put16(tcp, src_port);
        put16(tcp + 2, dst_port);
        put32(tcp + 4, seq);
        put32(tcp + 8, ack);
        tcp[12] = static_cast<uint8_t>((tcp_len / 4) << 4);
        tcp[13] = tcp_flags;
        put16(tcp + 14, window);
        if (!tcp_options.empty()) std::memcpy(tcp + 20, tcp_options.data(), tcp_options.size());
        if (!payload.empty()) std::memcpy(tcp + tcp_len, payload.data(), payload.size());
        // Pseudo-header: both addresses, zero and the protocol, the TCP length.
        const size_t segment = tcp_len + payload.size();
        uint32_t pseudo = (src_ip >> 16) + (src_ip & 0xffff) + (dst_ip >> 16) + (dst_ip & 0xffff) + 6 +
                          static_cast<uint32_t>(segment);
        put16(tcp + 16, fold(sum(tcp, segment, pseudo)));
        return len;
    }

    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> out(frame_len());
        write(out.data());
        return out;
    }

private:
    static void put16(uint8_t* p, uint32_t v) {
        p[0] = static_cast<uint8_t>(v >> 8);
        p[1] = static_cast<uint8_t>(v);
    }
    static void put32(uint8_t* p, uint32_t v) {
        put16(p, v >> 16);
        put16(p + 2, v);
    }
    // One's-complement sum of big-endian 16-bit words (an odd last byte is
    // the high byte of a word), added to `acc`.
    static uint32_t sum(const uint8_t* p, size_t len, uint32_t acc) {
        for (size_t i = 0; i + 1 < len; i += 2) acc += uint32_t(p[i]) << 8 | p[i + 1];
        if (len & 1) acc += uint32_t(p[len - 1]) << 8;
        return acc;
    }
    static uint16_t fold(uint32_t acc) {
        while (acc >> 16) acc = (acc & 0xffff) + (acc >> 16);
        return static_cast<uint16_t>(~acc);
    }
};

}  // namespace hux_test
