// The conversion's picture path: pictures an encoder takes in the decoder's
// own 4:2:0 colour skip BGRA, and must come out as the pictures drawn in BGRA
// do (a lossless picture series goes that way); a watermark shown for part of
// a clip sends only its own pictures through BGRA.
#include <gtest/gtest.h>

#include "PvxTestSupport.h"
#include "TempDir.h"
#include "convert/Pvx.h"
#include "edit/CropMgr.h"
#include "edit/EffectMgr.h"
#include "edit/WaterMarkMgr.h"

using namespace pvxtest;

namespace {

// Nearly lossless H.264, so what is compared is the picture path, not the encoder.
OutputSettings Mp4(int width, int height, int scaling) {
    OutputSettings s = Settings("mp4", "mp4", 28, 86018, width, height);
    s.videoBitRate = 20000000;
    s.bitRateTolerance = 20000000;
    s.scaling = scaling;
    return s;
}

OutputSettings PngSeries(int width, int height, int scaling) {
    OutputSettings s = Settings("png", "png", 0, -1, width, height);
    s.scaling = scaling;
    return s;
}

}  // namespace

TEST(PvxPicturePath, PicturesKeptIn420MatchThePicturesDrawnInBgra) {
    ASSERT_TRUE(HaveTool("ffmpeg"));
    struct Case {
        const char* name;
        const char* fixture;
        Rect crop;
        int width, height, scaling;
        int32_t flip;
    };
    const Case cases[] = {
        {"same size", "flv1_mp3_320x240.flv", {0, 0, 0, 0}, 320, 240, 0, 0},
        {"scaled up", "flv1_mp3_160x120.flv", {0, 0, 0, 0}, 320, 240, 0, 0},
        {"cropped and scaled", "flv1_mp3_320x240.flv", {16, 8, 16, 8}, 320, 240, 0, 0},
        {"letterboxed at an even place", "flv1_mp3_320x240.flv", {0, 0, 0, 0}, 320, 180, 2, 0},
        {"letterboxed at an odd place", "flv1_mp3_320x240.flv", {0, 0, 0, 0}, 320, 200, 2, 0},
        {"cropped at odd margins", "flv1_mp3_320x240.flv", {7, 5, 9, 3}, 320, 240, 0, 0},
        {"mirrored", "flv1_mp3_320x240.flv", {0, 0, 0, 0}, 320, 240, 0, CEffectMgr::kLeftRight},
        {"upside down, letterboxed", "flv1_mp3_320x240.flv", {0, 0, 0, 0}, 320, 180, 2, CEffectMgr::kUpsideDown},
        {"H.264 mirrored", "h264_aac_bf2_160x120.flv", {0, 0, 0, 0}, 160, 120, 0, CEffectMgr::kLeftRight},
    };
    const int n = 12;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        CFLVSequence seq;
        auto clip = FlvClip(c.fixture, 0, 1000);
        clip->Crop().SetCropMargins(c.crop);
        clip->Effects().SetFlip(c.flip);
        Append(seq, std::move(clip));
        const JobResult mp4 = Convert(Mp4(c.width, c.height, c.scaling), seq, dir.File("v.mp4"));
        ASSERT_EQ(mp4.code, CPvx::kDone) << mp4.text;
        ASSERT_EQ(Convert(PngSeries(c.width, c.height, c.scaling), seq, dir.File("p/f.png")).code, CPvx::kDone);
        const auto encoded = DecodeFrame(dir.File("v.mp4"), n, c.width, c.height);
        const auto drawn = DecodeFrame(dir.File("p/f_" + std::to_string(n) + ".png"), 0, c.width, c.height);
        ASSERT_FALSE(encoded.empty() || drawn.empty());
        // The same place, crop, scale and bars: a misplaced or shifted
        // picture falls far below this.
        EXPECT_GE(Psnr(encoded, drawn), 34.0);
    }
}

