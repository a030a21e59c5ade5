// What saving a title changes in a file: one byte range (the whole moov box)
// replaced by new bytes. Working it out reads the file but writes nothing, so
// the same plan serves the file writer and in-memory checks.
#ifndef MP4LABEL_TITLESAVEPLAN_H
#define MP4LABEL_TITLESAVEPLAN_H

#include <cstdint>
#include <string_view>
#include <vector>

#include "ByteSource.h"

namespace mp4label {

// moov is read into memory to be rebuilt; a bigger one is refused rather than
// risking an allocation of whatever a damaged size field claims.
constexpr uint64_t kMaxMoovBytes = 256ull << 20;

struct TitleSavePlan {
    uint64_t cutStart = 0;          // the old moov box: [cutStart, cutEnd)
    uint64_t cutEnd = 0;
    std::vector<uint8_t> newMoov;   // what takes its place
};

// The title box replaces moov's first USMT child in place, or becomes moov's
// last child when there is none; every other box, inside moov or after it,
// is kept. moov's size is rewritten in the width it was stored in, and chunk
// offsets pointing behind moov move by the change in size. False when the file
// is not a valid PSP file, the title is too long, moov is too big, or the new
// sizes or offsets would not fit their fields.
bool PlanTitleSave(const ByteSource& src, std::u16string_view title, TitleSavePlan& plan);

}  // namespace mp4label

#endif
