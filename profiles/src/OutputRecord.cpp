#include "profiles/OutputRecord.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "profiles/ProfileNumbers.h"

namespace profiles {

namespace {

constexpr int kMinCustomSide = 20, kMaxCustomSide = 3000;

// kbit/s from the profile as bit/s; saturates instead of overflowing.
int32_t KbpsToBps(int kbps) {
    const long long bps = static_cast<long long>(kbps) * 1000;
    return static_cast<int32_t>(std::clamp<long long>(bps, std::numeric_limits<int32_t>::min(),
                                                      std::numeric_limits<int32_t>::max()));
}

void CopyText(char (&field)[32], std::string_view text) {
    const std::string cut = CutUtf8(text, sizeof field - 1);
    std::memset(field, 0, sizeof field);
    std::memcpy(field, cut.data(), cut.size());
}

bool ValidPosition(int choice, int count) {
    return choice == ProfileChoices::kOriginal || choice == ProfileChoices::kCustom || (choice >= 0 && choice < count);
}

// Which streams the output gets; the same for checking and for writing.
struct Streams {
    bool bind = false;
    int videoCodec = -1, audioCodec = -1;
};

Streams StreamsOf(const TXMLExportFormatType& p, const ProfileChoices& c) {
    Streams s;
    s.bind = IsBindProfile(p);
    if (s.bind) {   // a join copies what the files hold: both streams stay
        s.videoCodec = p.VideoCodec();
        s.audioCodec = p.AudioCodec();
        return s;
    }
    // Without sample rates to choose from the output cannot have sound.
    const TXMLSupportedSampleRatesType rates = p.SupportedSampleRates();
    const bool audioOffered = rates && rates.Count() > 0;
    if (c.includeAudio && audioOffered) s.audioCodec = p.AudioCodec() < 0 ? -1 : p.AudioCodec();
    if (p.AudioOnly() != 1 && c.includeVideo) s.videoCodec = p.VideoCodec() < 0 ? -1 : p.VideoCodec();
    return s;
}

void FillVideo(const TXMLExportFormatType& p, const ProfileChoices& c, OutputSettings& r) {
    r.width = r.height = -1;
    if (c.size == ProfileChoices::kCustom) {
        r.width = std::clamp(c.customWidth, kMinCustomSide, kMaxCustomSide);
        r.height = std::clamp(c.customHeight, kMinCustomSide, kMaxCustomSide);
    } else if (c.size >= 0) {
        // A listed "0x0" (or any size that is not one) means the source's.
        const auto size = ParseSize(p.SupportedSizes().Item(c.size));
        if (size && size->width > 0 && size->height > 0) {
            r.width = size->width;
            r.height = size->height;
        }
    }
    r.videoBitRate = KbpsToBps(c.videoBitRateKbps);
    r.bitRateTolerance = KbpsToBps(p.DefBtrTor());
    if (c.frameRate == ProfileChoices::kOriginal)
        r.frameRate = 0;
    else if (c.frameRate == ProfileChoices::kCustom)
        r.frameRate = std::isfinite(c.customFrameRate) ? c.customFrameRate : 30.0;
    else
        r.frameRate = p.SupportedFPSS().Item(c.frameRate);
    r.aspectRatio = AspectRatioOf(p.DAR());
    r.fourCC = PackFourCC(p.FourCC());
    r.videoParameter = 0;
    r.scaling = c.letterbox ? 2 : 0;
}

void FillAudio(const TXMLExportFormatType& p, const ProfileChoices& c, OutputSettings& r) {
    r.sampleRate = p.SupportedSampleRates().Item(c.sampleRate);
    const TXMLSupportedAudioBitRatesType rates = p.SupportedAudioBitRates();
    r.audioBitRate = rates && rates.Count() > 0 ? rates.Item(c.audioBitRate) : 0;
    const TXMLSupportedChannelsType channels = p.SupportedChannels();
    r.channels = 0;   // none offered: the engine's default
    if (channels && channels.Count() > 0) {
        // The layout comes from the entry's caption, not from its place in
        // the list: a list holding only "stereo" still gives stereo.
        const int count = channels.Item(c.channel).ChannelCount();
        r.channels = count > 0 ? count : c.channel + 1;
    }
}

}  // namespace

bool IsBindProfile(const TXMLExportFormatType& profile) {
    // The FLV join and the outputs that copy the clips' streams into MP4, MOV or MKV.
    for (const char* copying : {"flvbind", "mp4remux", "movremux", "mkvremux"})
        if (strcasecmp(profile.FileFormat().c_str(), copying) == 0) return true;
    return false;
}

ProfileChoices DefaultChoices(const TXMLExportFormatType& p) {
    ProfileChoices c;
    c.includeVideo = p.AudioOnly() != 1;
    const TXMLSupportedSampleRatesType rates = p.SupportedSampleRates();
    c.includeAudio = rates && rates.Count() > 0;
    c.videoBitRateKbps = p.DefBtr();

    if (const TXMLSupportedSizesType sizes = p.SupportedSizes(); sizes && sizes.Count() > 0) {
        c.size = sizes.AllowOrg() == 1 ? ProfileChoices::kOriginal : 0;
        for (int i = 0; i < sizes.Count(); ++i)
            if (sizes.Item(i) == p.DefSize()) c.size = i;
    }
    if (const TXMLSupportedFPSSType fps = p.SupportedFPSS(); fps && fps.Count() > 0) {
        c.frameRate = fps.AllowOrg() == 1 ? ProfileChoices::kOriginal : 0;
        // Compared as the list prints them, so 29.97 finds "29.970".
        const std::string wanted = FormatNumber(p.DefFPS());
        for (int i = fps.Count() - 1; i >= 0; --i)
            if (FormatNumber(fps.Item(i)) == wanted) c.frameRate = i;
    }
    for (int i = rates ? rates.Count() - 1 : -1; i >= 0; --i)
        if (rates.Item(i) == p.DefSampleRate()) c.sampleRate = i;
    const TXMLSupportedAudioBitRatesType bitRates = p.SupportedAudioBitRates();
    for (int i = bitRates ? bitRates.Count() - 1 : -1; i >= 0; --i)
        if (bitRates.Item(i) == p.DefABtr()) c.audioBitRate = i;
    // The default channel is chosen by its caption: the first entry showing it.
    const TXMLSupportedChannelsType channels = p.SupportedChannels();
    if (channels && p.DefChannel() >= 1 && p.DefChannel() <= channels.Count()) {
        const std::string caption = channels.Item(p.DefChannel() - 1).Caption();
        for (int i = channels.Count() - 1; i >= 0; --i)
            if (strcasecmp(channels.Item(i).Caption().c_str(), caption.c_str()) == 0) c.channel = i;
    }
    return c;
}

RecordResult BuildOutputSettings(const TXMLExportFormatType& p, const ProfileChoices& c, OutputSettings& r) {
    const Streams s = StreamsOf(p, c);
    if (!s.bind) {
        if (s.videoCodec < 0 && s.audioCodec < 0) return RecordResult::kNoStream;
        const TXMLSupportedSizesType sizes = p.SupportedSizes();
        const TXMLSupportedFPSSType fps = p.SupportedFPSS();
        if (s.videoCodec >= 0 && (!ValidPosition(c.size, sizes ? sizes.Count() : 0) ||
                                  !ValidPosition(c.frameRate, fps ? fps.Count() : 0)))
            return RecordResult::kBadChoice;
        if (s.audioCodec >= 0) {
            const auto inList = [](int choice, int count) { return count == 0 || (choice >= 0 && choice < count); };
            const TXMLSupportedAudioBitRatesType bitRates = p.SupportedAudioBitRates();
            const TXMLSupportedChannelsType channels = p.SupportedChannels();
            if (c.sampleRate < 0 || c.sampleRate >= p.SupportedSampleRates().Count() ||
                !inList(c.audioBitRate, bitRates ? bitRates.Count() : 0) ||
                !inList(c.channel, channels ? channels.Count() : 0))
                return RecordResult::kBadChoice;
        }
    }
    CopyText(r.fileFormat, p.FileFormat());
    CopyText(r.fileExt, p.FileExt());
    r.videoCodec = s.videoCodec;
    r.audioCodec = s.audioCodec;
    if (s.bind) return RecordResult::kOk;
    if (s.videoCodec >= 0) FillVideo(p, c, r);
    // Every codec the output names, 0 included, gets its sound fields: a
    // codec without a sample rate would be opened with nonsense.
    if (s.audioCodec >= 0) FillAudio(p, c, r);
    return RecordResult::kOk;
}

std::string CutUtf8(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    size_t end = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

uint32_t PackFourCC(std::string_view text) {
    uint32_t v = 0;
    for (size_t i = 0; i < text.size() && i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(text[i])) << (8 * i);
    return v;
}

double AspectRatioOf(std::string_view dar) {
    const auto slash = dar.find('/');
    if (slash == std::string_view::npos) return 0;
    const auto a = ParseNumber(dar.substr(0, slash)), b = ParseNumber(dar.substr(slash + 1));
    if (!a || !b || *b == 0) return 0;
    const double ratio = *a / *b;
    return std::isfinite(ratio) && ratio > 0 ? ratio : 0;
}

}  // namespace profiles
