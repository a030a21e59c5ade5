#include "NoiseEffect.h"

#include <cstddef>
#include <cstring>
#include <ctime>

#include "PixelAccess.h"

namespace pixfilter {

namespace {

// splitmix64: quick, and good enough for a grain pattern.
class CNoiseSource {
public:
    explicit CNoiseSource(uint64_t seed) : m_state(seed) {}
    // The next non-negative pseudo-random integer (31 bits).
    uint32_t Next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<uint32_t>((z ^ (z >> 31)) >> 33);
    }

private:
    uint64_t m_state;
};

// The grain is applied to the picture as one packed run of width * height
// pixels, whatever the stride.
void AddNoise(const uint8_t* __restrict src, const int8_t* __restrict noise,
              uint8_t* __restrict dst, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) dst[i] = static_cast<uint8_t>(Clamp255(src[i] + noise[i]));
}

void AddNoiseInPlace(uint8_t* __restrict pixels, const int8_t* __restrict noise, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i)
        pixels[i] = static_cast<uint8_t>(Clamp255(pixels[i] + noise[i]));
}

}  // namespace

bool CNoiseEffect::SetParameter(const char* name, const void* value, int32_t size) {
    if (!IsParameter(name, size, m_parameterName, 1)) return false;
    const uint8_t number = *static_cast<const uint8_t*>(value);
    if (number == 0) return false;  // the pattern needs at least one value
    m_number = number;
    return true;
}

bool CNoiseEffect::BeginProcess(int32_t format, int32_t stride, int32_t width, int32_t height,
                                bool wantOutput) {
    if (!CImageEffect::BeginProcess(format, stride, width, height, wantOutput)) return false;
    const std::size_t pixels = PixelCount();
    if (!m_noise.Resize(pixels * 4)) {
        EndProcess();
        return false;
    }
    // Seeded from the clock at every begin: a new pattern per frame size, the
    // same pattern on every frame of that size.
    CNoiseSource source(static_cast<uint64_t>(std::time(nullptr)));
    const int32_t n = m_number;
    const int32_t half = n / 2;
    int8_t* t = m_noise.Data();
    for (std::size_t i = 0; i < pixels; ++i, t += 4) {
        if (m_perChannel) {
            t[0] = static_cast<int8_t>(static_cast<int32_t>(source.Next() % n) - half);
            t[1] = static_cast<int8_t>(static_cast<int32_t>(source.Next() % n) - half);
            t[2] = static_cast<int8_t>(static_cast<int32_t>(source.Next() % n) - half);
        } else {
            t[0] = t[1] = t[2] = static_cast<int8_t>(static_cast<int32_t>(source.Next() % n) - half);
        }
        t[3] = 0;
    }
    return true;
}

bool CNoiseEffect::ProcessInPlace(uint8_t* pixels) {
    AddNoiseInPlace(pixels, m_noise.Data(), PixelCount() * 4);
    return true;
}

bool CNoiseEffect::ProcessToBuffer(const uint8_t* pixels, uint8_t** output) {
    uint8_t* out = OutputBuffer();
    if (out == nullptr) return false;
    AddNoise(pixels, m_noise.Data(), out, PixelCount() * 4);
    *output = out;
    return true;
}

void CNoiseEffect::EndProcess() {
    m_noise.Release();
    CImageEffect::EndProcess();
}

}  // namespace pixfilter
