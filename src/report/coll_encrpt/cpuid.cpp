// CPUID enumeration: leaf 0, the basic leaves up to the highest it reports
// (the leaves that describe several items once per sub-leaf), then leaf
// 0x80000000 and the extended leaves, at most 256 answers in all.
#include "report/coll_encrpt/cpuid.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define HUX_HAVE_CPUID 1
#else
#define HUX_HAVE_CPUID 0
#endif

namespace {

// No leaf is asked for more sub-leaves than this.
const uint32_t k_max_subleaves = 32;

void put_reg(char* dst, uint32_t reg) {
    for (int i = 0; i < 4; ++i) dst[i] = static_cast<char>((reg >> (8 * i)) & 0xFF);
}

}  // namespace

CCPUID& CCPUID::cur() {
    static CCPUID instance;
    return instance;
}

CCPUID::CCPUID() : m_count(0), m_mmx(0), m_sse(SSE_NONE), m_avx(0) {
    std::memset(m_records, 0, sizeof(m_records));
    std::memset(m_vendor, 0, sizeof(m_vendor));
    std::memset(m_brand, 0, sizeof(m_brand));
    query_all();
    derive();
}

const cpuid_record* CCPUID::record(int i) const {
    if (i < 0 || i >= m_count) return nullptr;
    return &m_records[i];
}

const cpuid_record* CCPUID::find(uint32_t leaf, uint32_t subleaf) const {
    for (int i = 0; i < m_count; ++i) {
        if (m_records[i].leaf == leaf && m_records[i].subleaf == subleaf) return &m_records[i];
    }
    return nullptr;
}

bool CCPUID::add(uint32_t leaf, uint32_t subleaf, cpuid_record& out) {
    std::memset(&out, 0, sizeof(out));
    out.leaf = leaf;
    out.subleaf = subleaf;
#if HUX_HAVE_CPUID
    __cpuid_count(leaf, subleaf, out.eax, out.ebx, out.ecx, out.edx);
#endif
    if (m_count >= MAX_RECORDS) return false;
    m_records[m_count++] = out;
    return true;
}

void CCPUID::query_all() {
#if HUX_HAVE_CPUID
    cpuid_record r;
    add(0, 0, r);
    const uint32_t max_basic = r.eax;
    for (uint32_t leaf = 1; leaf <= max_basic && leaf < 0x80000000u; ++leaf) {
        add(leaf, 0, r);
        uint32_t sub = 1;
        switch (leaf) {
            case 4:  // deterministic cache parameters: until the cache type is 0
                while ((r.eax & 0x1F) != 0 && sub < k_max_subleaves && add(leaf, sub++, r)) {}
                break;
            case 7: {  // structured extended features: sub-leaves 1..EAX
                uint32_t last = r.eax < k_max_subleaves ? r.eax : k_max_subleaves - 1;
                while (sub <= last && add(leaf, sub++, r)) {}
                break;
            }
            case 0xB:
            case 0x1F:  // topology: until the level type is 0
                while (((r.ecx >> 8) & 0xFF) != 0 && sub < k_max_subleaves && add(leaf, sub++, r)) {}
                break;
            case 0xD:  // processor extended state: the two fixed sub-leaves
                add(leaf, 1, r);
                break;
            default:
                break;
        }
    }
    add(0x80000000u, 0, r);
    const uint32_t max_ext = r.eax;
    if (max_ext > 0x80000000u) {
        uint32_t last = max_ext;
        if (last - 0x80000000u > MAX_RECORDS) last = 0x80000000u + MAX_RECORDS;
        for (uint32_t leaf = 0x80000001u; leaf <= last; ++leaf) {
            if (!add(leaf, 0, r)) break;
        }
    }
#endif
}

void CCPUID::derive() {
    const cpuid_record* r0 = find(0, 0);
    if (r0 != nullptr) {
        put_reg(m_vendor, r0->ebx);
        put_reg(m_vendor + 4, r0->edx);
        put_reg(m_vendor + 8, r0->ecx);
        m_vendor[12] = '\0';
    }

    char brand[49];
    std::memset(brand, 0, sizeof(brand));
    for (uint32_t i = 0; i < 3; ++i) {
        const cpuid_record* r = find(0x80000002u + i, 0);
        if (r == nullptr) break;
        put_reg(brand + 16 * i, r->eax);
        put_reg(brand + 16 * i + 4, r->ebx);
        put_reg(brand + 16 * i + 8, r->ecx);
        put_reg(brand + 16 * i + 12, r->edx);
    }
    const char* start = brand;
    while (*start == ' ') ++start;
    std::memcpy(m_brand, start, std::strlen(start) + 1);

    const cpuid_record* r1 = find(1, 0);
    if (r1 != nullptr) {
        m_mmx = (r1->edx >> 23) & 1;
        if ((r1->edx >> 25) & 1) m_sse = SSE_1;
        if ((r1->edx >> 26) & 1) m_sse = SSE_2;
        if ((r1->ecx >> 0) & 1) m_sse = SSE_3;
        if ((r1->ecx >> 9) & 1) m_sse = SSSE_3;
        if ((r1->ecx >> 19) & 1) m_sse = SSE_41;
        if ((r1->ecx >> 20) & 1) m_sse = SSE_42;
        m_avx = (r1->ecx >> 28) & 1;
    }
}
