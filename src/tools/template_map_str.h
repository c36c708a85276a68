// Chained hash map keyed by a terminated text of at most KEY_LEN characters,
// copied into each entry. The bucket count is a power of two; the table grows
// fourfold once it is more than 70 per cent full. Every operation holds the
// LOCK given as template argument (null_lock everywhere in the system, so the
// owner serialises access).
#ifndef MORVAST_TOOL_TEMPLATE_MAP_STR_H
#define MORVAST_TOOL_TEMPLATE_MAP_STR_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tools/lock.h"

namespace MORVAST {
namespace TOOLS {

template <class VALUE, int KEY_LEN, class LOCK>
class map_str {
    static_assert(KEY_LEN > 0, "a key holds at least one character");

public:
    struct Assoc {
        char m_key[KEY_LEN + 1];
        VALUE m_data;
        Assoc* m_pNext;
    };
    typedef Assoc* LPAssoc;

    class iterator {
    public:
        iterator(Assoc* node, size_t index, map_str* map)
            : m_ptr_iter(node), m_index(index), m_ptr_map(map) {}

        // Next entry of the chain, else the head of the next non-empty
        // bucket, else the end.
        iterator& operator++() {
            if (!m_ptr_iter) return *this;
            if (m_ptr_iter->m_pNext) {
                m_ptr_iter = m_ptr_iter->m_pNext;
                return *this;
            }
            for (size_t i = m_index + 1; i < m_ptr_map->m_hash_table_size; ++i) {
                if (m_ptr_map->m_hash_table[i]) {
                    m_ptr_iter = m_ptr_map->m_hash_table[i];
                    m_index = i;
                    return *this;
                }
            }
            m_ptr_iter = nullptr;
            m_index = 0;
            return *this;
        }

        bool operator!=(const iterator& other) const {
            return m_ptr_map != other.m_ptr_map || m_ptr_iter != other.m_ptr_iter;
        }

        VALUE& operator*() const { return m_ptr_iter->m_data; }

    private:
        Assoc* m_ptr_iter;
        size_t m_index;
        map_str* m_ptr_map;
    };

    explicit map_str(size_t table_size) : m_hash_table(nullptr), m_hash_table_size(0), m_count(0) {
        init_map_size(table_size);
    }

    virtual ~map_str() {
        template_mutex_locker<LOCK> locker(&m_lock);
        destory_nolock();
    }

    map_str(const map_str&) = delete;
    map_str& operator=(const map_str&) = delete;

    // Buckets: 2 to the power of the integer part of log2(size) + 0.9, so a
    // size rounds up to the next power of two only when the fractional part
    // of its logarithm is at least 0.1 (11 -> 16, 129 -> 128, 140 -> 256);
    // 0 and 1 give one bucket.
    bool init_map_size(size_t size) {
        int e = 0;
        if (size > 1) {
            e = static_cast<int>(std::log(static_cast<double>(size)) / 0.6931471805599453 + 0.9);
            const int widest = static_cast<int>(sizeof(size_t) * 8) - 1;
            if (e > widest) e = widest;
        }
        const size_t buckets = e > 0 ? static_cast<size_t>(1) << e : 1;
        template_mutex_locker<LOCK> locker(&m_lock);
        if (buckets != m_count) reset_table_size_nolock(buckets);
        return true;
    }

    // True when the key has at most KEY_LEN characters; at most KEY_LEN + 1
    // bytes of it are read.
    static bool check_key(const char* ptr_key) { return key_length(ptr_key) <= KEY_LEN; }

    // h = h * 33 + c over the key's bytes, each taken as a signed 8-bit value,
    // in 64-bit wrap-around arithmetic.
    static size_t hash_key(const char* ptr_key) {
        uint64_t h = 0;
        for (const char* p = ptr_key; *p; ++p) {
            h = h * 33u + static_cast<uint64_t>(static_cast<int64_t>(static_cast<signed char>(*p)));
        }
        return static_cast<size_t>(h);
    }

