// The shipped profile file, read through the element classes: every profile
// builds a record the engine's writers accept, for its defaults and for each
// entry of its lists.
#include <gtest/gtest.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "avkit/FramePicture.h"
#include "avkit/avkit.h"
#include "profiles/OutputRecord.h"
#include "profiles/ProfileDocument.h"
#include "profiles/ProfileNumbers.h"
#include "wmvwriter/wmvwriter.h"

using namespace profiles;

namespace {

bool Is(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

std::string TempFile(const std::string& ext) {
    static int n = 0;
    return "/tmp/builtin-profile-" + std::to_string(::getpid()) + "-" + std::to_string(n++) + "." + ext;
}

// The record as the conversion manager completes it for a 160x120 source.
OutputSettings Completed(OutputSettings r) {
    if (r.videoCodec != -1) {
        if (r.width == -1 && r.height == -1) r.width = 160, r.height = 120;
        if (r.frameRate == 0) r.frameRate = 25;
        if (r.videoBitRate < 1) r.videoBitRate = 1600000;
    }
    if (r.audioCodec != -1 && r.audioBitRate < 1) r.audioBitRate = 128000;
    return r;
}

// Opens an avkit writer the way a conversion job does and, when `frames`,
// writes a little picture and sound. Empty when it worked, else what failed.
std::string TryAvkit(const OutputSettings& record, bool frames) {
    const OutputSettings r = Completed(record);
    const bool video = r.videoCodec != -1, audio = r.audioCodec != -1;
    AvkWriter* w = AVW_Create(video, audio);
    if (r.fourCC) AVW_SetFourCC(w, r.fourCC);
    AVW_SetStretchMode(w, r.scaling);
    if (r.aspectRatio != 0) AVW_SetAspectRatio(w, r.aspectRatio);
    if (r.bitRateTolerance) AVW_SetVideoBitrateTolerance(w, r.bitRateTolerance);
    if (video) AVW_SetupVideoParams(w, r.videoCodec, r.videoBitRate, r.width, r.height, r.frameRate, -1, -1, -1);
    if (audio) AVW_SetupAudioParams(w, r.audioCodec, r.audioBitRate, r.sampleRate, r.channels);
    AVW_SetOutputFormat(w, r.fileFormat);
    const std::string path = TempFile(r.fileExt);
    AVW_SetOutFile(w, path.c_str());
    std::string failed;
    if (!AVW_Open(w)) {
        failed = "AVW_Open";
    } else if (frames) {
        const std::vector<uint8_t> picture(160 * 120 * 4, 0x80);
        const std::vector<uint8_t> sound(44100 / 5 * 4, 0);
        for (int i = 0; i < 5 && failed.empty(); ++i) {
            if (video && !AVW_WriteVideoFrame(w, picture.data(), 160, 120)) failed = "AVW_WriteVideoFrame";
            if (audio && !AVW_WriteAudioFrame(w, sound.data(), static_cast<int>(sound.size()), 44100, 2))
                failed = "AVW_WriteAudioFrame";
        }
    }
    if (!AVW_Close(w) && failed.empty() && frames) failed = "AVW_Close";
    AVW_Delete(w);
    std::remove(path.c_str());
    return failed;
}

// The ASF writer, as a conversion job opens it (no video: the "sound only" value).
std::string TryAsf(const OutputSettings& record) {
    OutputSettings r = Completed(record);
    if (r.audioCodec == -1) r.sampleRate = 44100, r.audioBitRate = 64000, r.channels = 2;   // the job's silent track
    const bool video = r.videoCodec != -1;
    AsfEncoder* e = AsfEnc_Create();
    std::string failed;
    if (video) AsfEnc_SetComplexity(e, 1), AsfEnc_SetStretchMode(e, r.scaling);
    const int ok = video ? AsfEnc_SetEncodingParams(e, r.width, r.height, r.videoBitRate, r.videoCodec, r.frameRate,
                                                    r.sampleRate, r.channels, r.audioBitRate)
                         : AsfEnc_SetEncodingParams(e, 0, 0, r.videoBitRate, ASFENC_NO_VIDEO, r.frameRate, r.sampleRate,
                                                    r.channels, r.audioBitRate);
    const std::string path = TempFile(r.fileExt);
    if (!ok) {
        failed = "AsfEnc_SetEncodingParams";
    } else if (!AsfEnc_Open(e, path.c_str())) {
        failed = "AsfEnc_Open";
    } else {
        const std::vector<uint8_t> sound(static_cast<size_t>(r.sampleRate) / 5 * 2 * r.channels, 0);
        if (!AsfEnc_WriteAudio(e, sound.data(), static_cast<int>(sound.size()), 0, 2000000)) failed = "AsfEnc_WriteAudio";
        if (video) {
            const std::vector<uint8_t> picture(static_cast<size_t>(r.width) * r.height * 4, 0x80);
            if (!AsfEnc_WriteVideo(e, picture.data(), static_cast<int>(picture.size()), 0, 400000))
                failed = "AsfEnc_WriteVideo";
        }
        if (!AsfEnc_Close(e) && failed.empty()) failed = "AsfEnc_Close";
    }
    AsfEnc_Delete(e);
    std::remove(path.c_str());
    return failed;
}

// What the engine does with the record's format: a join, pictures, the ASF
// writer, or the avkit writer with the format's name.
std::string TryRecord(const OutputSettings& r, bool frames) {
    // The join and the remux outputs copy what the clips hold: no encoder to try.
    for (const char* copying : {"flvbind", "mp4remux", "movremux", "mkvremux"})
        if (Is(r.fileFormat, copying)) return "";
    if (Is(r.fileFormat, "asf")) return TryAsf(r);
    if (Is(r.fileFormat, "jpeg") || Is(r.fileFormat, "png") || Is(r.fileFormat, "bmp")) {
        const OutputSettings c = Completed(r);
        const std::vector<uint8_t> picture(static_cast<size_t>(c.width) * c.height * 4, 0x80);
        const std::string path = TempFile(r.fileExt);
        const int ok = AvkWriteFramePicture(path.c_str(), picture.data(), c.width, c.height, c.width * 4);
        std::remove(path.c_str());
        return ok ? "" : "AvkWriteFramePicture";
    }
    return TryAvkit(r, frames);
}

class BuiltInProfiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(doc.LoadFile(VELTRANO_PROFILE_FILE, &error)) << VELTRANO_PROFILE_FILE << "\n\n" << error;
        const TXMLExportFormatsType formats = doc.ExportFormats();
        for (int c = 0; c < formats.Count(); ++c)
            for (int f = 0; f < formats.Item(c).Count(); ++f) all.push_back(formats.Item(c).Item(f));
    }
    TXMLNewDataSetType doc;
    std::vector<TXMLExportFormatType> all;
};

