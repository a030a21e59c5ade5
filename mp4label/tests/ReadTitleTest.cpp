// Opening: which files are PSP files, and what title each one gives.
#include <gtest/gtest.h>

#include <filesystem>

#include "Boxes.h"
#include "TestFiles.h"

using namespace boxes;
using namespace testfiles;

namespace {

constexpr uint16_t kUnd = 0x55C4;

struct ReadCase {
    const char* name;
    Bytes file;
    bool opens;
    std::u16string title;  // when it opens
};

Bytes Moov(const Bytes& children) { return Box("moov", children); }
Bytes Mdat() { return Box("mdat", Text("media")); }
Bytes TitleEntry(const Bytes& payload) { return Entry(1, kUnd, 1, payload); }
Bytes WithMoov(const Bytes& moov) { return Cat({PspHead(), Mdat(), moov}); }

std::vector<ReadCase> Cases() {
    const Bytes head = PspHead();
    const Bytes usmtHi = Usmt({Entry(11, kUnd, 0, Be16(540)), TitleEntry(Utf16Be(u"Hi"))});
    return {
        // Files that open.
        {"NoTitleBox", WithMoov(Moov(Box("mvhd", Be32(0)))), true, u""},
        {"TitleEntry", WithMoov(Moov(usmtHi)), true, u"Hi"},
        {"TitleBoxAfterOtherChildren", WithMoov(Moov(Cat({Box("mvhd", Be32(0)), usmtHi}))), true, u"Hi"},
        {"OnlyTheTerminator", WithMoov(Moov(Usmt({TitleEntry(Be16(0))}))), true, u""},
        {"EndsAtFirstZeroUnit", WithMoov(Moov(Usmt({TitleEntry(Utf16Be(std::u16string_view(u"Ab\0cd", 5)))}))), true, u"Ab"},
        {"OddLastByteIsAHighHalf", WithMoov(Moov(Usmt({TitleEntry({0x00, 0x41, 0x42})}))), true,
         u"A\u4200"},
        {"NoTerminatorStored", WithMoov(Moov(Usmt({TitleEntry({0x00, 0x41})}))), true, u"A"},
        {"NoMtdtInUsmt", WithMoov(Moov(Uuid("USMT", Box("free", {})))), true, u""},
        {"NoTitleEntry", WithMoov(Moov(Usmt({Entry(11, kUnd, 0, Be16(540))}))), true, u""},
        {"TitleBoxOnlyInsideTrak", WithMoov(Moov(Box("trak", usmtHi))), true, u""},
        {"LargeSizeMoov", WithMoov(LargeBox("moov", usmtHi)), true, u"Hi"},
        {"MoovRunsToTheEnd", Cat({head, Mdat(), Be32(0), Text("moov"), usmtHi}), true, u"Hi"},
        {"MoovBeforeMdat", Cat({head, Moov(usmtHi), Mdat()}), true, u"Hi"},
        // Files that do not.
        {"Empty", {}, false, u""},
        {"FirstBoxNotFtyp", Cat({Box("free", Text("MSNV")), Uuid("PROF", {}), Moov({})}), false, u""},
        {"BrandNotMsnv", Cat({Box("ftyp", Text("isom")), Uuid("PROF", {}), Moov({})}), false, u""},
        {"SecondBoxNotProf", Cat({Box("ftyp", Text("MSNV")), Uuid("ABCD", {}), Moov({})}), false, u""},
        {"OnlyFtyp", Box("ftyp", Text("MSNV")), false, u""},
        {"NoMoov", Cat({head, Mdat()}), false, u""},
        {"MoovTruncated", [&] { Bytes f = WithMoov(Moov(usmtHi)); f.resize(f.size() - 3); return f; }(),
         false, u""},
        {"SizeSmallerThanHeader", Cat({head, Be32(4), Text("mdat"), Moov({})}), false, u""},
        {"LargeSizeSmallerThanHeader", Cat({head, Be32(1), Text("mdat"), Be64(12), Moov({})}), false, u""},
        {"LargeSizeOverflows", Cat({head, Be32(1), Text("mdat"), Be64(~0ull - 7), Moov({})}), false, u""},
        {"ChildRunsPastMoov", WithMoov(Moov(Cat({Be32(64), Text("free")}))), false, u""},
        {"TitleEntryBelowTen", WithMoov(Moov(Usmt({Cat({Be16(8), Be32(1), Be16(kUnd)})}))), false, u""},
        {"OtherEntryBelowSix", WithMoov(Moov(Usmt({Cat({Be16(5), Be32(4)}), TitleEntry(Utf16Be(u"x"))}))),
         false, u""},
        {"EntryRunsPastMtdt", WithMoov(Moov(Uuid("USMT", Box("MTDT", Cat({Be16(1), Be16(40), Be32(1), Be32(0)}))))),
         false, u""},
        {"MoreEntriesThanStored", WithMoov(Moov(Uuid("USMT", Box("MTDT", Cat({Be16(3), Entry(4, kUnd, 1, Be16(0))}))))),
         false, u""},
    };
}

TEST(ReadTitle, FilesOpenOrAreRefusedAsNotPsp) {
    TempDir dir;
    for (const ReadCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string(c.name) + ".mp4");
        WriteAll(path, c.file);
        std::u16string title;
        std::string error;
        const bool opened = ReadTitle(path, title, &error);
        EXPECT_EQ(opened, c.opens);
        if (c.opens) {
            EXPECT_EQ(title, c.title);
            EXPECT_EQ(error, "");
        } else {
            EXPECT_EQ(error, "Possibly not a valid psp mp4 file");
        }
    }
}

TEST(ReadTitle, ThingsThatAreNotFilesFailToOpen) {
    TempDir dir;
    ASSERT_EQ(RunCommand("mkfifo " + Quote(dir.File("pipe"))).status, 0);
    // A pipe must be refused rather than block the caller waiting for a writer.
    for (const std::string& path : {dir.File("missing.mp4"), dir.Path(), dir.File("pipe")}) {
        SCOPED_TRACE(path);
        std::u16string title;
        std::string error;
        EXPECT_FALSE(ReadTitle(path, title, &error));
        EXPECT_EQ(error, "Failed to open file");
    }
}

// Inputs kept from fuzzing. Whatever each one is, opening must not crash,
// and a title saved into one that opens must read back.
TEST(ReadTitle, KeptFuzzInputsOpenOrFailCleanlyAndKeepASavedTitle) {
    TempDir dir;
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(MP4LABEL_TEST_DATA "/fuzz-regressions")) {
        SCOPED_TRACE(entry.path().filename().string());
        ++count;
        const std::string path = dir.File("input.mp4");
        WriteAll(path, ReadAll(entry.path()));
        std::u16string title;
        if (!ReadTitle(path, title)) continue;
        if (!SaveTitle(path, u"Kept")) continue;
        ASSERT_TRUE(ReadTitle(path, title));
        EXPECT_EQ(title, u"Kept");
    }
    EXPECT_GT(count, 0u) << "the kept inputs are missing";
}

}  // namespace
