#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "avkit/CutEncoder.h"

// The exact start of a clip copied without re-encoding: when the picture on
// show at its trim start is not a key picture, the pictures of its group
// from that one on are decoded and coded again (with parameter sets of their
// own beside the source's); the copy resumes at the next key picture. Where
// that would code more than 20 s again, the clip starts at its key picture.
class CRemuxCut {
public:
    CRemuxCut() = default;
    ~CRemuxCut() { ACE_Delete(encoder_); }
    CRemuxCut(const CRemuxCut&) = delete;
    CRemuxCut& operator=(const CRemuxCut&) = delete;

    // base: the clip's first raw timestamp; times below are clip time (ms).
    // avcC: the source's setup. False, with why, when the pictures cannot be
    // coded again; true otherwise, Needed() telling whether they are.
    bool Make(const std::string& path, uint32_t base, uint32_t trimStart, uint32_t trimEnd, bool cutEnd,
              const std::vector<uint8_t>& avcC, std::string& why);

    bool Needed() const { return encoder_ != nullptr; }
    // The picture on show at the trim start is a key picture: the copy
    // starts at it (KeyTime) as it is.
    bool OnKey() const { return onKey_; }
    // Decode time of the key picture shown at or before the trim start.
    uint32_t KeyTime() const { return keyDts_; }
    // When the picture on show at the trim start is shown (at or before it):
    // the clip's first picture when Needed.
    uint32_t FirstShown() const { return uint32_t(firstShown_); }
    // Decode time of the next key picture, where the copy resumes; none when
    // the kept span ends before it.
    bool HasNextKey() const { return hasNext_; }
    uint32_t NextKeyTime() const { return nextDts_; }

    // The coded pictures in the order they are stored and shown; pts in clip time.
    int Count() const { return ACE_PacketCount(encoder_); }
    const uint8_t* Packet(int index, int& size, int64_t& pts, bool& key) const;
    // The source's setup with the new parameter sets.
    std::vector<uint8_t> Setup() const;

private:
    AvkCutEncoder* encoder_ = nullptr;
    uint32_t keyDts_ = 0, nextDts_ = 0;
    int64_t firstShown_ = 0;
    bool hasNext_ = false, onKey_ = false;
};
