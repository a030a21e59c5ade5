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