    // Stores a copy of obj under the key (null is the empty text), replacing
    // the value of an existing key. False, nothing stored, for a key longer
    // than KEY_LEN or a map whose table was released by destory().
    bool set(const char* ptr_key, const VALUE& obj) {
        const char* key = ptr_key ? ptr_key : "";
        const size_t len = key_length(key);
        if (len > static_cast<size_t>(KEY_LEN)) return false;
        template_mutex_locker<LOCK> locker(&m_lock);
        if (m_hash_table_size == 0) return false;
        LPAssoc* link = &m_hash_table[hash_key(key) & (m_hash_table_size - 1)];
        for (; *link; link = &(*link)->m_pNext) {
            if (std::strcmp((*link)->m_key, key) == 0) {
                (*link)->m_data = obj;
                return true;
            }
        }
        Assoc* node = new Assoc{{}, obj, nullptr};
        std::memcpy(node->m_key, key, len + 1);
        *link = node;
        ++m_count;
        if (static_cast<double>(m_count) > static_cast<double>(m_hash_table_size) * 0.7) {
            reset_table_size_nolock(m_hash_table_size * 4);
        }
        return true;
    }

    // True and obj = the stored value when the key (null is the empty text)
    // is present; false, obj untouched, otherwise or for a too long key.
    bool find(const char* key, VALUE& obj) {
        const char* k = key ? key : "";
        if (!check_key(k)) return false;
        template_mutex_locker<LOCK> locker(&m_lock);
        if (m_hash_table_size == 0) return false;
        for (const Assoc* node = m_hash_table[hash_key(k) & (m_hash_table_size - 1)]; node;
             node = node->m_pNext) {
            if (std::strcmp(node->m_key, k) == 0) {
                obj = node->m_data;
                return true;
            }
        }
        return false;
    }

    size_t size() const { return m_count; }
    size_t table_size() const { return m_hash_table_size; }

    // Rehashes every entry into size buckets (a power of two), keeping the
    // order of the entries that share a bucket. Nothing is done when size
    // equals the entry count; false, nothing changed, for size 0.
    bool reset_table_size(size_t size) {
        template_mutex_locker<LOCK> locker(&m_lock);
        if (size == 0) return false;
        if (size != m_count) reset_table_size_nolock(size);
        return true;
    }

    // First entry of the lowest-numbered non-empty bucket, or end().
    iterator begin() {
        template_mutex_locker<LOCK> locker(&m_lock);
        for (size_t i = 0; i < m_hash_table_size; ++i) {
            if (m_hash_table[i]) return iterator(m_hash_table[i], i, this);
        }
        return iterator(nullptr, 0, this);
    }

    iterator end() { return iterator(nullptr, 0, this); }

    // Frees every entry; the buckets stay.
    void clear() {
        template_mutex_locker<LOCK> locker(&m_lock);
        clear_nolock();
    }

    // Frees every entry and the buckets; init_map_size() or
    // reset_table_size() gives the map a table again.
    void destory() {
        template_mutex_locker<LOCK> locker(&m_lock);
        destory_nolock();
    }

private:
    // Length of the key, or KEY_LEN + 1 for any longer key.
    static size_t key_length(const char* key) {
        size_t n = 0;
        while (n <= static_cast<size_t>(KEY_LEN) && key[n]) ++n;
        return n;
    }

    void reset_table_size_nolock(size_t size) {
        LPAssoc* table = new LPAssoc[size]();
        for (size_t i = 0; i < m_hash_table_size; ++i) {
            Assoc* node = m_hash_table[i];
            while (node) {
                Assoc* next = node->m_pNext;
                node->m_pNext = nullptr;
                LPAssoc* tail = &table[hash_key(node->m_key) & (size - 1)];
                while (*tail) tail = &(*tail)->m_pNext;
                *tail = node;
                node = next;
            }
        }
        delete[] m_hash_table;
        m_hash_table = table;
        m_hash_table_size = size;
    }

    void clear_nolock() {
        if (m_hash_table_size == 0) return;
        for (size_t i = 0; i < m_hash_table_size; ++i) {
            Assoc* node = m_hash_table[i];
            while (node) {
                Assoc* next = node->m_pNext;
                delete node;
                node = next;
            }
            m_hash_table[i] = nullptr;
        }
        m_count = 0;
    }

    void destory_nolock() {
        clear_nolock();
        delete[] m_hash_table;
        m_hash_table = nullptr;
        m_hash_table_size = 0;
        m_count = 0;
    }

    LPAssoc* m_hash_table;
    size_t m_hash_table_size;
    size_t m_count;
    LOCK m_lock;
};

}  // namespace TOOLS
}  // namespace MORVAST

#endif
