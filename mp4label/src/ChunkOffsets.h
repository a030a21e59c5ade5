// Chunk offset tables ("stco", "co64") point at media data by absolute file
// position; when moov changes size, the data behind it moves with it.
#ifndef MP4LABEL_CHUNKOFFSETS_H
#define MP4LABEL_CHUNKOFFSETS_H

#include <cstdint>
#include <vector>

namespace mp4label {

// moov holds one whole moov box (its header at index 0, its size field
// already final). Adds delta to every chunk offset at or after threshold in
// the tables under moov/trak/mdia/minf/stbl. False when the boxes on that path
// are damaged or a shifted offset would not fit its field; moov may then be
// partly changed and must be dropped.
bool ShiftChunkOffsets(std::vector<uint8_t>& moov, uint64_t threshold, int64_t delta);

}  // namespace mp4label

#endif
