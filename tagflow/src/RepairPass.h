// One pass of the repair over a file's tags. The repair runs it twice with
// the same rules: the plan pass decides every tag and tells each output's
// metadata object what it will hold (and reports the fixes); the write pass
// then writes each output's header, that metadata, and its tags, copied
// from the input file. Memory stays bounded by the read window and the
// largest tag read whole (codec setups, script data, non-AAC sound).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RepairScanner.h"
#include "RepairTimeline.h"
#include "tagflow/tagflow.h"
#include "tagio/tagio.h"

struct RepairMetaDeleter {
    void operator()(TagioFlvMeta* m) const { FlvMetaDeleteObject(m); }
};
using RepairMeta = std::unique_ptr<TagioFlvMeta, RepairMetaDeleter>;

// What the plan learnt about one output.
struct RepairSegment {
    RepairMeta plan;
    bool audio = false, video = false;
};

struct RepairCallbacks {
    FLVRepairPathCallBack path = nullptr;
    void* pathUser = nullptr;
    FLVRepairOutputCallBack output = nullptr;
    void* outputUser = nullptr;
    FLVRepairFixCallBack fix = nullptr;
    void* fixUser = nullptr;
    FLVRepairProgressCallBack progress = nullptr;
    void* progressUser = nullptr;
};

class CRepairPass {
public:
    enum Mode { kPlan, kWrite };
    // segments: filled by the plan pass, read by the write pass.
    CRepairPass(Mode mode, std::vector<RepairSegment>& segments, const RepairCallbacks& cb,
                int64_t inputDevice, int64_t inputInode);
    // A result of FLVRepair_Run.
    int32_t Run(const char* input);
    int32_t OutputsBegun() const { return segment_ + (segmentHasMedia_ ? 1 : 0); }

private:
    enum { kAudio = 0, kVideo = 1 };
    // A run of dropped tags reported as one fix.
    struct Dropped {
        bool active = false;
        int64_t offset = 0, time = 0, outTime = 0, bytes = 0;
        int32_t tags = 0;
    };

    int32_t OnTag(CRepairScanner::Tag& t);
    int32_t OnSetup(int s, CRepairScanner::Tag& t);
    int32_t OnMedia(int s, CRepairScanner::Tag& t, const TagioTagLayout& layout);
    // Writes (or plans) one tag with the given data at time.
    int32_t Emit(uint32_t type, const uint8_t* data, uint32_t dataSize, uint32_t time, int64_t position);
    // A tag of the input at time, its data copied straight from the file.
    int32_t EmitFileTag(const CRepairScanner::Tag& t, uint32_t time);
    // Tells the output's metadata about a tag (opening the output first when writing).
    int32_t Plan(const TagioFlvTag& tag, uint32_t time);
    static bool FileExists(const char* path);
    // Closes the current output and starts the next.
    int32_t NewSegment();
    // Closes the output; failed: it was cut short by an error and is told as not written.
    int32_t FinishSegment(bool failed = false);
    int32_t OpenOutput();
    // Tells how far the repair is (the plan pass is the first half of the
    // total, the write pass the second); true when asked to stop.
    bool StopAsked(int64_t position);

    // outputTime: where it is in the output; -1 for where the output stands now.
    void Fix(int32_t kind, int64_t offset, int64_t streamTime, int64_t bytes, int32_t tags,
             int64_t amount, int64_t outputTime = -1);
    void Drop(Dropped& d, const CRepairScanner::Tag& t);
    void Flush(Dropped& d, int32_t kind);
    void FlushHeld(int s);
    int64_t AudioBlockUnits(const uint8_t* data, uint32_t size, const TagioTagLayout& layout) const;
    // loaded: the data bytes at bytes + 11 (the codec fields need the first two).
    void FillFields(TagioFlvTag& tag, const uint8_t* bytes, uint32_t dataSize, uint32_t loaded,
                    int64_t position) const;

    Mode mode_;
    std::vector<RepairSegment>& segments_;
    RepairCallbacks cb_;
    int64_t inputDevice_, inputInode_;

    CRepairScanner scanner_;
    CRepairTimeline timeline_;
    int32_t segment_ = 0;
    bool segmentHasMedia_ = false;
    bool anyMedia_ = false;            // in the whole file so far
    std::vector<uint8_t> setup_[2];    // the setup in force, as its tag's data
    bool setupWritten_[2] = {false, false};
    int32_t codec_[2] = {-1, -1};      // the segment's sound format and video codec
    int32_t aacRate_ = 0;
    bool needKey_ = true;
    int64_t lastAudioUnits_ = -1;
    Dropped untilKey_, noSetup_[2], repeated_;
    // Small steps back of a stream, reported as one fix while they keep coming
    // (a jittering clock would otherwise fill the report).
    Dropped held_[2];
    int64_t lastHeldRaw_[2] = {0, 0};

    int64_t inputSize_ = 0;
    int64_t nextProgress_ = 0;         // the position at which progress is told next

    // Writing.
    TagioFileWriteAble* out_ = nullptr;
    RepairMeta written_;
    std::string outPath_;
    int32_t openSegment_ = -1;
    int32_t frames_ = 0, blocks_ = 0;
    std::vector<uint8_t> buffer_;      // a tag being written, header first
};
