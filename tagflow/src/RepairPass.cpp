#include "RepairPass.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr int64_t kUnitsPerMs = 10000;
// Progress is told once per this many bytes of input, about once per read
// window: often enough for a bar and a prompt stop, never per tag.
constexpr int64_t kProgressBytes = 1 << 20;

bool IsOnMetaData(const uint8_t* data, uint32_t size) {
    static const char kName[] = "onMetaData";
    return size >= 13 && data[0] == 2 && data[1] == 0 && data[2] == 10 && std::memcmp(data + 3, kName, 10) == 0;
}

}  // namespace

CRepairPass::CRepairPass(Mode mode, std::vector<RepairSegment>& segments, const RepairCallbacks& cb,
                         int64_t inputDevice, int64_t inputInode)
    : mode_(mode), segments_(segments), cb_(cb), inputDevice_(inputDevice), inputInode_(inputInode) {}

int32_t CRepairPass::Run(const char* input) {
    if (!scanner_.Open(input)) return scanner_.FileSize() > 0 || FileExists(input) ? 2 : 1;
    inputSize_ = scanner_.FileSize();
    nextProgress_ = kProgressBytes;
    // A long damaged region (a run of zeros where a disk lost data) is
    // searched with progress told and a stop heard, as tags are.
    scanner_.SetSearchHook(
        [](void* self, int64_t position) { return static_cast<CRepairPass*>(self)->StopAsked(position); }, this);
    CRepairScanner::Tag tag;
    CRepairScanner::Skip skip;
    for (;;) {
        const bool more = scanner_.Next(tag, skip);
        if (scanner_.Stopped()) {
            FinishSegment(true);   // what is half-written is never named an output
            return 8;
        }
        if (skip.bytes > 0) {
            const int64_t streamTime = more ? int64_t(tag.timestamp) : -1;
            Fix(skip.tail ? FLVRepairTruncatedTail : FLVRepairDamagedRegion, skip.from, streamTime,
                skip.bytes, 0, 0);
            // What follows a gap may lean on pictures lost in it.
            needKey_ = true;
        }
        if (!more) break;
        if (tag.position >= nextProgress_ && StopAsked(tag.position)) {
            FinishSegment(true);   // what is half-written is never named an output
            return 8;
        }
        if (const int32_t r = OnTag(tag)) {
            // The output being written is cut short: it is closed and told as
            // failed, so it is never given an output's name.
            FinishSegment(true);
            return r;
        }
    }
    if (const int32_t r = FinishSegment()) return r;
    // The end of the plan may still stop the repair; once written, it is done.
    if (StopAsked(inputSize_) && mode_ == kPlan) return 8;
    return anyMedia_ ? 0 : 3;
}

bool CRepairPass::StopAsked(int64_t position) {
    nextProgress_ = position + kProgressBytes;
    if (!cb_.progress) return false;
    const int64_t done = std::min(position, inputSize_) + (mode_ == kWrite ? inputSize_ : 0);
    return cb_.progress(cb_.progressUser, done, 2 * inputSize_) != 0;
}

bool CRepairPass::FileExists(const char* path) {
    struct stat st;
    return ::stat(path, &st) == 0;
}

int32_t CRepairPass::OnTag(CRepairScanner::Tag& t) {
    if (t.type == 18) {
        if (!scanner_.Load(t)) return 0;
        if (IsOnMetaData(t.bytes + 11, t.dataSize)) {
            // Every output gets a fresh one; one inside the stream marks where
            // a second push was glued on.
            if (anyMedia_) Fix(FLVRepairExtraMetadata, t.position, t.timestamp, t.dataSize + 15, 1, 0);
            return 0;
        }
        // Cue points and other script data stay, at the time the output has reached.
        return segmentHasMedia_ ? EmitFileTag(t, timeline_.Now()) : 0;
    }
    const uint8_t* data = t.bytes + 11;
    const int s = t.type == 8 ? kAudio : kVideo;
    // Every header form, the extended one's FourCC codecs too.
    TagioTagLayout l;
    Flv_ReadTagLayout(t.type, data, t.loaded, t.dataSize, &l);
    if (Flv_HasPacketType(t.type, l.codec) && t.dataSize >= 2 && l.packetType == 0) return OnSetup(s, t);
    return OnMedia(s, t, l);
}

