// The processor's CPUID answers, queried once and kept in query order, and
// what is derived from them: the vendor and brand texts and the MMX, SSE and
// AVX support levels. The terminal description takes the CPU serial from the
// leaf-1 record (EAX and EDX). On a processor without CPUID the record list
// stays empty.
#ifndef HUX_COLL_ENCRPT_CPUID_H
#define HUX_COLL_ENCRPT_CPUID_H

#include <cstdint>

struct cpuid_record {
    uint32_t leaf;
    uint32_t subleaf;
    uint32_t eax;
    uint32_t ebx;
    uint32_t ecx;
    uint32_t edx;
};

class CCPUID {
public:
    static constexpr int MAX_RECORDS = 256;

    // SSE levels.
    static constexpr int SSE_NONE = 0;
    static constexpr int SSE_1 = 1;
    static constexpr int SSE_2 = 2;
    static constexpr int SSE_3 = 3;
    static constexpr int SSSE_3 = 4;
    static constexpr int SSE_41 = 5;
    static constexpr int SSE_42 = 6;

    // The process-wide instance, filled on first use.
    static CCPUID& cur();

    int count() const { return m_count; }
    // The i-th answer in query order; null when i is out of range.
    const cpuid_record* record(int i) const;
    // The first answer for this leaf and sub-leaf; null when not queried.
    const cpuid_record* find(uint32_t leaf, uint32_t subleaf) const;

    const char* vendor() const { return m_vendor; }  // 12 characters, e.g. "GenuineIntel"
    const char* brand() const { return m_brand; }    // leading blanks skipped
    int mmx() const { return m_mmx; }                // 1 with MMX, else 0
    int sse() const { return m_sse; }                // SSE_NONE .. SSE_42
    int avx() const { return m_avx; }                // 1 with AVX, else 0

    CCPUID(const CCPUID&) = delete;
    CCPUID& operator=(const CCPUID&) = delete;

private:
    CCPUID();
    void query_all();
    // Queries one leaf and sub-leaf and keeps the answer; false when the
    // list is full (the answer is then dropped).
    bool add(uint32_t leaf, uint32_t subleaf, cpuid_record& out);
    void derive();

    cpuid_record m_records[MAX_RECORDS];
    int m_count;
    char m_vendor[13];
    char m_brand[49];
    int m_mmx;
    int m_sse;
    int m_avx;
};

#endif
