#include "convert/FlvBind.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "convert/FlvBindCopyList.h"
#include "convert/FlvBindProbe.h"
#include "convert/FlvTagWalk.h"
#include "convert/SetupInBand.h"
#include "render/TagDigestStore.h"
#include "tagio/tagio.h"

// The binding runs twice over the clips. The first run reads tag headers
// only (or takes them from the walk the clip's examination kept, when the
// file is unchanged since) and tells the metadata object every tag it will
// write; the second
// writes the header, that metadata, then the tags, copied straight from the
// clips' files, telling a second metadata object what it really wrote. When
// both agree the file already holds its true metadata and is not read again;
// otherwise (a cancel, a failure, a clip changed meanwhile) the metadata step
// rewrites the metadata of what was written. The plan also keeps what it
// decided as runs of the clips' bytes (a copy list): unless a clip changed
// since, the second run only copies those, in large pieces.

namespace {

constexpr int64_t kUnitsPerMs = 10000;   // progress and audio blocks are in 100 ns
constexpr int kTagsPerReport = 15;

struct ReaderDeleter {
    void operator()(TagioFileReadAble* f) const { DeleteFileReadAble(f); }
};
using Reader = std::unique_ptr<TagioFileReadAble, ReaderDeleter>;

struct MetaDeleter {
    void operator()(TagioFlvMeta* m) const { FlvMetaDeleteObject(m); }
};

// AVC, HEVC, AAC and the FourCC codecs: their tags carry a packet type.
bool HasPackets(const TagioFlvTag& t) {
    return (t.type == 8 || t.type == 9) && Flv_HasPacketType(t.type, t.type == 9 ? t.codecField2 : t.codecField1);
}

bool IsConfig(const TagioFlvTag& t) { return HasPackets(t) && t.dataSize >= 2 && t.packetType == 0; }

// A tag with something to show or hear: not a codec setup, not an end of
// sequence or other signalling, not a bare codec byte.
bool IsMedia(const TagioFlvTag& t) {
    if (t.dataSize < 2 || IsConfig(t)) return false;
    return !HasPackets(t) || t.packetType == 1;
}

enum class Pass { kPlan, kWrite };

class Binder {
public:
    Binder(Pass pass, bool audio, bool video, CFlvBindProgress& job, int64_t totalMs,
           TagioFlvMeta* plan, TagioFileWriteAble* out, CFlvBindCopyList* list = nullptr)
        : pass_(pass), audio_(audio), video_(video), job_(job), totalMs_(totalMs), plan_(plan),
          out_(out), list_(list) {}

    // Opens a clip and checks its header; a result code or 0.
    static int32_t Open(const TFlvBindClip& clip, Reader& file, TagioFlvHeader& header) {
        file.reset(CreateFileReadAble(clip.path.c_str()));
        if (!file) return CFlvBind::kCannotOpenClip;
        return Flv_ReadHeader(file.get(), &header) ? 0 : CFlvBind::kNotFlv;
    }

