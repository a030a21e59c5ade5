// VRes_*: picture scaling over libswscale, packed rows in and out.
#include "avkit/avkit.h"

#include <new>

extern "C" {
#include <libswscale/swscale.h>
}

struct AvkResizer {
    SwsContext* sws = nullptr;
    int inWidth = 0, inHeight = 0, outWidth = 0, outHeight = 0, bytesPerPixel = 0;
};

namespace {

int ScaleFlags(int resizeMode) {
    switch (resizeMode) {
        case 0: return SWS_FAST_BILINEAR;
        case 2: return SWS_BICUBIC;
        case 3: return SWS_POINT;
        default: return SWS_BILINEAR;
    }
}

// Far beyond any frame we handle, and small enough that sizes fit an int.
constexpr int kMaxSide = 16384;

}  // namespace

extern "C" AVKIT_API AvkResizer* VRes_CreateByResizeMode(int inWidth, int inHeight, int outWidth,
                                                         int outHeight, int imageFormat,
                                                         int resizeMode) {
    if (inWidth <= 0 || inHeight <= 0 || outWidth <= 0 || outHeight <= 0 ||
        inWidth > kMaxSide || inHeight > kMaxSide || outWidth > kMaxSide || outHeight > kMaxSide)
        return nullptr;
    AVPixelFormat fmt;
    int bpp;
    if (imageFormat == AVK_IMAGE_BGRA32) {
        fmt = AV_PIX_FMT_BGRA;
        bpp = 4;
    } else if (imageFormat == AVK_IMAGE_ALPHA8) {
        fmt = AV_PIX_FMT_GRAY8;
        bpp = 1;
    } else {
        return nullptr;
    }
    auto* r = new (std::nothrow) AvkResizer;
    if (!r) return nullptr;
    r->sws = sws_getContext(inWidth, inHeight, fmt, outWidth, outHeight, fmt,
                            ScaleFlags(resizeMode), nullptr, nullptr, nullptr);
    if (!r->sws) {
        delete r;
        return nullptr;
    }
    r->inWidth = inWidth;
    r->inHeight = inHeight;
    r->outWidth = outWidth;
    r->outHeight = outHeight;
    r->bytesPerPixel = bpp;
    return r;
}

extern "C" AVKIT_API int VRes_Resize(AvkResizer* h, const uint8_t* in, uint8_t* out) {
    if (!h || !in || !out) return 0;
    const uint8_t* src[4] = {in, nullptr, nullptr, nullptr};
    const int srcStride[4] = {h->inWidth * h->bytesPerPixel, 0, 0, 0};
    uint8_t* dst[4] = {out, nullptr, nullptr, nullptr};
    const int dstStride[4] = {h->outWidth * h->bytesPerPixel, 0, 0, 0};
    return sws_scale(h->sws, src, srcStride, 0, h->inHeight, dst, dstStride) == h->outHeight;
}

extern "C" AVKIT_API void VRes_Free(AvkResizer* h) {
    if (!h) return;
    sws_freeContext(h->sws);
    delete h;
}
