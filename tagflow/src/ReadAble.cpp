#include "ReadAble.h"

#include <algorithm>
#include <cstring>

int64_t CBufferReadAble::Seek(int64_t offset, int32_t origin) {
    int64_t base;
    switch (origin) {
        case 0: base = 0; break;
        case 1: base = m_position; break;
        case 2: base = m_length; break;
        default: throw CReadAbleError("Buffer Read Able Seek Error!");
    }
    // Wrap instead of overflowing; the position is only ever compared.
    m_position = static_cast<int64_t>(static_cast<uint64_t>(base) + static_cast<uint64_t>(offset));
    return m_position;
}

uint32_t CBufferReadAble::Read(void* buffer, uint32_t count) {
    if (m_position < 0 || m_position >= m_length || count == 0) return 0;
    const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(count, m_length - m_position));
    std::memcpy(buffer, m_start + m_position, n);
    m_position += n;
    return n;
}