// At the source's own size the source itself is the reference. A watermark
// all but see-through over the whole clip sends every picture the way all of
// them went before (into BGRA and back); the plain conversion keeps them in
// 4:2:0 and must be at least as close to the source at the usual bit rate.
TEST(PvxPicturePath, PlainConversionIsAsCloseToTheSourceAsTheRoundTripThroughBgra) {
    ASSERT_TRUE(HaveTool("ffmpeg"));
    TempDir dir;
    CFLVSequence plain, roundTrip;
    Append(plain, FlvClip("flv1_mp3_320x240.flv", 0, 1000));
    auto clip = FlvClip("flv1_mp3_320x240.flv", 0, 1000);
    ASSERT_TRUE(clip->WaterMarks().AddImageWatermark(0, Fixture("still_64x48.bmp").c_str()));
    ASSERT_TRUE(clip->WaterMarks().SetTiming(WaterMarkTiming{0, 0, 1000, 0, 0}));
    WaterMarkTransparency faint{};
    faint.alpha = 1;
    faint.transparent[3] = 0xFF;   // no colour key
    ASSERT_TRUE(clip->WaterMarks().SetTransparency(faint));
    Append(roundTrip, std::move(clip));
    const OutputSettings usual = Settings("mp4", "mp4", 28, 86018, 320, 240);
    ASSERT_EQ(Convert(usual, plain, dir.File("plain.mp4")).code, CPvx::kDone);
    ASSERT_EQ(Convert(usual, roundTrip, dir.File("bgra.mp4")).code, CPvx::kDone);
    for (int n : {0, 12, 24}) {
        SCOPED_TRACE(n);
        const auto source = DecodeFrame(Fixture("flv1_mp3_320x240.flv"), n, 320, 240);
        const auto kept = DecodeFrame(dir.File("plain.mp4"), n, 320, 240);
        const auto converted = DecodeFrame(dir.File("bgra.mp4"), n, 320, 240);
        ASSERT_FALSE(source.empty() || kept.empty() || converted.empty());
        EXPECT_GE(Psnr(kept, source), Psnr(converted, source) - 0.5);
        EXPECT_GE(Psnr(kept, source), 20.0);   // the right pictures at all
    }
}

TEST(PvxPicturePath, AWatermarkShownForPartOfTheClipIsDrawnOnlyInItsRange) {
    ASSERT_TRUE(HaveTool("ffmpeg"));
    TempDir dir;
    CFLVSequence marked, plain;
    auto clip = FlvClip("flv1_mp3_320x240.flv", 0, 3000);
    ASSERT_TRUE(clip->WaterMarks().AddImageWatermark(0, Fixture("still_64x48.bmp").c_str()));
    ASSERT_TRUE(clip->WaterMarks().SetTiming(WaterMarkTiming{0, 1000, 2000, 0, 0}));
    Append(marked, std::move(clip));
    Append(plain, FlvClip("flv1_mp3_320x240.flv", 0, 3000));
    const int w = 320, h = 240;
    ASSERT_EQ(Convert(Mp4(w, h, 0), marked, dir.File("m.mp4")).code, CPvx::kDone);
    ASSERT_EQ(Convert(Mp4(w, h, 0), plain, dir.File("p.mp4")).code, CPvx::kDone);
    // New marks sit in the centre.
    const Rect centre{w / 2 - 20, h / 2 - 15, w / 2 + 20, h / 2 + 15};
    const Rect corner{0, 0, 60, 40};
    struct Frame {
        int n;
        bool shown;
    };
    for (const Frame f : {Frame{12, false}, Frame{24, false}, Frame{26, true}, Frame{48, true}, Frame{51, false},
                          Frame{70, false}}) {
        SCOPED_TRACE(f.n);
        const auto a = DecodeFrame(dir.File("m.mp4"), f.n, w, h);
        const auto b = DecodeFrame(dir.File("p.mp4"), f.n, w, h);
        ASSERT_FALSE(a.empty() || b.empty());
        if (f.shown) {
            EXPECT_GT(RegionDifference(a, b, w, centre), 20.0);
        } else {
            EXPECT_LT(RegionDifference(a, b, w, centre), 3.0);
        }
        EXPECT_LT(RegionDifference(a, b, w, corner), 3.0);   // nothing else changed
    }
}
