// A count of threads inside some stretch of code (sends using a socket,
// callers using a transport, events being handled): the scope adds one on
// entry and takes it off on exit, so that another thread can wait for the
// count to reach zero before it closes or frees what they use. One atomic
// add and subtract: no lock, no allocation.
#ifndef MORVAST_TOOLS_COUNT_SCOPE_H
#define MORVAST_TOOLS_COUNT_SCOPE_H

#include <atomic>

namespace MORVAST {
namespace TOOLS {

class count_scope {
public:
    explicit count_scope(std::atomic<int>& count) : m_count(count) { m_count.fetch_add(1); }
    ~count_scope() { m_count.fetch_sub(1); }
    count_scope(const count_scope&) = delete;
    count_scope& operator=(const count_scope&) = delete;

private:
    std::atomic<int>& m_count;
};

}  // namespace TOOLS
}  // namespace MORVAST

#endif
