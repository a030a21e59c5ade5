// Titles written into PSP files that ffmpeg made: the files must stay
// playable, keep their media bytes and give back the title.
#include <gtest/gtest.h>

#include <memory>

#include "Boxes.h"
#include "TestFiles.h"

using boxes::Bytes;
using namespace testfiles;

namespace {

struct FixtureKind {
    const char* name;
    const char* extraArgs;  // how this layout is asked of ffmpeg
};

void PrintTo(const FixtureKind& kind, std::ostream* os) { *os << kind.name; }

// moov after mdat (ffmpeg's default), moov before mdat (chunk offsets must
// move), and a file that already carries a title box written by ffmpeg.
const FixtureKind kKinds[] = {
    {"MoovLast", ""},
    {"MoovFirst", "-movflags +faststart"},
    {"HasTitle", "-metadata title=Hello"},
};

// The size of moov's direct USMT child, 0 when there is none.
uint64_t UsmtChildSize(const Bytes& file) {
    const boxes::TopBox moov = boxes::FindTop(file, "moov");
    uint64_t pos = moov.start + 8;
    while (pos + 12 <= moov.start + moov.size) {
        const uint64_t size = boxes::Load32(file, pos);
        if (size < 8) break;
        if (boxes::Load32(file, pos + 4) == 0x75756964 /* uuid */ &&
            boxes::Load32(file, pos + 8) == 0x55534D54 /* USMT */)
            return size;
        pos += size;
    }
    return 0;
}

// Packet checksums of every stream, copied without decoding: equal lists mean
// every chunk offset still finds the same bytes.
std::string PacketChecksums(const std::string& path) {
    return RunCommand("ffmpeg -v error -i " + Quote(path) + " -map 0 -c copy -f framemd5 -").output;
}

class FfmpegRoundTrip : public ::testing::TestWithParam<FixtureKind> {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>();
        if (!RequireTool("ffmpeg") || !RequireTool("ffprobe")) return;
        for (const FixtureKind& kind : kKinds) {
            const CommandResult r = RunCommand(
                "ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=15:duration=1 "
                "-f lavfi -i sine=frequency=440:duration=1 -c:v mpeg4 -c:a aac -b:a 32k "
                "-shortest " + std::string(kind.extraArgs) + " -f psp " +
                Quote(s_dir->File(std::string(kind.name) + ".mp4")));
            if (r.status != 0) ADD_FAILURE() << "ffmpeg could not make a PSP file: " << r.output;
        }
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    static std::unique_ptr<TempDir> s_dir;
};

std::unique_ptr<TempDir> FfmpegRoundTrip::s_dir;

TEST_P(FfmpegRoundTrip, TitlesOfEveryLengthKeepTheFilePlayable) {
    const std::string source = s_dir->File(std::string(GetParam().name) + ".mp4");
    const Bytes original = ReadAll(source);
    ASSERT_FALSE(original.empty());
    TempDir work;
    const std::string file = work.File("clip.mp4");
    WriteAll(file, original);
    const std::string checksums = PacketChecksums(file);
    ASSERT_NE(checksums.find("#hash: MD5"), std::string::npos) << checksums;

    std::u16string title;
    ASSERT_TRUE(ReadTitle(file, title));
    EXPECT_EQ(title, std::string_view(GetParam().name) == "HasTitle" ? u"Hello" : u"");

    // Longer, then shorter, then empty, then text beyond ASCII (a surrogate pair included).
    const std::u16string titles[] = {u"A title rather longer than any before it", u"Hi", u"",
                                     u"\u00C9t\u00E9 \u6771\u4EAC \U0001F3AC"};
    for (size_t step = 0; step < std::size(titles); ++step) {
        const std::u16string& want = titles[step];
        SCOPED_TRACE("title #" + std::to_string(step));
        const Bytes before = ReadAll(file);
        const boxes::TopBox moovBefore = boxes::FindTop(before, "moov");

        std::string error;
        ASSERT_TRUE(SaveTitle(file, want, &error)) << error;
        ASSERT_TRUE(ReadTitle(file, title, &error)) << error;
        EXPECT_EQ(title, want);

        // Only the title box changed size; everything outside moov is kept byte for byte.
        const Bytes after = ReadAll(file);
        const uint64_t boxSize = 140 + 2 * want.size();
        EXPECT_EQ(UsmtChildSize(after), boxSize);
        EXPECT_EQ(after.size(), before.size() - UsmtChildSize(before) + boxSize);
        const boxes::TopBox moovAfter = boxes::FindTop(after, "moov");
        EXPECT_EQ(moovAfter.start, moovBefore.start);
        EXPECT_TRUE(std::equal(before.begin(), before.begin() + long(moovBefore.start), after.begin()));
        EXPECT_TRUE(std::equal(before.begin() + long(moovBefore.start + moovBefore.size), before.end(),
                               after.begin() + long(moovAfter.start + moovAfter.size), after.end()));

        const CommandResult probe =
            RunCommand("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + Quote(file));
        EXPECT_EQ(probe.status, 0);
        EXPECT_EQ(probe.output, "mpeg4\naac\n");
        const CommandResult decode = RunCommand("ffmpeg -v error -i " + Quote(file) + " -f null -");
        EXPECT_EQ(decode.status, 0);
        EXPECT_EQ(decode.output, "") << "decoding reported errors";
        EXPECT_EQ(PacketChecksums(file), checksums);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, FfmpegRoundTrip, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
