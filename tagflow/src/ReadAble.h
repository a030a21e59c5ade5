// Byte sources through which FLV headers are decoded.
#pragma once

#include <cstdint>
#include <stdexcept>

class CReadAble {
public:
    virtual int64_t GetSize() = 0;
    virtual int64_t GetPosition() = 0;
    // origin 0 from the start, 1 from the current position, 2 from the end.
    virtual int64_t Seek(int64_t offset, int32_t origin) = 0;
    // Copies up to count bytes and advances; returns the bytes copied.
    virtual uint32_t Read(void* buffer, uint32_t count) = 0;
    virtual ~CReadAble() = default;
};

// Thrown by a seek with an unknown origin; caught inside the library.
class CReadAbleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a caller-owned block; never owns it. Seek may move anywhere, even
// outside the block: reads there copy nothing, so a wild offset is harmless.
class CBufferReadAble final : public CReadAble {
public:
    CBufferReadAble(const void* start, int64_t length)
        : m_start(static_cast<const uint8_t*>(start)), m_length(length) {}
    ~CBufferReadAble() override {
        m_start = nullptr;
        m_length = 0;
        m_position = 0;
    }

    int64_t GetSize() override { return m_length; }
    int64_t GetPosition() override { return m_position; }
    int64_t Seek(int64_t offset, int32_t origin) override;
    uint32_t Read(void* buffer, uint32_t count) override;

private:
    const uint8_t* m_start;
    int64_t m_length;
    int64_t m_position = 0;   // an index, not a pointer, so it may lie outside the block
};
