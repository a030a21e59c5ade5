#include "convert/Remux.h"

#include <algorithm>
#include <memory>

#include "avkit/Remux.h"
#include "convert/RemuxCut.h"
#include "convert/RemuxFormat.h"
#include "convert/RemuxPlan.h"
#include "convert/RemuxTagWalk.h"
#include "convert/SetupInBand.h"
#include "render/TagDigestStore.h"
#include "tagio/tagio.h"

namespace {

constexpr int64_t kUnitsPerMs = 10000;   // progress and audio blocks are in 100 ns
constexpr int kTagsPerReport = 32;
// Tags of both streams lie at most this far out of time order in a file.
constexpr uint32_t kInterleaveMs = 1000;
// Media bytes from which MP4 and MOV keep room for their index up front.
constexpr int64_t kIndexRoomFrom = 32 << 20;

struct RemuxDeleter {
    void operator()(AvkRemux* r) const { ARMX_Delete(r); }
};

// AVC, HEVC, AAC and the FourCC codecs: their tags carry a packet type.
bool HasPackets(const TagioFlvTag& t) {
    return (t.type == 8 || t.type == 9) && Flv_HasPacketType(t.type, t.type == 9 ? t.codecField2 : t.codecField1);
}

bool IsConfig(const TagioFlvTag& t) { return HasPackets(t) && t.dataSize >= 2 && t.packetType == 0; }

// Where the codec's own bytes lie in a tag's data: past the codec byte, the
// packet type and composition time, or the extended headers (a multitrack
// tag: the first track's). available: the data bytes at hand.
struct Payload {
    uint32_t offset = 0, size = 0;
};
Payload PayloadOf(const TagioFlvTag& t, const uint8_t* data, uint32_t available, uint32_t legacySkip) {
    TagioTagLayout l;
    if (Flv_IsFourcc(t.type == 9 ? t.codecField2 : t.codecField1)) {
        Flv_ReadTagLayout(t.type, data, available, t.dataSize, &l);
        return {l.payloadOffset, l.payloadSize};
    }
    return t.dataSize > legacySkip ? Payload{legacySkip, t.dataSize - legacySkip} : Payload{t.dataSize, 0};
}

// A video tag held back at a trim end: written only when a picture shown
// before the end follows it in decode order (it may be that picture's reference).
struct Held {
    int64_t position;
    uint32_t size, t;
    int32_t cts;
    bool key;
};

// Copies clips onto one time line, or, without a writer, only works out
// where each clip would start and end (a dry run).
class Copier {
public:
    Copier(const CRemuxPlan& plan, AvkRemux* out, int audioIndex, int videoIndex, CFlvBindProgress& job)
        : plan_(plan), out_(out), audioIndex_(audioIndex), videoIndex_(videoIndex), job_(job) {
        held_.reserve(16);
    }

    // Copies one clip's span onto the time line after what is written; cut:
    // the pictures coded again at its start, when it has them.
    TRemuxResult Clip(const TRemuxClip& clip, const TRemuxClipPlan& p, const CRemuxCut* cut) {
        // The tags' data is lent to the writer where the walk's window holds
        // it, and written out before the window moves on or the clip ends.
        CRemuxTagWalk walk([](void* out) { return !out || ARMX_Release(static_cast<AvkRemux*>(out)) != 0; }, out_);
        // A dry run needs few data bytes: it walks the tags the file's
        // examination kept while the file is the one examined, and reads
        // only those bytes. The copy reads every tag anyway.
        const CTagDigestStore::Digest digest = out_ ? nullptr : CTagDigestStore::Shared().Find(clip.path);
        if (!walk.Open(clip.path, digest.get())) return {CRemux::kCannotOpenClip, clip.path};
        walk_ = &walk;
        const TRemuxResult r = Walk(clip, p, cut);
        walk_ = nullptr;
        if (r.code) return r;
        if (out_ && !ARMX_Release(out_)) return Failed(clip.path);
        if (!walk.StillWhole()) return Changed(clip.path);
        return r;
    }

