#pragma once

#include <cstdint>

#include "tagio/tagio.h"

// A clip's tags one after another, headers and codec fields only (as
// Flv_ReadTag without loading gives them): read from its file, or taken
// from the walk its examination kept (a digest), when there is one.
class CFlvTagWalk {
public:
    // file: positioned at its first tag by Flv_ReadHeader. digest (may be
    // null): the file's walk, used when it starts where the file's tags do.
    CFlvTagWalk(TagioFileReadAble* file, const TagioTagDigest* digest) : file_(file) {
        if (digest && Flv_DigestBegin(digest, &cursor_) == FileReadAble_GetPosition(file)) digest_ = digest;
    }

    TagioFileReadAble* File() const { return file_; }
    bool FromDigest() const { return digest_ != nullptr; }

    // The next tag; false where the walk ends.
    bool Next(TagioFlvTag& tag) {
        if (!digest_) return Flv_ReadTag(file_, 0, &tag) != 0;
        return Flv_DigestReadTag(digest_, &cursor_, &tag, &trailer_) != 0;
    }
    // Whether the PreviousTagSize after the tag Next gave last is right:
    // looked at in the file unless the digest saw it.
    bool TrailerAgrees(const TagioFlvTag& tag) {
        if (digest_ && trailer_ >= 0) return trailer_ == 1;
        uint8_t b[4];
        return FileReadAble_ReadAt(file_, tag.filePosition + 11 + tag.dataSize, b, 4) == 4 &&
               (uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]) == tag.dataSize + 11;
    }

    // Where the walk is, to come back to.
    struct Mark {
        TagioDigestCursor cursor;
        int64_t position;
    };
    Mark Here() const { return {cursor_, FileReadAble_GetPosition(file_)}; }
    void Back(const Mark& m) {
        cursor_ = m.cursor;
        FileReadAble_Seek(file_, m.position, 0);
    }

private:
    TagioFileReadAble* file_;
    const TagioTagDigest* digest_ = nullptr;
    TagioDigestCursor cursor_{};
    int trailer_ = -1;   // the digest's word on the last tag's trailer
};
