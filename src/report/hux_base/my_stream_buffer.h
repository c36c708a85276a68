// Growable byte buffer of the collection client's stream transport: the
// blocks queued between the socket's event thread and the send and proc
// threads, and the proc thread's reassembly buffer. It is the tools library's
// stream_buffer (same growth, consumption and reserve rules) with every
// operation, the readers included, taken under the buffer's recursive mutex
// for its own duration; lock_stream/unlock_stream make several calls one
// unit.
#ifndef HUX_BASE_MY_STREAM_BUFFER_H
#define HUX_BASE_MY_STREAM_BUFFER_H

#include <cstddef>

#include "tools/stream_buffer.h"

class my_stream_buffer {
public:
    // Size of a buffer made by a pool.
    static constexpr size_t STANDARD_BUFFER_LEN = 512;

    // A size of 0 or above 4 GiB - 1 gives an empty buffer that grows on
    // first use.
    explicit my_stream_buffer(size_t size = STANDARD_BUFFER_LEN);
    my_stream_buffer(const my_stream_buffer&) = delete;
    my_stream_buffer& operator=(const my_stream_buffer&) = delete;

    // Appends n bytes: into the room after the end when it suffices, else
    // after moving the unread bytes to the front, else into a new array of
    // max(2 x length, unread + n). False only when no new array could be had
    // (the buffer is then unchanged) or data is null with n > 0.
    bool push_data(const char* data, size_t n) { return m_buf.push_data(data, n); }
    // Drops n unread bytes, never more than are buffered; both positions go
    // back to 0 when the buffer empties.
    void pop_data(size_t n) { m_buf.pop_data(n); }

    const char* get_data_ptr();
    size_t get_data_len();
    size_t get_buf_len();

    // Where bytes may be written directly, and how many. When the array is
    // full to its end, the unread bytes first move to the front (some were
    // read) or the array doubles (none were).
    char* get_reserve_ptr();
    size_t get_reserve_len() { return m_buf.get_reserve_len(); }
    // Accounts for n bytes written through get_reserve_ptr(), at most the
    // room left.
    void fill_reserve_len(size_t n) { m_buf.fill_reserve_len(n); }

    // clear(), then push_data().
    bool reset_data(const char* data, size_t n) { return m_buf.reset_data(data, n); }
    // Moves the unread bytes to the front of the array.
    void reset_data_buf() { m_buf.reset_data_buf(); }
    void clear() { m_buf.clear(); }

    void lock_stream() { m_buf.lock_stream(); }
    void unlock_stream() { m_buf.unlock_stream(); }

private:
    MORVAST::TOOLS::stream_buffer m_buf;
};

#endif