    // One clip's span, tag headers only: planned or copied. walk: at the
    // file's first tag. A result code, or -1 when cancelled.
    int32_t Copy(CFlvTagWalk& walk, const TFlvBindClip& clip, const CFlvBindProbe& probe, bool lastClip) {
        TagioFileReadAble* file = walk.File();
        const uint32_t startTime = probe.HasKeyFrameStart() && video_ ? probe.KeyFrameTime()
                                                                       : clip.trimStart;
        // H.264 pictures are shown after they are stored: this clip's first
        // one must not be shown before the last one of the clip before.
        if (presentedUntil_ > 0 && video_) {
            const int64_t shown = FirstPictureShown(walk, probe, startTime, clip.trimEnd);
            if (shown >= 0) elapsed_ = std::max<int64_t>(elapsed_, presentedUntil_ - shown);
        }
        audioRate_ = probe.AudioSetup().codec ? probe.AudioSetup().sampleRate : 0;
        bool haveFirst = false, keyWritten = false;
        bool setupChecked[2] = {false, false};   // audio, video
        uint32_t first = 0;
        span_ = 0;
        int64_t lastVideo = -1, videoStep = 0, lastAudio = -1, lastShown = -1;
        TagioFlvTag lastAudioTag{};
        TagioFlvTag tag{};
        for (int count = 1;; ++count) {
            if (count % kTagsPerReport == 0 && !Report()) return -1;
            if (!walk.Next(tag)) break;
            if (tag.type != 8 && tag.type != 9) continue;   // other tags are not copied
            const uint32_t t = tag.timestamp >= probe.Base() ? tag.timestamp - probe.Base() : 0;
            if (t < startTime) continue;
            if (t > clip.trimEnd) break;
            if (!haveFirst) {
                first = t;
                haveFirst = true;
            }
            span_ = t - first;
            const uint32_t when = uint32_t(elapsed_ + span_);
            const bool isAudio = tag.type == 8;
            if (!(isAudio ? audio_ : video_)) continue;
            const int stream = isAudio ? 0 : 1;
            if (IsConfig(tag)) {   // a setup inside the span governs from here
                setupChecked[stream] = true;
                if (!LoadData(file, tag)) return CFlvBind::kCannotOpenClip;
                if (!SameAsWritten(stream, block_.data(), tag.dataSize)) {
                    if (!Emit(walk, tag, when)) return CFlvBind::kWriteFailed;
                    NewSetup(stream, block_.data(), tag.dataSize);
                }
                continue;
            }
            // An end of sequence belongs only at the end of the whole file.
            if (!isAudio && HasPackets(tag) && tag.packetType == 2 && !lastClip) continue;
            // A part never starts on a frame that needs an earlier one.
            if (!isAudio && !keyWritten && tag.codecField1 != 1) continue;
            if (!setupChecked[stream]) {
                // The setup in force at the start (it may lie before the trim
                // start), written again only when it differs from the last one.
                setupChecked[stream] = true;
                const TagioFlvTag& setup = isAudio ? probe.AudioConfig() : probe.VideoConfig();
                if (setup.type && !SameAsWritten(stream, setup.data, setup.dataSize)) {
                    if (!EmitLoaded(setup, when)) return CFlvBind::kWriteFailed;
                    NewSetup(stream, setup.data, setup.dataSize);
                }
            }
            const bool keyPicture = !isAudio && HasParameterSetsInBand(tag.codecField2) &&
                                    tag.packetType == 1 && tag.codecField1 == 1;
            if (keyPicture && !inband_.empty()) {
                if (!EmitWithParameterSets(walk, tag, when)) return CFlvBind::kWriteFailed;
            } else if (!Emit(walk, tag, when)) {
                return CFlvBind::kWriteFailed;
            }
            if (isAudio) {
                lastAudio = span_;
                lastAudioTag = tag;
            } else {
                keyWritten = true;
                if (HasPackets(tag) && tag.packetType != 1) continue;   // no picture
                if (lastVideo >= 0 && span_ > lastVideo) videoStep = span_ - lastVideo;
                lastVideo = span_;
                lastShown = std::max<int64_t>(lastShown, int64_t(span_) +
                                                             CFlvBindProbe::CompositionTime(file, tag));
            }
        }
        // The next clip begins where the last tag written ends (its own length
        // after its timestamp), never on a timestamp already used.
        int64_t end = span_;
        if (lastVideo >= 0) end = std::max(end, lastVideo + videoStep);
        if (lastAudio >= 0) {
            lastAudioUnits_ = AudioBlockUnits(file, lastAudioTag);
            end = std::max(end, lastAudio + (lastAudioUnits_ > 0 ? lastAudioUnits_ / kUnitsPerMs : 0));
        }
        elapsedAfter_ = haveFirst ? elapsed_ + end : elapsed_;
        if (haveFirst && lastShown >= 0) presentedUntil_ = elapsed_ + lastShown + videoStep;
        return 0;
    }

