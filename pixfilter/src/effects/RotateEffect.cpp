// Turns the picture by a multiple of 90 degrees in place. A quarter turn puts
// source pixel (column j, row i) at packed position i + h * (w - 1 - j), so
// the result reads as w rows of h pixels; three quarters mirror that. The
// colour moves, each destination keeps its own alpha byte.
#include <cstring>

#include "../EffectFactories.h"
#include "../ImageEffect.h"
#include "../PixelLoops.h"
#include "../WorkBuffer.h"

namespace pixfilter {
namespace {

constexpr int kTile = 32;  // keeps the scattered writes of a quarter turn in cache

inline uint32_t TakeColour(uint32_t dst, uint32_t src) {
    return (dst & kAlphaMask) | (src & kColourMask);
}

class CRotateEffect final : public CImageEffect {
public:
    bool SetParameter(const char* name, const void* value, int32_t size) override {
        if (!IsParameter(name, size, "RotateAngle", 4)) return false;
        int32_t angle = 0;
        std::memcpy(&angle, value, sizeof angle);
        if (angle % 90 != 0) return false;
        m_angle = ((angle % 360) + 360) % 360;  // -90 turns into 270
        return true;
    }

    bool BeginProcess(int32_t format, int32_t stride, int32_t width, int32_t height,
                      bool wantOutput) override {
        if (wantOutput) {  // a turned picture does not fit a buffer of the same shape
            EndProcess();
            return false;
        }
        if (!CImageEffect::BeginProcess(format, stride, width, height, false)) return false;
        if (!m_copy.Resize(PixelCount())) {
            EndProcess();
            return false;
        }
        return true;
    }

    bool ProcessInPlace(uint8_t* pixels) override {
        if (m_copy.Empty()) return false;
        if (m_angle == 0) return true;
        const int w = Width();
        const int h = Height();
        const std::size_t rowBytes = RowBytes();
        uint8_t* copyBytes = reinterpret_cast<uint8_t*>(m_copy.Data());
        CopyToPacked(pixels, rowBytes, copyBytes, w, h);
        const Px* __restrict src = reinterpret_cast<const Px*>(copyBytes);

        if (m_angle == 180) {
            for (int i = 0; i < h; ++i) {
                const Px* __restrict from = src + static_cast<std::size_t>(h - 1 - i) * w;
                Px* __restrict to = RowAt(pixels, rowBytes, i);
                for (int j = 0; j < w; ++j) to[j] = TakeColour(to[j], from[w - 1 - j]);
            }
            return true;
        }

        // The turned picture is a packed run of w rows of h pixels.
        Px* __restrict dst = reinterpret_cast<Px*>(pixels);
        const std::size_t hs = static_cast<std::size_t>(h);
        for (int j0 = 0; j0 < w; j0 += kTile) {
            const int j1 = j0 + kTile < w ? j0 + kTile : w;
            for (int i0 = 0; i0 < h; i0 += kTile) {
                const int i1 = i0 + kTile < h ? i0 + kTile : h;
                for (int j = j0; j < j1; ++j) {
                    // Quarter turn: column j becomes destination row w - 1 - j, read top
                    // to bottom; three quarters: destination row j, read bottom to top.
                    if (m_angle == 90) {
                        Px* __restrict to = dst + hs * static_cast<std::size_t>(w - 1 - j);
                        for (int i = i0; i < i1; ++i)
                            to[i] = TakeColour(to[i], src[static_cast<std::size_t>(i) * w + j]);
                    } else {
                        Px* __restrict to = dst + hs * static_cast<std::size_t>(j);
                        for (int i = i0; i < i1; ++i)
                            to[h - 1 - i] =
                                TakeColour(to[h - 1 - i], src[static_cast<std::size_t>(i) * w + j]);
                    }
                }
            }
        }
        return true;
    }

    bool ProcessToBuffer(const uint8_t*, uint8_t**) override { return false; }

    void EndProcess() override {
        m_copy.Release();
        CImageEffect::EndProcess();
    }

private:
    int32_t m_angle = 0;  // 0, 90, 180 or 270
    CWorkBuffer<uint32_t> m_copy;
};

}  // namespace

CImageEffect* CreateRotateEffect() { return new (std::nothrow) CRotateEffect(); }

}  // namespace pixfilter