int32_t CRepairPass::OnSetup(int s, CRepairScanner::Tag& t) {
    if (!scanner_.Load(t)) return 0;
    const uint8_t* data = t.bytes + 11;
    TagioCodecSetup setup;
    if (!Flv_ReadCodecSetup(t.type, data, t.dataSize, &setup)) {
        Fix(FLVRepairBadSetup, t.position, t.timestamp, t.dataSize + 15, 1, 0);
        return 0;
    }
    std::vector<uint8_t>& current = setup_[s];
    if (current.size() == t.dataSize && std::memcmp(current.data(), data, t.dataSize) == 0) {
        // Wherever its timestamp points, a copy changes nothing.
        Drop(repeated_, t);
        return 0;
    }
    if (!current.empty() && segmentHasMedia_) {
        if (const int32_t r = NewSegment()) return r;
        Fix(FLVRepairSetupChange, t.position, t.timestamp, 0, 0, 0);
    }
    current.assign(data, data + t.dataSize);
    setupWritten_[s] = false;
    if (s == kAudio) aacRate_ = setup.sampleRate;
    else needKey_ = true;   // pictures of the old setup cannot follow the new one
    Flush(noSetup_[s], FLVRepairNoSetup);
    return 0;
}

int32_t CRepairPass::OnMedia(int s, CRepairScanner::Tag& t, const TagioTagLayout& l) {
    const uint8_t* data = t.bytes + 11;
    const uint32_t codec = l.codec;
    const uint32_t frame = s == kVideo ? l.frameType : data[0] >> 4;
    const bool fourcc = Flv_IsFourcc(codec) != 0;
    // VP9, AC-3, E-AC-3 and MP3 by FourCC decode without a setup.
    const bool needsSetup = (s == kAudio && codec == 10) || (s == kVideo && (codec == 7 || codec == TagioCodecHevc)) ||
                            (fourcc && codec != TagioFourccVp9 && codec != TagioFourccAc3 &&
                             codec != TagioFourccEac3 && codec != TagioFourccMp3);
    if (s == kVideo && frame == 5) return 0;   // a command frame, no picture
    // AVC, HEVC, AAC and the FourCC codecs: only packet type 1 holds a
    // picture or sound; an end of sequence inside a repaired stream would
    // only stop decoders early, metadata is passed over.
    if (fourcc && (l.packetType != 1 || l.payloadSize == 0)) return 0;
    if (!fourcc && needsSetup && (t.dataSize < (s == kVideo ? 5u : 2u) || data[1] != 1)) return 0;
    if (codec_[s] >= 0 && uint32_t(codec_[s]) != codec && segmentHasMedia_) {
        if (const int32_t r = NewSegment()) return r;
        Fix(FLVRepairSetupChange, t.position, t.timestamp, 0, 0, 0);
    }
    if (needsSetup && setup_[s].empty()) {
        Drop(noSetup_[s], t);
        return 0;
    }
    if (s == kVideo) {
        if (needKey_ && frame != 1) {
            Drop(untilKey_, t);
            return 0;
        }
        if (frame == 1) {
            needKey_ = false;
            Flush(untilKey_, FLVRepairUntilKeyFrame);
        }
    }
    int64_t blockMs = 0;
    if (s == kAudio) {
        // Only AAC tells its block's length by its packet type alone.
        if (codec != 10 && !scanner_.Load(t)) return 0;
        const int64_t units = AudioBlockUnits(t.bytes + 11, t.dataSize, l);
        if (units > 0) blockMs = units / kUnitsPerMs;
        lastAudioUnits_ = units;
    }
    const CRepairTimeline::Mapped m =
        timeline_.Map(s == kAudio ? CRepairTimeline::kAudio : CRepairTimeline::kVideo, t.timestamp, blockMs);
    if (m.event == CRepairTimeline::kJump) {
        FlushHeld(s);
        Fix(FLVRepairTimeJump, t.position, t.timestamp, 0, 0, m.amount);
    } else if (m.event == CRepairTimeline::kStepBack) {
        Dropped& h = held_[s];
        if (!h.active) {
            h = Dropped{};
            h.active = true;
            h.offset = t.position;
            h.time = t.timestamp;
            h.outTime = timeline_.Now();
        }
        ++h.tags;
        h.bytes = std::max<int64_t>(h.bytes, m.amount);   // the longest hold
        lastHeldRaw_[s] = t.timestamp;
    } else if (held_[s].active && int64_t(t.timestamp) > lastHeldRaw_[s] + CRepairTimeline::kJumpMs) {
        FlushHeld(s);
    }
    codec_[s] = int32_t(codec);
    if (needsSetup && !setupWritten_[s]) {
        if (const int32_t r = Emit(s == kAudio ? 8 : 9, setup_[s].data(), uint32_t(setup_[s].size()), m.time, t.position))
            return r;
        setupWritten_[s] = true;
    }
    if (const int32_t r = EmitFileTag(t, m.time)) return r;
    segmentHasMedia_ = anyMedia_ = true;
    ++(s == kAudio ? blocks_ : frames_);
    return 0;
}

