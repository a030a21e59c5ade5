// Flips the picture: direction 0 reverses each row (left-right), any other
// direction exchanges the rows top to bottom.
#include <cstring>

#include "../EffectFactories.h"
#include "../ImageEffect.h"
#include "../PixelLoops.h"
#include "../WorkBuffer.h"

namespace pixfilter {
namespace {

void ReverseRow(const Px* __restrict src, Px* __restrict dst, int width) {
    for (int x = 0; x < width; ++x) dst[x] = src[width - 1 - x];
}

class CMirrorEffect final : public CImageEffect {
public:
    bool SetParameter(const char* name, const void* value, int32_t size) override {
        if (!IsParameter(name, size, "MirrorDirection", 1)) return false;
        m_direction = *static_cast<const uint8_t*>(value);
        return true;
    }

    bool BeginProcess(int32_t format, int32_t stride, int32_t width, int32_t height,
                      bool wantOutput) override {
        if (!CImageEffect::BeginProcess(format, stride, width, height, wantOutput)) return false;
        if (!m_row.Resize(static_cast<std::size_t>(Width()))) {
            EndProcess();
            return false;
        }
        return true;
    }

    bool ProcessInPlace(uint8_t* pixels) override {
        if (m_row.Empty()) return m_direction == 0;  // nothing to flip without a size
        const std::size_t rowBytes = RowBytes();
        const std::size_t pictureRow = static_cast<std::size_t>(Width()) * 4;
        Px* spare = reinterpret_cast<Px*>(m_row.Data());
        if (m_direction != 0) {
            // Only the picture's bytes move; whatever lies between rows stays.
            for (int y = 0, z = Height() - 1; y < z; ++y, --z) {
                Px* a = RowAt(pixels, rowBytes, y);
                Px* b = RowAt(pixels, rowBytes, z);
                std::memcpy(spare, a, pictureRow);
                std::memcpy(a, b, pictureRow);
                std::memcpy(b, spare, pictureRow);
            }
        } else {
            for (int y = 0; y < Height(); ++y) {
                Px* row = RowAt(pixels, rowBytes, y);
                ReverseRow(row, spare, Width());
                std::memcpy(row, spare, pictureRow);
            }
        }
        return true;
    }

    bool ProcessToBuffer(const uint8_t* pixels, uint8_t** output) override {
        uint8_t* out = OutputBuffer();
        if (out == nullptr) return false;
        const std::size_t rowBytes = RowBytes();
        const std::size_t pictureRow = static_cast<std::size_t>(Width()) * 4;
        for (int y = 0; y < Height(); ++y) {
            Px* dst = RowAt(out, pictureRow, y);
            if (m_direction != 0)
                std::memcpy(dst, RowAt(pixels, rowBytes, Height() - 1 - y), pictureRow);
            else
                ReverseRow(RowAt(pixels, rowBytes, y), dst, Width());
        }
        *output = out;
        return true;
    }

    void EndProcess() override {
        m_row.Release();
        CImageEffect::EndProcess();
    }

private:
    uint8_t m_direction = 0;
    CWorkBuffer<uint32_t> m_row;  // one row of pixels
};

}  // namespace

CImageEffect* CreateMirrorEffect() { return new (std::nothrow) CMirrorEffect(); }

}  // namespace pixfilter
