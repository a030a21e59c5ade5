#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "CliFixture.h"
#include "Json.h"
#include "Options.h"
#include "ProfileCatalog.h"
#include "RecordOptions.h"

namespace fs = std::filesystem;

namespace {

TEST_F(Cli, HelpAndRefusedArguments) {
    const std::string flv = Fixture("flv1_mp3_160x120.flv");
    std::ofstream(dir / "notes.pvxp") << "not a project";
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* says;   // in standard output for 0, standard error otherwise
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage:"},
        {{"convert", "--help"}, 0, "--existing"},
        {{}, 2, "no command given"},
        {{"bogus"}, 2, "unknown command \"bogus\""},
        {{"convert", "--jobs", "11", flv}, 2, "--jobs takes a number from 1 to 10"},
        {{"convert", "--existing", "maybe", flv}, 2, "--existing takes new, overwrite or skip"},
        {{"convert", "--cut", "middle", flv}, 2, "--cut takes exact or key"},
        {{"join", "--cut", "key", "a.flv", flv}, 2, "join does not take --cut"},
        {{"convert", "--frobnicate", flv}, 2, "unknown option --frobnicate"},
        {{"convert", "--out"}, 2, "--out needs a value"},
        {{"--profile", "101", "profiles"}, 2, "profiles does not take --profile"},
        {{"join", "--out", "x", "a.flv", flv}, 2, "join does not take --out"},
        {{"convert"}, 2, "needs a project file"},
        {{"convert", (dir / "missing.pvxp").string()}, 2, "cannot read the project file"},
        {{"convert", (dir / "notes.pvxp").string()}, 2, "cannot open the project"},
        {{"convert", (dir / "notes.pvxp").string(), flv}, 2, "not both"},
        {{"convert", (dir / "missing.flv").string()}, 2, "No such file or directory"},
        {{"convert", Fixture("bad_signature.flv")}, 2, "does not open as an FLV file"},
        {{"convert", Fixture("README.md")}, 2, "cannot read"},  // neither an FLV file nor a picture
        {{"convert", "--profile", "301", "--size", "100x100", flv}, 2, "does not offer the size 100x100"},
        {{"convert", "--profile", "MP3 audio", "--no-audio", flv}, 2, "neither picture nor sound"},
        {{"convert", "--profile", "--sequences", flv}, 2, "no output profile \"--sequences\""},
        {{"convert", "--out", "/proc/no-such-folder", flv}, 2, "cannot make the output folder /proc/no-such-folder"},
        {{"join", (dir / "missing-folder/").string(), flv}, 2, "the output needs a file name"},
        {{"join", (dir / "out.flv").string()}, 2, "at least one FLV file"},
        {{"info"}, 2, "needs a file name"},
        {{"info", dir.string()}, 2, "not a file"},
        {{"info", Fixture("bad_signature.flv")}, 2, "cannot read"},
        // Today's codecs by name; a multitrack file's tracks; a FourCC nobody knows named in the refusal.
        {{"info", Fixture("codecs/av01_flac_160x120.flv")}, 0, "video codec     AV1"},
        {{"info", Fixture("codecs/multitrack_hvc1_eac3_160x120.flv")}, 0, "tracks          2 (the first is played)"},
        {{"info", Fixture("codecs/unknown_fourcc_vvc9.flv")}, 2, "cannot decode (video 'vvc9', sound Opus)"},
        {{"convert", Fixture("codecs/unknown_fourcc_vvc9.flv")}, 2, "cannot decode (video 'vvc9', sound Opus)"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        SCOPED_TRACE(shown);
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE((c.exitCode == 0 ? r.out : r.err).find(c.says), std::string::npos) << r.out << r.err;
    }
}

// A name that is no profile's: the refusal lists the captions it resembles.
TEST_F(Cli, BadProfileNameListsCloseNames) {
    const CliResult r = Run({"convert", "--profile", "MP4 vidoe (H.264 + AAC)", Fixture("flv1_mp3_160x120.flv")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no output profile \"MP4 vidoe (H.264 + AAC)\"; close names:\n  MP4 video (H.264 + AAC)"),
              std::string::npos)
        << r.err;
    const CliResult none = Run({"convert", "--profile", "qqqqqqqqqqqq", Fixture("flv1_mp3_160x120.flv")});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("\"veltrano-cli profiles\" lists them all"), std::string::npos) << none.err;
}