    int64_t Elapsed() const { return elapsed_; }
    int64_t Packets() const { return packets_; }
    int64_t Bytes() const { return bytes_; }
    int64_t ClipsWithMedia() const { return media_; }

private:
    TRemuxResult Walk(const TRemuxClip& clip, const TRemuxClipPlan& p, const CRemuxCut* cut) {
        const bool cutEnd = !clip.toEnd;
        const int64_t endUnits = int64_t(clip.trimEnd) * kUnitsPerMs;
        // An exact start: the clip's time line starts with the picture on
        // show at the trim start, the pictures coded again come first and the
        // copy resumes at the next key picture. Otherwise it all starts at
        // the key picture.
        const bool exact = cut && cut->Needed() && p.video;
        const uint32_t start = exact ? cut->FirstShown() : cut && cut->OnKey() ? cut->KeyTime() : p.start;
        const uint32_t videoFrom = exact ? (cut->HasNextKey() ? cut->NextKeyTime() : UINT32_MAX) : start;
        const int64_t startUnits = int64_t(start) * kUnitsPerMs;
        // The sound block nearest the start may begin before it: the clip's
        // time line then starts with that block, the pictures a little later.
        origin_ = start;
        if (p.audio) {
            const CRemuxTagWalk::Mark firstTag = walk_->Here();
            const int64_t sound = FirstSound(p, start);
            if (sound >= 0 && sound < int64_t(origin_)) origin_ = uint32_t(sound);
            walk_->Back(firstTag);
        }
        bool keyWritten = false, videoDone = !p.video, audioDone = !p.audio;
        int64_t lastVideoT = -1, videoStep = 0, shownEnd = -1, audioEnd = -1;
        shift_ = 0;
        parameterSets_ = p.parameterSets.empty() ? nullptr : &p.parameterSets;
        if (exact && !WriteCut(*cut, shownEnd)) return Failed(clip.path);
        if (exact && !cut->HasNextKey()) videoDone = true;
        held_.clear();
        TagioFlvTag tag{};
        for (int count = 1; !(videoDone && audioDone); ++count) {
            if (count % kTagsPerReport == 0) {
                job_.position = (elapsed_ + int64_t(span_)) * kUnitsPerMs;
                if (job_.WaitWhilePaused() == CFlvBindProgress::kCancel) return {CRemux::kCancelled, {}};
            }
            const CRemuxTagWalk::Step step = walk_->Next(tag);
            if (step == CRemuxTagWalk::kReadFailed) return Unreadable(clip.path);
            if (step == CRemuxTagWalk::kMoveFailed) return Failed(clip.path);
            if (step == CRemuxTagWalk::kEnd) break;   // the end, or a tag cut short by it
            if ((tag.type != 8 && tag.type != 9) || tag.dataSize == 0) continue;
            const uint32_t t = tag.timestamp >= p.base ? tag.timestamp - p.base : 0;
            if (cutEnd && t > clip.trimEnd + kInterleaveMs) break;
            const bool isAudio = tag.type == 8;
            if (isAudio ? !p.audio || audioDone : !p.video || videoDone) continue;
            data_ = walk_->Data(tag, DataBytes(tag));
            if (!data_) return Unreadable(clip.path);
            if (IsConfig(tag)) {
                // A setup inside the span must be the one the file declares for the stream.
                const TRemuxStream& stream = isAudio ? plan_.audio : plan_.video;
                const std::vector<uint8_t>& setup = isAudio ? stream.setup : p.videoSetup;
                Payload p = PayloadOf(tag, data_, tag.dataSize, isAudio ? 2 : 5);
                // FLAC's record travels as its bare STREAMINFO.
                if (stream.flvCodec == TagioFourccFlac && p.size >= 8 + 34 && data_[p.offset] == 'f') {
                    p.offset += 8;
                    p.size = 34;
                }
                if (t >= start &&
                    (setup.size() != p.size || !std::equal(setup.begin(), setup.end(), data_ + p.offset)))
                    return {CRemux::kRefused, clip.path + ": its " +
                                                  (isAudio ? RemuxAudioName(stream.flvCodec) : RemuxVideoName(stream.flvCodec)) +
                                                  " setup changes at " + std::to_string(t) +
                                                  " ms; one file cannot hold both without re-encoding"};
                continue;
            }
            if (isAudio) {
                const int64_t units = std::max<int64_t>(0, BlockUnits(tag));
                const int64_t middle = int64_t(t) * kUnitsPerMs + units / 2;
                if (middle < startUnits) continue;   // nearer the start to leave it out
                if (cutEnd && middle > endUnits) {
                    audioDone = true;
                    continue;
                }
                if (HasPackets(tag) && tag.packetType != 1) continue;   // an end of sequence, a channel layout
                const Payload p = PayloadOf(tag, data_, tag.dataSize, plan_.audio.flvCodec == 10 ? 2 : 1);
                if (p.size == 0) continue;
                int64_t when = elapsed_ + shift_ + int64_t(t) - int64_t(origin_);
                when = std::max(when, std::max(elapsed_, lastAudioOut_ + 1));
                if (!Write(audioIndex_, data_ + p.offset, p.size, when, when, true, true))
                    return Failed(clip.path);
                lastAudioOut_ = when;
                audioEnd = std::max(audioEnd, when + units / kUnitsPerMs);
                span_ = std::max<int64_t>(span_, when - elapsed_);
                continue;
            }
            // Video.
            if (t < videoFrom) continue;
            if (cutEnd && t >= clip.trimEnd) {   // decoded from here on, shown at or after the end
                videoDone = true;
                continue;
            }
            if (HasPackets(tag) && tag.packetType != 1) continue;   // an end of sequence, metadata: no picture
            const bool key = tag.codecField1 == 1;
            if (!keyWritten && !key) continue;   // never start on a picture that needs an earlier one
            keyWritten = true;
            const int32_t cts = HasPackets(tag) ? tag.compositionTime : 0;
            if (lastVideoT >= 0 && int64_t(t) > lastVideoT) videoStep = int64_t(t) - lastVideoT;
            lastVideoT = t;
            if (cutEnd && int64_t(t) + cts >= int64_t(clip.trimEnd)) {
                held_.push_back({tag.filePosition, tag.dataSize, t, cts, key});
                continue;
            }
            if (!held_.empty()) {   // they come first in decode order, read back beside the window
                const uint8_t* const windowed = data_;
                for (const Held& h : held_)
                    if (!WriteVideo(tag, h.position, h.size, h.t, h.cts, h.key, shownEnd)) return Failed(clip.path);
                held_.clear();
                data_ = windowed;
            }
            if (!WriteLoadedVideo(tag, tag.dataSize, t, cts, key, true, shownEnd)) return Failed(clip.path);
        }
        // The next clip starts after the last picture shown and the last sound block.
        int64_t end = elapsed_;
        if (shownEnd >= 0) end = std::max(end, shownEnd + (videoStep > 0 ? videoStep : 1));
        if (audioEnd >= 0) end = std::max(end, audioEnd);
        media_ += (shownEnd >= 0 || audioEnd >= 0);
        elapsed_ = end;
        span_ = 0;
        return {};
    }

