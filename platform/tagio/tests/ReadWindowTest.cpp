// The read-ahead window under tag-by-tag copying: tags that straddle the
// window's edges or are larger than it, looks back at a walked tag's data,
// and views of the window, all give the file's own bytes, whether the window
// is read into memory or is a moving view of the mapped file.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "tagio/tagio.h"

namespace {

struct Built {
    std::vector<uint8_t> bytes;
    std::vector<int64_t> positions;   // of every tag
};

void Put(std::vector<uint8_t>& b, uint32_t v, int bytes) {
    while (bytes-- > 0) b.push_back(uint8_t(v >> (8 * bytes)));
}

void PutTag(std::vector<uint8_t>& b, uint8_t type, uint32_t ts, const std::vector<uint8_t>& data) {
    b.push_back(type);
    Put(b, uint32_t(data.size()), 3);
    Put(b, ts & 0xFFFFFF, 3);
    b.push_back(uint8_t(ts >> 24));
    Put(b, 0, 3);
    b.insert(b.end(), data.begin(), data.end());
    Put(b, uint32_t(11 + data.size()), 4);
}

// Sound and inter pictures of sizes that put tag edges on both sides of
// every 1 MiB boundary, with one picture larger than the window.
Built MakeFile(uint32_t shift = 0) {
    Built f;
    f.bytes = {'F', 'L', 'V', 1, 5, 0, 0, 0, 9, 0, 0, 0, 0};
    const uint32_t sizes[] = {700, 300000, 17000, 1u << 21, 90, 524288, 65536, 1000000, 33, 250000};
    uint32_t seed = 1;
    for (int i = 0; i < 40; ++i) {
        const uint32_t size = sizes[i % 10] + uint32_t(i);
        std::vector<uint8_t> data(size);
        for (auto& x : data) x = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
        const bool audio = i % 3 == 0;
        data[0] = audio ? 0x2F : 0x22;   // MP3; an inter Sorenson picture
        f.positions.push_back(int64_t(f.bytes.size()));
        PutTag(f.bytes, audio ? 8 : 9, uint32_t(i * 40) + shift, data);
    }
    return f;
}

std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

std::vector<uint8_t> Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Opens a reader, its window mapped when asked.
TagioFileReadAble* Open(const std::string& path, bool mapped) {
    TagioFileReadAble* r = CreateFileReadAble(path.c_str());
    if (r && mapped && !FileReadAble_MapWindow(r)) {
        DeleteFileReadAble(r);
        return nullptr;
    }
    return r;
}

class ReadWindow : public testing::TestWithParam<bool> {
protected:
    // Each variant its own files: ctest runs them side by side.
    std::string Name(const std::string& base) const { return (GetParam() ? "mapped-" : "read-") + base; }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(ReadOrMapped, ReadWindow, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "Mapped" : "Read"; });

// Walked by their headers and copied 1000 ms later, the tags make exactly the
// file built with the later times; what a look back at each tag's data reads
// is the file's, also once the window has long moved past it.
TEST_P(ReadWindow, TagsAcrossItsEdgesCopyAndReadBackExactly) {
    const Built src = MakeFile();
    const std::string in = WriteFile(Name("window-in.flv"), src.bytes),
                      out = testing::TempDir() + Name("window-out.flv");
    TagioFileReadAble* r = Open(in, GetParam());
    ASSERT_NE(r, nullptr);
    TagioFlvHeader header{};
    ASSERT_TRUE(Flv_ReadHeader(r, &header));
    TagioFileWriteAble* w = CreateFileWriteAble(out.c_str());
    ASSERT_TRUE(Flv_WriteHeader(w, &header));
    TagioFlvTag tag{};
    size_t n = 0;
    while (Flv_ReadTag(r, 0, &tag)) {
        ASSERT_LT(n, src.positions.size());
        EXPECT_EQ(tag.filePosition, src.positions[n]);
        uint8_t first[5];
        ASSERT_EQ(FileReadAble_ReadAt(r, tag.filePosition + 11, first, sizeof first), 5);
        EXPECT_TRUE(std::equal(first, first + 5, src.bytes.begin() + tag.filePosition + 11)) << "tag " << n;
        ASSERT_TRUE(Flv_CopyTag(r, &tag, tag.timestamp + 1000, w)) << "tag " << n;
        ++n;
    }
    EXPECT_EQ(n, src.positions.size());
    for (const int64_t at : {src.positions[0], src.positions[1] + 1000}) {
        uint8_t back[64];
        ASSERT_EQ(FileReadAble_ReadAt(r, at, back, sizeof back), int64_t(sizeof back));
        EXPECT_TRUE(std::equal(back, back + sizeof back, src.bytes.begin() + at)) << at;
    }
    DeleteFileReadAble(r);
    ASSERT_TRUE(DeleteFileWritable(w));
    EXPECT_TRUE(Slurp(out) == MakeFile(1000).bytes);
    unlink(in.c_str());
    unlink(out.c_str());
}

// A view holds what was asked, grows for more than the window, says how much
// is left at the end, and a view of bytes already in the window reads nothing.
TEST_P(ReadWindow, ViewsGiveTheFilesBytes) {
    const Built src = MakeFile();
    const std::string in = WriteFile(Name("view.flv"), src.bytes);
    TagioFileReadAble* r = Open(in, GetParam());
    ASSERT_NE(r, nullptr);
    const int64_t size = int64_t(src.bytes.size());
    struct Case {
        int64_t position;
        uint32_t count, ahead;
    };
    const Case cases[] = {
        {0, 13, 0},                                   // the header
        {src.positions[3] - 7, 3u << 20, 0},          // more than the window, from inside a tag
        {src.positions[3] + 5, 64, 1u << 20},         // inside what the grown window holds
        {size - 100, 1000, 1u << 20},                 // the end: fewer than asked
        {src.positions[1] + 1, 1u << 20, 1u << 20},   // back again
    };
    for (const Case& c : cases) {
        const uint8_t* bytes = nullptr;
        const int64_t got = FileReadAble_View(r, c.position, c.count, c.ahead, &bytes);
        const int64_t expect = std::min<int64_t>(c.count, size - c.position);
        ASSERT_GE(got, expect) << c.position;
        EXPECT_TRUE(std::equal(bytes, bytes + expect, src.bytes.begin() + c.position)) << c.position;
        // A read at a position inside the view is served from it and agrees.
        uint8_t back[16];
        const int64_t at = c.position + expect / 2;
        ASSERT_EQ(FileReadAble_ReadAt(r, at, back, sizeof back), int64_t(std::min<int64_t>(16, size - at)));
        EXPECT_TRUE(std::equal(back, back + std::min<int64_t>(16, size - at), src.bytes.begin() + at));
    }
    const uint8_t* bytes = nullptr;
    EXPECT_EQ(FileReadAble_View(r, size, 10, 0, &bytes), 0) << "nothing past the end";
    EXPECT_EQ(FileReadAble_View(r, -1, 10, 0, &bytes), -1);
    DeleteFileReadAble(r);
    unlink(in.c_str());
}

// An empty file cannot be mapped: its reader keeps reading into its window.
TEST(ReadWindowMapped, AnEmptyFileStaysRead) {
    const std::string in = WriteFile("map-window-empty.flv", {});
    TagioFileReadAble* r = CreateFileReadAble(in.c_str());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(FileReadAble_MapWindow(r), 0);
    uint8_t b[4];
    EXPECT_EQ(FileReadAble_ReadAt(r, 0, b, sizeof b), 0);
    DeleteFileReadAble(r);
    unlink(in.c_str());
}
