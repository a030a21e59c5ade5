// What the newer encoders (VP9, HEVC, AV1, Opus) need beyond the settings
// every encoder takes: a speed that suits a small machine, the tag players
// look for, the rates they can code. Kept apart from the writer's streams so
// the rules for each codec stay in one place.
#pragma once

#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace avkit {

// The encoder for a picture of width x height when the table's choice cannot
// code it (SVT-AV1 takes no side below 64 pixels; libaom-av1 takes any).
const AVCodec* FitVideoEncoder(const AVCodec* chosen, int width, int height);

// Fills opts with the encoder's speed settings and sets what the codec needs
// on enc before it is opened; frameRate gives a key frame interval when the
// caller set none (keyInterval <= 0). Encoders not named here get nothing.
void ApplyVideoPreset(const AVCodec* codec, AVCodecContext* enc, double frameRate, int keyInterval,
                      AVDictionary** opts);

// The tag the stream must carry in this container when the caller gave none:
// HEVC in MP4 and MOV as "hvc1" (parameter sets in the sample entry only),
// which Apple's players require; 0 leaves the muxer's own choice.
uint32_t DefaultStreamTag(AVCodecID codec, const AVOutputFormat* muxer);

// Readies an open encoder that was given no picture to be freed: SVT-AV1
// never returns from closing (or from the end of the stream) before its
// first picture, so it gets one black picture and the end, and whatever it
// makes of them is dropped. Other encoders are left as they are.
void ReadyUnusedEncoderForClose(AVCodecContext* enc);

// The sample rate to encode at: the one asked when the encoder codes it,
// else the nearest rate it codes at or above it, else its highest (Opus
// codes 8, 12, 16, 24 and 48 kHz only). The writer resamples to it.
int FitSampleRate(const AVCodec* codec, int wanted);

}  // namespace avkit
