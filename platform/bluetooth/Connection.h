#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::bluetooth {

// The byte stream of one open link to a device (an RFCOMM channel, or a local socket to the
// virtual earbuds). The device link speaks its frames over this and nothing else, so it never
// sees a socket. Every operation may be called from any thread; close() may run while another
// thread is blocked in receive().
class Connection {
public:
    virtual ~Connection();

    // Sends the whole buffer as one unit: bytes of two concurrent sends never interleave.
    // Returns length when every byte went out, -1 otherwise. Possible failures: the connection
    // was closed, the peer went away, or the peer did not take the bytes within the send
    // time-out. A buffer that went out only in part also yields -1: the frame did not arrive whole.
    virtual std::ptrdiff_t send(const uint8_t* bytes, std::size_t length) = 0;

    // Blocks until bytes arrive and copies at most capacity of them into buffer.
    // Returns the number of bytes (> 0), 0 when the peer closed the stream or close() was
    // called, -1 on a read error.
    virtual std::ptrdiff_t receive(uint8_t* buffer, std::size_t capacity) = 0;

    // Ends the stream in both directions and wakes a thread blocked in receive(). Idempotent.
    virtual void close() = 0;

    // False once close() was called.
    virtual bool isOpen() const = 0;
};

}  // namespace platform::bluetooth
