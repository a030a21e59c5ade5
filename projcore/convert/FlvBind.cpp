#include "convert/FlvBind.h"

#include <algorithm>
#include <memory>

#include "convert/FlvBindProbe.h"
#include "tagio/tagio.h"

namespace {

constexpr int64_t kUnitsPerMs = 10000;   // progress is in 100 ns
constexpr int kTagsPerReport = 15;

struct ReaderDeleter {
    void operator()(TagioFileReadAble* f) const { DeleteFileReadAble(f); }
};
using Reader = std::unique_ptr<TagioFileReadAble, ReaderDeleter>;

// The tag's timestamp field, in its buffer: UI24 big-endian, then the high byte.
void Retime(TagioFlvTag& tag, uint32_t ms) {
    tag.buffer[4] = uint8_t(ms >> 16);
    tag.buffer[5] = uint8_t(ms >> 8);
    tag.buffer[6] = uint8_t(ms);
    tag.buffer[7] = uint8_t(ms >> 24);
    tag.timestamp = ms;
}

bool IsConfig(const TagioFlvTag& t) {
    const bool codec = (t.type == 8 && t.codecField1 == 10) || (t.type == 9 && t.codecField2 == 7);
    return codec && t.dataSize >= 2 && t.data[1] == 0;
}

// Length of an audio block in ms, or -1 when it cannot be told.
double AudioBlockMs(const TagioFlvTag& t) {
    if (t.dataSize < 2) return -1;
    static const int kRates[4] = {5512, 11025, 22050, 44100};
    const int format = int(t.codecField1);
    const int rate = format == 5 ? 8000 : format == 4 ? 16000 : kRates[t.codecField2 & 3];
    const int64_t units = CalcFLVAudioBlockDuration(t.audioPayload, t.audioPayloadSize, format, rate,
                                                    t.codecField3 ? 2 : 1, t.codecField4 ? 2 : 1);
    return units < 0 ? -1 : double(units) / kUnitsPerMs;
}

class Binder {
public:
    Binder(bool audio, bool video, CFlvBindProgress& job, int64_t totalMs)
        : audio_(audio), video_(video), job_(job), totalMs_(totalMs) {}
    ~Binder() { Flv_FreeTag(&tag_); }

    // Opens a clip and checks its header; result code or 0.
    int32_t Open(const TFlvBindClip& clip, Reader& file, TagioFlvHeader& header) {
        file.reset(CreateFileReadAble(clip.path.c_str()));
        if (!file) return CFlvBind::kCannotOpenClip;
        return Flv_ReadHeader(file.get(), &header) ? 0 : CFlvBind::kNotFlv;
    }

    // Copies one clip's span. Returns a result code, or -1 when cancelled.
    // file: positioned at its first tag.
    int32_t Copy(TagioFileReadAble* file, const TFlvBindClip& clip, const CFlvBindProbe& probe) {
        const int64_t firstTag = FileReadAble_GetPosition(file);
        const uint32_t startTime = probe.HasKeyFrameStart() && video_ ? probe.KeyFrameTime()
                                                                       : clip.trimStart;
        FileReadAble_Seek(file, firstTag, 0);
        bool skipping = true;   // headers only until the first tag at the start time
        bool haveFirst = false, keyWritten = false;
        uint32_t first = 0;
        span_ = 0;
        int64_t videoEnd = -1, audioEnd = -1, lastVideo = -1, videoStep = 0;
        for (int count = 1;; ++count) {
            if (count % kTagsPerReport == 0 && !Report()) return -1;
            if (!Flv_ReadTag(file, skipping ? 0 : 1, &tag_)) break;
            if (tag_.type != 8 && tag_.type != 9) continue;   // other tags are not copied
            const uint32_t t = tag_.timestamp >= probe.Base() ? tag_.timestamp - probe.Base() : 0;
            if (t < startTime) continue;
            if (skipping) {   // read this one again, with its data
                FileReadAble_Seek(file, tag_.filePosition, 0);
                skipping = false;
                continue;
            }
            if (t > clip.trimEnd) break;
            if (!haveFirst) {
                first = t;
                haveFirst = true;
            }
            span_ = t - first;
            const uint32_t when = uint32_t(elapsed_ + span_);
            if (tag_.type == 8) {
                if (!audio_) continue;
                if (IsConfig(tag_)) {
                    if (!audioConfigWritten_ && !WriteConfig(tag_, when, audioConfigWritten_))
                        return CFlvBind::kWriteFailed;
                    continue;
                }
                if (!audioConfigWritten_ && probe.AudioConfig().type &&
                    !WriteConfig(probe.AudioConfig(), when, audioConfigWritten_))
                    return CFlvBind::kWriteFailed;
                Retime(tag_, when);
                if (!Flv_WriteTag(out_, &tag_)) return CFlvBind::kWriteFailed;
                const double block = AudioBlockMs(tag_);
                audioEnd = std::max<int64_t>(audioEnd, span_ + (block > 0 ? int64_t(block + 0.5) : 0));
            } else {
                if (!video_) continue;
                if (IsConfig(tag_)) {
                    if (!videoConfigWritten_ && !WriteConfig(tag_, when, videoConfigWritten_))
                        return CFlvBind::kWriteFailed;
                    continue;
                }
                // A part never starts on a frame that needs an earlier one.
                if (!keyWritten && tag_.codecField1 != 1) continue;
                keyWritten = true;
                if (!videoConfigWritten_ && probe.VideoConfig().type &&
                    !WriteConfig(probe.VideoConfig(), when, videoConfigWritten_))
                    return CFlvBind::kWriteFailed;
                Retime(tag_, when);
                if (!Flv_WriteTag(out_, &tag_)) return CFlvBind::kWriteFailed;
                if (lastVideo >= 0 && span_ > lastVideo) videoStep = span_ - lastVideo;
                lastVideo = span_;
                videoEnd = lastVideo + videoStep;
            }
        }
        // The next clip begins where the last tag written ends (its own length
        // after its timestamp), never on a timestamp already used.
        if (haveFirst) {
            const int64_t end = std::max<int64_t>({int64_t(span_), videoEnd, audioEnd});
            elapsedAfter_ = elapsed_ + end;
        }
        return 0;
    }

