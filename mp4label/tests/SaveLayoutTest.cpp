// Saving: the exact title box, where it goes, and the sizes that change with it.
#include <gtest/gtest.h>

#include "Boxes.h"
#include "TestFiles.h"

using namespace boxes;
using namespace testfiles;

namespace {

Bytes FromHex(std::string_view hex) {
    Bytes out;
    int high = -1;
    for (char c : hex) {
        const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (v < 0) continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(uint8_t(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

// The box for the title "Hi", written out by hand from the layout.
const Bytes kHiBox = FromHex(
    "00000090 75756964 55534d54 21d24fce bb88695c fac9c740"  // size 144, uuid, USMT kind
    "00000078 4d544454 0004"                                  // MTDT of 120 bytes, 4 entries
    "000c 0000000b 55c4 0000 021c"                            // type 11, und, binary 540
    "0020 00000004 15c7 0001"                                 // type 4, eng, "Lavc51.7.0"
    "004c 0061 0076 0063 0035 0031 002e 0037 002e 0030 0000"
    "0010 00000001 55c4 0001 0048 0069 0000"                  // the title
    "0032 00000003 55c4 0001"                                 // type 3, und, the date
    "0032 0030 0030 0036 002f 0030 0034 002f 0030 0031 0020"
    "0031 0031 003a 0031 0031 003a 0031 0031 0000");

const Bytes kMvhd = Box("mvhd", Bytes(12, 0));
const Bytes kMdat = Box("mdat", Text("media bytes"));

TEST(SaveLayout, AppendsTheBoxAsMoovsLastChildAndSavingAgainChangesNothing) {
    ASSERT_EQ(kHiBox.size(), 144u);
    TempDir dir;
    const std::string path = dir.File("a.mp4");
    WriteAll(path, Cat({PspHead(), kMdat, Box("moov", kMvhd)}));
    ASSERT_TRUE(SaveTitle(path, u"Hi"));
    const Bytes expected = Cat({PspHead(), kMdat, Box("moov", Cat({kMvhd, kHiBox}))});
    EXPECT_EQ(ReadAll(path), expected);
    ASSERT_TRUE(SaveTitle(path, u"Hi"));
    EXPECT_EQ(ReadAll(path), expected);
}

TEST(SaveLayout, ReplacesTheOldBoxInPlaceAndKeepsWhatFollowsIt) {
    TempDir dir;
    const std::string path = dir.File("a.mp4");
    const Bytes oldBox = Usmt({Entry(1, 0x55C4, 1, Utf16Be(u"An old and longer title"))});
    const Bytes udta = Box("udta", Text("user data"));
    const Bytes trailer = Box("free", Text("after moov"));
    WriteAll(path, Cat({PspHead(), kMdat, Box("moov", Cat({kMvhd, oldBox, udta})), trailer}));
    ASSERT_TRUE(SaveTitle(path, u"Hi"));
    EXPECT_EQ(ReadAll(path),
              Cat({PspHead(), kMdat, Box("moov", Cat({kMvhd, kHiBox, udta})), trailer}));
}

TEST(SaveLayout, MoovSizeIsWrittenInTheWidthItWasStored) {
    struct Case {
        const char* name;
        Bytes moov, expected;
    };
    const Case cases[] = {
        {"LargeSize", LargeBox("moov", kMvhd), LargeBox("moov", Cat({kMvhd, kHiBox}))},
        // "Runs to the end of the file" becomes an explicit 32-bit size.
        {"ToTheEnd", Cat({Be32(0), Text("moov"), kMvhd}), Box("moov", Cat({kMvhd, kHiBox}))},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string(c.name) + ".mp4");
        WriteAll(path, Cat({PspHead(), kMdat, c.moov}));
        ASSERT_TRUE(SaveTitle(path, u"Hi"));
        EXPECT_EQ(ReadAll(path), Cat({PspHead(), kMdat, c.expected}));
    }
}

// A last child stored with size 0 runs to moov's end; left so, it would
// swallow the box appended after it.
TEST(SaveLayout, LastChildRunningToMoovsEndGetsAnExplicitSize) {
    TempDir dir;
    const std::string path = dir.File("a.mp4");
    const Bytes toEnd = Cat({Be32(0), Text("free"), Text("padding")});
    WriteAll(path, Cat({PspHead(), kMdat, Box("moov", Cat({kMvhd, toEnd}))}));
    ASSERT_TRUE(SaveTitle(path, u"Hi"));
    EXPECT_EQ(ReadAll(path),
              Cat({PspHead(), kMdat, Box("moov", Cat({kMvhd, Box("free", Text("padding")), kHiBox}))}));
}

TEST(SaveLayout, EmptyTitleStillWritesAllFourEntries) {
    TempDir dir;
    const std::string path = dir.File("a.mp4");
    const Bytes before = Cat({PspHead(), kMdat, Box("moov", kMvhd)});
    WriteAll(path, before);
    ASSERT_TRUE(SaveTitle(path, u""));
    const Bytes after = ReadAll(path);
    ASSERT_EQ(after.size(), before.size() + 140);
    const Bytes box(after.end() - 140, after.end());
    EXPECT_EQ(Load32(box, 24), 116u);                               // MTDT size
    EXPECT_EQ(box[33], 4);                                          // entry count
    EXPECT_EQ(Bytes(box.begin() + 78, box.begin() + 90),            // 12-byte title entry
              FromHex("000c 00000001 55c4 0001 0000"));
}

TEST(SaveLayout, TitleLongerThanItsEntryCanHoldIsRefused) {
    // The entry's size is a 16-bit field: 12 bytes plus two per code unit.
    const size_t longest = (0xFFFF - 12) / 2;
    TempDir dir;
    const std::string path = dir.File("a.mp4");
    const Bytes before = Cat({PspHead(), kMdat, Box("moov", kMvhd)});
    WriteAll(path, before);

    std::string error;
    EXPECT_FALSE(SaveTitle(path, std::u16string(longest + 1, u'x'), &error));
    EXPECT_EQ(error, "Failed in saving file");
    EXPECT_EQ(ReadAll(path), before);

    ASSERT_TRUE(SaveTitle(path, std::u16string(longest, u'x'), &error)) << error;
    std::u16string title;
    ASSERT_TRUE(ReadTitle(path, title));
    EXPECT_EQ(title, std::u16string(longest, u'x'));
}

}  // namespace
