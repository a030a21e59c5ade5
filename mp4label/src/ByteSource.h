// Random access to the bytes being parsed: an open file or a memory buffer.
// The parser only ever reads through this, so every read is bounds-checked
// against Size() in one place.
#ifndef MP4LABEL_BYTESOURCE_H
#define MP4LABEL_BYTESOURCE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace mp4label {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly len bytes at pos; false when any of them lies past Size()
    // or the read fails.
    virtual bool ReadAt(uint64_t pos, void* dst, size_t len) const = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    uint64_t Size() const override { return m_bytes.size(); }
    bool ReadAt(uint64_t pos, void* dst, size_t len) const override {
        if (pos > m_bytes.size() || len > m_bytes.size() - pos) return false;
        if (len != 0) std::memcpy(dst, m_bytes.data() + pos, len);
        return true;
    }

private:
    std::span<const uint8_t> m_bytes;
};

}  // namespace mp4label

#endif
