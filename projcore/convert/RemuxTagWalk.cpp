#include "convert/RemuxTagWalk.h"

#include <sys/stat.h>

namespace {

constexpr uint32_t kHeaderBytes = 11;
// A window reaches this far on: each costs a read and, when it moves on, a
// gathered write of what referred to the one before; larger ones would
// leave the cache before they are written out.
constexpr uint32_t kWindowAhead = 1u << 20;

uint32_t Be24(const uint8_t* p) { return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]; }

// The codec fields the tag reader fills from a tag's first data bytes
// (the picture sizes of key frames aside: nothing here needs them).
void DecodeCodecFields(TagioFlvTag& tag, const uint8_t* d) {
    TagioTagLayout l;
    Flv_ReadTagLayout(tag.type, d, tag.dataSize, tag.dataSize, &l);
    tag.codecField1 = tag.codecField2 = tag.codecField3 = tag.codecField4 = 0;
    tag.packetType = 0;
    tag.compositionTime = 0;
    tag.trackCount = l.trackCount;
    if (tag.dataSize == 0 || (tag.type != 8 && tag.type != 9)) return;
    if (Flv_HasPacketType(tag.type, l.codec)) {
        tag.packetType = l.packetType;
        tag.compositionTime = l.compositionTime;
    }
    if (tag.type == 9) {
        tag.codecField1 = l.frameType;
        tag.codecField2 = l.codec;
        return;
    }
    tag.codecField1 = l.codec;
    if (l.extended) return;   // the other bits hold the packet type
    tag.codecField2 = (d[0] >> 2) & 3;
    tag.codecField3 = (d[0] >> 1) & 1;
    tag.codecField4 = d[0] & 1;
}

}  // namespace

CRemuxTagWalk::~CRemuxTagWalk() {
    if (file_) DeleteFileReadAble(file_);
}

bool CRemuxTagWalk::Open(const std::string& path, const TagioTagDigest* digest) {
    path_ = path;
    file_ = CreateFileReadAble(path.c_str());
    TagioFlvHeader header{};
    if (!file_ || !Flv_ReadHeader(file_, &header)) return false;
    FileReadAble_ReadViews(file_);
    size_ = FileReadAble_GetSize(file_);
    next_ = walked_ = FileReadAble_GetPosition(file_);
    if (digest && Flv_DigestBegin(digest, &cursor_) == next_) digest_ = digest;
    return true;
}

CRemuxTagWalk::Step CRemuxTagWalk::Ensure(int64_t position, uint32_t count) {
    if (position < 0 || position + count > size_) return kEnd;
    if (window_ && position >= windowStart_ && position + count <= windowStart_ + windowBytes_) return kTag;
    // The reader's window moves: nothing may refer to the old one after.
    if (window_ && !moving_(user_)) return kMoveFailed;
    window_ = nullptr;
    const uint8_t* bytes = nullptr;
    const int64_t got = FileReadAble_View(file_, position, count, kWindowAhead, &bytes);
    if (got < int64_t(count)) return kReadFailed;
    window_ = bytes;
    windowStart_ = position;
    windowBytes_ = got;
    return kTag;
}

CRemuxTagWalk::Step CRemuxTagWalk::Next(TagioFlvTag& tag) {
    if (!file_) return kEnd;
    if (digest_) {
        if (!Flv_DigestReadTag(digest_, &cursor_, &tag, nullptr)) return kEnd;
        next_ = cursor_.position;
        walked_ = tag.filePosition + kHeaderBytes + tag.dataSize;
        return kTag;
    }
    const int64_t at = next_;
    if (const Step s = Ensure(at, kHeaderBytes); s != kTag) return s;
    const uint8_t* h = window_ + (at - windowStart_);
    // Sound, video and script data only (the type's low five bits), as the
    // tag reader has it: anything else is damage where the walk ends.
    const uint8_t kind = h[0] & 0x1F;
    if (kind != 8 && kind != 9 && kind != 18) return kEnd;
    tag.type = h[0];
    tag.dataSize = Be24(h + 1);
    tag.tagSize = tag.dataSize + 15;
    tag.timestamp = Be24(h + 4) | uint32_t(h[7]) << 24;
    tag.streamId = Be24(h + 8);
    tag.filePosition = at;
    // The whole tag in the window (a missing last PreviousTagSize forgiven).
    if (const Step s = Ensure(at, kHeaderBytes + tag.dataSize); s != kTag) return s;
    data_ = window_ + (at + kHeaderBytes - windowStart_);
    DecodeCodecFields(tag, data_);
    next_ = at + tag.tagSize;
    walked_ = at + kHeaderBytes + tag.dataSize;
    return kTag;
}

const uint8_t* CRemuxTagWalk::Data(const TagioFlvTag& tag, uint32_t count) {
    if (!digest_) return data_;
    const uint32_t n = count < tag.dataSize ? count : tag.dataSize;
    // Never empty, so that no caller is handed null for bytes it did not ask for.
    if (read_.size() < n || read_.empty()) read_.resize(n > 16 ? n : 16);
    if (n && FileReadAble_ReadAt(file_, tag.filePosition + kHeaderBytes, read_.data(), n) != int64_t(n))
        return nullptr;
    return read_.data();
}

bool CRemuxTagWalk::StillWhole() const {
    struct stat st {};
    return ::stat(path_.c_str(), &st) == 0 && st.st_size >= walked_;
}
