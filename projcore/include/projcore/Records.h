#pragma once

// Records that cross the engine boundary by pointer in a message's p1.
// The receiver of a query checks p2 against sizeof of the record.

#include <climits>
#include <cstddef>  // offsetof in the watermark records
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

// ---- Watermarks -------------------------------------------------------------
// Records of the watermark commands (210581001 - 210581016) and notifications
// (4361, 4366). Strings are UTF-8. A record holding a pointer has the natural
// layout of the machine; the others keep their fixed byte layout.

// 210581001, 210581002, 210581003, 210581005: a path or a text going in.
struct WaterMarkString {
    uint32_t index;
    const char* text;
};

// 210581004: the picture's path comes back in a kPathBufferSize-byte buffer.
struct WaterMarkPathBuffer {
    uint32_t index;
    char* buffer;
};

// 210581006: the text comes back in buffer, cut at a character boundary to fit size.
struct WaterMarkTextBuffer {
    uint32_t index;
    char* buffer;
    uint32_t size;
};

// 210581007, 210581008. Origin: anchor cell of a 3 x 3 grid, 0 top-left ... 8 bottom-right.
struct WaterMarkPosition {
    uint32_t index;
    int16_t origin;
    int16_t xOffset;
    int16_t yOffset;
    uint16_t reserved;
};
static_assert(sizeof(WaterMarkPosition) == 12 && offsetof(WaterMarkPosition, yOffset) == 8);

// 210581009, 210581010: times in milliseconds of clip time, fades in seconds.
struct WaterMarkTiming {
    uint32_t index;
    uint32_t startTime;
    uint32_t endTime;
    float fadeIn;
    float fadeOut;
};
static_assert(sizeof(WaterMarkTiming) == 20);

// 210581011, 210581012 (image watermarks only).
struct WaterMarkSize {
    uint32_t index;
    uint16_t width;
    uint16_t height;
    uint8_t isOrgScale;  // keep the picture's width:height ratio
    uint8_t reserved[3];
};
static_assert(sizeof(WaterMarkSize) == 12 && offsetof(WaterMarkSize, isOrgScale) == 8);

// 210581013, 210581014. transparent: bytes red, green, blue, flag (255: no see-through colour).
struct WaterMarkTransparency {
    uint32_t index;
    uint8_t alpha;
    uint8_t transparent[4];
    uint8_t tolerance;
    uint8_t reserved[2];
};
static_assert(sizeof(WaterMarkTransparency) == 12 && offsetof(WaterMarkTransparency, tolerance) == 9);

// 210581015, 210581016. fontStyle: 0 regular, 1 italic, 2 bold, 3 bold italic;
// textColor: bytes red, green, blue, unused.
struct WaterMarkTextStyle {
    uint32_t index;
    char font[64];
    uint16_t textSize;  // points
    uint8_t textColor[4];
    uint8_t reserved1[2];
    uint32_t fontStyle;
    uint8_t isStrikeOut;
    uint8_t isUnderLine;
    uint8_t reserved2[2];
};
static_assert(sizeof(WaterMarkTextStyle) == 84 && offsetof(WaterMarkTextStyle, textColor) == 70 &&
              offsetof(WaterMarkTextStyle, fontStyle) == 76 && offsetof(WaterMarkTextStyle, isUnderLine) == 81);

// p1 of 4361: the watermark's offsets and size in frame pixels.
struct WaterMarkPlace {
    int32_t xOffset, yOffset, width, height;
};
static_assert(sizeof(WaterMarkPlace) == 16);

// p1 of 4366: a watermark moved in the list.
struct WaterMarkMove {
    uint32_t from, to;
};
static_assert(sizeof(WaterMarkMove) == 8);
// ---- end of watermarks ------------------------------------------------------