TEST_F(Cli, JsonLinesAreObjects) {
    const std::string flv = Fixture("flv1_mp3_160x120.flv");
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--help", "--json"},
                                               {"convert", "--json", "--profile", "nope", flv},
                                               {"--json", "convert", (dir / "missing.pvxp").string()},
                                               {"bogus", "--json"}}) {
        const CliResult r = Run(args);
        const auto lines = JsonLines(r);
        ASSERT_EQ(lines.size(), 1u) << r.out;
        if (r.exitCode == 2) {
            EXPECT_EQ(lines[0]["event"].toString(), "error");
            EXPECT_EQ(lines[0]["exit"].toInt(), 2);
            EXPECT_FALSE(lines[0]["message"].toString().isEmpty());
        } else {
            EXPECT_TRUE(lines[0]["help"].toString().contains("Usage:"));
        }
    }

    // profiles: one object per profile, each with its identifier and caption.
    const CliResult profiles = Run({"profiles", "--json"});
    ASSERT_EQ(profiles.exitCode, 0) << profiles.err;
    std::set<int> ids;
    for (const QJsonObject& p : JsonLines(profiles)) {
        EXPECT_TRUE(ids.insert(p["id"].toInt()).second);
        EXPECT_FALSE(p["caption"].toString().isEmpty());
        EXPECT_FALSE(p["fileFormat"].toString().isEmpty());
    }
    EXPECT_TRUE(ids.count(101));

    // info: the media record's field names as keys.
    const CliResult info = Run({"info", "--json", flv, Fixture("still_160x120.png")});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const auto facts = JsonLines(info);
    ASSERT_EQ(facts.size(), 2u);
    EXPECT_EQ(facts[0]["path"].toString().toStdString(), flv);
    EXPECT_TRUE(facts[0]["isFlv"].toBool());
    EXPECT_NEAR(facts[0]["duration"].toInt(), 3056, 100);
    EXPECT_EQ(facts[0]["width"].toInt(), 160);
    EXPECT_EQ(facts[0]["height"].toInt(), 120);
    EXPECT_EQ(facts[0]["videoCodec"].toInt(), 2);
    EXPECT_EQ(facts[0]["audioFormat"].toInt(), 2);
    EXPECT_EQ(facts[0]["sampleRate"].toInt(), 22050);
    EXPECT_EQ(facts[0]["channels"].toInt(), 2);
    EXPECT_GT(facts[0]["frameRate"].toDouble(), 20);
    for (const char* key : {"version", "videoDataRate", "audioDataRate", "bitsPerSample", "imageFormat", "frameCount",
                            "imageWidth", "imageHeight", "imageFrameRate"})
        EXPECT_TRUE(facts[0].contains(key)) << key;
    EXPECT_EQ(facts[1]["imageFormat"].toString(), "PNG");
    EXPECT_EQ(facts[1]["imageWidth"].toInt(), 160);
    EXPECT_EQ(facts[1]["duration"].toInt(), 5000);
}

