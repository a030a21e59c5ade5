// Feeds arbitrary bytes to the push parser and decodes every tag it yields
// on this thread with an audio and a video decoder in sync mode; the output
// size, crop rectangle and resize mode come from the input itself.
#include <cstddef>
#include <cstdint>

#include "tagflow/tagflow.h"

namespace {

struct Context {
    FLVStreamDecoderHandle audio, video;
};

void Touch(const uint8_t* data, int32_t size) {
    volatile uint8_t sink = 0;
    if (data && size > 0) sink = data[0] ^ data[size - 1];
    (void)sink;
}

int32_t OnTag(void* user, FLVTag* tag) {
    auto* c = static_cast<Context*>(user);
    const uint8_t* out = nullptr;
    int32_t size = 0;
    FLVStreamDecoder_DecodeFLVTag(tag->type == 8 ? c->audio : c->video, tag, &out, &size);
    Touch(out, size);
    FLVStreamParser_DeleteFLVTag(nullptr, tag);
    return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    Context c{FLVStreamDecoder_Create(0), FLVStreamDecoder_Create(1)};
    FLVStreamDecoder_SetDecodeSyncMode(c.audio, 1);
    FLVStreamDecoder_SetDecodeSyncMode(c.video, 1);
    FLVStreamDecoder_SetSampleRate(c.audio, data[0] & 1 ? 44100 : 8000);
    FLVStreamDecoder_SetNumberOfChannels(c.audio, 1 + (data[0] >> 1 & 1));
    FLVStreamDecoder_SetOutputSize(c.video, 16 + data[1] % 64, 16 + data[2] % 64);
    const FLVCropRect crop{data[3] % 8 - 1, data[3] / 8 % 8 - 1, 8 + data[4] % 64, 8 + data[4] / 64 * 16};
    if (data[5] & 1) FLVStreamDecoder_SetCropRect(c.video, &crop);
    FLVStreamDecoder_SetResizeMode(c.video, data[5] >> 1 & 3);
    data += 6;
    size -= 6;

    FLVStreamParserHandle p = FLVStreamParser_Create();
    FLVStreamParser_SetFLVAudioCallBack(p, &OnTag, &c);
    FLVStreamParser_SetFLVVideoCallBack(p, &OnTag, &c);
    FLVStreamParser_Run(p);
    FLVStreamParser_DeliverData(p, data, uint32_t(size));
    FLVStreamParser_Flush(p);
    FLVStreamParser_Stop(p);
    FLVStreamParser_Delete(p);

    const uint8_t* out = nullptr;
    int32_t outSize = 0;
    FLVStreamDecoder_DecodeFLVTag(c.audio, nullptr, &out, &outSize);   // flush
    FLVStreamDecoder_Delete(c.audio);
    FLVStreamDecoder_Delete(c.video);
    return 0;
}
