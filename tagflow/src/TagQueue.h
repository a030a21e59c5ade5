// FIFO of tag pointers on a ring that grows by doubling and never shrinks,
// so steady-state pushing and popping allocate nothing. It also keeps the
// data bytes its tags hold, so an owner can bound it by memory as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tagflow/tagflow.h"

class CTagQueue {
public:
    size_t Size() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    FLVTag* Front() const { return m_ring[m_head].tag; }
    FLVTag* At(size_t i) const { return m_ring[(m_head + i) & (m_ring.size() - 1)].tag; }
    uint64_t DataBytes() const { return m_bytes; }
    // Milliseconds from the first queued tag's time to the last one's.
    int64_t SpanMs() const {
        return m_count < 2 ? 0 : int64_t(At(m_count - 1)->timestamp) - int64_t(Front()->timestamp);
    }

    void Push(FLVTag* tag) {   // may throw std::bad_alloc
        if (m_count == m_ring.size()) Grow();
        // A tag read without its data holds only its header.
        const uint32_t bytes = tag->data ? tag->dataSize : 0;
        m_ring[(m_head + m_count) & (m_ring.size() - 1)] = Slot{tag, bytes};
        ++m_count;
        m_bytes += bytes;
    }
    // The bytes counted at Push come off: the popped tag may already belong
    // to someone else (a parser's callback takes it before the pop).
    FLVTag* Pop() {
        const Slot s = m_ring[m_head];
        m_head = (m_head + 1) & (m_ring.size() - 1);
        --m_count;
        m_bytes -= s.bytes;
        return s.tag;
    }

private:
    struct Slot {
        FLVTag* tag = nullptr;
        uint32_t bytes = 0;
    };

    void Grow() {
        std::vector<Slot> bigger(m_ring.empty() ? 64 : m_ring.size() * 2);
        for (size_t i = 0; i < m_count; ++i) bigger[i] = m_ring[(m_head + i) & (m_ring.size() - 1)];
        m_ring.swap(bigger);
        m_head = 0;
    }

    std::vector<Slot> m_ring;   // size is zero or a power of two
    size_t m_head = 0;
    size_t m_count = 0;
    uint64_t m_bytes = 0;
};
