// The handle's own rules: what each call does to the title, the error text
// and the open file.
#include <gtest/gtest.h>

#include "Boxes.h"
#include "TestFiles.h"
#include "mp4label/mp4label.h"

using namespace boxes;
using namespace testfiles;

namespace {

Bytes PspWithTitle(std::u16string_view title) {
    return Cat({PspHead(), Box("mdat", {}),
                Box("moov", Usmt({Entry(1, 0x55C4, 1, Utf16Be(title))}))});
}

std::u16string TitleOf(Mp4TitleFile* h) { return Mp4Title_GetTitle(h); }

TEST(Handle, TitleAndErrorFollowTheCalls) {
    TempDir dir;
    Mp4TitleFile* h = Mp4Title_Create();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(TitleOf(h), u"");
    EXPECT_STREQ(Mp4Title_GetError(h), "");

    EXPECT_EQ(Mp4Title_Save(h), 0);
    EXPECT_STREQ(Mp4Title_GetError(h), "File is not opened");
    Mp4Title_ClearError(h);
    EXPECT_STREQ(Mp4Title_GetError(h), "");

    EXPECT_EQ(Mp4Title_Open(h, dir.File("missing.mp4").c_str()), 0);
    EXPECT_STREQ(Mp4Title_GetError(h), "Failed to open file");
    EXPECT_EQ(Mp4Title_SetTitle(h, u"Set"), 1);
    EXPECT_STREQ(Mp4Title_GetError(h), "") << "setting a title clears the error";
    EXPECT_EQ(TitleOf(h), u"Set");

    // A file without a title entry leaves the title set beforehand; one with
    // a title replaces it.
    const std::string untitled = dir.File("untitled.mp4");
    WriteAll(untitled, Cat({PspHead(), Box("moov", {})}));
    ASSERT_EQ(Mp4Title_Open(h, untitled.c_str()), 1);
    EXPECT_EQ(TitleOf(h), u"Set");
    const std::string titled = dir.File("titled.mp4");
    WriteAll(titled, PspWithTitle(u"Stored"));
    ASSERT_EQ(Mp4Title_Open(h, titled.c_str()), 1);
    EXPECT_EQ(TitleOf(h), u"Stored");

    // Close keeps the title; setting none removes it.
    Mp4Title_Close(h);
    EXPECT_EQ(TitleOf(h), u"Stored");
    EXPECT_EQ(Mp4Title_Save(h), 0);
    EXPECT_STREQ(Mp4Title_GetError(h), "File is not opened");
    Mp4Title_Close(h);
    EXPECT_STREQ(Mp4Title_GetError(h), "") << "close clears the error";
    EXPECT_EQ(Mp4Title_SetTitle(h, nullptr), 1);
    EXPECT_EQ(TitleOf(h), u"");
    Mp4Title_Destroy(h);
    Mp4Title_Destroy(nullptr);
}

TEST(Handle, OpeningAgainLeavesTheFirstFileClosed) {
    TempDir dir;
    const std::string first = dir.File("first.mp4"), second = dir.File("second.mp4");
    WriteAll(first, PspWithTitle(u"One"));
    WriteAll(second, PspWithTitle(u"Two"));
    const Bytes firstBytes = ReadAll(first);

    Mp4TitleFile* h = Mp4Title_Create();
    ASSERT_EQ(Mp4Title_Open(h, first.c_str()), 1);
    ASSERT_EQ(Mp4Title_Open(h, second.c_str()), 1);
    Mp4Title_SetTitle(h, u"New");
    ASSERT_EQ(Mp4Title_Save(h), 1);
    EXPECT_EQ(ReadAll(first), firstBytes);

    // A failed open closes whatever was open before it.
    const std::string junk = dir.File("junk.mp4");
    WriteAll(junk, Text("not an mp4 file at all"));
    EXPECT_EQ(Mp4Title_Open(h, junk.c_str()), 0);
    EXPECT_STREQ(Mp4Title_GetError(h), "Possibly not a valid psp mp4 file");
    EXPECT_EQ(Mp4Title_Save(h), 0);
    EXPECT_STREQ(Mp4Title_GetError(h), "File is not opened");
    Mp4Title_Destroy(h);

    std::u16string title;
    ASSERT_TRUE(ReadTitle(second, title));
    EXPECT_EQ(title, u"New");
}

TEST(Handle, NullHandleIsHarmless) {
    EXPECT_EQ(Mp4Title_Open(nullptr, "x"), 0);
    EXPECT_EQ(Mp4Title_Save(nullptr), 0);
    EXPECT_EQ(Mp4Title_SetTitle(nullptr, u"x"), 0);
    EXPECT_EQ(std::u16string(Mp4Title_GetTitle(nullptr)), u"");
    EXPECT_STREQ(Mp4Title_GetError(nullptr), "");
    Mp4Title_ClearError(nullptr);
    Mp4Title_Close(nullptr);
}

}  // namespace