    // Clip time from the first tag of the span to when its first picture is
    // shown (its decode time and composition time); -1 when it has none.
    // Walks on from where the walk is and goes back there.
    int64_t FirstPictureShown(CFlvTagWalk& walk, const CFlvBindProbe& probe, uint32_t startTime,
                              uint32_t trimEnd) {
        const CFlvTagWalk::Mark at = walk.Here();
        TagioFlvTag tag{};
        int64_t first = -1, shown = -1;
        while (shown < 0 && walk.Next(tag)) {
            if (tag.type != 8 && tag.type != 9) continue;
            const uint32_t t = tag.timestamp >= probe.Base() ? tag.timestamp - probe.Base() : 0;
            if (t < startTime) continue;
            if (t > trimEnd) break;
            if (first < 0) first = t;
            if (tag.type == 9 && tag.codecField1 == 1 && (!HasPackets(tag) || tag.packetType == 1))
                shown = int64_t(t) - first + CFlvBindProbe::CompositionTime(walk.File(), tag);
        }
        walk.Back(at);
        return shown;
    }

    // After a clip: the time line moves on.
    void NextClip() {
        elapsed_ = elapsedAfter_;
        span_ = 0;
    }

    // Progress (while writing), pause and cancel; false when cancelled.
    bool Report() {
        if (pass_ == Pass::kWrite) {
            job_.position = (elapsed_ + span_) * kUnitsPerMs;
            job_.total = totalMs_ * kUnitsPerMs;
        }
        return job_.WaitWhilePaused() != CFlvBindProgress::kCancel;
    }

    int64_t Position() const { return elapsed_ + span_; }
    int64_t MediaTags() const { return media_; }
    CFlvBindCopyList* List() const { return list_; }
    int64_t LastAudioUnits() const { return lastAudioUnits_; }

private:
    // plan_ learns every tag: the plan in the first run, what was written in the second.
    bool Emit(CFlvTagWalk& walk, const TagioFlvTag& tag, uint32_t when) {
        FlvMetaPlanTag(plan_, &tag, when);
        media_ += IsMedia(tag);
        if (list_) {
            // Unmoved tags whose PreviousTagSize is right go out as they are.
            const uint32_t shift = when - tag.timestamp;
            list_->Copy(tag.filePosition, tag.tagSize, shift, Position(), shift == 0 && walk.TrailerAgrees(tag));
        }
        return pass_ == Pass::kPlan || Flv_CopyTag(walk.File(), &tag, when, out_) != 0;
    }

    // A setup was written. A change of H.264 or HEVC setup inside the file
    // is also given in band: stream parsers (which know only the first
    // setup) then read the pictures after it right. With the next key
    // picture always; with every key picture while the setup is not the
    // file's first, so a seek into such a clip decodes too. (AV1 needs
    // nothing: its key frames carry their sequence header; VP9 has no setup
    // a decoder needs.)
    void NewSetup(int stream, const uint8_t* data, uint32_t size) {
        const bool change = !written_[stream].empty();
        written_[stream].assign(data, data + size);
        if (!change && stream == 1) firstVideoSetup_.assign(data, data + size);
        backToFirst_ = written_[1] == firstVideoSetup_;
        if (stream != 1) return;
        inband_.clear();
        TagioTagLayout l;
        if (!change || !Flv_ReadTagLayout(9, data, size, size, &l) || l.trackCount > 1 ||
            !HasParameterSetsInBand(l.codec))
            return;
        record_.assign(data + l.payloadOffset, data + l.payloadOffset + l.payloadSize);
        SetupParameterSets(l.codec, record_.data(), uint32_t(record_.size()), inband_);
    }