TEST_F(BuiltInProfiles, LayoutAndIdentifiers) {
    const TXMLExportFormatsType formats = doc.ExportFormats();
    ASSERT_GE(formats.Count(), 14) << "categories 4 to 13 are the portable devices group";
    ASSERT_LE(formats.Count(), 25) << "the chooser has icons for 25 category positions";
    EXPECT_EQ(formats.Item(0).Count(), 0) << "the first category is the user's own and ships empty";
    for (int c = 1; c < formats.Count(); ++c) EXPECT_GT(formats.Item(c).Count(), 0) << formats.Item(c).Caption();
    std::set<int> ids;
    std::set<std::string> captions;
    for (const auto& p : all) {
        EXPECT_GT(p.FormatID(), 0) << p.Caption();
        EXPECT_TRUE(ids.insert(p.FormatID()).second) << "FormatID used twice: " << p.FormatID();
        EXPECT_TRUE(captions.insert(p.Caption()).second) << "caption used twice: " << p.Caption();
        EXPECT_LE(p.FileFormat().size(), 31u) << p.Caption();
        EXPECT_FALSE(p.FileExt().empty()) << p.Caption();
    }
}

// Every codec number is one of avkit's, with an encoder (AMR-NB is encoded
// through its own library), and the kinds the engine treats specially are
// consistent: pictures have no sound, a join keeps both streams.
TEST_F(BuiltInProfiles, CodecsAndFormatsAreOnesTheEngineWrites) {
    for (const auto& p : all) {
        SCOPED_TRACE(p.Caption());
        const std::string format = p.FileFormat();
        if (p.AudioOnly() == 1) {
            EXPECT_EQ(p.VideoCodec(), -1);
        } else {
            EXPECT_NE(AvkCodec_ToFFmpeg(p.VideoCodec()), 0) << "video codec " << p.VideoCodec();
            if (format != "flvbind") {
                EXPECT_NE(AvkCodec_EncoderName(p.VideoCodec()), nullptr);
            }
        }
        if (p.AudioCodec() != -1) {
            EXPECT_NE(AvkCodec_ToFFmpeg(p.AudioCodec()), 0) << "audio codec " << p.AudioCodec();
            if (format != "flvbind" && p.AudioCodec() != 73728) {
                EXPECT_NE(AvkCodec_EncoderName(p.AudioCodec()), nullptr);
            }
        }
        if (format == "jpeg" || format == "png" || format == "bmp") {
            EXPECT_EQ(p.FileExt(), format == "jpeg" ? "jpg" : format);
            EXPECT_EQ(p.AudioCodec(), -1);
            EXPECT_EQ(p.AudioOnly(), 0);
            EXPECT_FALSE(p.SupportedSampleRates());
        }
        if (format == "flvbind") {
            EXPECT_EQ(p.FileExt(), "flv");
            EXPECT_GE(p.VideoCodec(), 0);
            EXPECT_GE(p.AudioCodec(), 0);
        }
        if (p.AudioCodec() == 73728) {   // AMR-NB: 8 kHz mono only
            ASSERT_EQ(p.SupportedSampleRates().Count(), 1);
            EXPECT_EQ(p.SupportedSampleRates().Item(0), 8000);
            ASSERT_EQ(p.SupportedChannels().Count(), 1);
            EXPECT_EQ(p.SupportedChannels().Item(0).ChannelCount(), 1);
        }
        if (p.VideoCodec() == 5) {   // plain H.263 codes only its fixed sizes
            const std::set<std::string> legal = {"128x96", "176x144", "352x288", "704x576", "1408x1152"};
            EXPECT_EQ(p.SupportedSizes().AllowOrg(), 0);
            EXPECT_EQ(p.SupportedSizes().AllowCustom(), 0);
            for (int i = 0; i < p.SupportedSizes().Count(); ++i) EXPECT_TRUE(legal.count(p.SupportedSizes().Item(i)));
        }
    }
}