void CRepairPass::FillFields(TagioFlvTag& tag, const uint8_t* bytes, uint32_t dataSize, uint32_t loaded,
                             int64_t position) const {
    const uint8_t* data = bytes + 11;
    tag.type = bytes[0];
    tag.dataSize = dataSize;
    tag.tagSize = dataSize + 15;
    tag.filePosition = position;
    const uint8_t b = data[0];
    TagioTagLayout l;
    Flv_ReadTagLayout(tag.type, data, loaded, dataSize, &l);
    if (tag.type == 8) {
        tag.codecField1 = l.codec;
        tag.codecField2 = l.extended ? 0 : (b >> 2) & 3;
        tag.codecField3 = l.extended ? 0 : (b >> 1) & 1;
        tag.codecField4 = l.extended ? 0 : b & 1;
    } else if (tag.type == 9) {
        tag.codecField1 = l.frameType;
        tag.codecField2 = l.codec;
    }
    const bool packets = (tag.type == 8 || tag.type == 9) && Flv_HasPacketType(tag.type, l.codec);
    tag.packetType = packets && dataSize >= 2 ? l.packetType : 0;
    TagioCodecSetup setup;
    if (tag.type == 9 && packets && tag.packetType == 0 && loaded == dataSize &&
        Flv_ReadCodecSetup(9, data, dataSize, &setup)) {
        tag.codecField3 = uint32_t(setup.width);
        tag.codecField4 = uint32_t(setup.height);
    }
}

int32_t CRepairPass::Emit(uint32_t type, const uint8_t* data, uint32_t dataSize, uint32_t time,
                          int64_t position) {
    if (buffer_.size() < dataSize + 11) buffer_.resize(dataSize + 11);
    uint8_t* h = buffer_.data();
    h[0] = uint8_t(type);
    h[1] = uint8_t(dataSize >> 16);
    h[2] = uint8_t(dataSize >> 8);
    h[3] = uint8_t(dataSize);
    h[4] = uint8_t(time >> 16);
    h[5] = uint8_t(time >> 8);
    h[6] = uint8_t(time);
    h[7] = uint8_t(time >> 24);
    h[8] = h[9] = h[10] = 0;
    std::memcpy(h + 11, data, dataSize);
    TagioFlvTag tag{};
    FillFields(tag, h, dataSize, dataSize, position);
    tag.timestamp = time;
    tag.buffer = h;
    tag.data = h + 11;
    tag.bufferCapacity = dataSize + 11;
    if (const int32_t r = Plan(tag, time)) return r;
    return mode_ == kPlan || Flv_WriteTag(out_, &tag) ? 0 : 4;
}

