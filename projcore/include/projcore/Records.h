#pragma once

// Records that cross the engine boundary by pointer in a message's p1.
// The receiver of a query checks p2 against sizeof of the record.

#include <climits>
#include <cstdint>

// Buffers that carry a path (the host's answers to the file-name questions and
// the project path query) are this large; a longer path is refused, never cut.
inline constexpr int kPathBufferSize = PATH_MAX;

// A rectangle or a set of margins (left, top, right, bottom), in pixels;
// right and bottom are exclusive.
struct Rect {
    int32_t left, top, right, bottom;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};
static_assert(sizeof(Rect) == 16);

// p1 of 210021008: a media file's facts. The caller sets path; the engine
// fills the rest (the FLV part for FLV files, the image part for pictures)
// and leaves every output zero when the file cannot be examined.
struct MediaFileInfo {
    const char* path;         // in: UTF-8
    uint32_t duration;        // milliseconds
    uint8_t isFlv;            // the name ends in "flv", any case
    int32_t version;          // FLV version
    int32_t videoCodec;       // FLV codec number, -1 without video
    int32_t width;
    int32_t height;
    int32_t reserved1;
    double frameRate;
    int32_t videoDataRate;
    int32_t audioFormat;      // FLV sound format, -1 without audio
    int32_t audioDataRate;
    int32_t sampleRate;       // Hz
    int32_t bitsPerSample;
    int32_t channels;
    char imageFormat[16];     // "BMP", "GIF", "Icon", "JPEG", "PNG", "TIFF"
    int32_t frameCount;       // 1 for a still picture
    int32_t imageWidth;
    int32_t imageHeight;
    int32_t reserved2;
    double imageFrameRate;
};

// p1 of 110581401 while a project file loads (p2 = sizeof(LoadProgress)).
struct LoadProgress {
    const char* path;   // the clip's file path (UTF-8); "" in the final message
    int32_t state;      // 0 = starts loading, 1 = loaded, 2 = failed
    uint32_t total;     // clips the project file announces
    uint32_t done;      // clips finished before this message
};

// Answers of the host to 210581404 (unsaved changes). Anything else is taken
// as a cancel: the engine never discards edits on an answer it does not know.
enum SaveChangesAnswer : int32_t {
    kSaveChangesDiscard = 0,
    kSaveChangesSave = 1,
    kSaveChangesCancel = 2,
};
