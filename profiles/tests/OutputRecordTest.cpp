#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "profiles/OutputRecord.h"
#include "profiles/ProfileDocument.h"

using namespace profiles;

namespace {

// One profile per shape the rules treat differently.
constexpr const char* kProfiles = R"(<NewDataSet><ExportFormats><ExportCategory Caption="Test">
  <ExportFormat FormatID="1" Caption="AVI" FileFormat="avi" FileExt="avi" DefSize="640x480" DefBtr="800"
                DefBtrTor="2000" DefFPS="29.97" VideoCodec="13" FourCC="XVID" AudioCodec="86017"
                DefSampleRate="44100" DefABtr="128000" DefChannel="2" AudioOnly="0" DAR="4/3">
    <SupportedSizes AllowOrg="1" AllowCustom="1"><SupportedSize>320x240</SupportedSize><SupportedSize>640x480</SupportedSize><SupportedSize>0x0</SupportedSize></SupportedSizes>
    <SupportedFPSS AllowOrg="1" AllowCustom="1"><SupportedFPS>25</SupportedFPS><SupportedFPS>29.97</SupportedFPS></SupportedFPSS>
    <SupportedSampleRates><SupportedSample>22050</SupportedSample><SupportedSample>44100</SupportedSample></SupportedSampleRates>
    <SupportedAudioBitRates><SupportedAudioBitRate>96000</SupportedAudioBitRate><SupportedAudioBitRate>128000</SupportedAudioBitRate></SupportedAudioBitRates>
    <SupportedChannels><SupportedChannel Caption="mono"/><SupportedChannel Caption="stereo"/></SupportedChannels>
  </ExportFormat>
  <ExportFormat FormatID="2" Caption="Join" FileFormat="FLVBind" FileExt="flv" VideoCodec="22" AudioCodec="86017"/>
  <ExportFormat FormatID="3" Caption="Sound" FileFormat="mp3" FileExt="mp3" VideoCodec="13" AudioCodec="86017"
                DefSampleRate="48000" DefABtr="192000" DefChannel="1" AudioOnly="1">
    <SupportedSampleRates><SupportedSample>44100</SupportedSample><SupportedSample>48000</SupportedSample></SupportedSampleRates>
    <SupportedAudioBitRates><SupportedAudioBitRate>128000</SupportedAudioBitRate><SupportedAudioBitRate>192000</SupportedAudioBitRate></SupportedAudioBitRates>
    <SupportedChannels><SupportedChannel Caption="Stereo"/></SupportedChannels>
  </ExportFormat>
  <ExportFormat FormatID="4" Caption="Pictures" FileFormat="png" FileExt="png" DefSize="160x120" DefBtr="1000"
                VideoCodec="64" AudioCodec="-1" AudioOnly="0">
    <SupportedSizes AllowOrg="0" AllowCustom="0"><SupportedSize>80x60</SupportedSize><SupportedSize>160x120</SupportedSize></SupportedSizes>
  </ExportFormat>
  <ExportFormat FormatID="5" Caption="Edge" FileFormat="mp4_with_a_very_long_name_abcdé" FileExt="mp4" DefBtr="3000000"
                DefBtrTor="-3000000" VideoCodec="28" AudioCodec="86018" DAR="16/0">
    <SupportedFPSS AllowOrg="0" AllowCustom="1"><SupportedFPS>15</SupportedFPS></SupportedFPSS>
    <SupportedSampleRates><SupportedSample>44100</SupportedSample></SupportedSampleRates>
  </ExportFormat>
  <ExportFormat FormatID="6" Caption="Codec 0" FileFormat="wav" FileExt="wav" AudioCodec="0" DefSampleRate="22050"
                DefABtr="64000" DefChannel="1" AudioOnly="1">
    <SupportedSampleRates><SupportedSample>22050</SupportedSample></SupportedSampleRates>
    <SupportedAudioBitRates><SupportedAudioBitRate>64000</SupportedAudioBitRate></SupportedAudioBitRates>
    <SupportedChannels><SupportedChannel Caption="mono"/></SupportedChannels>
  </ExportFormat>
</ExportCategory></ExportFormats></NewDataSet>)";

class OutputRecordTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(doc.Parse(kProfiles)); }
    TXMLExportFormatType Profile(int id) const {
        const TXMLExportCategoryType c = doc.ExportFormats().Item(0);
        for (int i = 0; i < c.Count(); ++i)
            if (c.Item(i).FormatID() == id) return c.Item(i);
        return TXMLExportFormatType();
    }
    // A record full of a marker, so fields the rules must not touch show it.
    static OutputSettings Marked() {
        OutputSettings r;
        std::memset(&r, 0x5A, sizeof r);
        return r;
    }
    TXMLNewDataSetType doc;
};

constexpr int32_t kMark = 0x5A5A5A5A;

TEST_F(OutputRecordTest, DefaultChoicesFollowTheProfilesDefaults) {
    const ProfileChoices avi = DefaultChoices(Profile(1));
    EXPECT_TRUE(avi.includeVideo);
    EXPECT_TRUE(avi.includeAudio);
    EXPECT_EQ(avi.size, 1);        // DefSize 640x480
    EXPECT_EQ(avi.frameRate, 1);   // DefFPS 29.97
    EXPECT_EQ(avi.videoBitRateKbps, 800);
    EXPECT_EQ(avi.sampleRate, 1);
    EXPECT_EQ(avi.audioBitRate, 1);
    EXPECT_EQ(avi.channel, 1);

    const ProfileChoices sound = DefaultChoices(Profile(3));
    EXPECT_FALSE(sound.includeVideo);
    EXPECT_EQ(sound.sampleRate, 1);
    EXPECT_EQ(sound.audioBitRate, 1);
    EXPECT_EQ(sound.channel, 0);

    // No default in the list and "original" not offered: the first entry.
    const ProfileChoices pictures = DefaultChoices(Profile(4));
    EXPECT_EQ(pictures.size, 1);
    EXPECT_EQ(pictures.frameRate, ProfileChoices::kOriginal);   // no rates listed
    EXPECT_FALSE(pictures.includeAudio);
    EXPECT_EQ(DefaultChoices(Profile(5)).frameRate, 0);
}

