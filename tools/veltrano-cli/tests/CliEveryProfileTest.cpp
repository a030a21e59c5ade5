// Every shipped profile converts the demo project's first sequence into a
// file ffprobe reads with the profile's container and codecs: the profile
// file, the converter and the engine checked together.
#include <algorithm>
#include <set>

#include "CliFixture.h"
#include "ProfileCatalog.h"
#include "profiles/OutputRecord.h"
#include "profiles/ProfileNumbers.h"

namespace {

std::vector<int> ShippedIds() {
    ProfileCatalog catalog;
    std::vector<int> ids;
    if (catalog.Load(VELTRANO_SHIPPED_PROFILES, nullptr))
        for (const ProfileEntry& e : catalog.All()) ids.push_back(e.format.FormatID());
    return ids;
}

// What ffprobe calls the codecs of avkit's numbers.
std::string ProbeName(int avkitCodec) {
    switch (avkitCodec) {
        case 5: return "h263";
        case 8: return "mjpeg";
        case 13: return "mpeg4";
        case 19: return "wmv2";
        case 22: return "flv1";
        case 28: return "h264";
        case 64: return "png";
        case 81: return "bmp";
        case 65536: return "pcm_s16le";
        case 73728: return "amr_nb";
        case 86017: return "mp3";
        case 86018: return "aac";
        case 86024: return "wmav2";
        case 100: return "gif";
        case 167: return "vp9";
        case 173: return "hevc";
        case 226: return "av1";
        case 86076: return "opus";
        default: return "codec " + std::to_string(avkitCodec);
    }
}

// A part of ffprobe's format name for each container the profiles name.
std::string ContainerWord(const std::string& fileFormat) {
    for (const char* mp4 : {"mp4", "psp", "ipod", "3gp", "mov"})
        if (fileFormat == mp4) return "mp4";
    if (fileFormat == "flvbind") return "flv";
    if (fileFormat == "mp4remux" || fileFormat == "movremux") return "mp4";
    if (fileFormat == "mkvremux") return "matroska";
    return fileFormat;
}

class EveryProfile : public Cli, public ::testing::WithParamInterface<int> {};

TEST_P(EveryProfile, ConvertsTheDemosFirstSequence) {
    ProfileCatalog catalog;
    ASSERT_TRUE(catalog.Load(VELTRANO_SHIPPED_PROFILES, nullptr));
    const ProfileEntry* entry = catalog.Find(std::to_string(GetParam()));
    ASSERT_NE(entry, nullptr);
    const auto& p = entry->format;
    SCOPED_TRACE(p.Caption());

    const fs::path project = dir / "demo.pvxp";
    std::string made;
    ASSERT_EQ(Shell(std::string("'") + VELTRANO_DEMO + "' '" + project.string() + "'", &made), 0) << made;
    const CliResult r = Run({"convert", "--json", project.string(), "--sequences", "1", "--profile",
                             std::to_string(GetParam()), "--out", (dir / "out").string()});
    const std::string format = p.FileFormat();
    if (format == "mp4remux" || format == "movremux") {
        // The demo's clips are Sorenson H.263, which only MKV holds without re-encoding.
        EXPECT_NE(r.exitCode, 0) << r.out;
        EXPECT_NE(r.out.find("Sorenson H.263 cannot be stored in"), std::string::npos) << r.out << r.err;
        EXPECT_FALSE(fs::exists(dir / "out") && !fs::is_empty(dir / "out")) << "nothing written";
        return;
    }
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::string output;
    for (const QJsonObject& o : JsonLines(r))
        if (o["event"].toString() == "result") output = o["output"].toString().toStdString();
    ASSERT_FALSE(output.empty()) << r.out;

    const bool pictures = format == "jpeg" || format == "png" || format == "bmp";
    const bool bind = profiles::IsBindProfile(p);
    if (pictures) {
        // A folder of pictures, each one the profile's kind.
        ASSERT_TRUE(fs::is_directory(output));
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(output)) names.push_back(e.path().filename().string());
        ASSERT_FALSE(names.empty());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(fs::path(names.front()).extension(), "." + p.FileExt());
        const auto probe = Probe((fs::path(output) / names.front()).string());
        ASSERT_EQ(probe.count("error"), 0u) << probe.at("error");
        EXPECT_EQ(probe.at("streams.stream.0.codec_name"), ProbeName(p.VideoCodec()));
        return;
    }
    EXPECT_EQ(fs::path(output).extension(), "." + p.FileExt());
    const auto probe = Probe(output);
    ASSERT_EQ(probe.count("error"), 0u) << probe.at("error");
    EXPECT_NE(probe.at("format.format_name").find(ContainerWord(format)), std::string::npos)
        << probe.at("format.format_name");
    std::set<std::string> codecs, wanted;
    for (int i = 0; probe.count("streams.stream." + std::to_string(i) + ".codec_name"); ++i)
        codecs.insert(probe.at("streams.stream." + std::to_string(i) + ".codec_name"));
    if (bind) {
        wanted = {"flv1", "mp3"};   // the join and the remux copy the clips' own streams
    } else {
        if (p.AudioOnly() != 1) wanted.insert(ProbeName(p.VideoCodec()));
        if (p.AudioCodec() != -1) wanted.insert(ProbeName(p.AudioCodec()));
    }
    EXPECT_EQ(codecs, wanted);
    // Two clips trimmed to two seconds each.
    EXPECT_NEAR(std::stod(probe.at("format.duration")), 4.0, 0.5);
    std::string said;
    EXPECT_EQ(Shell("ffmpeg -nostdin -v error -i '" + output + "' -f null -", &said), 0);
    EXPECT_EQ(said, "") << "ffmpeg decoding " << output;
    if (bind || p.AudioOnly() == 1) return;
    // The pictures: the profile's default size and rate, else the clips' own
    // (160x120 at 25 frames a second).
    for (int i = 0; probe.count("streams.stream." + std::to_string(i) + ".codec_type"); ++i) {
        const std::string stream = "streams.stream." + std::to_string(i) + ".";
        if (probe.at(stream + "codec_type") != "video") continue;
        const auto size = profiles::ParseSize(p.DefSize());
        const bool own = !size || size->width <= 0;
        EXPECT_EQ(probe.at(stream + "width"), std::to_string(own ? 160 : size->width));
        EXPECT_EQ(probe.at(stream + "height"), std::to_string(own ? 120 : size->height));
        const std::string rate = probe.at(stream + "r_frame_rate");
        const double fps = std::stod(rate) / std::stod(rate.substr(rate.find('/') + 1));
        EXPECT_NEAR(fps, p.DefFPS() > 0 ? p.DefFPS() : 25.0, 0.01) << rate;
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, EveryProfile, ::testing::ValuesIn(ShippedIds()),
                         [](const ::testing::TestParamInfo<int>& info) { return "Profile" + std::to_string(info.param); });

}  // namespace
