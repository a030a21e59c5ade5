// VideoEncoder_Crop and VideoEncoder_SwapImageRowOrderInPlace: plain row
// copies on packed pictures.
#include "avkit/avkit.h"

#include <algorithm>
#include <cstring>

extern "C" AVKIT_API int VideoEncoder_Crop(uint8_t* dst, const AvkRect* rect, const uint8_t* src,
                                           int width, int height, int stride, int bytesPerPixel) {
    if (!dst || !rect || !src || width <= 0 || height <= 0 || bytesPerPixel <= 0 ||
        stride < width * bytesPerPixel)
        return 0;
    const int left = std::max(rect->left, 0), top = std::max(rect->top, 0);
    const int right = std::min(rect->right, width), bottom = std::min(rect->bottom, height);
    if (left >= right || top >= bottom) return 0;
    const size_t rowBytes = static_cast<size_t>(right - left) * bytesPerPixel;
    for (int y = top; y < bottom; ++y) {
        std::memcpy(dst, src + static_cast<size_t>(y) * stride + static_cast<size_t>(left) * bytesPerPixel,
                    rowBytes);
        dst += rowBytes;
    }
    return 1;
}

extern "C" AVKIT_API void VideoEncoder_SwapImageRowOrderInPlace(uint8_t* picture, int stride,
                                                                int rows) {
    if (!picture || stride <= 0 || rows < 2) return;
    // Swap through a small stack block so the call never allocates.
    uint8_t tmp[4096];
    uint8_t* a = picture;
    uint8_t* b = picture + static_cast<size_t>(rows - 1) * stride;
    for (; a < b; a += stride, b -= stride) {
        for (int done = 0; done < stride;) {
            const int n = std::min<int>(stride - done, sizeof tmp);
            std::memcpy(tmp, a + done, n);
            std::memcpy(a + done, b + done, n);
            std::memcpy(b + done, tmp, n);
            done += n;
        }
    }
}
