// Growable byte buffer with a read offset and a write offset, guarded by its
// own recursive mutex. Unread bytes are [m_begin_pos, m_end_pos); the free
// room at the end is m_buf_len - m_end_pos.
#ifndef MORVAST_TOOL_STREAM_BUFFER_H
#define MORVAST_TOOL_STREAM_BUFFER_H

#include <cstddef>

#include "tools/lock.h"

namespace MORVAST {
namespace TOOLS {

class stream_buffer {
public:
    // Size of a buffer made by a pool.
    static constexpr unsigned STANDARD_BUFFER_LEN = 2048;

    explicit stream_buffer(unsigned buff_len = STANDARD_BUFFER_LEN);
    ~stream_buffer();
    stream_buffer(const stream_buffer&) = delete;
    stream_buffer& operator=(const stream_buffer&) = delete;

    // Makes several calls one unit against other threads.
    void lock_stream() { m_locker.lock(); }
    void unlock_stream() { m_locker.unlock(); }

    // Appends nLen bytes, moving or growing the block when needed. False when
    // the block could not grow (the buffer is then unchanged) or when pData
    // is null with a non-zero length.
    bool push_data(const char* pData, size_t nLen);
    // clear() then push_data().
    bool reset_data(const char* pData, size_t nLen);

    // Readers without the lock: call them under lock_stream() when another
    // thread may change the buffer.
    const char* get_data_ptr() const { return m_ptr_data + m_begin_pos; }
    size_t get_data_len() const { return m_end_pos - m_begin_pos; }
    char* get_reserve_ptr() { return m_ptr_data + m_end_pos; }
    size_t get_buf_len() const { return m_buf_len; }

    // Room at the end for direct writes through get_reserve_ptr(); when there
    // is none, the unread bytes are moved to the start or the block doubles.
    size_t get_reserve_len();
    // Accounts for len bytes written through get_reserve_ptr() (at most the
    // room left); returns the new end offset.
    size_t fill_reserve_len(size_t len);
    // Drops nLen unread bytes (at most those buffered); both offsets go back
    // to 0 when the buffer empties.
    bool pop_data(size_t nLen);
    // Moves the unread bytes to the start of the block.
    bool reset_data_buf();
    void clear();

    // Byte-by-byte copy from the first byte upward; safe for moving data
    // toward the start of the same block.
    static void mem_copy(char* pDest, const char* pSrc, size_t nLen);

private:
    void move_to_front();
    bool regrow(size_t new_len);

    mutex_lock m_locker;
    char* m_ptr_data;
    size_t m_begin_pos;
    size_t m_end_pos;
    size_t m_buf_len;
};

}  // namespace TOOLS
}  // namespace MORVAST

#endif
