// ARes_*: 16-bit interleaved PCM from any rate and channel count to the
// rate and channel count fixed at creation, over libswresample.
#include "avkit/avkit.h"

#include <new>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

struct AvkResampler {
    int outRate = 0, outChannels = 0;
    int inRate = 0, inChannels = 0;   // what swr was made for
    SwrContext* swr = nullptr;
};

namespace {

bool Prepare(AvkResampler* r, int inRate, int inChannels) {
    if (r->swr && r->inRate == inRate && r->inChannels == inChannels) return true;
    swr_free(&r->swr);
    AVChannelLayout inLayout, outLayout;
    av_channel_layout_default(&inLayout, inChannels);
    av_channel_layout_default(&outLayout, r->outChannels);
    const bool ok = swr_alloc_set_opts2(&r->swr, &outLayout, AV_SAMPLE_FMT_S16, r->outRate,
                                        &inLayout, AV_SAMPLE_FMT_S16, inRate, 0, nullptr) >= 0 &&
                    swr_init(r->swr) >= 0;
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (!ok) {
        swr_free(&r->swr);
        return false;
    }
    r->inRate = inRate;
    r->inChannels = inChannels;
    return true;
}

bool ValidIn(int rate, int channels) {
    return rate > 0 && rate <= 768000 && channels > 0 && channels <= 8;
}

}  // namespace

extern "C" AVKIT_API AvkResampler* ARes_Create(int outRate, int outChannels) {
    if (!ValidIn(outRate, outChannels)) return nullptr;
    auto* r = new (std::nothrow) AvkResampler;
    if (!r) return nullptr;
    r->outRate = outRate;
    r->outChannels = outChannels;
    return r;
}

extern "C" AVKIT_API int ARes_GetOutBufferSize(AvkResampler* h, int inRate, int inChannels,
                                               int inBytes) {
    if (!h || !ValidIn(inRate, inChannels) || inBytes < 0) return 0;
    const int64_t inSamples = inBytes / (2 * inChannels);
    int64_t delay = 0;
    if (h->swr && h->inRate == inRate && h->inChannels == inChannels)
        delay = swr_get_delay(h->swr, inRate);
    // Samples held back by the filter may come out with this block; +16 covers rounding.
    const int64_t outSamples =
        av_rescale_rnd(inSamples + delay, h->outRate, inRate, AV_ROUND_UP) + 16;
    return static_cast<int>(outSamples * 2 * h->outChannels);
}

extern "C" AVKIT_API int ARes_Convert(AvkResampler* h, const uint8_t* in, int inBytes,
                                      int inRate, int inChannels, uint8_t* out, int* inOutBytes) {
    if (!h || !in || !out || !inOutBytes || inBytes < 0 || !ValidIn(inRate, inChannels))
        return 0;
    if (!Prepare(h, inRate, inChannels)) return 0;
    const int outCapacity = *inOutBytes / (2 * h->outChannels);
    const uint8_t* inPlanes[1] = {in};
    uint8_t* outPlanes[1] = {out};
    const int got = swr_convert(h->swr, outPlanes, outCapacity, inPlanes,
                                inBytes / (2 * inChannels));
    if (got < 0) return 0;
    *inOutBytes = got * 2 * h->outChannels;
    return 1;
}

extern "C" AVKIT_API void ARes_Free(AvkResampler* h) {
    if (!h) return;
    swr_free(&h->swr);
    delete h;
}
