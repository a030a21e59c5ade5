#include "convert/RemuxPlan.h"

#include <algorithm>
#include <memory>

#include "convert/FlvBindProbe.h"
#include "convert/SetupInBand.h"
#include "render/TagDigestStore.h"
#include "tagio/tagio.h"

namespace {

struct ReaderDeleter {
    void operator()(TagioFileReadAble* f) const { DeleteFileReadAble(f); }
};

const int kPcmRates[4] = {5512, 11025, 22050, 44100};

std::string Describe(const TagioCodecSetup& s) {
    if (s.width > 0)
        return std::to_string(s.width) + "x" + std::to_string(s.height) + ", profile " + std::to_string(s.profile) +
               ", level " + std::to_string(s.level);
    return std::to_string(s.sampleRate) + " Hz, " + std::to_string(s.channels) + " channels" +
           (s.codec == 10 ? ", object type " + std::to_string(s.profile) : std::string());
}

// A loaded setup tag's record, past its headers.
bool SetupPayload(const TagioFlvTag& config, TagioTagLayout& l) {
    return Flv_ReadTagLayout(config.type, config.data, config.dataSize, config.dataSize, &l) && l.payloadSize > 0;
}

// AC-3, E-AC-3 and MP3 by FourCC have no setup: their first frame says the
// format. False when no frame says it.
bool FrameSoundFormat(TagioFileReadAble* file, int64_t firstTag, uint32_t codec, int& rate, int& channels) {
    FileReadAble_Seek(file, firstTag, 0);
    TagioFlvTag tag{};
    bool found = false;
    for (int i = 0; i < 64 && !found && Flv_ReadTag(file, 1, &tag); ++i) {
        if (tag.type != 8 || tag.codecField1 != codec || tag.packetType != 1 || !tag.audioPayload) continue;
        int32_t r = 0, c = 0;
        found = Flv_ReadSoundFrameFormat(codec, tag.audioPayload, tag.audioPayloadSize, &r, &c) != 0;
        rate = r;
        channels = c;
    }
    Flv_FreeTag(&tag);
    return found;
}

// The stream as this clip's file holds it.
TRemuxStream StreamOf(const CFlvBindProbe& probe, bool isVideo) {
    TRemuxStream s;
    s.present = true;
    if (isVideo) {
        s.flvCodec = probe.VideoCodec();
        s.codec = RemuxVideoCodec(s.flvCodec);
        s.width = int(probe.Width());
        s.height = int(probe.Height());
        const TagioFlvTag& config = probe.VideoConfig();
        TagioTagLayout l;
        if (Flv_HasPacketType(9, s.flvCodec) && config.type && SetupPayload(config, l)) {
            s.setup.assign(config.data + l.payloadOffset, config.data + l.payloadOffset + l.payloadSize);
            if (probe.VideoSetup().width > 0) {
                s.width = probe.VideoSetup().width;
                s.height = probe.VideoSetup().height;
            }
        }
        return s;
    }
    s.flvCodec = probe.SoundFormat();
    s.bytesPerSample = probe.SoundSize() ? 2 : 1;
    s.codec = RemuxAudioCodec(s.flvCodec, uint32_t(s.bytesPerSample));
    s.channels = probe.SoundType() ? 2 : 1;
    s.sampleRate = s.flvCodec == 14 ? 8000 : kPcmRates[probe.SoundRate() & 3];
    const TagioFlvTag& config = probe.AudioConfig();
    TagioTagLayout l;
    if (Flv_HasPacketType(8, s.flvCodec) && config.type && SetupPayload(config, l)) {
        const uint8_t* p = config.data + l.payloadOffset;
        uint32_t n = l.payloadSize;
        // FLAC: the writers take the bare STREAMINFO.
        if (s.flvCodec == TagioFourccFlac && n >= 8 + 34 && p[0] == 'f' && p[1] == 'L' && p[2] == 'a' && p[3] == 'C') {
            p += 8;
            n = 34;
        }
        s.setup.assign(p, p + n);
        s.sampleRate = probe.AudioSetup().sampleRate;
        if (probe.AudioSetup().channels > 0) s.channels = probe.AudioSetup().channels;
    }
    if (Flv_IsFourcc(s.flvCodec)) s.bytesPerSample = 2;
    return s;
}

// Whether a later clip's setup can follow the first one's in band. HEVC:
// both readable, with NAL lengths of one size (its parameter sets are put in
// band). AV1: the record's fixed fields equal (profile, level, tier, bit
// depth, chroma), for they describe every picture; its sequence header comes
// with every key frame anyway.
bool FollowsInBand(const TRemuxStream& mine, const TRemuxStream& first) {
    if (mine.flvCodec == TagioFourccAv1)
        return mine.setup.size() >= 4 && first.setup.size() >= 4 &&
               std::equal(mine.setup.begin(), mine.setup.begin() + 4, first.setup.begin());
    if (mine.flvCodec != TagioCodecHevc && mine.flvCodec != TagioFourccHevc) return false;
    std::vector<uint8_t> sets;
    return mine.setup.size() >= 23 && first.setup.size() >= 23 && (mine.setup[21] & 3) == (first.setup[21] & 3) &&
           SetupParameterSets(mine.flvCodec, mine.setup.data(), uint32_t(mine.setup.size()), sets);
}

// VP6 as FLV stores it: each picture's first byte says how much of the
// coded size to crop. Decoders take the first picture's as the codec setup
// (and the copied pictures go without it).
std::vector<uint8_t> Vp6Adjustment(TagioFileReadAble* file, int64_t firstTag) {
    FileReadAble_Seek(file, firstTag, 0);
    TagioFlvTag tag{};
    uint8_t d[2];
    while (Flv_ReadTag(file, 0, &tag))
        if (tag.type == 9 && tag.dataSize >= 2)
            return FileReadAble_ReadAt(file, tag.filePosition + 11, d, 2) == 2 ? std::vector<uint8_t>{d[1]}
                                                                                : std::vector<uint8_t>{};
    return {};
}

}  // namespace