// The defaults name entries of the lists, so the output settings show them.
TEST_F(BuiltInProfiles, DefaultsAreEntriesOfTheLists) {
    for (const auto& p : all) {
        SCOPED_TRACE(p.Caption());
        const ProfileChoices c = DefaultChoices(p);
        const auto sizes = p.SupportedSizes();
        if (sizes && p.DefSize() != "0x0") {
            EXPECT_EQ(sizes.Item(c.size), p.DefSize());
        }
        const auto fps = p.SupportedFPSS();
        if (fps && p.DefFPS() != 0) {
            EXPECT_EQ(fps.Item(c.frameRate), p.DefFPS());
        }
        if (const auto rates = p.SupportedSampleRates(); rates) {
            EXPECT_EQ(rates.Item(c.sampleRate), p.DefSampleRate());
        }
        if (const auto bitRates = p.SupportedAudioBitRates(); bitRates) {
            EXPECT_EQ(bitRates.Item(c.audioBitRate), p.DefABtr());
        }
        if (const auto ch = p.SupportedChannels(); ch) {
            EXPECT_GE(p.DefChannel(), 1);
            EXPECT_LE(p.DefChannel(), ch.Count());
        }
    }
}

// The default record writes a small file; then every entry of every list,
// one at a time, still opens the writer.
TEST_F(BuiltInProfiles, EveryChoiceOpensTheEnginesWriter) {
    for (const auto& p : all) {
        SCOPED_TRACE(p.Caption());
        const ProfileChoices defaults = DefaultChoices(p);
        OutputSettings r{};
        ASSERT_EQ(BuildOutputSettings(p, defaults, r), RecordResult::kOk);
        EXPECT_EQ(TryRecord(r, true), "") << "defaults";

        // Elsewhere each entry is tried on its own stream; the PSP container
        // takes only one picture and one sound stream together.
        const bool both = Is(p.FileFormat().c_str(), "psp");
        auto tryChoice = [&](const char* what, int index, void (*set)(ProfileChoices&, int)) {
            ProfileChoices c = defaults;
            set(c, index);
            if (both) c.includeVideo = defaults.includeVideo, c.includeAudio = defaults.includeAudio;
            OutputSettings x{};
            ASSERT_EQ(BuildOutputSettings(p, c, x), RecordResult::kOk) << what << " " << index;
            EXPECT_EQ(TryRecord(x, false), "") << what << " entry " << index;
        };
        if (IsBindProfile(p)) continue;
        if (defaults.includeVideo) {
            for (int i = 0; i < p.SupportedSizes().Count(); ++i)
                tryChoice("size", i, [](ProfileChoices& c, int i) { c.size = i, c.includeAudio = false; });
            for (int i = 0; i < p.SupportedFPSS().Count(); ++i)
                tryChoice("frame rate", i, [](ProfileChoices& c, int i) { c.frameRate = i, c.includeAudio = false; });
        }
        if (defaults.includeAudio) {
            const bool audioOnly = p.AudioOnly() == 1;
            for (int i = 0; i < p.SupportedSampleRates().Count(); ++i)
                tryChoice("sample rate", i, audioOnly ? [](ProfileChoices& c, int i) { c.sampleRate = i; }
                                                      : [](ProfileChoices& c, int i) { c.sampleRate = i, c.includeVideo = false; });
            for (int i = 0; i < p.SupportedAudioBitRates().Count(); ++i)
                tryChoice("audio bit rate", i, [](ProfileChoices& c, int i) { c.audioBitRate = i, c.includeVideo = false; });
            for (int i = 0; i < p.SupportedChannels().Count(); ++i)
                tryChoice("channels", i, [](ProfileChoices& c, int i) { c.channel = i, c.includeVideo = false; });
        }
    }
}

}  // namespace