int32_t CRepairPass::EmitFileTag(const CRepairScanner::Tag& t, uint32_t time) {
    TagioFlvTag tag{};
    FillFields(tag, t.bytes, t.dataSize, t.loaded, t.position);
    tag.timestamp = time;
    if (const int32_t r = Plan(tag, time)) return r;
    // The data goes from the input to the output without passing through
    // here; a run of tags left as they were is copied inside the kernel.
    return mode_ == kPlan || Flv_CopyViewedTag(scanner_.File(), t.bytes, t.position, time, t.trailerAgrees, out_)
               ? 0
               : 4;
}

int32_t CRepairPass::Plan(const TagioFlvTag& tag, uint32_t time) {
    if (mode_ == kPlan) {
        if (size_t(segment_) >= segments_.size()) {
            segments_.emplace_back();
            segments_.back().plan.reset(FlvMetaCreateObject());
            if (!segments_.back().plan) return 7;
        }
        RepairSegment& seg = segments_[size_t(segment_)];
        FlvMetaPlanTag(seg.plan.get(), &tag, time);
        if (tag.type == 8) seg.audio = true;
        if (tag.type == 9) seg.video = true;
        return 0;
    }
    if (openSegment_ != segment_) {
        if (const int32_t r = OpenOutput()) return r;
    }
    FlvMetaPlanTag(written_.get(), &tag, time);
    return 0;
}

int32_t CRepairPass::OpenOutput() {
    // The plan saw the same tags: an output it did not see means the input
    // changed between the passes.
    if (size_t(segment_) >= segments_.size()) return 6;
    std::vector<char> path(PATH_MAX, '\0');
    if (!cb_.path || !cb_.path(cb_.pathUser, segment_, path.data(), uint32_t(path.size())) || !path[0])
        return 5;
    path.back() = '\0';
    outPath_ = path.data();
    struct stat st;
    if (::stat(outPath_.c_str(), &st) == 0 && int64_t(st.st_dev) == inputDevice_ &&
        int64_t(st.st_ino) == inputInode_)
        return 4;   // never write over the recording being repaired
    out_ = CreateFileWriteAble(outPath_.c_str());
    written_.reset(FlvMetaCreateObject());
    openSegment_ = segment_;
    if (!out_ || !written_) return 4;
    const RepairSegment& seg = segments_[size_t(segment_)];
    TagioFlvHeader header{};
    header.version = 1;
    header.flags = uint8_t((seg.audio ? 4 : 0) | (seg.video ? 1 : 0));
    header.dataOffset = 9;
    if (!Flv_WriteHeader(out_, &header) || !FlvMetaWritePlanned(seg.plan.get(), out_)) return 4;
    return 0;
}

int32_t CRepairPass::FinishSegment(bool failed) {
    FlushHeld(kAudio);
    FlushHeld(kVideo);
    Flush(untilKey_, FLVRepairUntilKeyFrame);
    Flush(noSetup_[kAudio], FLVRepairNoSetup);
    Flush(noSetup_[kVideo], FLVRepairNoSetup);
    Flush(repeated_, FLVRepairRepeatedSetup);
    if (mode_ == kPlan) {
        if (size_t(segment_) < segments_.size())
            FlvMetaPlanLastAudioBlock(segments_[size_t(segment_)].plan.get(), lastAudioUnits_);
        return 0;
    }
    if (openSegment_ != segment_ || !written_) return 0;
    FlvMetaPlanLastAudioBlock(written_.get(), lastAudioUnits_);
    FLVRepairOutput result{};
    result.index = segment_;
    result.bytes = out_ ? FileWriteAble_GetSize(out_) : 0;
    result.durationMs = timeline_.End();
    result.videoFrames = frames_;
    result.audioBlocks = blocks_;
    bool ok = out_ && DeleteFileWritable(out_) && !failed;
    out_ = nullptr;
    // The metadata written first is the file's own unless the input changed
    // between the passes: then it is written again from what the file holds.
    if (ok && !FlvMetaSamePlan(segments_[size_t(segment_)].plan.get(), written_.get())) {
        RepairMeta fresh(FlvMetaCreateObject());
        ok = fresh && FlvMetaParseFromFile(fresh.get(), outPath_.c_str()) &&
             FlvMetaUpdateToFile(fresh.get(), outPath_.c_str());
    }
    written_.reset();
    result.ok = ok ? 1 : 0;
    if (cb_.output) cb_.output(cb_.outputUser, outPath_.c_str(), &result);
    return ok ? 0 : 4;
}