    // After a clip: the time line moves on.
    void NextClip() {
        elapsed_ = elapsedAfter_;
        span_ = 0;
    }

    // Progress, pause and cancel; false when cancelled.
    bool Report() {
        job_.position = (elapsed_ + span_) * kUnitsPerMs;
        job_.total = totalMs_ * kUnitsPerMs;
        return job_.WaitWhilePaused() != CFlvBindProgress::kCancel;
    }

    void Finish() {
        job_.position = (elapsed_ + span_) * kUnitsPerMs;
        job_.total = totalMs_ * kUnitsPerMs;
        job_.SetState(CFlvBindProgress::kFinished);
    }

    TagioFileWriteAble* out_ = nullptr;

private:
    bool WriteConfig(const TagioFlvTag& config, uint32_t when, bool& written) {
        TagioFlvTag copy = config;   // shares the buffer: retimed in place, never freed here
        Retime(copy, when);
        written = true;
        return Flv_WriteTag(out_, &copy) != 0;
    }

    bool audio_, video_;
    CFlvBindProgress& job_;
    int64_t totalMs_;
    int64_t elapsed_ = 0, elapsedAfter_ = 0;
    uint32_t span_ = 0;
    bool audioConfigWritten_ = false, videoConfigWritten_ = false;
    TagioFlvTag tag_{};
};

TFlvBindResult Fail(int32_t code, const std::string& text) { return {code, text}; }

}  // namespace

TFlvBindResult CFlvBind::Run(const std::vector<TFlvBindClip>& clips, const std::string& output,
                             bool audio, bool video, CFlvBindProgress& job) {
    if (clips.empty()) {
        job.position = 0;
        job.total = 0;
        job.SetState(CFlvBindProgress::kFinished);
        return Fail(kEmptyList, "");
    }
    int64_t totalMs = 0;
    for (const auto& c : clips) totalMs += c.trimEnd > c.trimStart ? c.trimEnd - c.trimStart : 0;

    Binder binder(audio, video, job, totalMs);
    TFlvBindResult result;
    binder.out_ = CreateFileWriteAble(output.c_str());
    if (!binder.out_) {
        job.SetState(CFlvBindProgress::kFinished);
        return Fail(kCannotCreateOutput, output);
    }

    Reader file;
    TagioFlvHeader header{};
    CFlvBindProbe firstProbe;
    if (int32_t r = binder.Open(clips[0], file, header)) {
        result = Fail(r, clips[0].path);
    } else if (!Flv_WriteHeader(binder.out_, &header)) {
        result = Fail(kWriteFailed, output);
    } else {
        for (size_t i = 0; i < clips.size(); ++i) {
            if (i > 0) {
                binder.NextClip();
                if (int32_t r = binder.Open(clips[i], file, header)) {
                    result = Fail(r, clips[i].path);
                    break;
                }
            }
            const int64_t firstTag = FileReadAble_GetPosition(file.get());
            CFlvBindProbe later;
            CFlvBindProbe& probe = i == 0 ? firstProbe : later;
            if (!probe.Run(file.get(), header, clips[i].trimStart)) {
                result = Fail(kNotFlv, clips[i].path);
                break;
            }
            if (i > 0) {
                const std::string difference = probe.Difference(firstProbe);
                if (!difference.empty()) {
                    result = Fail(kClipMismatch, clips[i].path + ": " + difference);
                    break;
                }
            }
            FileReadAble_Seek(file.get(), firstTag, 0);
            const int32_t r = binder.Copy(file.get(), clips[i], probe);
            if (r < 0) break;   // cancelled: the output so far is finished as it is
            if (r > 0) {
                result = Fail(r, output);
                break;
            }
        }
    }
    file.reset();
    if (!DeleteFileWritable(binder.out_) && result.code == kDone) result = Fail(kWriteFailed, output);
    binder.out_ = nullptr;

    TagioFlvMeta* meta = FlvMetaCreateObject();
    if (!meta) {
        if (result.code == kDone) result = Fail(kMetadataFailed, output);
    } else {
        if (FlvMetaParseFromFile(meta, output.c_str()) && !FlvMetaUpdateToFile(meta, output.c_str()) &&
            result.code == kDone)
            result = Fail(kMetadataFailed, output);
        FlvMetaDeleteObject(meta);
    }
    binder.Finish();
    return result;
}
