#include <gtest/gtest.h>

#include <cstring>

#include "convert/OutputSettings.h"

namespace {

OutputSettings Record(const char* format, int32_t audio, int32_t video) {
    OutputSettings s{};
    std::strncpy(s.fileFormat, format, sizeof s.fileFormat - 1);
    s.audioCodec = audio;
    s.videoCodec = video;
    return s;
}

TEST(OutputSettings, CorrectionsBringValuesIntoRange) {
    OutputSettings s = Record("mp4", 86018, 28);
    s.width = 321;
    s.height = 0;
    s.frameRate = -1;
    s.aspectRatio = -1.5;
    s.scaling = 7;
    s.videoParameter = 0;
    CorrectOutputSettings(s);
    EXPECT_EQ(s.sampleRate, 44100);
    EXPECT_EQ(s.audioBitRate, 128000);
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.width, 322);   // odd sizes are raised to even
    EXPECT_EQ(s.height, 240);
    EXPECT_EQ(s.videoBitRate, 1600000);
    EXPECT_EQ(s.bitRateTolerance, 4000000);
    EXPECT_EQ(s.frameRate, 25.0);
    EXPECT_EQ(s.aspectRatio, 0.0);
    EXPECT_EQ(s.videoParameter, -1);
    EXPECT_EQ(s.scaling, 2);

    OutputSettings soundOnly = Record("mp3", 86017, -1);
    soundOnly.width = 3;
    CorrectOutputSettings(soundOnly);
    EXPECT_EQ(soundOnly.width, 3);  // no video: its fields are left alone
    EXPECT_EQ(soundOnly.channels, 2);
}

TEST(OutputSettings, FormatNamesIgnoreCaseAndFourCCPacksLowFirst) {
    EXPECT_TRUE(IsOutputFormat(Record("FLVBIND", 2, 2), "flvbind"));
    EXPECT_FALSE(IsOutputFormat(Record("flvbind2", 2, 2), "flvbind"));
    OutputSettings full = Record("", -1, -1);
    std::memset(full.fileFormat, 'a', sizeof full.fileFormat);  // no terminating zero
    EXPECT_FALSE(IsOutputFormat(full, "asf"));
    EXPECT_EQ(PackFourCC('X', 'V', 'I', 'D'), 0x44495658u);
}

}  // namespace
