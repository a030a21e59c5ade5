// Tag-by-tag reading and writing: a copy is byte-exact, damaged files end the
// reading cleanly, and write failures are reported.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
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

    // Zeros are no tags: the reading ends where they begin, loaded or not.
    for (int load : {0, 1}) {
        in = CreateFileReadAble(Fixture("hostile_zero_tail.flv").c_str());
        ASSERT_TRUE(Flv_ReadHeader(in, &header));
        tags = 0;
        while (Flv_ReadTag(in, load, &tag)) ++tags;
        EXPECT_EQ(tags, 20) << "load " << load;
        DeleteFileReadAble(in);
    }

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

namespace {

// Copies the fixture's audio and video tags 1000 ms later, most straight from
// the file and every seventh through a loaded buffer, after metadata planned
// for exactly those tags; the reader is closed before the writer.
TEST(FlvTagIO, CopiedTagsAreRetimedAndPlannedMetadataLeavesNothingToRewrite) {
    const std::string src = Fixture("flv1_mp3_160x120.flv");
    const std::string out = testing::TempDir() + "planned.flv";
    TagioFlvMeta* plan = FlvMetaCreateObject();
    TagioFileReadAble* in = CreateFileReadAble(src.c_str());
    TagioFlvHeader header{};
    ASSERT_TRUE(Flv_ReadHeader(in, &header));
    TagioFlvTag tag{};
    int64_t lastAudio = -1;
    while (Flv_ReadTag(in, 0, &tag))
        if (tag.type == 8 || tag.type == 9) {
            FlvMetaPlanTag(plan, &tag, tag.timestamp + 1000);
            if (tag.type == 8) lastAudio = tag.filePosition;
        }
    ASSERT_EQ(FileReadAble_Seek(in, lastAudio, 0), lastAudio);
    ASSERT_TRUE(Flv_ReadTag(in, 1, &tag));
    FlvMetaPlanLastAudioBlock(plan, CalcFLVAudioBlockDuration(tag.audioPayload, tag.audioPayloadSize,
                                                              2, 22050, 2, 2));

    TagioFileWriteAble* w = CreateFileWriteAble(out.c_str());
    ASSERT_TRUE(Flv_WriteHeader(w, &header));
    ASSERT_TRUE(FlvMetaWritePlanned(plan, w));
    EXPECT_FALSE(FlvMetaWritePlanned(plan, w)) << "only right after the header";
    ASSERT_TRUE(Flv_ReadHeader(in, &header));
    int n = 0;
    while (Flv_ReadTag(in, n % 7 == 6, &tag)) {
        if (tag.type != 8 && tag.type != 9) continue;
        if (n++ % 7 == 6) {
            const uint32_t ts = tag.timestamp + 1000;
            tag.buffer[4] = uint8_t(ts >> 16);
            tag.buffer[5] = uint8_t(ts >> 8);
            tag.buffer[6] = uint8_t(ts);
            ASSERT_TRUE(Flv_WriteTag(w, &tag));
        } else {
            ASSERT_TRUE(Flv_CopyTag(in, &tag, tag.timestamp + 1000, w));
        }
    }
    Flv_FreeTag(&tag);
    DeleteFileReadAble(in);
    ASSERT_TRUE(DeleteFileWritable(w));

    // The same tags, later by 1000 ms.
    const std::string a = Slurp(src), b = Slurp(out);
    const auto be = [](const std::string& d, size_t at) {
        return uint32_t(uint8_t(d[at])) << 16 | uint8_t(d[at + 1]) << 8 | uint8_t(d[at + 2]);
    };
    size_t pa = 13 + 15 + be(a, 14), pb = 13 + 15 + be(b, 14);
    int compared = 0;
    while (pa + 11 <= a.size()) {
        const uint32_t size = be(a, pa + 1);
        ASSERT_EQ(be(b, pb + 4), be(a, pa + 4) + 1000) << compared;
        ASSERT_EQ(b.compare(pb + 8, size + 7, a, pa + 8, size + 7), 0) << compared;
        pa += 15 + size;
        pb += 15 + size;
        ++compared;
    }
    EXPECT_EQ(compared, n);
    EXPECT_EQ(pb, b.size());

    struct stat before {}, after {};
    stat(out.c_str(), &before);
    ASSERT_TRUE(FlvMetaParseFromFile(plan, out.c_str()));
    ASSERT_TRUE(FlvMetaUpdateToFile(plan, out.c_str()));
    stat(out.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the planned metadata was already right";
    EXPECT_EQ(Slurp(out), b);
    FlvMetaDeleteObject(plan);
    unlink(out.c_str());
}

}  // namespace
