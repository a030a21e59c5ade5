// Tag-by-tag reading and writing: a copy is byte-exact, damaged files end the
// reading cleanly, and write failures are reported.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "tagio/tagio.h"

namespace {

std::string Fixture(const char* name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(FlvTagIO, ACopyTagByTagIsTheSameFileAndReusesOneBuffer) {
    const char* files[] = {"flv1_mp3_160x120.flv", "h264_aac_160x120.flv", "flv1_pcm16_160x120.flv"};
    for (const char* name : files) {
        TagioFileReadAble* in = CreateFileReadAble(Fixture(name).c_str());
        ASSERT_NE(in, nullptr);
        TagioFlvHeader header{};
        ASSERT_TRUE(Flv_ReadHeader(in, &header));
        EXPECT_EQ(header.dataOffset, 9u);
        const std::string out = testing::TempDir() + "copy.flv";
        TagioFileWriteAble* w = CreateFileWriteAble(out.c_str());
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(Flv_WriteHeader(w, &header));
        EXPECT_FALSE(Flv_WriteHeader(w, &header)) << "a header only at the start";
        TagioFlvTag tag{};
        int tags = 0, grew = 0;
        uint8_t* lastBuffer = nullptr;
        while (Flv_ReadTag(in, 1, &tag)) {
            grew += tag.buffer != lastBuffer;
            lastBuffer = tag.buffer;
            ASSERT_TRUE(Flv_WriteTag(w, &tag));
            ++tags;
        }
        Flv_FreeTag(&tag);
        EXPECT_EQ(tag.buffer, nullptr);
        EXPECT_LT(grew, 12) << name << ": the buffer only grows, half again each time";
        EXPECT_GT(tags, 50);
        EXPECT_EQ(FileWriteAble_GetSize(w), int64_t(Slurp(Fixture(name)).size()));
        EXPECT_TRUE(DeleteFileWritable(w));
        EXPECT_EQ(Slurp(out), Slurp(Fixture(name))) << name;
        DeleteFileReadAble(in);
        unlink(out.c_str());
    }
}

TEST(FlvTagIO, FieldsOfTheTagsAndAHeaderOnlyRead) {
    TagioFileReadAble* in = CreateFileReadAble(Fixture("flv1_mp3_160x120.flv").c_str());
    TagioFlvHeader header{};
    ASSERT_TRUE(Flv_ReadHeader(in, &header));
    EXPECT_EQ(header.flags, 5);
    TagioFlvTag tag{};
    int keys = 0, audio = 0;
    while (Flv_ReadTag(in, 0, &tag)) {
        EXPECT_EQ(tag.buffer, nullptr) << "nothing loaded";
        if (tag.type == 9 && tag.codecField1 == 1) {
            ++keys;
            EXPECT_EQ(tag.codecField2, 2u);
            EXPECT_EQ(tag.codecField3, 160u);
            EXPECT_EQ(tag.codecField4, 120u);
        }
        if (tag.type == 8) {
            ++audio;
            EXPECT_EQ(tag.codecField1, 2u);   // MP3
            EXPECT_EQ(tag.codecField4, 1u);   // stereo
        }
    }
    EXPECT_EQ(keys, 3);
    EXPECT_GT(audio, 100);
    DeleteFileReadAble(in);
}

TEST(FlvTagIO, DamagedFilesEndTheReadingAndBadTagsAreNotWritten) {
    // Tags 0-9 of this file are whole; the 11th is cut by the end of the file.
    TagioFileReadAble* in = CreateFileReadAble(Fixture("bad_truncated_mid_tag.flv").c_str());
    TagioFlvHeader header{};
    ASSERT_TRUE(Flv_ReadHeader(in, &header));
    TagioFlvTag tag{};
    int tags = 0;
    while (Flv_ReadTag(in, 1, &tag)) ++tags;
    EXPECT_EQ(tags, 10);
    DeleteFileReadAble(in);

    for (const char* bad : {"bad_signature.flv", "bad_empty.flv"}) {
        in = CreateFileReadAble(Fixture(bad).c_str());
        ASSERT_NE(in, nullptr);
        EXPECT_FALSE(Flv_ReadHeader(in, &header)) << bad;
        DeleteFileReadAble(in);
    }

    TagioFileWriteAble* w = CreateFileWriteAble("/dev/full");
    ASSERT_NE(w, nullptr);
    tag.buffer[1] ^= 1;   // DataSize no longer matches the record
    EXPECT_FALSE(Flv_WriteTag(w, &tag));
    tag.buffer[1] ^= 1;
    EXPECT_TRUE(Flv_WriteTag(w, &tag)) << "buffered";
    EXPECT_FALSE(DeleteFileWritable(w)) << "the device is full: the close tells";
    Flv_FreeTag(&tag);
    EXPECT_EQ(CreateFileWriteAble("/no/such/folder/x.flv"), nullptr);
}

}  // namespace
