#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "bus/BaseException.h"
#include "bus/MediaExamination.h"
#include "projcore/projcore.h"
#include "render/FLVCache.h"

namespace {

std::string Fixture(const std::string& name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

// Examines through the engine's command, as the shell does.
MediaFileInfo Examine(const std::string& path) {
    struct Silent : CBaseListener {
        void OnMessage(void*, int32_t, intptr_t, intptr_t) override {}
    } static host;
    CBaseListener* mgr = GetProjectMgr(&host);
    MediaFileInfo info{};
    info.path = path.c_str();
    DirectSendMessage(mgr, msg::kProjectExamineMedia, reinterpret_cast<intptr_t>(&info), sizeof info);
    return info;
}

TEST(MediaExamination, FlvFactsAgreeWithFfprobe) {
    struct Case {
        const char* file;
        int32_t videoCodec, audioFormat, width, height;
        double fps;
        int32_t sampleRate, channels;
        uint32_t ffprobeMs;
    };
    const Case cases[] = {
        {"flv1_mp3_160x120.flv", 2, 2, 160, 120, 25, 22050, 2, 3050},
        {"flv1_mp3_320x240.flv", 2, 2, 320, 240, 25, 22050, 2, 3050},
        {"flv1_mp3_640x360.flv", 2, 2, 640, 360, 25, 22050, 2, 2050},
        {"flv1_adpcm_160x120.flv", 2, 1, 160, 120, 25, 22050, 1, 3158},
        {"flv1_nelly_160x120.flv", 2, 6, 160, 120, 25, 22050, 1, 3015},
        {"flv1_nelly8k_160x120.flv", 2, 5, 160, 120, 15, 8000, 1, 2016},
        {"flv1_pcm16_160x120.flv", 2, 3, 160, 120, 25, 11025, 1, 2000},
        {"flv1_video_only_160x120.flv", 2, -1, 160, 120, 15, 0, 0, 3000},
        {"mp3_audio_only.flv", -1, 2, 0, 0, 0, 44100, 1, 3025},
        // H.264 (the size from its setup) + AAC (rate and channels from its
        // setup, not from the FLV fields, which always claim 44100 Hz stereo).
        {"h264_aac_160x120.flv", 7, 10, 160, 120, 25, 44100, 2, 3080},
        {"h264_aac_bf2_160x120.flv", 7, 10, 160, 120, 25, 44100, 2, 3080},
        // The sound ends after the pictures (ffprobe's last packet: 2123 ms).
        {"h264_aac22k_bf2_160x120.flv", 7, 10, 160, 120, 25, 22050, 2, 2123},
        {"flashsv_speex_160x120.flv", 3, 11, 160, 120, 15, 16000, 1, 2009},
        {"flashsv2_160x120.flv", 6, -1, 160, 120, 15, 0, 0, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const MediaFileInfo info = Examine(Fixture(c.file));
        EXPECT_EQ(info.isFlv, 1);
        EXPECT_EQ(info.videoCodec, c.videoCodec);
        EXPECT_EQ(info.audioFormat, c.audioFormat);
        if (c.videoCodec != -1) {
            EXPECT_EQ(info.width, c.width);
            EXPECT_EQ(info.height, c.height);
            // The pictures' own rate, however long the sound runs on.
            EXPECT_NEAR(info.frameRate, c.fps, c.fps * 0.005);
        }
        if (c.audioFormat != -1) {
            EXPECT_EQ(info.sampleRate, c.sampleRate);
            EXPECT_EQ(info.channels, c.channels);
        }
        const double frame = c.fps > 0 ? 1000.0 / c.fps : 50.0;
        EXPECT_NEAR(static_cast<double>(info.duration), c.ffprobeMs, frame);
        EXPECT_EQ(info.imageFormat[0], '\0');
    }
    DeleteProjectMgr();
}

TEST(MediaExamination, PicturesGetTheirTimingRules) {
    struct Case {
        const char* file;
        const char* format;
        int32_t frames;
        double fps;
        uint32_t duration;
    };
    const Case cases[] = {
        {"still_160x120.jpg", "JPEG", 1, 25.0, 5000},
        {"still_160x120.png", "PNG", 1, 25.0, 5000},
        {"still_64x48.bmp", "BMP", 1, 25.0, 5000},
        {"anim_64x48_5x100ms.gif", "GIF", 5, 10.0, 500},
        {"anim_1x1_delays_0_5_5.gif", "GIF", 3, 15.0, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const MediaFileInfo info = Examine(Fixture(c.file));
        EXPECT_EQ(info.isFlv, 0);
        EXPECT_STREQ(info.imageFormat, c.format);
        EXPECT_EQ(info.frameCount, c.frames);
        EXPECT_DOUBLE_EQ(info.imageFrameRate, c.fps);
        EXPECT_EQ(info.duration, c.duration);
    }
    DeleteProjectMgr();
}

TEST(MediaExamination, TheNameDecidesAndFailuresCarryTheirCodes) {
    TempDir dir;
    const std::string upper = dir.File("CLIP.FLV");
    std::filesystem::copy_file(Fixture("flv1_mp3_160x120.flv"), upper);
    EXPECT_EQ(Examine(upper).isFlv, 1);
    EXPECT_GT(Examine(upper).duration, 3000u);

    struct Case {
        std::string path;
        int32_t code;  // 0: the bare integer
    };
    const Case cases[] = {
        {"a.fl", 10580022},
        {"", 10580022},
        {Fixture("flv1_alaw_160x120.flv"), 10070001},   // G.711 sound: still refused
        {Fixture("codecs/unknown_fourcc_vvc9.flv"), 10070001},   // a FourCC nobody knows
        {Fixture("bad_signature.flv"), 10070002},
        {Fixture("bad_empty.flv"), 10070002},
        {dir.File("missing.flv"), 10070002},
        {Fixture("README.md"), 0},
        {dir.File("missing.png"), 0},
        {dir.File("fifo.flv"), 10580022},     // would wait for a writer for ever
        {dir.File("folder.flv"), 10580022},
    };
    ASSERT_EQ(mkfifo(dir.File("fifo.flv").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.File("folder.flv"));
    CFLVCache cache;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        MediaFileInfo info{};
        info.path = c.path.c_str();
        try {
            ExamineMediaFile(cache, info);
            ADD_FAILURE() << "examined";
        } catch (const CBaseException& e) {
            EXPECT_EQ(e.Code(), c.code);
        } catch (int) {
            EXPECT_EQ(c.code, 0);
        }
        // Through the command nothing escapes and every output stays zero.
        const MediaFileInfo shown = Examine(c.path);
        EXPECT_EQ(shown.duration, 0u);
        EXPECT_EQ(shown.videoCodec, 0);
        EXPECT_EQ(shown.isFlv, 0);
    }
    EXPECT_EQ(cache.OpenReaders(), 0u);  // failed opens leave nothing behind
    DeleteProjectMgr();
}

TEST(FlvCache, SharesOneReaderPerFileWhileItIsUsed) {
    CFLVCache cache;
    const std::string path = Fixture("flv1_mp3_160x120.flv");
    FLVAVTagReaderHandle a = nullptr, b = nullptr;
    FLVInfo info{};
    ASSERT_EQ(cache.GetReader(path, &a, &info), CFLVCache::kOk);
    EXPECT_EQ(info.videoCodec, 2);
    ASSERT_EQ(cache.GetReader(path, &b, nullptr), CFLVCache::kOk);
    EXPECT_EQ(a, b);
    EXPECT_EQ(cache.OpenReaders(), 1u);

    FLVAVTagReaderHandle other = nullptr;
    const std::string spelledOtherwise = std::string(VELTRANO_FIXTURES_DIR) + "/./flv1_mp3_160x120.flv";
    ASSERT_EQ(cache.GetReader(spelledOtherwise, &other, nullptr), CFLVCache::kOk);
    EXPECT_NE(other, a);
    EXPECT_EQ(cache.OpenReaders(), 2u);

    cache.ReleaseReader(a);
    EXPECT_EQ(cache.OpenReaders(), 2u);  // still used once
    cache.ReleaseReader(b);
    cache.ReleaseReader(other);
    EXPECT_EQ(cache.OpenReaders(), 0u);  // nothing keeps the files open

    FLVAVTagReaderHandle audio = nullptr;
    EXPECT_EQ(cache.GetReader(Fixture("mp3_audio_only.flv"), &audio, &info), CFLVCache::kOk);
    EXPECT_EQ(info.videoCodec, -1);
    cache.ReleaseReader(audio);
}

TEST(FlvCache, RefusalsSayWhy) {
    CFLVCache cache;
    FLVAVTagReaderHandle r = reinterpret_cast<FLVAVTagReaderHandle>(1);
    FLVInfo info{};
    EXPECT_EQ(cache.GetReader(Fixture("flv1_alaw_160x120.flv"), &r, &info), CFLVCache::kUnsupportedCodec);
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(info.videoCodec, 2);
    EXPECT_EQ(info.audioFormat, 7);
    EXPECT_EQ(cache.GetReader(Fixture("still_160x120.png"), &r, &info), CFLVCache::kCannotOpen);
    EXPECT_EQ(info.videoCodec, -1);
    EXPECT_EQ(info.audioFormat, -1);
    EXPECT_EQ(cache.OpenReaders(), 0u);
}

TEST(FlvCache, AFileChangedOnDiskIsIndexedAgain) {
    TempDir dir;
    const std::string path = dir.File("clip.flv");
    std::filesystem::copy_file(Fixture("flv1_mp3_160x120.flv"), path);
    CFLVCache cache;
    FLVAVTagReaderHandle before = nullptr, after = nullptr;
    FLVInfo info{};
    ASSERT_EQ(cache.GetReader(path, &before, &info), CFLVCache::kOk);
    EXPECT_EQ(info.width, 160);

    std::filesystem::copy_file(Fixture("flv1_mp3_320x240.flv"), path,
                               std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(cache.GetReader(path, &after, &info), CFLVCache::kOk);
    EXPECT_NE(after, before);
    EXPECT_EQ(info.width, 320);
    EXPECT_EQ(cache.OpenReaders(), 2u);  // the old reader stays for its user
    FLVInfo old{};
    EXPECT_EQ(FLVAVTagReader_GetFLVInfoEx(before, &old), 1);
    EXPECT_EQ(old.width, 160);
    cache.ReleaseReader(before);
    cache.ReleaseReader(after);
    EXPECT_EQ(cache.OpenReaders(), 0u);
}

}  // namespace
