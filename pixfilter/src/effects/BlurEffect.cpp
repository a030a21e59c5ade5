// 3 x 3 box blur of the colour bytes, the border row and column excluded.
// In place, the work runs in scan order and each pixel's upper and left
// neighbours already hold their blurred values, so the blur also carries along
// each row; into a buffer it reads only the source and makes the blurred
// pixels opaque.
#include <cstring>

#include "../EffectFactories.h"
#include "../ImageEffect.h"
#include "../PixelLoops.h"
#include "../WorkBuffer.h"

namespace pixfilter {
namespace {

// Byte-wise sums over a row of bytes: sums[i] = a[i] + b[i] (+ c[i]).
void AddRows(const uint8_t* __restrict a, const uint8_t* __restrict b, uint16_t* __restrict sums,
             std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) sums[i] = static_cast<uint16_t>(a[i] + b[i]);
}
void AddRows(const uint8_t* __restrict a, const uint8_t* __restrict b, const uint8_t* __restrict c,
             uint16_t* __restrict sums, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) sums[i] = static_cast<uint16_t>(a[i] + b[i] + c[i]);
}

// Into a buffer: column sums of three rows, then three columns at a time.
// Bytes 4 .. 4 * (w - 1) of the row; alpha bytes are overwritten afterwards.
void BlurRow(const uint16_t* __restrict columns, uint8_t* __restrict dst, std::size_t first,
             std::size_t end) {
    for (std::size_t i = first; i < end; ++i)
        dst[i] = static_cast<uint8_t>((columns[i - 4] + columns[i] + columns[i + 4]) / 9u);
}

void MakeOpaque(Px* __restrict row, int count) {
    for (int x = 0; x < count; ++x) row[x] |= kAlphaMask;
}

// In place: partial[i] holds the eight neighbours that the running pass does
// not change before pixel i is reached: three above (already blurred), three
// below, the pixel itself and its right neighbour (both still original).
void PartialSums(const uint16_t* __restrict columns, const uint8_t* __restrict row,
                 uint16_t* __restrict partial, std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end; ++i)
        partial[i] = static_cast<uint16_t>(columns[i - 4] + columns[i] + columns[i + 4] + row[i] +
                                           row[i + 4]);
}

// Adds the left neighbour, just blurred, and divides; a running chain per channel.
void CarryAlongRow(const uint16_t* __restrict partial, uint8_t* __restrict row, int width) {
    uint32_t b = row[0], g = row[1], r = row[2];
    for (int x = 1; x + 1 < width; ++x) {
        const std::size_t i = static_cast<std::size_t>(x) * 4;
        b = (partial[i] + b) / 9u;
        g = (partial[i + 1] + g) / 9u;
        r = (partial[i + 2] + r) / 9u;
        row[i] = static_cast<uint8_t>(b);
        row[i + 1] = static_cast<uint8_t>(g);
        row[i + 2] = static_cast<uint8_t>(r);
    }
}

class CBlurEffect final : public CImageEffect {
public:
    bool BeginProcess(int32_t format, int32_t stride, int32_t width, int32_t height,
                      bool wantOutput) override {
        if (!CImageEffect::BeginProcess(format, stride, width, height, wantOutput)) return false;
        const std::size_t rowBytes = static_cast<std::size_t>(Width()) * 4;
        if (!m_columns.Resize(rowBytes) || !m_partial.Resize(rowBytes)) {
            EndProcess();
            return false;
        }
        return true;
    }

    bool ProcessInPlace(uint8_t* pixels) override {
        const int w = Width();
        const int h = Height();
        if (w < 3 || h < 3) return true;
        const std::size_t rowBytes = RowBytes();
        const std::size_t rowLength = static_cast<std::size_t>(w) * 4;
        for (int y = 1; y + 1 < h; ++y) {
            uint8_t* above = pixels + static_cast<std::size_t>(y - 1) * rowBytes;
            uint8_t* row = above + rowBytes;
            uint8_t* below = row + rowBytes;
            AddRows(above, below, m_columns.Data(), rowLength);
            PartialSums(m_columns.Data(), row, m_partial.Data(), 4, rowLength - 4);
            CarryAlongRow(m_partial.Data(), row, w);
        }
        return true;
    }

    bool ProcessToBuffer(const uint8_t* pixels, uint8_t** output) override {
        uint8_t* out = OutputBuffer();
        if (out == nullptr) return false;
        const int w = Width();
        const int h = Height();
        const std::size_t rowBytes = RowBytes();
        const std::size_t rowLength = static_cast<std::size_t>(w) * 4;
        CopyToPacked(pixels, rowBytes, out, w, h);
        if (w >= 3 && h >= 3) {
            for (int y = 1; y + 1 < h; ++y) {
                const uint8_t* above = pixels + static_cast<std::size_t>(y - 1) * rowBytes;
                const uint8_t* row = above + rowBytes;
                const uint8_t* below = row + rowBytes;
                uint8_t* dst = out + static_cast<std::size_t>(y) * rowLength;
                AddRows(above, row, below, m_columns.Data(), rowLength);
                BlurRow(m_columns.Data(), dst, 4, rowLength - 4);
                MakeOpaque(reinterpret_cast<Px*>(dst) + 1, w - 2);
            }
        }
        *output = out;
        return true;
    }

    void EndProcess() override {
        m_columns.Release();
        m_partial.Release();
        CImageEffect::EndProcess();
    }

private:
    CWorkBuffer<uint16_t> m_columns;  // per byte of a row: sums down a column
    CWorkBuffer<uint16_t> m_partial;  // per byte of a row: see PartialSums
};

}  // namespace

CImageEffect* CreateBlurEffect() { return new (std::nothrow) CBlurEffect(); }

}  // namespace pixfilter
