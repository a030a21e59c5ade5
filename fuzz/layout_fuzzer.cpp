// Feeds arbitrary bytes as one tag's data to everything that reads a tag's
// first bytes: its layout in every header form (extended headers, modifier
// blocks, multitrack), the codec setups, VP9's frame header, the frame
// headers of self-describing sound and the block lengths, and the parameter
// sets a join puts in band (from the setup record, in front of a picture).
// The first byte picks audio or video and how much of the data counts as read.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert/SetupInBand.h"
#include "tagio/tagio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > (1u << 20)) return 0;
    const uint32_t type = data[0] & 1 ? 9 : 8;
    const uint32_t dataSize = uint32_t(size - 1);
    // A copy of exactly the tag's bytes, so a read past them is caught.
    std::vector<uint8_t> tag(data + 1, data + size);
    const uint32_t available = data[0] & 2 ? dataSize : dataSize < 16 ? dataSize : 16;
    TagioTagLayout l;
    Flv_ReadTagLayout(type, tag.data(), available, dataSize, &l);
    if (l.payloadOffset > dataSize || l.payloadSize > dataSize - l.payloadOffset) __builtin_trap();
    TagioCodecSetup setup;
    Flv_ReadCodecSetup(type, tag.data(), dataSize, &setup);
    const uint8_t* payload = tag.data() + l.payloadOffset;
    int32_t a = 0, b = 0;
    if (type == 9) {
        Flv_ReadVp9FrameSize(payload, l.payloadSize, &a, &b);
        std::vector<uint8_t> sets;
        SetupParameterSets(l.codec, payload, l.payloadSize, sets);
        if (ParameterSetsOffset(l.codec, payload, l.payloadSize, payload, l.payloadSize) > l.payloadSize)
            __builtin_trap();
    } else {
        Flv_ReadSoundFrameFormat(l.codec, payload, l.payloadSize, &a, &b);
        CalcFLVAudioBlockDuration(payload, l.payloadSize, int(l.codec), 44100, 2, 2);
    }
    return 0;
}
