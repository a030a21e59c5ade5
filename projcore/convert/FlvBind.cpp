#include "convert/FlvBind.h"

#include <algorithm>
#include <memory>

#include "convert/FlvBindProbe.h"
#include "tagio/tagio.h"

// The binding runs twice over the clips. The first run reads tag headers
// only and tells the metadata object every tag it will write; the second
// writes the header, that metadata, then the tags, copied straight from the
// clips' files, telling a second metadata object what it really wrote. When
// both agree the file already holds its true metadata and is not read again;
// otherwise (a cancel, a failure, a clip changed meanwhile) the metadata step
// rewrites the metadata of what was written.

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

bool IsConfig(const TagioFlvTag& t) {
    const bool codec = (t.type == 8 && t.codecField1 == 10) || (t.type == 9 && t.codecField2 == 7);
    return codec && t.dataSize >= 2 && t.packetType == 0;
}

enum class Pass { kPlan, kWrite };

class Binder {
public:
    Binder(Pass pass, bool audio, bool video, CFlvBindProgress& job, int64_t totalMs,
           TagioFlvMeta* plan, TagioFileWriteAble* out)
        : pass_(pass), audio_(audio), video_(video), job_(job), totalMs_(totalMs), plan_(plan),
          out_(out) {}

    // Opens a clip and checks its header; a result code or 0.
    static int32_t Open(const TFlvBindClip& clip, Reader& file, TagioFlvHeader& header) {
        file.reset(CreateFileReadAble(clip.path.c_str()));
        if (!file) return CFlvBind::kCannotOpenClip;
        return Flv_ReadHeader(file.get(), &header) ? 0 : CFlvBind::kNotFlv;
    }

    // One clip's span, tag headers only: planned or copied. file: positioned
    // at its first tag. A result code, or -1 when cancelled.
    int32_t Copy(TagioFileReadAble* file, const TFlvBindClip& clip, const CFlvBindProbe& probe) {
        const uint32_t startTime = probe.HasKeyFrameStart() && video_ ? probe.KeyFrameTime()
                                                                       : clip.trimStart;
        bool haveFirst = false, keyWritten = false;
        uint32_t first = 0;
        span_ = 0;
        int64_t lastVideo = -1, videoStep = 0, lastAudio = -1;
        TagioFlvTag lastAudioTag{};
        TagioFlvTag tag{};
        for (int count = 1;; ++count) {
            if (count % kTagsPerReport == 0 && !Report()) return -1;
            if (!Flv_ReadTag(file, 0, &tag)) break;
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
            bool& configWritten = isAudio ? audioConfigWritten_ : videoConfigWritten_;
            if (IsConfig(tag)) {   // the clips' setups are equal: the first one serves all
                if (!configWritten && !Emit(file, tag, when)) return CFlvBind::kWriteFailed;
                configWritten = true;
                continue;
            }
            // A part never starts on a frame that needs an earlier one.
            if (!isAudio && !keyWritten && tag.codecField1 != 1) continue;
            const TagioFlvTag& setup = isAudio ? probe.AudioConfig() : probe.VideoConfig();
            if (!configWritten && setup.type) {   // a setup that lay before the trim start
                if (!EmitLoaded(setup, when)) return CFlvBind::kWriteFailed;
                configWritten = true;
            }
            if (!Emit(file, tag, when)) return CFlvBind::kWriteFailed;
            if (isAudio) {
                lastAudio = span_;
                lastAudioTag = tag;
            } else {
                keyWritten = true;
                if (lastVideo >= 0 && span_ > lastVideo) videoStep = span_ - lastVideo;
                lastVideo = span_;
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
        return 0;
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
    int64_t LastAudioUnits() const { return lastAudioUnits_; }

private:
    // plan_ learns every tag: the plan in the first run, what was written in the second.
    bool Emit(TagioFileReadAble* file, const TagioFlvTag& tag, uint32_t when) {
        FlvMetaPlanTag(plan_, &tag, when);
        return pass_ == Pass::kPlan || Flv_CopyTag(file, &tag, when, out_) != 0;
    }

    bool EmitLoaded(const TagioFlvTag& tag, uint32_t when) {
        FlvMetaPlanTag(plan_, &tag, when);
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
        if (t.dataSize < 2) return -1;
        if (block_.size() < t.dataSize) block_.resize(t.dataSize);
        if (FileReadAble_ReadAt(file, t.filePosition + 11, block_.data(), t.dataSize) != t.dataSize)
            return -1;
        static const int kRates[4] = {5512, 11025, 22050, 44100};
        const int format = int(t.codecField1);
        const int rate = format == 5 ? 8000 : format == 4 ? 16000 : kRates[t.codecField2 & 3];
        return CalcFLVAudioBlockDuration(block_.data() + 1, t.dataSize - 1, format, rate,
                                         t.codecField3 ? 2 : 1, t.codecField4 ? 2 : 1);
    }

    Pass pass_;
    bool audio_, video_;
    CFlvBindProgress& job_;
    int64_t totalMs_;
    TagioFlvMeta* plan_;
    TagioFileWriteAble* out_;
    int64_t elapsed_ = 0, elapsedAfter_ = 0;
    uint32_t span_ = 0;
    int64_t lastAudioUnits_ = -1;
    bool audioConfigWritten_ = false, videoConfigWritten_ = false;
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
        if (int32_t r = Binder::Open(clips[i], file, header)) return {r, clips[i].path};
        const int64_t firstTag = FileReadAble_GetPosition(file.get());
        CFlvBindProbe later;
        CFlvBindProbe& probe = i == 0 ? firstProbe : later;
        if (!probe.Run(file.get(), header, clips[i].trimStart)) return {CFlvBind::kNotFlv, clips[i].path};
        if (i > 0) {
            const std::string difference = probe.Difference(firstProbe);
            if (!difference.empty())
                return {CFlvBind::kClipMismatch, clips[i].path + ": " + difference};
        }
        FileReadAble_Seek(file.get(), firstTag, 0);
        const int32_t r = binder.Copy(file.get(), clips[i], probe);
        if (r < 0) {
            *cancelled = true;
            return {};
        }
        if (r > 0) return {r, output};
        *done = i + 1;
    }
    return {};
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
    if (plan) {
        Binder planner(Pass::kPlan, audio, video, job, totalMs, plan.get(), nullptr);
        result = Pass(planner, clips, clips.size(), output, &planned, &cancelled);
        FlvMetaPlanLastAudioBlock(plan.get(), planner.LastAudioUnits());
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
        } else if (!cancelled) {
            Binder writer(Pass::kWrite, audio, video, job, totalMs, written.get(), out);
            size_t done = 0;
            // Clips the plan refused are refused again here, with the same result.
            const size_t limit = plan ? std::min(clips.size(), planned + (result.code ? 1 : 0))
                                      : clips.size();
            first.reset();   // the pass opens every clip itself
            const TFlvBindResult r = Pass(writer, clips, limit, output, &done, &cancelled);
            if (r.code) result = r;
            position = writer.Position();
            FlvMetaPlanLastAudioBlock(written.get(), writer.LastAudioUnits());
            upToDate = plan && written && !cancelled && FlvMetaSamePlan(plan.get(), written.get());
        }
    }
    if (!DeleteFileWritable(out)) {
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