int32_t CRepairPass::NewSegment() {
    if (const int32_t r = FinishSegment()) return r;
    ++segment_;
    segmentHasMedia_ = false;
    timeline_ = CRepairTimeline{};
    setupWritten_[kAudio] = setupWritten_[kVideo] = false;
    codec_[kAudio] = codec_[kVideo] = -1;
    needKey_ = true;
    lastAudioUnits_ = -1;
    frames_ = blocks_ = 0;
    return 0;
}

void CRepairPass::Fix(int32_t kind, int64_t offset, int64_t streamTime, int64_t bytes, int32_t tags,
                      int64_t amount, int64_t outputTime) {
    if (mode_ != kPlan || !cb_.fix) return;
    FLVRepairFix f{};
    f.kind = kind;
    f.output = segment_;
    f.offset = offset;
    f.streamTime = streamTime;
    f.outputTime = outputTime >= 0 ? outputTime : timeline_.Now();
    f.droppedBytes = bytes;
    f.droppedTags = tags;
    f.amount = amount;
    cb_.fix(cb_.fixUser, &f);
}

void CRepairPass::FlushHeld(int s) {
    Dropped& h = held_[s];
    if (!h.active) return;
    h.active = false;
    if (mode_ != kPlan || !cb_.fix) return;
    FLVRepairFix f{};
    f.kind = FLVRepairStepBack;
    f.output = segment_;
    f.offset = h.offset;
    f.streamTime = h.time;
    f.outputTime = h.outTime;
    f.droppedTags = 0;
    f.steps = h.tags;
    f.amount = h.bytes;
    cb_.fix(cb_.fixUser, &f);
}

void CRepairPass::Drop(Dropped& d, const CRepairScanner::Tag& t) {
    if (!d.active) {
        d = Dropped{};
        d.active = true;
        d.offset = t.position;
        d.time = t.timestamp;
        d.outTime = timeline_.Now();
    }
    d.bytes += t.dataSize + 15;
    ++d.tags;
}

void CRepairPass::Flush(Dropped& d, int32_t kind) {
    if (!d.active) return;
    d.active = false;
    Fix(kind, d.offset, d.time, d.bytes, d.tags, 0, d.outTime);
}

int64_t CRepairPass::AudioBlockUnits(const uint8_t* data, uint32_t size, const TagioTagLayout& l) const {
    static const int kRates[4] = {5512, 11025, 22050, 44100};
    if (Flv_IsFourcc(l.codec))   // their own bytes, past the headers; FLAC at its setup's rate
        return CalcFLVAudioBlockDuration(data + l.payloadOffset, l.payloadSize, int(l.codec), aacRate_, 2, 2);
    const int format = data[0] >> 4;
    int rate = format == 5 ? 8000 : format == 4 || format == 11 ? 16000 : kRates[(data[0] >> 2) & 3];
    if (format == 10 && aacRate_ > 0) rate = aacRate_;
    if (size < 2) return -1;
    return CalcFLVAudioBlockDuration(data + 1, size - 1, format, rate, (data[0] >> 1) & 1 ? 2 : 1,
                                     data[0] & 1 ? 2 : 1);
}
