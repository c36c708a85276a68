// my_stream_buffer: the readers of the shared stream buffer, taken under its
// lock.
#include "report/hux_base/my_stream_buffer.h"

#include <climits>

namespace {
unsigned initial_len(size_t size) { return size <= UINT_MAX ? static_cast<unsigned>(size) : 0; }
}  // namespace

my_stream_buffer::my_stream_buffer(size_t size) : m_buf(initial_len(size)) {}

const char* my_stream_buffer::get_data_ptr() {
    lock_stream();
    const char* p = m_buf.get_data_ptr();
    unlock_stream();
    return p;
}

size_t my_stream_buffer::get_data_len() {
    lock_stream();
    const size_t n = m_buf.get_data_len();
    unlock_stream();
    return n;
}

size_t my_stream_buffer::get_buf_len() {
    lock_stream();
    const size_t n = m_buf.get_buf_len();
    unlock_stream();
    return n;
}

char* my_stream_buffer::get_reserve_ptr() {
    lock_stream();
    char* p = m_buf.get_reserve_ptr();
    unlock_stream();
    return p;
}
