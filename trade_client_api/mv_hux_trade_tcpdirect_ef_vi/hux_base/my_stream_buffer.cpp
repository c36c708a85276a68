// my_stream_buffer: appending with move-to-front before growth, and reading
// positions that never pass the end of what is buffered.
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/hux_base/my_stream_buffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using MORVAST::TOOLS::mutex_locker;

namespace {
// No array may be larger than the allocator can hand out; a larger size is
// refused here rather than wrapped.
const size_t max_array_len = static_cast<size_t>(PTRDIFF_MAX);

// Byte by byte from the lowest address upward, so moving unread bytes toward
// the front of the same array is safe.
void copy_up(char* dest, const char* src, size_t n) {
    for (size_t i = 0; i < n; ++i) dest[i] = src[i];
}
}  // namespace

my_stream_buffer::my_stream_buffer(size_t size) : m_ptr_data(nullptr), m_begin_pos(0), m_end_pos(0), m_buf_len(0) {
    if (size > 0 && size <= max_array_len) {
        m_ptr_data = static_cast<char*>(malloc(size));
        if (m_ptr_data) m_buf_len = size;
    }
}

my_stream_buffer::~my_stream_buffer() {
    free(m_ptr_data);
    m_ptr_data = nullptr;
    m_begin_pos = 0;
    m_end_pos = 0;
    m_buf_len = 0;
}

void my_stream_buffer::move_to_front() {
    size_t unread = m_end_pos - m_begin_pos;
    if (m_begin_pos > 0) copy_up(m_ptr_data, m_ptr_data + m_begin_pos, unread);
    m_begin_pos = 0;
    m_end_pos = unread;
}

// Replaces the array by one of new_len bytes with the unread bytes at its
// front. On failure the buffer is unchanged.
bool my_stream_buffer::regrow(size_t new_len) {
    size_t unread = m_end_pos - m_begin_pos;
    if (new_len > max_array_len || new_len < unread) return false;
    char* block = static_cast<char*>(malloc(new_len));
    if (!block) return false;
    copy_up(block, m_ptr_data + m_begin_pos, unread);
    free(m_ptr_data);
    m_ptr_data = block;
    m_buf_len = new_len;
    m_begin_pos = 0;
    m_end_pos = unread;
    return true;
}

bool my_stream_buffer::push_data(const char* data, size_t n) {
    mutex_locker guard(m_locker);
    if (n == 0) return true;
    if (!data) return false;
    if (m_buf_len - m_end_pos < n) {
        size_t unread = m_end_pos - m_begin_pos;
        if (m_buf_len - unread >= n) {
            move_to_front();
        } else {
            if (n > max_array_len - unread) return false;
            size_t needed = unread + n;
            size_t doubled = m_buf_len <= max_array_len / 2 ? 2 * m_buf_len : 0;
            if (!regrow(doubled > needed ? doubled : needed)) return false;
        }
    }
    copy_up(m_ptr_data + m_end_pos, data, n);
    m_end_pos += n;
    return true;
}

void my_stream_buffer::pop_data(size_t n) {
    mutex_locker guard(m_locker);
    size_t unread = m_end_pos - m_begin_pos;
    m_begin_pos += n < unread ? n : unread;
    if (m_begin_pos == m_end_pos) {
        m_begin_pos = 0;
        m_end_pos = 0;
    }
}

const char* my_stream_buffer::get_data_ptr() {
    mutex_locker guard(m_locker);
    return m_ptr_data + m_begin_pos;
}

size_t my_stream_buffer::get_data_len() {
    mutex_locker guard(m_locker);
    return m_end_pos - m_begin_pos;
}

size_t my_stream_buffer::get_buf_len() {
    mutex_locker guard(m_locker);
    return m_buf_len;
}

char* my_stream_buffer::get_reserve_ptr() {
    mutex_locker guard(m_locker);
    return m_ptr_data + m_end_pos;
}

size_t my_stream_buffer::get_reserve_len() {
    mutex_locker guard(m_locker);
    if (m_end_pos == m_buf_len) {
        if (m_begin_pos > 0) {
            move_to_front();
        } else if (m_buf_len == 0) {
            // An array whose first allocation failed starts over at the
            // standard size; doubling nothing would never make room.
            regrow(STANDARD_BUFFER_LEN);
        } else if (m_buf_len <= max_array_len / 2) {
            regrow(2 * m_buf_len);
        }
    }
    return m_buf_len - m_end_pos;
}

void my_stream_buffer::fill_reserve_len(size_t n) {
    mutex_locker guard(m_locker);
    size_t room = m_buf_len - m_end_pos;
    m_end_pos += n < room ? n : room;
}

bool my_stream_buffer::reset_data(const char* data, size_t n) {
    mutex_locker guard(m_locker);
    clear();
    return push_data(data, n);
}

void my_stream_buffer::reset_data_buf() {
    mutex_locker guard(m_locker);
    move_to_front();
}

void my_stream_buffer::clear() {
    mutex_locker guard(m_locker);
    m_begin_pos = 0;
    m_end_pos = 0;
}
