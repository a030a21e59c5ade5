// Where the parts of a PSP-style MP4 file lie, and the title stored in it.
#ifndef MP4LABEL_PSPLAYOUT_H
#define MP4LABEL_PSPLAYOUT_H

#include <optional>
#include <string>

#include "BoxHeader.h"
#include "ByteSource.h"

namespace mp4label {

struct PspLayout {
    BoxHeader moov;
    // The first direct child of moov that is a "USMT" uuid box, if any.
    std::optional<BoxHeader> usmt;
    // Without a USMT box: moov's last child, the box a new one follows.
    std::optional<BoxHeader> lastChild;
};

// Checks the PSP signature (first box "ftyp" of brand "MSNV", second box a
// "PROF" uuid box), then finds moov among the top-level boxes and the USMT box
// among moov's children. False for anything else or any damaged header on
// the way.
bool LocatePspLayout(const ByteSource& src, PspLayout& out);

// Reads the title entry of the layout's USMT box. title stays empty (nullopt)
// when there is no USMT box, no "MTDT" box in it or no title entry. False when
// the metadata is damaged.
bool ReadTitleEntry(const ByteSource& src, const PspLayout& layout,
                    std::optional<std::u16string>& title);

// Both of the above: false when the file is not a valid PSP file.
bool ReadPspTitle(const ByteSource& src, std::optional<std::u16string>& title);

}  // namespace mp4label

#endif
