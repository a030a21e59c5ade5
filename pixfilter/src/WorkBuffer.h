// A buffer made for one frame size and kept while the size stays the same, so
// a repeated begin for the same frame size costs no allocation.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace pixfilter {

template <class T>
class CWorkBuffer {
public:
    // Makes room for exactly count elements; false when memory is short.
    // Nothing is promised about the contents afterwards.
    bool Resize(std::size_t count) {
        if (count == m_count && m_data) return true;
        m_data.reset();
        m_count = 0;
        m_data.reset(new (std::nothrow) T[count]);
        if (!m_data) return false;
        m_count = count;
        return true;
    }

    void Release() {
        m_data.reset();
        m_count = 0;
    }

    T* Data() { return m_data.get(); }
    const T* Data() const { return m_data.get(); }
    std::size_t Count() const { return m_count; }
    bool Empty() const { return !m_data; }

private:
    std::unique_ptr<T[]> m_data;
    std::size_t m_count = 0;
};

}  // namespace pixfilter
