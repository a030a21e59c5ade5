#pragma once

#include <cstdint>
#include <string>

#include "tagio/tagio.h"

// A clip's tags walked through views of its file (a mapping of it where the
// file can be mapped), so that a tag's data is neither read nor copied here:
// the copy lends it to the writer where it lies, and the kernel copies it
// once, into the output. The data of the tags walked stays where it is until
// the view moves on; before it moves, the walk calls `moving`, so that
// whoever still refers to those bytes writes them out first.
//
// A file cut short under a mapping turns a read of the bytes past its new
// end into a fault: every read of the view, here or by whoever the data is
// handed to, runs through Guarded, which ends it with an error instead.
class CRemuxTagWalk {
public:
    // moving(user): false when what refers to the view could not be written.
    using Moving = bool (*)(void* user);
    CRemuxTagWalk(Moving moving, void* user) : moving_(moving), user_(user) {}
    ~CRemuxTagWalk();
    CRemuxTagWalk(const CRemuxTagWalk&) = delete;
    CRemuxTagWalk& operator=(const CRemuxTagWalk&) = delete;

    // False when the file cannot be opened or has no FLV header.
    bool Open(const std::string& path);
    TagioFileReadAble* File() const { return file_; }
    int64_t Position() const { return next_; }
    void Seek(int64_t position) { next_ = position; }

    enum Step { kTag = 1, kEnd = 0, kCutShort = -1, kMoveFailed = -2 };
    // The next tag: its header and codec fields as Flv_ReadTag fills them
    // (picture sizes aside; no buffer), its data at *data. kEnd at the end
    // of the file, at a tag it cuts short, or at bytes that are no tag.
    Step Next(TagioFlvTag& tag, const uint8_t** data);

    // Runs f(), which may read the view, under the reader's guard: what f
    // returns, or -1 when the file was cut short while f read it (f is then
    // left at that read: it must hold nothing that needs undoing).
    template <class F>
    int Guarded(F& f) {
        return FileReadAble_Guarded(
            file_, [](void* u) { return (*static_cast<F*>(u))() ? 1 : 0; }, &f);
    }

    // Whether the file still holds every tag walked: a file cut short
    // within a mapped page reads as zeros there, without a fault.
    bool StillWhole() const;

private:
    bool NextInView(TagioFlvTag& tag, const uint8_t** data);
    // Makes [position, position + count) readable in the view; false at the
    // end of the file, on a read error, or when `moving` failed (moveFailed_).
    bool Ensure(int64_t position, uint32_t count);

    Moving moving_;
    void* user_;
    std::string path_;
    TagioFileReadAble* file_ = nullptr;
    int64_t size_ = 0;
    int64_t next_ = 0;
    int64_t walked_ = 0;   // end of the last tag handed out
    // The part of the reader's view known to hold the file from windowStart_:
    // within it the reader never moves its view.
    const uint8_t* window_ = nullptr;
    int64_t windowStart_ = 0;
    int64_t windowBytes_ = 0;
    bool moveFailed_ = false;
};
