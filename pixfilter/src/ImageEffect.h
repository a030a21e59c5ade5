// The base of every effect: the frame size bound by BeginProcess and the
// optional packed output buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "WorkBuffer.h"

namespace pixfilter {

class CImageEffect {
public:
    CImageEffect() = default;
    virtual ~CImageEffect();

    CImageEffect(const CImageEffect&) = delete;
    CImageEffect& operator=(const CImageEffect&) = delete;

    // name is NUL-terminated; value points at size bytes. No parameters here.
    virtual bool SetParameter(const char* name, const void* value, int32_t size);
    // Derived classes call this first, then make their own work buffers.
    virtual bool BeginProcess(int32_t format, int32_t stride, int32_t width, int32_t height,
                              bool wantOutput);
    virtual bool ProcessInPlace(uint8_t* pixels) = 0;
    virtual bool ProcessToBuffer(const uint8_t* pixels, uint8_t** output) = 0;
    // Derived classes release their work buffers and call this.
    virtual void EndProcess();

protected:
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Distance between rows in bytes; the sign of the stride does not matter.
    std::size_t RowBytes() const;
    std::size_t PixelCount() const {
        return static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height);
    }
    uint8_t* OutputBuffer() { return m_outputBuffer; }

    // Compares a parameter name exactly and checks the value's size.
    static bool IsParameter(const char* name, int32_t size, const char* expectedName,
                            int32_t expectedSize);

private:
    int32_t m_stride = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    uint8_t* m_outputBuffer = nullptr;  // into m_output, or null when not asked for
    CWorkBuffer<uint8_t> m_output;
};

}  // namespace pixfilter
