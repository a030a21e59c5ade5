// The frame rate the reader reports: the pictures' own spacing, the
// metadata's rate when it agrees, common rates taken exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>

#include "DecodeSupport.h"

namespace {

struct ReaderDeleter {
    void operator()(CFLVAVTagReader* r) const { FLVAVTagReader_Delete(r); }
};
using Reader = std::unique_ptr<CFLVAVTagReader, ReaderDeleter>;

double RateOf(const std::string& path) {
    Reader r(FLVAVTagReader_Create());
    if (FLVAVTagReader_Open(r.get(), path.c_str()) != 1) return -1;
    FLVInfo info{};
    FLVAVTagReader_GetFLVInfoEx(r.get(), &info);
    return info.frameRate;
}

// An onMetaData script tag's data holding one number property.
std::vector<uint8_t> MetaWithNumber(const std::string& name, double v) {
    std::vector<uint8_t> d = {0x02, 0x00, 10};
    for (char c : std::string("onMetaData")) d.push_back(uint8_t(c));
    d.insert(d.end(), {0x08, 0, 0, 0, 1, 0, uint8_t(name.size())});
    for (char c : name) d.push_back(uint8_t(c));
    d.push_back(0x00);
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 7; i >= 0; --i) d.push_back(uint8_t(bits >> (8 * i)));
    d.insert(d.end(), {0, 0, 0x09});
    return d;
}

// Pictures at the given times between continuous sound in 10 ms blocks
// from 0 to soundEnd.
void Interleave(FlvBuilder& b, const std::vector<uint32_t>& pictures, uint32_t soundEnd) {
    size_t next = 0;
    for (uint32_t t = 0; t < soundEnd || next < pictures.size(); t += 10) {
        for (; next < pictures.size() && pictures[next] <= t; ++next) b.H263(pictures[next], next % 25 == 0);
        if (t < soundEnd) b.Pcm(t, 10);
    }
}

double Fraction(const std::string& s) {
    const auto slash = s.find('/');
    if (slash == std::string::npos) return std::atof(s.c_str());
    const double den = std::atof(s.c_str() + slash + 1);
    return den > 0 ? std::atof(s.substr(0, slash).c_str()) / den : 0;
}

}  // namespace

// Every fixture with pictures reads at the rate ffprobe finds. Where
// ffprobe's two figures disagree its guess was thrown by the damaged stamp
// (bad_decreasing_ts.flv: r_frame_rate 100, avg_frame_rate 25): the average
// stands then.
TEST(FrameRate, FixturesReadAtFfprobesRate) {
    if (CommandOutput("ffprobe -version").empty())
        GTEST_FAIL() << "ffprobe is needed (scripts/install-deps.sh installs it)";
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VELTRANO_FIXTURES_DIR)) {
        const std::string path = entry.path().string();
        if (entry.path().extension() != ".flv") continue;
        const std::vector<uint8_t> out = CommandOutput(
            "ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate,avg_frame_rate "
            "-of default=nw=1:nk=1 '" + path + "'");
        const std::string text(out.begin(), out.end());
        const auto nl = text.find('\n');
        if (nl == std::string::npos) continue;   // no pictures, or not FLV to ffprobe
        const double r = Fraction(text.substr(0, nl)), avg = Fraction(text.substr(nl + 1));
        if (!(r > 0)) continue;
        const double want = std::fabs(r - avg) <= r * 0.005 || !(avg > 0) ? r : avg;
        SCOPED_TRACE(entry.path().filename().string());
        const double got = RateOf(path);
        EXPECT_NEAR(got, want, want * 0.005);
        ++checked;
    }
    EXPECT_GE(checked, 15) << "the fixtures were not found";
}

// Built files: one rule, many spacings. The sound runs a second past the last
// picture in each, which must not lower the rate.
TEST(FrameRate, PicturesSpacingGivesTheRate) {
    struct Case {
        const char* what;
        double fps;          // the pictures' spacing
        double declared;     // onMetaData framerate, 0 for none
        double want;
        int pictures = 50;
        bool strayLate = false;   // one picture stamped 20 s after the others
    } cases[] = {
        {"15 fps", 15, 0, 15},
        {"25 fps", 25, 0, 25},
        {"30 fps, stamps alternate 33 and 34 ms", 30, 0, 30},
        {"29.97 fps", 30000.0 / 1001, 0, 30000.0 / 1001},
        {"23.976 fps", 24000.0 / 1001, 0, 24000.0 / 1001},
        {"12.5 fps: no common rate near", 12.5, 0, 12.5},
        {"a stray late picture", 25, 0, 25, 50, true},
        {"metadata that agrees is taken", 30, 30, 30},
        {"metadata that disagrees is not", 25, 12, 25},
        {"metadata alone, one picture", 25, 24, 24, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FlvBuilder b;
        if (c.declared > 0) b.Tag(18, 0, MetaWithNumber("framerate", c.declared));
        std::vector<uint32_t> pictures;
        for (int i = 0; i < c.pictures; ++i) pictures.push_back(uint32_t(std::lround(i * 1000.0 / c.fps)));
        const uint32_t last = pictures.back();
        if (c.strayLate) pictures.push_back(last + 20000);
        Interleave(b, pictures, last + 1000);
        TempFile f(b.bytes);
        EXPECT_NEAR(RateOf(f.path), c.want, 1e-6);
    }
}

// The reader's own fields follow from the rate: the last picture lasts one
// frame, not what the sound's length would make of it.
TEST(FrameRate, LastPictureLastsOneFrame) {
    FlvBuilder b;
    std::vector<uint32_t> pictures;
    for (int i = 0; i < 30; ++i) pictures.push_back(uint32_t(i * 1000 / 15));
    Interleave(b, pictures, 4000);
    TempFile f(b.bytes);
    Reader r(FLVAVTagReader_Create());
    ASSERT_EQ(FLVAVTagReader_Open(r.get(), f.path.c_str()), 1);
    uint32_t audioEnd = 0, videoEnd = 0;
    FLVAVTagReader_GetDuration(r.get(), &audioEnd, &videoEnd);
    EXPECT_EQ(videoEnd, 29u * 1000 / 15 + 1000 / 15);
}
