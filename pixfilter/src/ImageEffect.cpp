#include "ImageEffect.h"

#include <cstdlib>
#include <cstring>

#include "pixfilter/pixfilter.h"

namespace pixfilter {

namespace {
// No frame comes near this; the cap keeps every size product far from overflow
// and turns absurd sizes into a refusal instead of a failed huge allocation.
constexpr uint64_t kMaxPictureBytes = uint64_t{1} << 32;
}  // namespace

CImageEffect::~CImageEffect() = default;

bool CImageEffect::SetParameter(const char*, const void*, int32_t) { return false; }

bool CImageEffect::BeginProcess(int32_t format, int32_t stride, int32_t width, int32_t height,
                                bool wantOutput) {
    // A refused begin leaves the effect bound to no size, with nothing allocated.
    const auto refuse = [this] {
        EndProcess();
        return false;
    };
    if (format != EIL_FORMAT_BGRA32 || stride == 0 || width <= 0 || height <= 0) return refuse();
    const uint64_t rowBytes = static_cast<uint64_t>(std::llabs(static_cast<long long>(stride)));
    const uint64_t packedRow = static_cast<uint64_t>(width) * 4;
    // Rows narrower than the picture would overlap each other.
    if (rowBytes < packedRow) return refuse();
    if (packedRow * static_cast<uint64_t>(height) > kMaxPictureBytes) return refuse();

    m_outputBuffer = nullptr;
    if (wantOutput) {
        if (!m_output.Resize(static_cast<std::size_t>(packedRow * static_cast<uint64_t>(height))))
            return refuse();
        m_outputBuffer = m_output.Data();
    } else {
        m_output.Release();
    }
    m_stride = stride;
    m_width = width;
    m_height = height;
    return true;
}

void CImageEffect::EndProcess() {
    m_output.Release();
    m_outputBuffer = nullptr;
    m_stride = 0;
    m_width = 0;
    m_height = 0;
}

std::size_t CImageEffect::RowBytes() const {
    return static_cast<std::size_t>(std::llabs(static_cast<long long>(m_stride)));
}

bool CImageEffect::IsParameter(const char* name, int32_t size, const char* expectedName,
                               int32_t expectedSize) {
    return name != nullptr && size == expectedSize && std::strcmp(name, expectedName) == 0;
}

}  // namespace pixfilter
