#include "TitleSavePlan.h"

#include <limits>

#include "BigEndian.h"
#include "ChunkOffsets.h"
#include "PspLayout.h"
#include "TitleBox.h"

namespace mp4label {

bool PlanTitleSave(const ByteSource& src, std::u16string_view title, TitleSavePlan& plan) {
    PspLayout layout;
    if (!LocatePspLayout(src, layout)) return false;
    std::vector<uint8_t> titleBox;
    if (!BuildTitleBox(title, titleBox)) return false;

    const BoxHeader& moov = layout.moov;
    if (moov.size > kMaxMoovBytes) return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(moov.size));
    if (!src.ReadAt(moov.start, bytes.data(), bytes.size())) return false;

    // A last child stored as "runs to the end of moov" would swallow a box
    // appended after it: it gets its explicit size (it lies inside moov, so
    // 32 bits hold it).
    if (!layout.usmt && layout.lastChild && layout.lastChild->toEnd)
        StoreBe32(bytes.data() + (layout.lastChild->start - moov.start),
                  static_cast<uint32_t>(layout.lastChild->size));

    // Splice the title box in, relative to moov's start.
    const size_t cutFrom = layout.usmt ? size_t(layout.usmt->start - moov.start) : bytes.size();
    const size_t cutTo = layout.usmt ? size_t(layout.usmt->End() - moov.start) : bytes.size();
    bytes.erase(bytes.begin() + cutFrom, bytes.begin() + cutTo);
    bytes.insert(bytes.begin() + cutFrom, titleBox.begin(), titleBox.end());

    const uint64_t newSize = bytes.size();
    if (moov.largeSize) {
        StoreBe64(bytes.data() + 8, newSize);
    } else {
        // A stored size of 0 ("to the end of the file") becomes explicit; a
        // 32-bit size cannot grow a second header word without moving moov's
        // contents, so a moov that outgrows it is refused.
        if (newSize > std::numeric_limits<uint32_t>::max()) return false;
        StoreBe32(bytes.data(), static_cast<uint32_t>(newSize));
    }

    const int64_t delta = static_cast<int64_t>(newSize) - static_cast<int64_t>(moov.size);
    if (delta != 0 && moov.End() < src.Size() && !ShiftChunkOffsets(bytes, moov.End(), delta))
        return false;

    plan.cutStart = moov.start;
    plan.cutEnd = moov.End();
    plan.newMoov = std::move(bytes);
    return true;
}

}  // namespace mp4label
