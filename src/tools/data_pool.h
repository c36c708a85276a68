// Bounded free list of reusable objects. At most m_depth idle objects are
// kept (last returned, first handed out); objects returned beyond that are
// destroyed. The pool owns idle objects only.
#ifndef MORVAST_TOOL_DATA_POOL_H
#define MORVAST_TOOL_DATA_POOL_H

#include <new>

#include "tools/cross_platform_api.h"
#include "tools/lock.h"

namespace MORVAST {
namespace TOOLS {

template <class T>
class data_pool {
public:
    typedef T* ptr_t;

    explicit data_pool(int depth)
        : m_arr(nullptr), m_total_count(0), m_ready_count(0), m_depth(depth > 0 ? depth : 0) {
        if (m_depth > 0) {
            m_arr = new (std::nothrow) ptr_t[m_depth];
            if (!m_arr) m_depth = 0;
        }
    }

    ~data_pool() {
        mutex_locker guard(m_lock);
        for (i32_mv i = 0; i < m_ready_count; ++i) delete m_arr[i];
        m_total_count -= m_ready_count;
        m_ready_count = 0;
        delete[] m_arr;
        m_arr = nullptr;
    }

    data_pool(const data_pool&) = delete;
    data_pool& operator=(const data_pool&) = delete;

    // An idle object when there is one, else a new T of its standard size;
    // null only when a new object cannot be made.
    ptr_t new_data() {
        mutex_locker guard(m_lock);
        if (m_ready_count > 0) return m_arr[--m_ready_count];
        ptr_t p = new (std::nothrow) T();
        if (p) ++m_total_count;
        return p;
    }

    // Takes an object back. It keeps its contents; the next taker clears it.
    void delete_data(ptr_t ptr_node) {
        if (!ptr_node) return;
        mutex_locker guard(m_lock);
        if (m_ready_count >= m_depth) {
            delete ptr_node;
            --m_total_count;
        } else {
            m_arr[m_ready_count++] = ptr_node;
        }
    }

    i32_mv get_total_count() {
        mutex_locker guard(m_lock);
        return m_total_count;
    }
    i32_mv get_ready_count() {
        mutex_locker guard(m_lock);
        return m_ready_count;
    }
    i32_mv get_depth() const { return m_depth; }

private:
    ptr_t* m_arr;
    mutex_lock m_lock;
    i32_mv m_total_count;
    i32_mv m_ready_count;
    i32_mv m_depth;
};

}  // namespace TOOLS
}  // namespace MORVAST

#endif