    TRemuxResult Changed(const std::string& path) const {
        return {CRemux::kCannotOpenClip, path + " changed while it was copied"};
    }

    // A read failed: a read error, or the file was cut short since it was opened.
    TRemuxResult Unreadable(const std::string& path) const {
        return walk_->StillWhole() ? TRemuxResult{CRemux::kCannotOpenClip, path} : Changed(path);
    }

    // How many of a tag's data bytes the walk must read for it: the copy
    // writes them all. A dry run reads a setup whole (to check it is the
    // stream's), a sound block only where its length is told from its
    // bytes, and of a picture with extended headers those headers (where its
    // payload starts); the others' sizes and packet types say what it needs.
    uint32_t DataBytes(const TagioFlvTag& t) const {
        if (out_ || IsConfig(t)) return t.dataSize;
        if (t.type == 8) return SoundBytes(t);
        return Flv_IsFourcc(t.codecField2) ? kHeaderBytes : 0;
    }

    // A sound block's length comes from its frames for MP3, ADPCM (its code
    // size) and the FourCC codecs (behind their extended headers); from
    // AAC's packet type; from the size for the others (or it is not told).
    static uint32_t SoundBytes(const TagioFlvTag& t) {
        const uint32_t codec = t.codecField1;
        return codec == 1 || codec == 2 || codec == 14 || Flv_IsFourcc(codec) ? t.dataSize : 0;
    }

    // Clip time of the first sound block nearer to `start` than to the one
    // before it; -1 when none is found near it. Reads from the file's position.
    int64_t FirstSound(const TRemuxClipPlan& p, uint32_t start) {
        TagioFlvTag tag{};
        while (walk_->Next(tag) == CRemuxTagWalk::kTag) {
            if (tag.type != 8 || tag.dataSize < 2 || IsConfig(tag)) continue;
            const uint32_t t = tag.timestamp >= p.base ? tag.timestamp - p.base : 0;
            if (t > start + kInterleaveMs) break;
            data_ = walk_->Data(tag, SoundBytes(tag));
            if (!data_) break;   // the walk that follows finds it unreadable
            if (int64_t(t) * kUnitsPerMs + std::max<int64_t>(0, BlockUnits(tag)) / 2 >= int64_t(start) * kUnitsPerMs)
                return t;
        }
        return -1;
    }

