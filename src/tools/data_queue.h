// Locked first-in first-out queue. It owns its list nodes, not the objects
// the items point to. A consumer takes front then pop as two locked steps.
#ifndef MORVAST_TOOL_DATA_QUEUE_H
#define MORVAST_TOOL_DATA_QUEUE_H

#include <list>

#include "tools/lock.h"
#include "tools/tool_exception.h"

namespace MORVAST {
namespace TOOLS {

template <class T>
class data_queue {
public:
    typedef std::list<T> data_queue_type;

    data_queue() : m_item_count(0) {}
    ~data_queue() {
        mutex_locker guard(m_list_lock);
        m_list_node.clear();
        m_item_count = 0;
    }
    data_queue(const data_queue&) = delete;
    data_queue& operator=(const data_queue&) = delete;

    void push_node(T node) {
        mutex_locker guard(m_list_lock);
        m_list_node.push_back(node);
        ++m_item_count;
    }

    bool empty() {
        mutex_locker guard(m_list_lock);
        return m_list_node.empty();
    }

    // Throws bad_str_key on an empty queue; test empty() first.
    T& get_front_node() {
        mutex_locker guard(m_list_lock);
        if (m_list_node.empty()) throw bad_str_key("data queue empty ");
        return m_list_node.front();
    }

    // Does nothing on an empty queue.
    void pop_front_node() {
        mutex_locker guard(m_list_lock);
        if (m_list_node.empty()) return;
        m_list_node.pop_front();
        --m_item_count;
    }

private:
    mutex_lock m_list_lock;
    data_queue_type m_list_node;
    int m_item_count;
};

}  // namespace TOOLS
}  // namespace MORVAST

#endif
