#include "tools/stream_buffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace MORVAST {
namespace TOOLS {

namespace {
// No block may be larger than the largest object the allocator can hand out;
// asking for more is refused here rather than wrapped or passed on.
const size_t MAX_BLOCK_LEN = static_cast<size_t>(PTRDIFF_MAX);
}  // namespace

stream_buffer::stream_buffer(unsigned buff_len)
    : m_ptr_data(nullptr), m_begin_pos(0), m_end_pos(0), m_buf_len(0) {
    if (buff_len > 0) {
        m_ptr_data = static_cast<char*>(malloc(buff_len));
        if (m_ptr_data) m_buf_len = buff_len;
    }
}

stream_buffer::~stream_buffer() {
    free(m_ptr_data);
    m_ptr_data = nullptr;
    m_begin_pos = 0;
    m_end_pos = 0;
    m_buf_len = 0;
}

void stream_buffer::mem_copy(char* pDest, const char* pSrc, size_t nLen) {
    for (size_t i = 0; i < nLen; ++i) pDest[i] = pSrc[i];
}

void stream_buffer::move_to_front() {
    size_t unread = m_end_pos - m_begin_pos;
    if (m_begin_pos > 0) mem_copy(m_ptr_data, m_ptr_data + m_begin_pos, unread);
    m_begin_pos = 0;
    m_end_pos = unread;
}

// Replaces the block by one of new_len bytes holding the unread bytes at its
// start. On failure the buffer is unchanged.
bool stream_buffer::regrow(size_t new_len) {
    size_t unread = m_end_pos - m_begin_pos;
    if (new_len > MAX_BLOCK_LEN || new_len < unread) return false;
    char* block = static_cast<char*>(malloc(new_len));
    if (!block) return false;
    if (unread > 0) memcpy(block, m_ptr_data + m_begin_pos, unread);
    free(m_ptr_data);
    m_ptr_data = block;
    m_buf_len = new_len;
    m_begin_pos = 0;
    m_end_pos = unread;
    return true;
}

bool stream_buffer::push_data(const char* pData, size_t nLen) {
    mutex_locker guard(m_locker);
    if (nLen == 0) return true;
    if (!pData) return false;

    if (m_buf_len - m_end_pos < nLen) {
        size_t unread = m_end_pos - m_begin_pos;
        if (m_buf_len - unread >= nLen) {
            move_to_front();
        } else {
            if (nLen > MAX_BLOCK_LEN - unread) return false;
            size_t needed = unread + nLen;
            size_t doubled = m_buf_len <= MAX_BLOCK_LEN / 2 ? 2 * m_buf_len : 0;
            if (!regrow(doubled > needed ? doubled : needed)) return false;
        }
    }
    memcpy(m_ptr_data + m_end_pos, pData, nLen);
    m_end_pos += nLen;
    return true;
}

bool stream_buffer::reset_data(const char* pData, size_t nLen) {
    mutex_locker guard(m_locker);
    clear();
    return push_data(pData, nLen);
}

size_t stream_buffer::get_reserve_len() {
    mutex_locker guard(m_locker);
    if (m_end_pos == m_buf_len) {
        if (m_begin_pos > 0) {
            move_to_front();
        } else if (m_buf_len == 0) {
            // A buffer whose first allocation failed starts over at the
            // standard size; doubling nothing would never make room.
            regrow(STANDARD_BUFFER_LEN);
        } else if (m_buf_len <= MAX_BLOCK_LEN / 2) {
            regrow(2 * m_buf_len);
        }
    }
    return m_buf_len - m_end_pos;
}

size_t stream_buffer::fill_reserve_len(size_t len) {
    mutex_locker guard(m_locker);
    size_t room = m_buf_len - m_end_pos;
    m_end_pos += len < room ? len : room;
    return m_end_pos;
}

bool stream_buffer::pop_data(size_t nLen) {
    mutex_locker guard(m_locker);
    size_t unread = m_end_pos - m_begin_pos;
    m_begin_pos += nLen < unread ? nLen : unread;
    if (m_begin_pos == m_end_pos) {
        m_begin_pos = 0;
        m_end_pos = 0;
    }
    return true;
}

bool stream_buffer::reset_data_buf() {
    mutex_locker guard(m_locker);
    move_to_front();
    return true;
}

void stream_buffer::clear() {
    mutex_locker guard(m_locker);
    m_begin_pos = 0;
    m_end_pos = 0;
}

}  // namespace TOOLS
}  // namespace MORVAST