TRemuxResult CRemuxPlan::Make(const std::vector<TRemuxClip>& list, const TRemuxContainer& container,
                              bool wantAudio, bool wantVideo) {
    clips.clear();
    audio = video = TRemuxStream{};
    const CFlvBindProbe* firstOf[2] = {nullptr, nullptr};
    std::vector<uint8_t> lastVideoSetup;   // the video setup of the clip before
    std::vector<std::unique_ptr<CFlvBindProbe>> probes;
    for (const TRemuxClip& clip : list) {
        std::unique_ptr<TagioFileReadAble, ReaderDeleter> file(CreateFileReadAble(clip.path.c_str()));
        if (!file) return {CRemux::kCannotOpenClip, clip.path};
        TagioFlvHeader header{};
        auto probe = std::make_unique<CFlvBindProbe>();
        if (!Flv_ReadHeader(file.get(), &header)) return {CRemux::kNotFlv, clip.path};
        const int64_t firstTag = FileReadAble_GetPosition(file.get());
        // The tag headers come from the walk the file's examination kept,
        // while the file is the one examined: only the setups are read.
        const CTagDigestStore::Digest digest = CTagDigestStore::Shared().Find(clip.path);
        CFlvTagWalk walk(file.get(), digest.get());
        if (!probe->Run(walk, header, clip.trimStart)) return {CRemux::kNotFlv, clip.path};
        TRemuxClipPlan plan;
        plan.base = probe->Base();
        plan.audio = wantAudio && probe->HasAudio();
        plan.video = wantVideo && probe->HasVideo();
        plan.start = plan.video && probe->HasKeyFrameStart() ? probe->KeyFrameTime() : clip.trimStart;
        for (int s = 1; s >= 0; --s) {   // the pictures' refusal first
            const bool isVideo = s == 1;
            if (!(isVideo ? plan.video : plan.audio)) continue;
            const std::string refusal = isVideo ? RemuxVideoRefusal(container, probe->VideoCodec())
                                                : RemuxAudioRefusal(container, probe->SoundFormat());
            if (!refusal.empty()) return {CRemux::kRefused, clip.path + ": " + refusal};
            TRemuxStream mine = StreamOf(*probe, isVideo);
            if (isVideo && mine.flvCodec == 4) mine.setup = Vp6Adjustment(file.get(), firstTag);
            if (!isVideo && Flv_IsFourcc(mine.flvCodec) && mine.setup.empty() &&
                !FrameSoundFormat(file.get(), firstTag, mine.flvCodec, mine.sampleRate, mine.channels))
                return {CRemux::kRefused, clip.path + ": " + RemuxAudioName(mine.flvCodec) + " whose format no frame says"};
            const bool needsSetup = Flv_HasPacketType(isVideo ? 9 : 8, mine.flvCodec) && mine.flvCodec != TagioFourccVp9 &&
                                    mine.flvCodec != TagioFourccAc3 && mine.flvCodec != TagioFourccEac3 &&
                                    mine.flvCodec != TagioFourccMp3;
            if (needsSetup && mine.setup.empty())
                return {CRemux::kRefused, clip.path + ": " + (isVideo ? RemuxVideoName(mine.flvCodec) : RemuxAudioName(mine.flvCodec)) +
                                              (isVideo ? " pictures without a readable sequence header" : " without a readable setup")};
            TRemuxStream& out = isVideo ? video : audio;
            if (isVideo) {
                plan.videoSetup = mine.setup;
                // In band wherever a decoder could hold other sets: after the
                // clip before, or when it starts at one of the clip's key
                // pictures with the file's sets (a seek).
                if (!lastVideoSetup.empty() && (mine.setup != lastVideoSetup || (video.present && mine.setup != video.setup)))
                    SetupParameterSets(mine.flvCodec, mine.setup.data(), uint32_t(mine.setup.size()),
                                       plan.parameterSets);
                lastVideoSetup = mine.setup;
            }
            if (!out.present) {
                out = std::move(mine);
                firstOf[s] = probe.get();
                continue;
            }
            // One sample description per stream: the setups must be the same bytes.
            const std::string difference = probe->Difference(*firstOf[s]);
            if (!difference.empty()) return {CRemux::kRefused, clip.path + ": " + difference};
            // HEVC whose parameter sets change: the new ones go in band
            // with each of the clip's key pictures, whose NAL lengths must be
            // the size the stream declares. AV1 whose sequence header changes.
            if (isVideo && mine.setup != out.setup && FollowsInBand(mine, out)) {
                out.setupInBand = out.setupInBand || !plan.parameterSets.empty();
            } else if (mine.setup != out.setup) {
                const TagioCodecSetup& a = isVideo ? probe->VideoSetup() : probe->AudioSetup();
                const TagioCodecSetup& b = isVideo ? firstOf[s]->VideoSetup() : firstOf[s]->AudioSetup();
                return {CRemux::kRefused,
                        clip.path + ": its " + (isVideo ? RemuxVideoName(mine.flvCodec) : RemuxAudioName(mine.flvCodec)) + " setup (" + Describe(a) +
                            ") differs from the first clip's (" + Describe(b) + ")" +
                            (Describe(a) == Describe(b) ? " in its parameter sets" : "") +
                            "; one file cannot hold both without re-encoding"};
            }
        }
        clips.push_back(plan);
        probes.push_back(std::move(probe));
    }
    if (!audio.present && !video.present) return {CRemux::kNoMedia, list.empty() ? std::string() : list[0].path};
    return {};
}