    // A key picture with the parameter sets of the setup before it in front
    // of its own NAL units (after an access unit delimiter); a picture of
    // several tracks as the source has it.
    bool EmitWithParameterSets(CFlvTagWalk& walk, const TagioFlvTag& tag, uint32_t when) {
        TagioTagLayout l;
        if (!LoadData(walk.File(), tag)) return false;
        if (!Flv_ReadTagLayout(9, block_.data(), tag.dataSize, tag.dataSize, &l) || l.trackCount > 1) {
            inband_.clear();
            return Emit(walk, tag, when);
        }
        const uint32_t at = l.payloadOffset + ParameterSetsOffset(l.codec, record_.data(), uint32_t(record_.size()),
                                                                 block_.data() + l.payloadOffset, l.payloadSize);
        const uint32_t dataSize = tag.dataSize + uint32_t(inband_.size());
        composed_.assign(11, 0);
        composed_[0] = 9;
        composed_[1] = uint8_t(dataSize >> 16);
        composed_[2] = uint8_t(dataSize >> 8);
        composed_[3] = uint8_t(dataSize);
        composed_[4] = uint8_t(when >> 16);
        composed_[5] = uint8_t(when >> 8);
        composed_[6] = uint8_t(when);
        composed_[7] = uint8_t(when >> 24);
        composed_.insert(composed_.end(), block_.begin(), block_.begin() + at);
        composed_.insert(composed_.end(), inband_.begin(), inband_.end());
        composed_.insert(composed_.end(), block_.begin() + at, block_.begin() + tag.dataSize);
        if (backToFirst_) inband_.clear();
        TagioFlvTag copy = tag;
        copy.buffer = composed_.data();
        copy.data = composed_.data() + 11;
        copy.dataSize = dataSize;
        copy.tagSize = dataSize + 15;
        copy.bufferCapacity = uint32_t(composed_.size());
        FlvMetaPlanTag(plan_, &copy, when);
        ++media_;
        if (list_) list_->Made(composed_.data(), dataSize + 11, Position());
        return pass_ == Pass::kPlan || Flv_WriteTag(out_, &copy) != 0;
    }

    bool EmitLoaded(const TagioFlvTag& tag, uint32_t when) {
        FlvMetaPlanTag(plan_, &tag, when);
        if (list_) list_->Copy(tag.filePosition, tag.dataSize + 15, when - tag.timestamp, Position());
        if (pass_ == Pass::kPlan) return true;
        TagioFlvTag copy = tag;   // shares the buffer: retimed in place, never freed here
        copy.buffer[4] = uint8_t(when >> 16);
        copy.buffer[5] = uint8_t(when >> 8);
        copy.buffer[6] = uint8_t(when);
        copy.buffer[7] = uint8_t(when >> 24);
        return Flv_WriteTag(out_, &copy) != 0;
    }

    // Length of an audio tag's block in 100 ns, read from its data; -1 when
    // it cannot be told.
    int64_t AudioBlockUnits(TagioFileReadAble* file, const TagioFlvTag& t) {
        if (t.dataSize < 2 || !LoadData(file, t)) return -1;
        static const int kRates[4] = {5512, 11025, 22050, 44100};
        const int format = int(t.codecField1);
        int rate = format == 5 ? 8000 : format == 4 || format == 11 ? 16000 : kRates[t.codecField2 & 3];
        if (HasPackets(t) && audioRate_ > 0) rate = audioRate_;   // AAC, FLAC: the setup's rate
        // The FourCC codecs' own bytes lie past their headers.
        TagioTagLayout layout;
        const bool fourcc = Flv_IsFourcc(t.codecField1) &&
                            Flv_ReadTagLayout(8, block_.data(), t.dataSize, t.dataSize, &layout);
        return CalcFLVAudioBlockDuration(block_.data() + (fourcc ? layout.payloadOffset : 1),
                                         fourcc ? layout.payloadSize : t.dataSize - 1, format, rate,
                                         t.codecField3 ? 2 : 1, t.codecField4 ? 2 : 1);
    }

    // A tag's data into block_.
    bool LoadData(TagioFileReadAble* file, const TagioFlvTag& t) {
        if (block_.size() < t.dataSize) block_.resize(t.dataSize);
        return FileReadAble_ReadAt(file, t.filePosition + 11, block_.data(), t.dataSize) == t.dataSize;
    }

    bool SameAsWritten(int stream, const uint8_t* data, uint32_t size) const {
        const std::vector<uint8_t>& w = written_[stream];
        return w.size() == size && (size == 0 || std::memcmp(w.data(), data, size) == 0);
    }