TEST_F(OutputRecordTest, BuildsTheRecordFromProfileAndChoices) {
    struct Case {
        const char* name;
        int profile;
        std::function<void(ProfileChoices&)> choose;
        RecordResult result;
        std::function<void(const OutputSettings&)> check;
    };
    const Case cases[] = {
        {"defaults", 1, [](ProfileChoices&) {}, RecordResult::kOk,
         [](const OutputSettings& r) {
             EXPECT_STREQ(r.fileFormat, "avi");
             EXPECT_STREQ(r.fileExt, "avi");
             EXPECT_EQ(r.videoCodec, 13);
             EXPECT_EQ(r.width, 640);
             EXPECT_EQ(r.height, 480);
             EXPECT_EQ(r.videoBitRate, 800000);
             EXPECT_EQ(r.bitRateTolerance, 2000000);
             EXPECT_DOUBLE_EQ(r.frameRate, 29.97);
             EXPECT_DOUBLE_EQ(r.aspectRatio, 4.0 / 3.0);
             EXPECT_EQ(r.fourCC, 0x44495658u);   // 'X' in the lowest byte
             EXPECT_EQ(r.videoParameter, 0);
             EXPECT_EQ(r.scaling, 0);
             EXPECT_EQ(r.audioCodec, 86017);
             EXPECT_EQ(r.sampleRate, 44100);
             EXPECT_EQ(r.audioBitRate, 128000);
             EXPECT_EQ(r.channels, 2);
             EXPECT_EQ(r.reserved1, kMark);   // never written
             EXPECT_EQ(r.cutMode, kMark);
         }},
        {"original size and rate, letterbox", 1,
         [](ProfileChoices& c) {
             c.size = c.frameRate = ProfileChoices::kOriginal;
             c.letterbox = true;
         },
         RecordResult::kOk,
         [](const OutputSettings& r) {
             EXPECT_EQ(r.width, -1);
             EXPECT_EQ(r.height, -1);
             EXPECT_EQ(r.frameRate, 0.0);
             EXPECT_EQ(r.scaling, 2);
         }},
        {"custom size kept in range, custom rate", 1,
         [](ProfileChoices& c) {
             c.size = c.frameRate = ProfileChoices::kCustom;
             c.customWidth = 5;
             c.customHeight = 9000;
             c.customFrameRate = 12.5;
         },
         RecordResult::kOk,
         [](const OutputSettings& r) {
             EXPECT_EQ(r.width, 20);
             EXPECT_EQ(r.height, 3000);
             EXPECT_DOUBLE_EQ(r.frameRate, 12.5);
         }},
        {"a listed 0x0 is the source size", 1, [](ProfileChoices& c) { c.size = 2; }, RecordResult::kOk,
         [](const OutputSettings& r) { EXPECT_EQ(r.width, -1); }},
        {"mono chosen", 1, [](ProfileChoices& c) { c.channel = 0; }, RecordResult::kOk,
         [](const OutputSettings& r) { EXPECT_EQ(r.channels, 1); }},
        {"video left out: its fields untouched", 1, [](ProfileChoices& c) { c.includeVideo = false; },
         RecordResult::kOk,
         [](const OutputSettings& r) {
             EXPECT_EQ(r.videoCodec, -1);
             EXPECT_EQ(r.width, kMark);
             EXPECT_EQ(r.audioCodec, 86017);
         }},
        {"audio left out", 1, [](ProfileChoices& c) { c.includeAudio = false; }, RecordResult::kOk,
         [](const OutputSettings& r) {
             EXPECT_EQ(r.audioCodec, -1);
             EXPECT_EQ(r.sampleRate, kMark);
         }},
        {"nothing left", 1, [](ProfileChoices& c) { c.includeAudio = c.includeVideo = false; }, RecordResult::kNoStream,
         nullptr},
        {"size position past the list", 1, [](ProfileChoices& c) { c.size = 3; }, RecordResult::kBadChoice, nullptr},
        {"sample rate position past the list", 1, [](ProfileChoices& c) { c.sampleRate = 2; }, RecordResult::kBadChoice,
         nullptr},
        // A join copies the files as they are: both codecs whatever was
        // chosen, and only the first 64 bytes and the codecs change.
        {"join", 2, [](ProfileChoices& c) { c.includeVideo = c.includeAudio = false; }, RecordResult::kOk,
         [](const OutputSettings& r) {
             EXPECT_STREQ(r.fileFormat, "FLVBind");
             EXPECT_STREQ(r.fileExt, "flv");
             EXPECT_EQ(r.videoCodec, 22);
             EXPECT_EQ(r.audioCodec, 86017);
             EXPECT_EQ(r.sampleRate, kMark);
             EXPECT_EQ(r.width, kMark);
             EXPECT_EQ(r.scaling, kMark);
         }},
        {"audio only: video never written", 3, [](ProfileChoices& c) { c.includeVideo = true; }, RecordResult::kOk,
         [](const OutputSettings& r) {
             EXPECT_EQ(r.videoCodec, -1);
             EXPECT_EQ(r.width, kMark);
             EXPECT_EQ(r.sampleRate, 48000);
             EXPECT_EQ(r.audioBitRate, 192000);
             EXPECT_EQ(r.channels, 2);   // the only entry says stereo: not "position + 1"
         }},
        {"audio only without audio", 3, [](ProfileChoices& c) { c.includeAudio = false; }, RecordResult::kNoStream,
         nullptr},
        {"audio codec 0 still gets its sound fields", 6, [](ProfileChoices&) {}, RecordResult::kOk,
         [](const OutputSettings& r) {
             EXPECT_EQ(r.audioCodec, 0);
             EXPECT_EQ(r.sampleRate, 22050);
             EXPECT_EQ(r.audioBitRate, 64000);
             EXPECT_EQ(r.channels, 1);
         }},
        {"audio codec 0 with a sample rate past the list", 6, [](ProfileChoices& c) { c.sampleRate = 1; },
         RecordResult::kBadChoice, nullptr},
        {"pictures: no sound, no listed rate", 4, [](ProfileChoices&) {}, RecordResult::kOk,
         [](const OutputSettings& r) {
             EXPECT_EQ(r.audioCodec, -1);
             EXPECT_EQ(r.sampleRate, kMark);
             EXPECT_EQ(r.videoCodec, 64);
             EXPECT_EQ(r.width, 160);
             EXPECT_EQ(r.frameRate, 0.0);
             EXPECT_EQ(r.aspectRatio, 0.0);
             EXPECT_EQ(r.fourCC, 0u);
         }},
        {"pictures asked for sound they cannot have", 4, [](ProfileChoices& c) { c.includeAudio = true; },
         RecordResult::kOk, [](const OutputSettings& r) { EXPECT_EQ(r.audioCodec, -1); }},
        {"edges: long name, overflow, bad ratio, no lists", 5, [](ProfileChoices&) {}, RecordResult::kOk,
         [](const OutputSettings& r) {
             // 31 bytes would end inside the first "é": cut before it.
             EXPECT_STREQ(r.fileFormat, "mp4_with_a_very_long_name_abcd");
             EXPECT_EQ(r.videoBitRate, INT32_MAX);
             EXPECT_EQ(r.bitRateTolerance, INT32_MIN);
             EXPECT_EQ(r.aspectRatio, 0.0);
             EXPECT_EQ(r.width, -1);
             EXPECT_DOUBLE_EQ(r.frameRate, 15.0);
             EXPECT_EQ(r.audioBitRate, 0);   // none listed: the engine's default
             EXPECT_EQ(r.channels, 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TXMLExportFormatType p = Profile(c.profile);
        ProfileChoices choices = DefaultChoices(p);
        c.choose(choices);
        OutputSettings r = Marked();
        ASSERT_EQ(BuildOutputSettings(p, choices, r), c.result);
        if (c.check)
            c.check(r);
        else
            EXPECT_EQ(r.fileFormat[0], 0x5A) << "a refused record was written";
    }
}

TEST(OutputRecordText, CutsAtCharacterBoundariesAndPacksCodes) {
    EXPECT_EQ(CutUtf8("abc", 31), "abc");
    EXPECT_EQ(CutUtf8("ab\xC3\xA9", 3), "ab");            // 2-byte character cut
    EXPECT_EQ(CutUtf8("ab\xC3\xA9", 4), "ab\xC3\xA9");
    EXPECT_EQ(CutUtf8("a\xE2\x82\xAC" "b", 3), "a");        // 3-byte euro sign
    EXPECT_EQ(CutUtf8("\xF0\x9F\x8E\xAC", 3), "");          // 4-byte clapper board
    EXPECT_EQ(PackFourCC("DIVX"), 0x58564944u);
    EXPECT_EQ(PackFourCC("mp4v2"), PackFourCC("mp4v"));
    EXPECT_EQ(PackFourCC(""), 0u);
    EXPECT_DOUBLE_EQ(AspectRatioOf("16/9"), 16.0 / 9.0);
    for (const char* none : {"", "16:9", "a/b", "16/0", "-4/3", "4/"}) EXPECT_EQ(AspectRatioOf(none), 0.0) << none;
}

}  // namespace
