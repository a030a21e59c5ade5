// Feeds arbitrary bytes to the push parser in pieces whose sizes, and the
// callbacks' answers, come from the input itself.
#include <cstddef>
#include <cstdint>

#include "tagflow/tagflow.h"

namespace {

struct Context {
    uint32_t refuseMask = 0;   // bit i set: refuse the i-th offer (mod 32)
    uint32_t offers = 0;
    bool clearAudio = false, clearVideo = false;
};

int32_t OnInfo(void* user, const FLVInfo*, int32_t* video, int32_t* audio) {
    auto* c = static_cast<Context*>(user);
    if (c->clearAudio) *audio = 0;
    if (c->clearVideo) *video = 0;
    return 1;
}

int32_t OnTag(void* user, FLVTag* tag) {
    auto* c = static_cast<Context*>(user);
    if ((c->refuseMask >> (c->offers++ % 32)) & 1) return 0;
    // Touch what the tag claims to hold, so a wrong size shows as a bad read.
    volatile uint8_t sink = 0;
    if (tag->data && tag->dataSize) sink = tag->data[tag->dataSize - 1];
    if (tag->audioPayload && tag->audioPayloadSize) sink = tag->audioPayload[tag->audioPayloadSize - 1];
    if (tag->videoPayload && tag->videoPayloadSize) sink = tag->videoPayload[tag->videoPayloadSize - 1];
    if (tag->vp6Payload && tag->vp6PayloadSize) sink = tag->vp6Payload[tag->vp6PayloadSize - 1];
    if (tag->alphaPayload && tag->alphaPayloadSize) sink = tag->alphaPayload[tag->alphaPayloadSize - 1];
    (void)sink;
    FLVStreamParser_DeleteFLVTag(nullptr, tag);
    return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    Context c;
    c.refuseMask = data[0] | data[1] << 8;   // refusals only among the first 16 of 32 offers
    c.clearAudio = data[2] & 1;
    c.clearVideo = data[2] & 2;
    const size_t piece = 1 + data[3] % 64 * (data[4] + 1);
    const int queue = 1 + data[5] % 16;
    data += 6;
    size -= 6;

    FLVStreamParserHandle p = FLVStreamParser_Create();
    FLVStreamParser_SetMaxFLVTagQueue(p, queue);
    FLVStreamParser_SetMaxInterleavedTime(p, 1000);   // no dependence on the wall clock
    FLVStreamParser_SetParserNotAudioVideoPacket(p, c.refuseMask & 1);
    FLVStreamParser_SetFLVInfoCallBack(p, &OnInfo, &c);
    FLVStreamParser_SetFLVAudioCallBack(p, &OnTag, &c);
    FLVStreamParser_SetFLVVideoCallBack(p, &OnTag, &c);
    FLVStreamParser_SetFLVNotAudioVideoPacketCallBack(p, &OnTag, &c);
    FLVStreamParser_Run(p);
    for (size_t at = 0; at < size;) {
        const size_t n = piece < size - at ? piece : size - at;
        const int r = FLVStreamParser_DeliverData(p, data + at, uint32_t(n));
        if (r == 1) break;
        if (r == 2) {   // back-pressure: a refusing callback takes the next offer
            FLVStreamParser_Flush(p);
            continue;
        }
        at += n;
    }
    FLVStreamParser_Flush(p);
    FLVStreamParser_Stop(p);
    FLVStreamParser_Delete(p);
    return 0;
}