// The user's own profiles (the desktop program's copy) come first, beside the built-in ones.
TEST_F(Cli, UserProfilesJoinTheBuiltInOnes) {
    fs::create_directories(dir / "config/Tarvolen/Veltrano");
    std::ofstream(dir / "config/Tarvolen/Veltrano/CustomFormats.xml")
        << R"(<NewDataSet><ExportFormats><ExportCategory Caption="Custom">
             <ExportFormat FormatID="9001" Caption="My small MP4" FileFormat="mp4" FileExt="mp4" DefSize="80x60"
               VideoCodec="28" AudioCodec="86018" DefSampleRate="22050"><SupportedSizes><SupportedSize>80x60</SupportedSize></SupportedSizes>
               <SupportedSampleRates><SupportedSample>22050</SupportedSample></SupportedSampleRates></ExportFormat>
             </ExportCategory></ExportFormats></NewDataSet>)";
    const auto lines = JsonLines(Run({"profiles", "--json"}));
    ASSERT_GT(lines.size(), 2u);
    EXPECT_EQ(lines[0]["caption"].toString(), "My small MP4");
    EXPECT_EQ(lines[1]["id"].toInt(), 101);

    // A profile file named on the command line is taken alone.
    std::ofstream(dir / "only.xml") << R"(<NewDataSet><ExportFormats><ExportCategory/><ExportCategory>
             <ExportFormat FormatID="7" Caption="Only" FileFormat="flv" FileExt="flv" VideoCodec="22" AudioCodec="-1"/>
             </ExportCategory></ExportFormats></NewDataSet>)";
    const auto only = JsonLines(Run({"profiles", "--json", "--profiles", (dir / "only.xml").string()}));
    ASSERT_EQ(only.size(), 1u);
    EXPECT_EQ(only[0]["id"].toInt(), 7);
    std::ofstream(dir / "broken.xml") << "<NewDataSet>";
    const CliResult broken = Run({"profiles", "--profiles", (dir / "broken.xml").string()});
    EXPECT_EQ(broken.exitCode, 2);
    EXPECT_NE(broken.err.find((dir / "broken.xml").string() + "\n\n"), std::string::npos) << broken.err;
}

TEST(CliProfileCatalog, FindsByIdentifierOrCaptionAndSuggests) {
    ProfileCatalog catalog;
    std::string error;
    ASSERT_TRUE(catalog.Load(VELTRANO_SHIPPED_PROFILES, &error)) << error;
    ASSERT_NE(catalog.Default(), nullptr);
    EXPECT_EQ(catalog.Default()->format.FormatID(), 101);
    ASSERT_NE(catalog.Find("1801"), nullptr);
    EXPECT_EQ(catalog.Find("1801")->format.Caption(), "MP3 audio");
    ASSERT_NE(catalog.Find("mp3 AUDIO"), nullptr);
    EXPECT_EQ(catalog.Find("mp3 AUDIO")->format.FormatID(), 1801);
    EXPECT_EQ(catalog.Find("99999"), nullptr);
    EXPECT_EQ(catalog.Find("MP3"), nullptr);   // a part of a name is no name

    const auto mp4 = catalog.CloseNames("mp4");
    ASSERT_FALSE(mp4.empty());
    for (const std::string& n : mp4) EXPECT_NE(n.find("MP4"), std::string::npos) << n;
    const auto typo = catalog.CloseNames("WAV audoi (PCM)");
    ASSERT_FALSE(typo.empty());
    EXPECT_EQ(typo.front(), "WAV audio (PCM)");
    EXPECT_TRUE(catalog.CloseNames("zzzzzzzzzzzzzzzz").empty());
}

TEST(CliSequenceList, NumbersRangesAndNames) {
    const std::vector<std::vector<std::string>> names = {{"Sequence 01", "intro"}, {"Sequence 02", "main"},
                                                         {"Sequence 03", "outro"}, {"Sequence 04", "main"}};
    struct Case {
        const char* list;
        std::vector<int> chosen;   // empty: refused
    };
    const Case cases[] = {
        {"1", {0}},          {"2,4", {1, 3}},        {"1-3", {0, 1, 2}},   {"3,1-2,3", {2, 0, 1}},
        {"intro", {0}},      {"main", {1, 3}},       {"Sequence 03,1", {2, 0}},
        {"0", {}},           {"5", {}},              {"3-2", {}},          {"nobody", {}},   {",", {}},
    };
    for (const Case& c : cases) {
        std::vector<int> chosen;
        std::string error;
        const bool ok = ParseSequenceList(c.list, 4, names, chosen, &error);
        EXPECT_EQ(ok, !c.chosen.empty()) << c.list << ": " << error;
        if (ok) {
            EXPECT_EQ(chosen, c.chosen) << c.list;
        }
    }
}

