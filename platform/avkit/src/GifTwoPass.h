// Animated GIF in two passes: the first counts the colours of every picture
// (libavfilter's palettegen) and keeps the pictures in an unnamed file beside
// the output; the second maps each kept picture onto the one palette made
// from the whole clip (paletteuse) and hands it to the GIF encoder. One
// palette for the clip keeps colours steady from frame to frame and lets the
// encoder leave unchanged pixels transparent.
#pragma once

#include <cstdint>
#include <string>

#include "WriterParts.h"

extern "C" {
#include <libavfilter/avfilter.h>
}

namespace avkit {

class GifTwoPass {
public:
    ~GifTwoPass();
    // Pictures are width x height BGRA, numbered in timeBase. The kept
    // pictures go to folder (the output's). False when the file or the colour
    // counter cannot be made.
    bool Open(int width, int height, AVRational timeBase, const std::string& folder);
    // Counts the picture's colours and keeps it (opaque: GIF's one transparent
    // colour is left to the encoder). False when it cannot be kept.
    bool Put(const AVFrame* bgra);
    // Makes the palette and encodes every kept picture with enc (PAL8).
    bool Finish(Muxer& mux, AVCodecContext* enc, AVStream* st, AVPacket* pkt);

private:
    bool Keep(const AVFrame* bgra);
    bool ReadBack(int64_t index);
    bool EncodeMapped(Muxer& mux, AVCodecContext* enc, AVStream* st, AVPacket* pkt, AVFilterContext* sink);

    AVFilterGraph* count_ = nullptr;   // first pass: palettegen
    AVFilterContext* countIn_ = nullptr;
    AVFilterContext* countOut_ = nullptr;
    AVFrame* work_ = nullptr;          // one picture, packed rows
    AVFrame* mapped_ = nullptr;        // the second pass's output
    int fd_ = -1;
    int width_ = 0, height_ = 0;
    AVRational timeBase_{1, 25};
    int64_t kept_ = 0;
};

}  // namespace avkit