    // A packet not written: the writer says why, else the clip could not be read.
    TRemuxResult Failed(const std::string& path) const {
        const std::string why = ARMX_Error(out_);
        return why.empty() ? TRemuxResult{CRemux::kCannotOpenClip, path} : TRemuxResult{CRemux::kWriteFailed, why};
    }

    // lent: the data lies in the walk's window, where the writer may refer
    // to it until the window moves on.
    bool Write(int stream, const uint8_t* data, uint32_t size, int64_t dts, int64_t pts, bool key, bool lent) {
        ++packets_;
        bytes_ += size;
        if (!out_) return true;
        return (lent ? ARMX_WriteLent : ARMX_Write)(out_, stream, data, int(size), dts, pts, key ? 1 : 0) != 0;
    }

    // like: a tag of the stream (its codec fields); the held tag's bytes are read from position.
    bool WriteVideo(const TagioFlvTag& like, int64_t position, uint32_t size, uint32_t t, int32_t cts, bool key,
                    int64_t& shownEnd) {
        if (block_.size() < size) block_.resize(size);
        const uint32_t read = out_ ? size : std::min<uint32_t>(size, kHeaderBytes);
        if (FileReadAble_ReadAt(walk_->File(), position + 11, block_.data(), read) != int64_t(read)) return false;
        data_ = block_.data();
        TagioFlvTag held = like;
        held.dataSize = size;
        return WriteLoadedVideo(held, size, t, cts, key, false, shownEnd);
    }

    // The picture at data_ (in the walk's window when windowed): its
    // payload after the FLV video headers.
    bool WriteLoadedVideo(const TagioFlvTag& tag, uint32_t size, uint32_t t, int32_t cts, bool key, bool windowed,
                          int64_t& shownEnd) {
        const uint32_t flv = plan_.video.flvCodec;
        const uint32_t skip = flv == 7 || flv == TagioCodecHevc ? 5 : flv == 4 ? 2 : 1;
        const Payload p = PayloadOf(tag, data_, std::min<uint32_t>(size, out_ ? size : kHeaderBytes), skip);
        if (p.size == 0) return true;
        const int64_t dts = std::max(elapsed_ + shift_ + int64_t(t) - int64_t(origin_), lastVideoDts_ + 1);
        const int64_t pts = std::max(dts, dts + cts);
        const uint8_t* data = data_ + p.offset;
        uint32_t bytes = p.size;
        bool lent = windowed;
        if (key && parameterSets_) {   // the clip's own parameter sets come first
            bytes += uint32_t(parameterSets_->size());
            if (out_) {
                data = WithParameterSets(data, p.size);
                lent = false;
            }
        }
        if (!Write(videoIndex_, data, bytes, dts, pts, key, lent)) return false;
        lastVideoDts_ = dts;
        shownEnd = std::max(shownEnd, pts);
        span_ = std::max<int64_t>(span_, dts - elapsed_);
        return true;
    }

    // A key picture's NAL units with the clip's parameter sets in front
    // (after an access unit delimiter), in composed_.
    const uint8_t* WithParameterSets(const uint8_t* picture, uint32_t size) {
        const std::vector<uint8_t>& record = plan_.video.setup;
        const uint32_t at = ParameterSetsOffset(plan_.video.flvCodec, record.data(), uint32_t(record.size()),
                                                picture, size);
        composed_.assign(picture, picture + at);
        composed_.insert(composed_.end(), parameterSets_->begin(), parameterSets_->end());
        composed_.insert(composed_.end(), picture + at, picture + size);
        return composed_.data();
    }

