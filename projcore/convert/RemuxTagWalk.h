#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tagio/tagio.h"

// A clip's tags walked through the reader's window (a megabyte of the file
// read at a time), so that a tag's data is copied out of the file once and
// from there lent to the writer where it lies, which writes it with the
// kernel's one copy more. The data of the tags walked stays where it is
// until the window moves on; before it moves, the walk calls `moving`, so
// that whoever still refers to those bytes writes them out first.
//
// A walk that needs few data bytes (the dry run working out the clips'
// times) may take the tags from the walk the file's examination kept (a
// digest) instead: it then reads only the bytes asked for with Data.
//
// The window is read, never mapped: the kernel copies a mapped file's pages
// out through the page tables, 4 KiB at a time, several times slower here
// than a read into a buffer that stays in the cache; and a mapped file cut
// short under its reader faults where a read comes back short.
class CRemuxTagWalk {
public:
    // moving(user): false when what refers to the window could not be written.
    using Moving = bool (*)(void* user);
    CRemuxTagWalk(Moving moving, void* user) : moving_(moving), user_(user) {}
    ~CRemuxTagWalk();
    CRemuxTagWalk(const CRemuxTagWalk&) = delete;
    CRemuxTagWalk& operator=(const CRemuxTagWalk&) = delete;

    // False when the file cannot be opened or has no FLV header. digest
    // (may be null, must outlive the walk): the file's tags, used when they
    // start where the file's do.
    bool Open(const std::string& path, const TagioTagDigest* digest = nullptr);
    TagioFileReadAble* File() const { return file_; }
    bool FromDigest() const { return digest_ != nullptr; }

    // Where the walk is, to come back to.
    struct Mark {
        int64_t next;
        TagioDigestCursor cursor;
    };
    Mark Here() const { return {next_, cursor_}; }
    void Back(const Mark& m) {
        next_ = m.next;
        cursor_ = m.cursor;
    }

    enum Step { kTag = 1, kEnd = 0, kReadFailed = -1, kMoveFailed = -2 };
    // The next tag: its header and codec fields as Flv_ReadTag fills them
    // (picture sizes aside when read here; no buffer). kEnd at the end of
    // the file, at a tag it cuts short, or at bytes that are no tag;
    // kReadFailed when a tag within the file as it was opened could not be
    // read (a read error, or the file was cut short since); kMoveFailed
    // when `moving` failed.
    Step Next(TagioFlvTag& tag);
    // The first `count` data bytes (or all, when fewer) of the tag Next gave
    // last. Read from the file, the whole data is in the window already
    // (where the writer may refer to it until the window moves on); from a
    // digest, those bytes are read into a buffer of the walk's, valid until
    // the next call. Null when they could not be read.
    const uint8_t* Data(const TagioFlvTag& tag, uint32_t count);

    // Whether the file still holds every tag walked (a tag cut short by the
    // file's end when it was opened ends a walk as the end of the file does).
    bool StillWhole() const;

private:
    // Makes [position, position + count) readable in the window: kTag, or
    // kEnd past the file's end as opened, kReadFailed, kMoveFailed.
    Step Ensure(int64_t position, uint32_t count);

    Moving moving_;
    void* user_;
    std::string path_;
    TagioFileReadAble* file_ = nullptr;
    int64_t size_ = 0;
    int64_t next_ = 0;
    int64_t walked_ = 0;   // end of the last tag handed out
    const TagioTagDigest* digest_ = nullptr;
    TagioDigestCursor cursor_{};
    const uint8_t* data_ = nullptr;   // in the window: the data of the last tag read here
    std::vector<uint8_t> read_;       // data bytes read for a digest's tag
    // The part of the reader's window known to hold the file from
    // windowStart_: within it the reader never reads its window again.
    const uint8_t* window_ = nullptr;
    int64_t windowStart_ = 0;
    int64_t windowBytes_ = 0;
};
