#include "convert/RemuxCut.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "tagio/tagio.h"

namespace {

struct ReaderDeleter {
    void operator()(TagioFileReadAble* f) const { DeleteFileReadAble(f); }
};

// An H.264 picture tag's composition time (ms), its first five data bytes given.
int32_t Composition(const uint8_t* d) {
    uint32_t v = uint32_t(d[2]) << 16 | uint32_t(d[3]) << 8 | d[4];
    if (v & 0x800000) v |= 0xFF000000u;
    const auto cts = int32_t(v);
    return cts > 4000 || cts < -4000 ? 0 : cts;   // beyond a few frames: damage
}

constexpr int64_t kLongestCodedAgainMs = 20000;

bool IsPicture(const TagioFlvTag& t) { return t.type == 9 && t.codecField2 == 7 && t.packetType == 1 && t.dataSize > 5; }

}  // namespace

bool CRemuxCut::Make(const std::string& path, uint32_t base, uint32_t trimStart, uint32_t trimEnd, bool cutEnd,
                     const std::vector<uint8_t>& avcC, std::string& why) {
    std::unique_ptr<TagioFileReadAble, ReaderDeleter> file(CreateFileReadAble(path.c_str()));
    TagioFlvHeader header{};
    if (!file || !Flv_ReadHeader(file.get(), &header)) {
        why = path + " cannot be read";
        return false;
    }
    // The key picture shown at or before the trim start, and the next one.
    TagioFlvTag tag{};
    uint8_t head[5];
    int64_t keyAt = -1, keyPts = 0, nextPts = 0, firstDts = -1, lastDts = -1, pictures = 0;
    while (Flv_ReadTag(file.get(), 0, &tag)) {
        if (!IsPicture(tag)) continue;
        const uint32_t t = tag.timestamp >= base ? tag.timestamp - base : 0;
        if (firstDts < 0) firstDts = t;
        lastDts = t;
        ++pictures;
        if (cutEnd && t >= trimEnd) break;
        if (tag.codecField1 != 1) continue;
        if (FileReadAble_ReadAt(file.get(), tag.filePosition + 11, head, sizeof head) != int64_t(sizeof head)) break;
        const int64_t pts = int64_t(t) + Composition(head);
        if (pts <= int64_t(trimStart)) {
            keyAt = tag.filePosition;
            keyDts_ = t;
            keyPts = pts;
        } else if (keyAt >= 0) {
            hasNext_ = true;
            nextDts_ = t;
            nextPts = pts;
            break;
        } else {
            break;
        }
    }
    // Before the first key picture: the copy starts at it as it is.
    if (keyAt < 0) return true;
    // The picture on show at the trim start: the last one shown at or before it.
    FileReadAble_Seek(file.get(), keyAt, 0);
    firstShown_ = keyPts;
    while (Flv_ReadTag(file.get(), 0, &tag)) {
        if (!IsPicture(tag)) continue;
        const uint32_t t = tag.timestamp >= base ? tag.timestamp - base : 0;
        if (hasNext_ && t >= nextDts_ && tag.filePosition != keyAt) break;
        if (t > trimStart) break;   // shown at or after its decode time
        if (FileReadAble_ReadAt(file.get(), tag.filePosition + 11, head, sizeof head) != int64_t(sizeof head)) break;
        const int64_t pts = int64_t(t) + Composition(head);
        if (pts <= int64_t(trimStart)) firstShown_ = std::max(firstShown_, pts);
    }
    // A key picture on show: the copy starts at it as it is.
    if (firstShown_ == keyPts) {
        onKey_ = true;
        return true;
    }
    const int64_t to = hasNext_ ? (cutEnd ? std::min<int64_t>(nextPts, trimEnd) : nextPts)
                                : (cutEnd ? int64_t(trimEnd) : INT64_MAX);
    // The pictures coded again are held until the file is written: a group
    // far longer than usual (or no key picture to come) starts at its key
    // picture instead.
    if (to - firstShown_ > kLongestCodedAgainMs) return true;
    // The rate over the pictures read: single steps are whole ms (33, 34 ...).
    const double rate = pictures > 1 && lastDts > firstDts ? 1000.0 * double(pictures - 1) / double(lastDts - firstDts) : 25.0;
    encoder_ = ACE_Create(avcC.data(), int(avcC.size()), rate, firstShown_, to);
    if (!encoder_) {
        why = path + ": its H.264 pictures cannot be decoded to cut them at " + std::to_string(trimStart) + " ms";
        return false;
    }
    // The group's pictures in decode order, up to the next key picture.
    FileReadAble_Seek(file.get(), keyAt, 0);
    std::vector<uint8_t> data;
    bool ok = true;
    while (ok && Flv_ReadTag(file.get(), 0, &tag)) {
        if (!IsPicture(tag)) continue;
        const uint32_t t = tag.timestamp >= base ? tag.timestamp - base : 0;
        if (hasNext_ && t >= nextDts_ && tag.filePosition != keyAt) break;
        if (cutEnd && t >= trimEnd) break;
        data.resize(tag.dataSize);
        if (FileReadAble_ReadAt(file.get(), tag.filePosition + 11, data.data(), tag.dataSize) != int64_t(tag.dataSize))
            break;
        ok = ACE_Decode(encoder_, data.data() + 5, int(tag.dataSize - 5), int64_t(t) + Composition(data.data())) != 0;
    }
    if (!ok || !ACE_Finish(encoder_)) {
        why = path + ": the pictures from " + std::to_string(trimStart) + " ms cannot be coded again (" +
              ACE_Error(encoder_) + ")";
        return false;
    }
    return true;
}

const uint8_t* CRemuxCut::Packet(int index, int& size, int64_t& pts, bool& key) const {
    int k = 0;
    const uint8_t* p = ACE_Packet(encoder_, index, &size, &pts, &k);
    key = k != 0;
    return p;
}

std::vector<uint8_t> CRemuxCut::Setup() const {
    int size = 0;
    const uint8_t* p = ACE_Setup(encoder_, &size);
    return p ? std::vector<uint8_t>(p, p + size) : std::vector<uint8_t>();
}