    Pass pass_;
    bool audio_, video_;
    CFlvBindProgress& job_;
    int64_t totalMs_;
    TagioFlvMeta* plan_;
    TagioFileWriteAble* out_;
    CFlvBindCopyList* list_;          // the plan's copy list, kept in the first run
    int64_t elapsed_ = 0, elapsedAfter_ = 0;
    uint32_t span_ = 0;
    int64_t lastAudioUnits_ = -1;
    int64_t media_ = 0;               // tags with pictures or sound passed on
    int64_t presentedUntil_ = 0;      // ms: after the last H.264 picture shown so far
    int audioRate_ = 0;               // the sampling frequency of the clip's sound setup, 0 without one
    std::vector<uint8_t> written_[2];   // the last setup written, audio and video
    std::vector<uint8_t> inband_;       // parameter sets for the next key picture, length-prefixed
    std::vector<uint8_t> record_;       // the configuration record they came from
    std::vector<uint8_t> firstVideoSetup_;   // the file's first video setup tag
    bool backToFirst_ = true;           // the video setup in force is the file's first
    std::vector<uint8_t> composed_;     // a key picture with them, header first
    std::vector<uint8_t> block_;
};

// Runs one pass over the clips; stops at the first failure or at `limit`
// clips. Returns the result, *done = the clips bound in full, *cancelled.
TFlvBindResult Pass(Binder& binder, const std::vector<TFlvBindClip>& clips, size_t limit,
                    const std::string& output, size_t* done, bool* cancelled) {
    Reader file;
    TagioFlvHeader header{};
    CFlvBindProbe firstProbe;
    *done = 0;
    *cancelled = false;
    for (size_t i = 0; i < limit; ++i) {
        if (i > 0) binder.NextClip();
        if (binder.List()) binder.List()->BeginClip(i, clips[i].path);
        if (int32_t r = Binder::Open(clips[i], file, header)) return {r, clips[i].path};
        // The plan walks the tags the examination kept, when it kept them
        // and the file is still the one it examined; the writing reads them.
        const CTagDigestStore::Digest digest =
            binder.List() ? CTagDigestStore::Shared().Find(clips[i].path) : nullptr;
        CFlvTagWalk walk(file.get(), digest.get());
        const CFlvTagWalk::Mark firstTag = walk.Here();
        CFlvBindProbe later;
        CFlvBindProbe& probe = i == 0 ? firstProbe : later;
        if (!probe.Run(walk, header, clips[i].trimStart)) return {CFlvBind::kNotFlv, clips[i].path};
        if (i > 0) {
            const std::string difference = probe.Difference(firstProbe);
            if (!difference.empty())
                return {CFlvBind::kClipMismatch, clips[i].path + ": " + difference};
        }
        walk.Back(firstTag);
        const int32_t r = binder.Copy(walk, clips[i], probe, i + 1 == limit);
        if (r < 0) {
            *cancelled = true;
            return {};
        }
        if (r > 0) return {r, r == CFlvBind::kCannotOpenClip ? clips[i].path : output};
        *done = i + 1;
    }
    return {};
}

// Writes the tags through the plan's copy list after the header and metadata
// out holds. False when a clip changed since the plan read it: out is then
// made again with only the header and metadata (null when it cannot be),
// for the binding tag by tag. position: how far a cancelled copy came.
bool CopyPlanned(const CFlvBindCopyList& list, const std::vector<TFlvBindClip>& clips, const std::string& output,
                 TagioFlvMeta* plan, TagioFileWriteAble*& out, CFlvBindProgress& job, int64_t totalMs,
                 int64_t& position, bool& cancelled) {
    const CFlvBindCopyList::Outcome outcome = list.Write(clips, out, job, totalMs, &position);
    if (outcome != CFlvBindCopyList::kChanged) {
        cancelled = outcome == CFlvBindCopyList::kCancelled;
        return true;
    }
    position = 0;
    DeleteFileWritable(out);
    out = CreateFileWriteAble(output.c_str());
    Reader first;
    TagioFlvHeader header{};
    if (out && (Binder::Open(clips[0], first, header) || !Flv_WriteHeader(out, &header) ||
                !FlvMetaWritePlanned(plan, out))) {
        DeleteFileWritable(out);
        out = nullptr;
    }
    return false;
}

}  // namespace