    // The pictures coded again, from the one on show at the trim start. They are stored
    // in the order they are shown, so their decode times are squeezed in
    // just before the next key picture's; when that would reach back before
    // the clip's start, the whole clip moves later (sound with it).
    bool WriteCut(const CRemuxCut& cut, int64_t& shownEnd) {
        const int n = cut.Count();
        int size = 0;
        int64_t pts = 0;
        bool key = false;
        const int64_t nextDts =
            cut.HasNextKey() ? elapsed_ + int64_t(cut.NextKeyTime()) - int64_t(origin_) : INT64_MAX;
        auto dtsOf = [&](int i, int64_t shownAt) { return std::min(shownAt, nextDts - (n - i)); };
        cut.Packet(0, size, pts, key);
        const int64_t firstDts = dtsOf(0, elapsed_ + pts - int64_t(origin_));
        shift_ = std::max<int64_t>(0, std::max(elapsed_, lastVideoDts_ + 1) - firstDts);
        for (int i = 0; i < n; ++i) {
            const uint8_t* data = cut.Packet(i, size, pts, key);
            const int64_t shownAt = elapsed_ + pts - int64_t(origin_);
            const int64_t dts = dtsOf(i, shownAt) + shift_;
            if (!Write(videoIndex_, data, uint32_t(size), dts, shownAt + shift_, key, false)) return false;
            lastVideoDts_ = dts;
            shownEnd = std::max(shownEnd, shownAt + shift_);
        }
        return true;
    }

    // The sound block's length in 100 ns (its SoundBytes at data_); -1
    // when it cannot be told.
    int64_t BlockUnits(const TagioFlvTag& t) const {
        const TRemuxStream& a = plan_.audio;
        if (t.dataSize < 2) return -1;
        // AAC's first payload byte is its packet type, all its length hangs
        // on; the other codecs without SoundBytes read none of theirs.
        const uint8_t packetType = uint8_t(t.packetType);
        const Payload p = Flv_IsFourcc(t.codecField1) ? PayloadOf(t, data_, t.dataSize, 1)
                                                      : Payload{1, t.dataSize - 1};
        const uint8_t* payload = SoundBytes(t) ? data_ + p.offset : &packetType;
        return CalcFLVAudioBlockDuration(payload, p.size, int(t.codecField1), a.sampleRate,
                                         t.codecField3 ? 2 : 1, t.codecField4 ? 2 : 1);
    }

    // A picture's headers, all a dry run reads of it (the longest: a
    // multitrack HEVC tag's, 13 bytes).
    static constexpr uint32_t kHeaderBytes = 16;

    const CRemuxPlan& plan_;
    AvkRemux* out_;
    int audioIndex_, videoIndex_;
    CFlvBindProgress& job_;
    int64_t elapsed_ = 0;   // ms: where the clip being copied starts on the output's time line
    uint32_t origin_ = 0;   // clip time of elapsed_
    int64_t shift_ = 0;     // ms the clip moves later to keep decode times in order
    int64_t span_ = 0;      // ms: how far into it the copy is
    int64_t lastVideoDts_ = -1, lastAudioOut_ = -1;
    int64_t media_ = 0;
    int64_t packets_ = 0, bytes_ = 0;   // written (or, in a dry run, to be written)
    std::vector<Held> held_;
    std::vector<uint8_t> block_;   // a held picture read back
    CRemuxTagWalk* walk_ = nullptr;   // of the clip being copied
    const uint8_t* data_ = nullptr;   // the data of the tag in hand
    const std::vector<uint8_t>* parameterSets_ = nullptr;   // for each key picture of the clip
    std::vector<uint8_t> composed_;                          // a key picture with them
};

}  // namespace