TEST(CliRecordOptions, SizesAndRatesFromTheListOrCustom) {
    ProfileCatalog catalog;
    std::string error;
    ASSERT_TRUE(catalog.Load(VELTRANO_SHIPPED_PROFILES, &error)) << error;
    const auto mp4 = catalog.Find("101")->format, h263 = catalog.Find("301")->format, join = catalog.Find("1402")->format;
    struct Case {
        const profiles::TXMLExportFormatType* profile;
        StreamOptions options;
        bool ok;
        int width, height;
        double fps;
    };
    auto opts = [](const char* size, const char* fps) {
        StreamOptions o;
        if (size) o.size = size;
        if (fps) o.fps = fps;
        return o;
    };
    const Case cases[] = {
        {&mp4, opts(nullptr, nullptr), true, -1, -1, 0},
        {&mp4, opts("640x480", "25"), true, 640, 480, 25},
        {&mp4, opts("300x200", "12.5"), true, 300, 200, 12.5},   // custom values
        {&mp4, opts("original", "original"), true, -1, -1, 0},
        {&mp4, opts("10x10", nullptr), false, 0, 0, 0},          // below the custom range
        {&mp4, opts(nullptr, "0"), false, 0, 0, 0},
        {&h263, opts("352x288", "10"), true, 352, 288, 10},
        {&h263, opts("original", nullptr), false, 0, 0, 0},
        {&h263, opts(nullptr, "24"), false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        OutputSettings r{};
        const bool ok = MakeOutputSettings(*c.profile, c.options, r, &error);
        EXPECT_EQ(ok, c.ok) << c.options.size.value_or("-") << " " << c.options.fps.value_or("-") << ": " << error;
        if (!ok || !c.ok) continue;
        EXPECT_EQ(r.width, c.width);
        EXPECT_EQ(r.height, c.height);
        EXPECT_DOUBLE_EQ(r.frameRate, c.fps);
    }
    OutputSettings r{};
    StreamOptions noAudio;
    noAudio.noAudio = true;
    EXPECT_FALSE(MakeOutputSettings(join, noAudio, r, &error));
    EXPECT_NE(error.find("copies the files as they are"), std::string::npos);
    EXPECT_TRUE(MakeOutputSettings(mp4, noAudio, r, &error));
    EXPECT_EQ(r.audioCodec, -1);
    EXPECT_EQ(r.videoCodec, 28);
    // The cut mode of the outputs copied without re-encoding: exact unless --cut key.
    const auto copied = catalog.Find("MP4 (no re-encoding)")->format;
    StreamOptions keyCuts;
    keyCuts.keyCuts = true;
    for (const auto& [options, mode] : {std::pair{StreamOptions{}, 0}, std::pair{keyCuts, 1}}) {
        OutputSettings c{};
        c.cutMode = 7;
        ASSERT_TRUE(MakeOutputSettings(copied, options, c, &error)) << error;
        EXPECT_STREQ(c.fileFormat, "mp4remux");
        EXPECT_EQ(c.cutMode, mode);
    }
}

}  // namespace

// A file name may hold any byte: text output escapes control characters and
// bytes that are not UTF-8, JSON gives such bytes as lone low surrogates
// (read back into the same bytes by surrogateescape decoders).
TEST(CliTexts, NamesAreShownWhateverBytesTheyHold) {
    struct Case {
        std::string raw, printable, json;
    } cases[] = {
        {"plain.mp4", "plain.mp4", "\"plain.mp4\""},
        {"caf\xC3\xA9.mp4", "caf\xC3\xA9.mp4", "\"caf\xC3\xA9.mp4\""},
        {"ctl\x01.mp4", "ctl\\x01.mp4", "\"ctl\\u0001.mp4\""},
        {"bad\xFF.mp4", "bad\\xff.mp4", "\"bad\\udcff.mp4\""},
        {"cut\xC3", "cut\\xc3", "\"cut\\udcc3\""},
        {"line\nbreak", "line\\x0abreak", "\"line\\nbreak\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.printable);
        EXPECT_EQ(PrintableText(c.raw), c.printable);
        EXPECT_EQ(JsonString(c.raw), c.json);
    }
}