TFlvBindResult CFlvBind::Run(const std::vector<TFlvBindClip>& clips, const std::string& output,
                             bool audio, bool video, CFlvBindProgress& job) {
    if (clips.empty()) {
        job.position = 0;
        job.total = 0;
        job.SetState(CFlvBindProgress::kFinished);
        return {kEmptyList, ""};
    }
    int64_t totalMs = 0;
    for (const auto& c : clips) totalMs += c.trimEnd > c.trimStart ? c.trimEnd - c.trimStart : 0;
    job.position = 0;
    job.total = totalMs * kUnitsPerMs;
    const auto finish = [&](int64_t positionMs) {
        job.position = positionMs * kUnitsPerMs;
        job.total = totalMs * kUnitsPerMs;
        job.SetState(CFlvBindProgress::kFinished);
    };

    TagioFileWriteAble* out = CreateFileWriteAble(output.c_str());
    if (!out) {
        finish(0);
        return {kCannotCreateOutput, output};
    }

    // Plan: which tags go out, and so the metadata.
    std::unique_ptr<TagioFlvMeta, MetaDeleter> plan(FlvMetaCreateObject());
    TFlvBindResult result;
    size_t planned = 0;
    bool cancelled = false;
    CFlvBindCopyList list;
    int64_t plannedMedia = 0, plannedPosition = 0;
    if (plan) {
        Binder planner(Pass::kPlan, audio, video, job, totalMs, plan.get(), nullptr, &list);
        result = Pass(planner, clips, clips.size(), output, &planned, &cancelled);
        FlvMetaPlanLastAudioBlock(plan.get(), planner.LastAudioUnits());
        plannedMedia = planner.MediaTags();
        plannedPosition = planner.Position();
    }
    // Write: the header of the first clip, the planned metadata, the tags.
    std::unique_ptr<TagioFlvMeta, MetaDeleter> written(FlvMetaCreateObject());
    int64_t position = 0;
    bool upToDate = false;
    {
        Reader first;
        TagioFlvHeader header{};
        if (int32_t r = Binder::Open(clips[0], first, header)) {
            result = {r, clips[0].path};
        } else if (!Flv_WriteHeader(out, &header) || (plan && !FlvMetaWritePlanned(plan.get(), out))) {
            result = {kWriteFailed, output};
        } else if (!cancelled && plan && list.Whole() &&
                   CopyPlanned(list, clips, output, plan.get(), out, job, totalMs, position, cancelled)) {
            // What the plan wrote is what it planned, but for a cancel.
            if (result.code == kDone && !cancelled && plannedMedia == 0) result = {kNoMedia, clips[0].path};
            if (!cancelled) position = plannedPosition;
            upToDate = !cancelled;
        } else if (!out) {
            result = {kCannotCreateOutput, output};
        } else if (!cancelled) {
            Binder writer(Pass::kWrite, audio, video, job, totalMs, written.get(), out);
            size_t done = 0;
            // Clips the plan refused are refused again here, with the same result.
            const size_t limit = plan ? std::min(clips.size(), planned + (result.code ? 1 : 0))
                                      : clips.size();
            first.reset();   // the pass opens every clip itself
            const TFlvBindResult r = Pass(writer, clips, limit, output, &done, &cancelled);
            if (r.code) result = r;
            // Only metadata, setups or bare codec bytes: an empty file is no join.
            if (result.code == kDone && !cancelled && writer.MediaTags() == 0) result = {kNoMedia, clips[0].path};
            position = writer.Position();
            FlvMetaPlanLastAudioBlock(written.get(), writer.LastAudioUnits());
            upToDate = plan && written && !cancelled && FlvMetaSamePlan(plan.get(), written.get());
        }
    }
    if (out && !DeleteFileWritable(out)) {
        upToDate = false;
        if (result.code == kDone) result = {kWriteFailed, output};
    }

    // Brings the metadata up to date when the writing did not go as planned.
    if (!upToDate) {
        std::unique_ptr<TagioFlvMeta, MetaDeleter> meta(FlvMetaCreateObject());
        if (!meta) {
            if (result.code == kDone) result = {kMetadataFailed, output};
        } else if (FlvMetaParseFromFile(meta.get(), output.c_str()) &&
                   !FlvMetaUpdateToFile(meta.get(), output.c_str()) && result.code == kDone) {
            result = {kMetadataFailed, output};
        }
    }
    finish(position);
    return result;
}