TRemuxResult CRemux::Run(const std::vector<TRemuxClip>& clips, const TRemuxContainer& container,
                         const std::vector<std::pair<std::string, std::string>>& tags, const std::string& output,
                         bool audio, bool video, bool exact, CFlvBindProgress& job) {
    int64_t totalMs = 0;
    for (const auto& c : clips) totalMs += c.trimEnd > c.trimStart ? c.trimEnd - c.trimStart : 0;
    job.position = 0;
    job.total = totalMs * kUnitsPerMs;
    if (clips.empty()) return {kNoMedia, {}};
    CRemuxPlan plan;
    if (TRemuxResult r = plan.Make(clips, container, audio, video); r.code) return r;

    // Exact starts: the pictures before the next key picture coded again,
    // their parameter sets added to the one setup all clips share.
    std::vector<std::unique_ptr<CRemuxCut>> cuts(clips.size());
    TRemuxStream v = plan.video;
    const TRemuxStream& a = plan.audio;
    for (size_t i = 0; exact && v.flvCodec == 7 && i < clips.size(); ++i) {
        if (!plan.clips[i].video) continue;
        if (job.WaitWhilePaused() == CFlvBindProgress::kCancel) return {kCancelled, {}};
        auto cut = std::make_unique<CRemuxCut>();
        std::string why;
        if (!cut->Make(clips[i].path, plan.clips[i].base, clips[i].trimStart, clips[i].trimEnd, !clips[i].toEnd,
                       plan.video.setup, why))
            return {kRefused, why};
        if (cut->Needed()) {
            const std::vector<uint8_t> setup = cut->Setup();
            if (v.setup != plan.video.setup && v.setup != setup)
                return {kRefused, clips[i].path + ": its start needs other H.264 parameter sets than the clips' before"};
            v.setup = setup;
        }
        cuts[i] = std::move(cut);
    }

    std::unique_ptr<AvkRemux, RemuxDeleter> out(ARMX_Create(container.muxer, output.c_str()));
    if (!out) return {kWriteFailed, "cannot write " + output};
    int videoIndex = -1, audioIndex = -1;
    if (v.present) {
        const uint8_t* setup = v.setup.empty() ? nullptr : v.setup.data();
        // HEVC in MP4 and MOV is tagged hvc1 (its parameter sets in the setup), which Apple's players need;
        // hev1 where later clips bring other parameter sets in band, which hvc1 does not allow.
        const bool isobmff = v.codec == 173 && std::string(container.muxer) != "matroska";
        const uint32_t fourcc = !isobmff        ? 0
                                : v.setupInBand ? uint32_t('h') | uint32_t('e') << 8 | uint32_t('v') << 16 | uint32_t('1') << 24
                                                : uint32_t('h') | uint32_t('v') << 8 | uint32_t('c') << 16 | uint32_t('1') << 24;
        videoIndex = ARMX_AddVideo(out.get(), v.codec, fourcc, v.width, v.height, setup, int(v.setup.size()));
    }
    if (a.present) {
        const uint8_t* setup = a.setup.empty() ? nullptr : a.setup.data();
        audioIndex = ARMX_AddAudio(out.get(), a.codec, a.sampleRate, a.channels, a.bytesPerSample * 8, setup,
                                   int(a.setup.size()));
    }
    if ((v.present && videoIndex < 0) || (a.present && audioIndex < 0))
        return {kRefused, std::string(ARMX_Error(out.get())) + " (" + container.name + ")"};
    for (const auto& [key, value] : tags) ARMX_SetTag(out.get(), key.c_str(), value.c_str());
    for (const TRemuxClip& c : clips) ARMX_AddChapter(out.get(), c.title.c_str());

    // MP4 and MOV write their chapter track with the header: the clips'
    // times are worked out first by a dry run over the tag headers.
    std::vector<std::pair<int64_t, int64_t>> spans;
    if (std::string(container.muxer) != "matroska") {
        Copier dry(plan, nullptr, audioIndex, videoIndex, job);
        for (size_t i = 0; i < clips.size(); ++i) {
            const int64_t start = dry.Elapsed();
            if (TRemuxResult r = dry.Clip(clips[i], plan.clips[i], cuts[i].get()); r.code) return r;
            spans.emplace_back(start, dry.Elapsed());
            ARMX_SetChapterTime(out.get(), int(i), start, dry.Elapsed());
        }
        job.position = 0;
        // A large file gets room for its index before the media instead of
        // being written twice to move the index there. Each picture or sound
        // block costs the index at most a few dozen bytes (size, time,
        // composition offset, chunk offset, key flag).
        if (dry.Bytes() > kIndexRoomFrom) ARMX_SetIndexRoom(out.get(), dry.Packets() * 64 + (256 << 10));
    }
    if (!ARMX_Begin(out.get())) return {kWriteFailed, ARMX_Error(out.get())};

    Copier copier(plan, out.get(), audioIndex, videoIndex, job);
    for (size_t i = 0; i < clips.size(); ++i) {
        const int64_t start = copier.Elapsed();
        if (TRemuxResult r = copier.Clip(clips[i], plan.clips[i], cuts[i].get()); r.code) return r;
        // A clip changed since the dry run: its chapter would lie.
        if (!spans.empty() && spans[i] != std::pair{start, copier.Elapsed()})
            return {kCannotOpenClip, clips[i].path + " changed while it was copied"};
        ARMX_SetChapterTime(out.get(), int(i), start, copier.Elapsed());
    }
    if (copier.ClipsWithMedia() == 0) return {kNoMedia, clips[0].path};
    if (!ARMX_End(out.get())) return {kWriteFailed, ARMX_Error(out.get())};
    job.position = job.total.load();
    return {};
}
