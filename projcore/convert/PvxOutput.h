#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "projcore/Records.h"

class CFLVSequence;

// Where a conversion job's frames and sound go: the avkit writer, the ASF
// writer, or one picture file per frame. Pictures are the record's size,
// BGRA (or 4:2:0 where the output takes it), top row first; sound is 16-bit PCM at the record's rate and channels.
// Pictures and sound may arrive from two threads at once.
class CPvxOutput {
public:
    virtual ~CPvxOutput() = default;
    virtual bool WriteVideo(const uint8_t* frame, int64_t time100ns, int64_t duration100ns) = 0;
    // Whether frames may come as planar 4:2:0 (avkit's AVK_IMAGE_I420, the
    // record's size) through WriteVideoI420: the encoder takes that colour
    // format without a detour through BGRA.
    virtual bool TakesI420() const { return false; }
    virtual bool WriteVideoI420(const uint8_t*, int64_t, int64_t) { return false; }
    virtual bool WriteAudio(const uint8_t* pcm, int bytes, int64_t time100ns, int64_t duration100ns) = 0;
    // Finishes the file; false when it could not be written whole.
    virtual bool Close() = 0;
    // Closes without finishing (what was written is the caller's temporary
    // file, which the caller removes).
    virtual void Discard() = 0;
    // Why the last write or the close failed (names the file).
    const std::string& Error() const { return error_; }

protected:
    std::string error_;
};

// Opens the output the record asks for at path (a file the caller made, or
// for a picture series a file name in a folder the caller made). On failure
// returns null, sets code to 3 (ASF parameters refused), 4 (ASF file not
// opened) or 5 (avkit writer not opened) and why to the reason where one is
// known. The sequence gives the file's metadata.
// encoderThreads: the picture encoder's threads, 0 to let it choose.
std::unique_ptr<CPvxOutput> OpenPvxOutput(const OutputSettings& settings, const std::string& path,
                                          const CFLVSequence& sequence, int encoderThreads, int32_t& code,
                                          std::string& why);

// The name of picture number index of a series written to path: "_" and the
// number go before the name's last "." (or at its end).
std::string PictureSeriesName(const std::string& path, int64_t index);
