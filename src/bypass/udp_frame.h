#pragma once

// The Ethernet/IPv4/UDP frame both kernel-bypass senders prebuild, and the
// steps of a send that fill it: the lengths, the payload and the checksums.
// Offsets are from the start of the frame (the destination MAC): IPv4 header
// at 14, UDP header at 34, payload at 42.
//
// One's-complement sums are kept in the frame's own byte order: 16-bit words
// are added as they lie in memory, so the folded sum is stored as it is, and
// a number added to a sum goes in as the word its big-endian bytes make
// (be_word).
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace hux_bypass {

constexpr int ETH_LEN = 14;
constexpr int IPV4_LEN = 20;
constexpr int UDP_LEN = 8;
constexpr int IP_AT = ETH_LEN;                         // 14
constexpr int UDP_AT = ETH_LEN + IPV4_LEN;             // 34
constexpr int PAYLOAD_AT = ETH_LEN + IPV4_LEN + UDP_LEN;  // 42

inline void put_be16(unsigned char* p, unsigned v) {
    p[0] = static_cast<unsigned char>(v >> 8);
    p[1] = static_cast<unsigned char>(v);
}

// Stores a folded sum (a word in the frame's order).
inline void put_word(unsigned char* p, uint32_t word) {
    const uint16_t w = static_cast<uint16_t>(word);
    std::memcpy(p, &w, 2);
}

// A 16-bit number as the word its big-endian bytes make in the frame's order.
inline uint32_t be_word(unsigned v) { return htons(static_cast<uint16_t>(v)); }

// One's-complement sum of n bytes added to acc, unfolded. An odd last byte
// counts as a word with a zero second byte. Words stay aligned to the start,
// so each 8-byte step adds two 32-bit halves.
inline uint64_t sum_bytes(unsigned char const* p, std::size_t n, uint64_t acc) {
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        acc += (w & 0xffffffffu) + (w >> 32);
        p += 8;
        n -= 8;
    }
    if (n >= 4) {
        uint32_t w;
        std::memcpy(&w, p, 4);
        acc += w;
        p += 4;
        n -= 4;
    }
    if (n >= 2) {
        uint16_t w;
        std::memcpy(&w, p, 2);
        acc += w;
        p += 2;
        n -= 2;
    }
    if (n) {
        uint16_t w = 0;
        std::memcpy(&w, p, 1);
        acc += w;
    }
    return acc;
}

inline uint32_t fold(uint64_t acc) {
    while (acc >> 16) acc = (acc & 0xffff) + (acc >> 16);
    return static_cast<uint32_t>(acc);
}

// The IPv4 header: version 4 with 5 words, TOS 0, identification 0, don't
// fragment, TTL 64, protocol 17, the two addresses (network order). Total
// length and checksum are 0: a send writes them.
inline void build_ipv4_header(unsigned char* ip, uint32_t src_ip, uint32_t dst_ip) {
    ip[0] = 0x45;
    ip[1] = 0;
    put_be16(ip + 2, 0);       // total length
    put_be16(ip + 4, 0);       // identification
    put_be16(ip + 6, 0x4000);  // don't fragment
    ip[8] = 64;
    ip[9] = 17;
    put_be16(ip + 10, 0);  // checksum
    std::memcpy(ip + 12, &src_ip, 4);
    std::memcpy(ip + 16, &dst_ip, 4);
}

// The UDP header: the two ports; length and checksum 0.
inline void build_udp_ports(unsigned char* udp, unsigned short src_port, unsigned short dst_port) {
    put_be16(udp + 0, src_port);
    put_be16(udp + 2, dst_port);
    put_be16(udp + 4, 0);  // length
    put_be16(udp + 6, 0);  // checksum
}

// The 42 header bytes: both MACs, EtherType 0x0800, the IPv4 and UDP headers.
inline void build_udp_header(unsigned char* frame, unsigned char const* dst_mac, unsigned char const* src_mac,
                             uint32_t src_ip, uint32_t dst_ip, unsigned short src_port, unsigned short dst_port) {
    std::memcpy(frame, dst_mac, 6);
    std::memcpy(frame + 6, src_mac, 6);
    put_be16(frame + 12, 0x0800);
    build_ipv4_header(frame + IP_AT, src_ip, dst_ip);
    build_udp_ports(frame + UDP_AT, src_port, dst_port);
}

// The sum of a frame's IPv4 header as it stands, folded.
inline uint32_t ipv4_header_sum(unsigned char const* frame) { return fold(sum_bytes(frame + IP_AT, IPV4_LEN, 0)); }

// The IPv4 header checksum of the frame, its field zeroed first.
inline void fill_ip_checksum(unsigned char* frame) {
    frame[IP_AT + 10] = 0;
    frame[IP_AT + 11] = 0;
    put_word(frame + IP_AT + 10, ~ipv4_header_sum(frame) & 0xffff);
}

// Sum of the UDP pseudo-header of the frame's addresses: both addresses and
// protocol 17, and the UDP length when udp_len is not 0.
inline uint32_t pseudo_header_sum(unsigned char const* frame, unsigned udp_len) {
    return fold(sum_bytes(frame + IP_AT + 12, 8, be_word(17) + (udp_len ? be_word(udp_len) : 0)));
}

// The UDP checksum over the UDP header and n payload bytes, from the
// pseudo-header sum (which must hold the UDP length by now). A result of zero
// goes out as 0xffff: zero means "no checksum".
inline void fill_udp_checksum(unsigned char* frame, uint64_t pseudo, int n) {
    frame[UDP_AT + 6] = 0;
    frame[UDP_AT + 7] = 0;
    uint32_t sum = ~fold(sum_bytes(frame + UDP_AT, static_cast<std::size_t>(UDP_LEN + n), pseudo)) & 0xffff;
    if (sum == 0) sum = 0xffff;
    put_word(frame + UDP_AT + 6, sum);
}

// A send into a frame whose lengths and IPv4 checksum are fixed (the new-order
// and new-quote frames): the payload and the UDP checksum from the stored
// pseudo-header sum.
inline void fill_fixed_frame(unsigned char* frame, uint32_t pseudo, char const* data, int n) {
    std::memcpy(frame + PAYLOAD_AT, data, static_cast<std::size_t>(n));
    fill_udp_checksum(frame, pseudo, n);
}

// A send into an ef_vi slot's frame: the UDP length n + 8, the IPv4 total
// length n + 28, the payload and, when the frame goes by CTPIO (no checksum
// offload there), the IPv4 checksum: the one's complement of the stored
// header sum (of the header with length and checksum 0) plus the total
// length, the carry folded in once. The UDP checksum stays 0 (none).
inline void fill_efvi_frame(unsigned char* frame, uint32_t header_sum, char const* data, unsigned n, bool checksum) {
    const unsigned total_len = n + IPV4_LEN + UDP_LEN;
    put_be16(frame + UDP_AT + 4, n + UDP_LEN);
    put_be16(frame + IP_AT + 2, total_len);
    if (n) std::memcpy(frame + PAYLOAD_AT, data, n);
    if (checksum) {
        uint32_t sum = header_sum + be_word(total_len);
        sum = (sum & 0xffff) + (sum >> 16);
        put_word(frame + IP_AT + 10, ~sum & 0xffff);
    }
}

}  // namespace hux_bypass
