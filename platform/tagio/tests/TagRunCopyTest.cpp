// Copies of runs of tags: every timestamp moves by the shift (the extended
// byte and a wrap of 2^32 included), every PreviousTagSize is written anew,
// tags larger than the copy's buffer pass whole, and bytes that are not the
// tags asked for are refused.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tagio/tagio.h"

namespace {

struct Tag {
    uint8_t type;
    uint32_t timestamp;
    uint32_t dataSize;
};

void PutBe(std::string& s, uint32_t v, int bytes) {
    while (bytes--) s.push_back(char(uint8_t(v >> (8 * bytes))));
}

// An FLV file of these tags, data filled with a pattern; the PreviousTagSize
// after tag `wrongTrailer` is wrong and the last one is missing.
std::string MakeFile(const std::vector<Tag>& tags, size_t wrongTrailer) {
    std::string s = std::string("FLV\x01\x05\0\0\0\x09\0\0\0\0", 13);
    for (size_t i = 0; i < tags.size(); ++i) {
        const Tag& t = tags[i];
        s.push_back(char(t.type));
        PutBe(s, t.dataSize, 3);
        PutBe(s, t.timestamp & 0xFFFFFF, 3);
        s.push_back(char(uint8_t(t.timestamp >> 24)));
        PutBe(s, 0, 3);
        for (uint32_t k = 0; k < t.dataSize; ++k) s.push_back(char(uint8_t(k * 7 + i)));
        if (i + 1 < tags.size()) PutBe(s, i == wrongTrailer ? 12345 : t.dataSize + 11, 4);
    }
    return s;
}

// The same tags as they must come out: moved by shift, every trailer right.
std::string Expected(const std::vector<Tag>& tags, uint32_t shift) {
    std::vector<Tag> moved = tags;
    for (Tag& t : moved) t.timestamp += shift;
    std::string s = MakeFile(moved, SIZE_MAX);
    PutBe(s, moved.back().dataSize + 11, 4);
    return s.substr(13);
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Spill(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

const std::vector<Tag> kTags = {
    {9, 0, 40}, {8, 10, 0}, {8, 23, 300}, {9, 0xFFFFF0, 3u << 20}, {18, 40, 17}, {9, 0x01000020, 900}, {8, 50, 5}};

TEST(TagRunCopy, TagsMoveByTheShiftAndGetTheirTrailersWhateverThePieces) {
    const std::string src = testing::TempDir() + "run_src.flv", out = testing::TempDir() + "run_out.flv";
    const std::string file = MakeFile(kTags, 2);
    Spill(src, file);
    struct Case { const char* what; uint32_t shift; uint32_t bytes; } cases[] = {
        {"one call, no shift", 0, UINT32_MAX},
        {"one call, past 2^32", 0xFFFFFF00u, UINT32_MAX},
        {"a read at a time", 1000, 1},
        {"pieces of 500 bytes", 1000, 500},
    };
    for (const Case& c : cases) {
        TagioFileReadAble* in = CreateFileReadAble(src.c_str());
        TagioFileWriteAble* w = CreateFileWriteAble(out.c_str());
        ASSERT_TRUE(in && w);
        int64_t at = 13;
        while (at < int64_t(file.size()) + 4) {
            const int64_t reached = Flv_CopyTags(in, at, int64_t(file.size()) + 4, c.shift, c.bytes, w);
            ASSERT_GT(reached, at) << c.what;
            at = reached;
        }
        EXPECT_EQ(at, int64_t(file.size()) + 4) << c.what;
        EXPECT_EQ(FileWriteAble_GetSize(w), int64_t(file.size()) + 4 - 13) << c.what;
        DeleteFileReadAble(in);
        ASSERT_TRUE(DeleteFileWritable(w));
        EXPECT_TRUE(Slurp(out) == Expected(kTags, c.shift)) << c.what;
    }
}

// A tag that ends within the last bytes of a piece read (1 MiB) leaves part
// of its old PreviousTagSize in the piece: none of it may go out.
TEST(TagRunCopy, ATagEndingJustShortOfAPieceGoesOutWhole) {
    const std::string src = testing::TempDir() + "run_edge.flv", out = testing::TempDir() + "run_edge_out.flv";
    for (uint32_t dataSize = (1u << 20) - 16; dataSize <= (1u << 20) - 10; ++dataSize) {
        const std::vector<Tag> tags = {{9, 0, dataSize}, {8, 10, 5}};
        const std::string file = MakeFile(tags, SIZE_MAX);
        Spill(src, file);
        TagioFileReadAble* in = CreateFileReadAble(src.c_str());
        TagioFileWriteAble* w = CreateFileWriteAble(out.c_str());
        ASSERT_TRUE(in && w);
        int64_t at = 13;
        while (at > 0 && at < int64_t(file.size()) + 4) at = Flv_CopyTags(in, at, int64_t(file.size()) + 4, 1000, UINT32_MAX, w);
        EXPECT_EQ(at, int64_t(file.size()) + 4) << dataSize;
        DeleteFileReadAble(in);
        ASSERT_TRUE(DeleteFileWritable(w));
        EXPECT_TRUE(Slurp(out) == Expected(tags, 1000)) << "data size " << dataSize;
    }
}

TEST(TagRunCopy, BytesThatAreNotTheTagsAskedForAreRefused) {
    const std::string src = testing::TempDir() + "run_bad.flv", out = testing::TempDir() + "run_bad_out.flv";
    std::string file = MakeFile({{9, 0, 40}, {8, 10, 30}, {8, 20, 30}}, SIZE_MAX);
    file += std::string(4, '\0');   // the last trailer
    const int64_t second = 13 + 55, third = second + 45, end = int64_t(file.size());
    std::string zeros = file;
    zeros.replace(size_t(third), 45, 45, '\0');
    struct Case { const char* what; const std::string& bytes; int64_t start, end; } cases[] = {
        {"the run ends inside a tag", file, 13, end - 3},
        {"the run starts inside a tag", file, 14, end},
        {"zeros where a tag was", zeros, 13, end},
        {"the file is shorter than the run", file, second, end + 40},
    };
    for (const Case& c : cases) {
        Spill(src, c.bytes);
        TagioFileReadAble* in = CreateFileReadAble(src.c_str());
        TagioFileWriteAble* w = CreateFileWriteAble(out.c_str());
        ASSERT_TRUE(in && w);
        int64_t at = c.start;
        while (at >= 0 && at < c.end) at = Flv_CopyTags(in, at, c.end, 0, 1, w);
        EXPECT_EQ(at, -1) << c.what;
        DeleteFileReadAble(in);
        DeleteFileWritable(w);
    }
}

}  // namespace
