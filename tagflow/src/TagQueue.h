// FIFO of tag pointers on a ring that grows by doubling and never shrinks,
// so steady-state pushing and popping allocate nothing.
#pragma once

#include <cstddef>
#include <vector>

#include "tagflow/tagflow.h"

class CTagQueue {
public:
    size_t Size() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    FLVTag* Front() const { return m_ring[m_head]; }
    FLVTag* At(size_t i) const { return m_ring[(m_head + i) & (m_ring.size() - 1)]; }

    void Push(FLVTag* tag) {   // may throw std::bad_alloc
        if (m_count == m_ring.size()) Grow();
        m_ring[(m_head + m_count) & (m_ring.size() - 1)] = tag;
        ++m_count;
    }
    FLVTag* Pop() {
        FLVTag* t = m_ring[m_head];
        m_head = (m_head + 1) & (m_ring.size() - 1);
        --m_count;
        return t;
    }

private:
    void Grow() {
        std::vector<FLVTag*> bigger(m_ring.empty() ? 64 : m_ring.size() * 2);
        for (size_t i = 0; i < m_count; ++i) bigger[i] = At(i);
        m_ring.swap(bigger);
        m_head = 0;
    }

    std::vector<FLVTag*> m_ring;   // size is zero or a power of two
    size_t m_head = 0;
    size_t m_count = 0;
};
