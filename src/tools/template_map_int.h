// Chained hash map keyed by a signed 64-bit integer. The bucket count always
// comes from a fixed table of 28 sizes; the map grows when its entries
// outnumber its buckets. Every operation but size() holds the LOCK given as
// template argument (null_lock everywhere in the system, so the owner
// serialises access).
#ifndef MORVAST_TOOL_TEMPLATE_MAP_INT_H
#define MORVAST_TOOL_TEMPLATE_MAP_INT_H

#include <cstddef>
#include <cstdint>

#include "tools/lock.h"

namespace MORVAST {
namespace TOOLS {

template <class VALUE, class LOCK>
class map_int {
public:
    typedef int64_t IntKey;

    struct Assoc {
        IntKey m_key;
        VALUE m_data;
        Assoc* m_pNext;
    };
    typedef Assoc* LPAssoc;

    // A negative table_size is taken as 0 (the smallest table).
    explicit map_int(int table_size)
        : m_hash_table(nullptr),
          m_hash_table_size(0),
          m_count(0),
          m_autoIncr(true),
          m_max_duplicate_count(0) {
        init_map(table_size < 0 ? 0 : static_cast<size_t>(table_size), true);
    }

    virtual ~map_int() {
        template_mutex_locker<LOCK> locker(&m_lock);
        destory_nolock();
    }

    map_int(const map_int&) = delete;
    map_int& operator=(const map_int&) = delete;

    // Sets a fresh, empty table of map_int_adjust_size(size) buckets. Entries
    // still in the map are freed with the old table.
    bool init_map(size_t size, bool auto_incr) {
        template_mutex_locker<LOCK> locker(&m_lock);
        destory_nolock();
        m_hash_table_size = map_int_adjust_size(size);
        m_hash_table = new LPAssoc[m_hash_table_size]();
        m_max_duplicate_count = 0;
        m_autoIncr = auto_incr;
        return true;
    }

    // The first table size not below size; the largest one beyond them all.
    static size_t map_int_adjust_size(size_t size) {
        // Three of these are not prime (786443, 25165842, 50331553); they are
        // the sizes the system has always used and are kept as they are.
        static const size_t sizes[] = {
            53u,        97u,        193u,       389u,        769u,        1543u,
            3079u,      6151u,      12289u,     24593u,      49157u,      98317u,
            196613u,    393241u,    786443u,    1572869u,    3145739u,    6291469u,
            12582917u,  25165842u,  50331553u,  100663319u,  201326611u,  402653189u,
            805306457u, 1610612741u, 3221225473u, 4294967291u};
        for (size_t s : sizes) {
            if (s >= size) return s;
        }
        return sizes[sizeof(sizes) / sizeof(sizes[0]) - 1];
    }

    // A key of 0 or more is its own hash. A negative key hashes to the
    // absolute value of its low 32 bits taken as a signed 32-bit number,
    // widened with sign; a low half of 0x80000000 has no positive 32-bit
    // value, stays negative and so becomes a very large hash.
    static size_t hash_key(IntKey key) {
        if (key >= 0) return static_cast<size_t>(key);
        const int32_t low = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(key)));
        const int64_t wide = (low < 0 && low != INT32_MIN) ? -static_cast<int64_t>(low)
                                                          : static_cast<int64_t>(low);
        return static_cast<size_t>(static_cast<uint64_t>(wide));
    }

    // True and obj = the stored value when key is present; obj untouched otherwise.
    bool find(IntKey key, VALUE& obj) {
        template_mutex_locker<LOCK> locker(&m_lock);
        const Assoc* node = find_nolock(key);
        if (!node) return false;
        obj = node->m_data;
        return true;
    }

    bool contains(IntKey key) {
        template_mutex_locker<LOCK> locker(&m_lock);
        return find_nolock(key) != nullptr;
    }

    // Stores a copy of obj under key, replacing the value of an existing key.
    // New entries go to the tail of their chain. False only on a map whose
    // table was released by destory().
    bool set(IntKey key, const VALUE& obj) {
        template_mutex_locker<LOCK> locker(&m_lock);
        if (m_hash_table_size == 0) return false;
        LPAssoc& head = m_hash_table[hash_key(key) % m_hash_table_size];
        if (!head) {
            head = new Assoc{key, obj, nullptr};
            ++m_count;
        } else {
            size_t walked = 0;
            Assoc* node = head;
            for (;;) {
                ++walked;
                if (node->m_key == key) {
                    node->m_data = obj;
                    break;
                }
                if (!node->m_pNext) {
                    if (walked > m_max_duplicate_count) m_max_duplicate_count = walked;
                    node->m_pNext = new Assoc{key, obj, nullptr};
                    ++m_count;
                    break;
                }
                node = node->m_pNext;
            }
        }
        if (m_hash_table_size < m_count && m_autoIncr) {
            // Past the largest table size the table cannot grow any further.
            const size_t grown = map_int_adjust_size(m_count);
            if (grown > m_hash_table_size) reset_table_size_nolock(grown);
        }
        return true;
    }

    size_t size() const { return m_count; }
    size_t table_size() const { return m_hash_table_size; }
    size_t max_duplicate_count() const { return m_max_duplicate_count; }

    // Rehashes every entry into size buckets, keeping the order of the
    // entries that share a bucket. False, and nothing changed, for size 0.
    bool reset_table_size(size_t size) {
        template_mutex_locker<LOCK> locker(&m_lock);
        if (size == 0) return false;
        reset_table_size_nolock(size);
        return true;
    }

    // Frees every entry; the buckets stay.
    void clear() {
        template_mutex_locker<LOCK> locker(&m_lock);
        clear_nolock();
    }

    // Frees every entry and the buckets; init_map() or reset_table_size()
    // gives the map a table again.
    void destory() {
        template_mutex_locker<LOCK> locker(&m_lock);
        destory_nolock();
    }

private:
    const Assoc* find_nolock(IntKey key) const {
        if (m_hash_table_size == 0) return nullptr;
        for (const Assoc* node = m_hash_table[hash_key(key) % m_hash_table_size]; node;
             node = node->m_pNext) {
            if (node->m_key == key) return node;
        }
        return nullptr;
    }

    void reset_table_size_nolock(size_t size) {
        LPAssoc* table = new LPAssoc[size]();
        for (size_t i = 0; i < m_hash_table_size; ++i) {
            Assoc* node = m_hash_table[i];
            while (node) {
                Assoc* next = node->m_pNext;
                node->m_pNext = nullptr;
                LPAssoc* tail = &table[hash_key(node->m_key) % size];
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
    }

    LPAssoc* m_hash_table;
    size_t m_hash_table_size;
    size_t m_count;
    bool m_autoIncr;
    size_t m_max_duplicate_count;  // longest chain walked by an insertion
    LOCK m_lock;
};

}  // namespace TOOLS
}  // namespace MORVAST

#endif
