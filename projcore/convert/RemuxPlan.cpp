#include "convert/RemuxPlan.h"

#include <memory>

#include "convert/FlvBindProbe.h"
#include "tagio/tagio.h"

namespace {

struct ReaderDeleter {
    void operator()(TagioFileReadAble* f) const { DeleteFileReadAble(f); }
};

const int kPcmRates[4] = {5512, 11025, 22050, 44100};

std::string Describe(const TagioCodecSetup& s) {
    if (s.codec == 7)
        return std::to_string(s.width) + "x" + std::to_string(s.height) + ", profile " + std::to_string(s.profile) +
               ", level " + std::to_string(s.level);
    return std::to_string(s.sampleRate) + " Hz, " + std::to_string(s.channels) + " channels, object type " +
           std::to_string(s.profile);
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
        if (s.flvCodec == 7 && config.type && config.dataSize > 5) {
            s.setup.assign(config.data + 5, config.data + config.dataSize);
            s.width = probe.VideoSetup().width;
            s.height = probe.VideoSetup().height;
        }
        return s;
    }
    s.flvCodec = probe.SoundFormat();
    s.bytesPerSample = probe.SoundSize() ? 2 : 1;
    s.codec = RemuxAudioCodec(s.flvCodec, uint32_t(s.bytesPerSample));
    s.channels = probe.SoundType() ? 2 : 1;
    s.sampleRate = s.flvCodec == 14 ? 8000 : kPcmRates[probe.SoundRate() & 3];
    const TagioFlvTag& config = probe.AudioConfig();
    if (s.flvCodec == 10 && config.type && config.dataSize > 2) {
        s.setup.assign(config.data + 2, config.data + config.dataSize);
        s.sampleRate = probe.AudioSetup().sampleRate;
        if (probe.AudioSetup().channels > 0) s.channels = probe.AudioSetup().channels;
    }
    return s;
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
    std::vector<std::unique_ptr<CFlvBindProbe>> probes;
    for (const TRemuxClip& clip : list) {
        std::unique_ptr<TagioFileReadAble, ReaderDeleter> file(CreateFileReadAble(clip.path.c_str()));
        if (!file) return {CRemux::kCannotOpenClip, clip.path};
        TagioFlvHeader header{};
        auto probe = std::make_unique<CFlvBindProbe>();
        if (!Flv_ReadHeader(file.get(), &header)) return {CRemux::kNotFlv, clip.path};
        const int64_t firstTag = FileReadAble_GetPosition(file.get());
        if (!probe->Run(file.get(), header, clip.trimStart)) return {CRemux::kNotFlv, clip.path};
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
            const bool needsSetup = mine.flvCodec == 7 || (!isVideo && mine.flvCodec == 10);
            if (needsSetup && mine.setup.empty())
                return {CRemux::kRefused, clip.path + (isVideo ? ": H.264 pictures without a readable sequence header"
                                                               : ": AAC sound without a readable setup")};
            TRemuxStream& out = isVideo ? video : audio;
            if (!out.present) {
                out = std::move(mine);
                firstOf[s] = probe.get();
                continue;
            }
            // One sample description per stream: the setups must be the same bytes.
            const std::string difference = probe->Difference(*firstOf[s]);
            if (!difference.empty()) return {CRemux::kRefused, clip.path + ": " + difference};
            if (mine.setup != out.setup) {
                const TagioCodecSetup& a = isVideo ? probe->VideoSetup() : probe->AudioSetup();
                const TagioCodecSetup& b = isVideo ? firstOf[s]->VideoSetup() : firstOf[s]->AudioSetup();
                return {CRemux::kRefused,
                        clip.path + ": its " + (isVideo ? "H.264 setup (" : "AAC setup (") + Describe(a) +
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
