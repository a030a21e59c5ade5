// VRes_*: picture scaling and format conversion over libswscale, packed rows
// in and out.
#include "avkit/avkit.h"

#include <new>

extern "C" {
#include <libswscale/swscale.h>
}

namespace {

// Far beyond any frame we handle, and small enough that sizes fit an int.
constexpr int kMaxSide = 16384;

int ScaleFlags(int resizeMode) {
    switch (resizeMode) {
        case 0: return SWS_FAST_BILINEAR;
        case 2: return SWS_BICUBIC;
        case 3: return SWS_POINT;
        default: return SWS_BILINEAR;
    }
}

bool PixelFormat(int imageFormat, AVPixelFormat& fmt) {
    switch (imageFormat) {
        case AVK_IMAGE_BGRA32: fmt = AV_PIX_FMT_BGRA; return true;
        case AVK_IMAGE_ALPHA8: fmt = AV_PIX_FMT_GRAY8; return true;
        case AVK_IMAGE_I420: fmt = AV_PIX_FMT_YUV420P; return true;
        default: return false;
    }
}

// The planes of a packed picture; stride0 replaces the first plane's row length when above 0.
void Planes(int imageFormat, int width, int height, uint8_t* base, int stride0, uint8_t* planes[4],
            int strides[4]) {
    for (int i = 0; i < 4; ++i) planes[i] = nullptr, strides[i] = 0;
    planes[0] = base;
    if (imageFormat == AVK_IMAGE_I420) {
        const int cw = (width + 1) / 2, ch = (height + 1) / 2;
        strides[0] = width;
        strides[1] = strides[2] = cw;
        planes[1] = base + size_t(width) * height;
        planes[2] = planes[1] + size_t(cw) * ch;
    } else {
        strides[0] = width * (imageFormat == AVK_IMAGE_BGRA32 ? 4 : 1);
    }
    if (stride0 > 0) strides[0] = stride0;
}

}  // namespace

struct AvkResizer {
    SwsContext* sws = nullptr;
    int inWidth = 0, inHeight = 0, inFormat = 0, outWidth = 0, outHeight = 0, outFormat = 0;
};

extern "C" AVKIT_API int AvkImage_Bytes(int imageFormat, int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return 0;
    switch (imageFormat) {
        case AVK_IMAGE_BGRA32: return width * height * 4;
        case AVK_IMAGE_ALPHA8: return width * height;
        case AVK_IMAGE_I420: return width * height + 2 * ((width + 1) / 2) * ((height + 1) / 2);
        default: return 0;
    }
}

extern "C" AVKIT_API AvkResizer* VRes_CreateConverter(int inWidth, int inHeight, int inFormat, int outWidth,
                                                      int outHeight, int outFormat, int resizeMode) {
    if (inWidth <= 0 || inHeight <= 0 || outWidth <= 0 || outHeight <= 0 ||
        inWidth > kMaxSide || inHeight > kMaxSide || outWidth > kMaxSide || outHeight > kMaxSide)
        return nullptr;
    AVPixelFormat in, out;
    if (!PixelFormat(inFormat, in) || !PixelFormat(outFormat, out)) return nullptr;
    // The luma plane alone does not turn into colour or back.
    if ((inFormat == AVK_IMAGE_ALPHA8) != (outFormat == AVK_IMAGE_ALPHA8)) return nullptr;
    auto* r = new (std::nothrow) AvkResizer;
    if (!r) return nullptr;
    r->sws = sws_getContext(inWidth, inHeight, in, outWidth, outHeight, out, ScaleFlags(resizeMode), nullptr,
                            nullptr, nullptr);
    if (!r->sws) {
        delete r;
        return nullptr;
    }
    r->inWidth = inWidth;
    r->inHeight = inHeight;
    r->inFormat = inFormat;
    r->outWidth = outWidth;
    r->outHeight = outHeight;
    r->outFormat = outFormat;
    return r;
}

extern "C" AVKIT_API AvkResizer* VRes_CreateByResizeMode(int inWidth, int inHeight, int outWidth,
                                                         int outHeight, int imageFormat,
                                                         int resizeMode) {
    if (imageFormat != AVK_IMAGE_BGRA32 && imageFormat != AVK_IMAGE_ALPHA8) return nullptr;
    return VRes_CreateConverter(inWidth, inHeight, imageFormat, outWidth, outHeight, imageFormat, resizeMode);
}

extern "C" AVKIT_API int VRes_ResizeInto(AvkResizer* h, const uint8_t* in, uint8_t* out, int outStride) {
    if (!h || !in || !out || outStride < 0 || (outStride > 0 && h->outFormat == AVK_IMAGE_I420)) return 0;
    uint8_t* src[4];
    int srcStride[4];
    Planes(h->inFormat, h->inWidth, h->inHeight, const_cast<uint8_t*>(in), 0, src, srcStride);
    uint8_t* dst[4];
    int dstStride[4];
    Planes(h->outFormat, h->outWidth, h->outHeight, out, outStride, dst, dstStride);
    return sws_scale(h->sws, src, srcStride, 0, h->inHeight, dst, dstStride) == h->outHeight;
}

extern "C" AVKIT_API int VRes_Resize(AvkResizer* h, const uint8_t* in, uint8_t* out) {
    return VRes_ResizeInto(h, in, out, 0);
}

extern "C" AVKIT_API void VRes_Free(AvkResizer* h) {
    if (!h) return;
    sws_freeContext(h->sws);
    delete h;
}
