// The read-ahead window under tag-by-tag copying: tags that straddle the
// window's edges or are larger than it, looks back at a walked tag's data,
// views of the window, and tags copied as a walk through views finds them,
// all give the file's own bytes; a file cut short under a view ends a
// guarded read only.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/mman.h>
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

}  // namespace

// Walked by their headers and copied 1000 ms later, the tags make exactly the
// file built with the later times; what a look back at each tag's data reads
// is the file's.
TEST(ReadWindow, TagsAcrossItsEdgesCopyAndReadBackExactly) {
    const Built src = MakeFile();
    const std::string in = WriteFile("window-in.flv", src.bytes), out = testing::TempDir() + "window-out.flv";
    TagioFileReadAble* r = CreateFileReadAble(in.c_str());
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
    DeleteFileReadAble(r);
    ASSERT_TRUE(DeleteFileWritable(w));
    EXPECT_TRUE(Slurp(out) == MakeFile(1000).bytes);
    unlink(in.c_str());
    unlink(out.c_str());
}

// A view holds what was asked, grows for more than the window, says how much
// is left at the end, and a view of bytes already in the window reads nothing.
TEST(ReadWindow, ViewsGiveTheFilesBytes) {
    const Built src = MakeFile();
    const std::string in = WriteFile("view.flv", src.bytes);
    TagioFileReadAble* r = CreateFileReadAble(in.c_str());
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

// Tags walked through views and copied with the header bytes the walker
// read: unchanged ones, retimed ones, ones after a wrong trailing size and
// ones the view no longer holds all make exactly the file with those times
// and right trailing sizes.
TEST(ReadWindow, ViewedTagsCopyExactly) {
    const Built src = MakeFile();
    std::vector<uint8_t> input = src.bytes;
    const auto end = [&](size_t n) { return n + 1 < src.positions.size() ? src.positions[n + 1] : int64_t(input.size()); };
    for (size_t n = 0; n < src.positions.size(); n += 4) input[size_t(end(n)) - 1] ^= 0x5A;   // wrong trailing sizes
    const std::string in = WriteFile("viewed-in.flv", input), out = testing::TempDir() + "viewed-out.flv";
    // The same bytes in memory: a file the kernel will not copy from into
    // most others (copy_file_range says EXDEV), so runs are read and written.
    const int memory = memfd_create("viewed-in", MFD_CLOEXEC);
    ASSERT_GE(memory, 0);
    ASSERT_EQ(pwrite(memory, input.data(), input.size(), 0), ssize_t(input.size()));
    const std::string inMemory = "/proc/self/fd/" + std::to_string(memory);
    for (const int way : {0, 1, 2}) {
        const bool inRam = way == 1, readied = way == 2;
        SCOPED_TRACE(inRam ? "a file in memory" : readied ? "views readied ahead" : "a file on disk");
        TagioFileReadAble* r = CreateFileReadAble(inRam ? inMemory.c_str() : in.c_str());
        TagioFileWriteAble* w = CreateFileWriteAble(out.c_str());
        ASSERT_TRUE(r && w);
        if (readied) FileReadAble_ViewAhead(r);
        std::vector<uint8_t> expect = src.bytes;
        const TagioFlvHeader header{1, 5, {0, 0}, 9};
        ASSERT_TRUE(Flv_WriteHeader(w, &header));
        for (size_t n = 0; n < src.positions.size(); ++n) {
            const int64_t at = src.positions[n];
            const uint8_t* bytes = nullptr;
            ASSERT_GE(FileReadAble_View(r, at, uint32_t(end(n) - at), 1u << 20, &bytes), end(n) - at) << n;
            uint8_t head[11];
            std::copy(bytes, bytes + 11, head);
            const bool agrees = n % 4 != 0;
            // Unchanged ones in runs (copied inside the kernel), the last too:
            // its run is written after the reader is closed.
            const uint32_t time = n % 3 != 2 ? uint32_t(n * 40) : uint32_t(n * 40) + 0x01000001u;   // the high byte too
            uint8_t* e = expect.data() + at;
            e[4] = uint8_t(time >> 16), e[5] = uint8_t(time >> 8), e[6] = uint8_t(time), e[7] = uint8_t(time >> 24);
            // Every fifth is copied after the walk moved the view past it.
            if (n % 5 == 2) {
                ASSERT_GE(FileReadAble_View(r, end(n), 1, 0, &bytes), 0);
            }
            ASSERT_TRUE(Flv_CopyViewedTag(r, head, at, time, agrees, w)) << n;
        }
        DeleteFileReadAble(r);
        ASSERT_TRUE(DeleteFileWritable(w));
        EXPECT_TRUE(Slurp(out) == expect);
    }
    close(memory);
    unlink(in.c_str());
    unlink(out.c_str());
}

// A file cut short under a mapped view: a guarded read of the lost part ends
// the guarded call (the reader reads the file from then on), an unguarded
// one still ends the process as it always did.
TEST(ReadWindow, FileCutUnderTheViewEndsTheGuardedReadOnly) {
    const Built src = MakeFile();
    const std::string in = WriteFile("cut-view.flv", src.bytes);
  for (const bool readied : {false, true}) {
    SCOPED_TRACE(readied ? "views readied ahead" : "views mapped one by one");
    ASSERT_EQ(truncate(in.c_str(), int64_t(src.bytes.size())), 0);
    TagioFileReadAble* r = CreateFileReadAble(in.c_str());
    ASSERT_NE(r, nullptr);
    // Readied ahead, the view is part of a mapping of the whole file, which
    // the reader's own thread is mapping in beyond the cut as it happens.
    if (readied) FileReadAble_ViewAhead(r);
    const uint8_t* bytes = nullptr;
    ASSERT_GE(FileReadAble_View(r, 0, 1u << 20, 0, &bytes), 1 << 20);
    ASSERT_EQ(truncate(in.c_str(), 4096), 0);
    struct Read {
        const uint8_t* bytes;
        int64_t at;
    };
    const auto read = [](void* u) {
        const Read* x = static_cast<Read*>(u);
        return int(*static_cast<const volatile uint8_t*>(x->bytes + x->at));
    };
    Read head{bytes, 100}, lost{bytes, 1 << 19};
    EXPECT_EQ(FileReadAble_Guarded(r, read, &head), src.bytes[100]) << "a byte still in the file";
    EXPECT_EQ(FileReadAble_Guarded(r, read, &lost), -1);
    EXPECT_EQ(FileReadAble_View(r, 1 << 19, 16, 0, &bytes), 0) << "read from the file now: nothing there";
    DeleteFileReadAble(r);
  }

    ASSERT_EQ(truncate(in.c_str(), int64_t(src.bytes.size())), 0);
    EXPECT_DEATH(
        {
            TagioFileReadAble* again = CreateFileReadAble(in.c_str());
            const uint8_t* view = nullptr;
            FileReadAble_View(again, 0, 1u << 20, 0, &view);
            if (truncate(in.c_str(), 4096) == 0) std::printf("%d", *static_cast<const volatile uint8_t*>(view + (1 << 19)));
        },
        "");
    unlink(in.c_str());
}

// Tags waiting to be written from a mapped view, or as a run to be copied
// inside the kernel, when another handle cuts the file short: the write
// fails (the kernel's copy from a lost page is an error, not a signal), the
// output is told as failed, and the process goes on.
TEST(ReadWindow, FileCutUnderWaitingCopiesFailsTheOutput) {
    const Built src = MakeFile();
    const std::string in = testing::TempDir() + "cut-copy.flv", out = testing::TempDir() + "cut-copy-out.flv";
    const size_t first = src.positions.size() - 4;   // the tags of the last view
    for (const int way : {0, 1, 2}) {
        const uint32_t shift = way ? 1000 : 0;
        SCOPED_TRACE(way == 0 ? "unchanged tags, a run copied in the kernel"
                     : way == 1 ? "retimed tags, gathered from the view"
                                : "retimed tags, gathered from a view readied ahead");
        WriteFile("cut-copy.flv", src.bytes);
        TagioFileReadAble* r = CreateFileReadAble(in.c_str());
        TagioFileWriteAble* w = CreateFileWriteAble(out.c_str());
        ASSERT_TRUE(r && w);
        if (way == 2) FileReadAble_ViewAhead(r);
        for (size_t n = first; n < src.positions.size(); ++n) {
            const int64_t at = src.positions[n];
            const uint8_t* bytes = nullptr;
            ASSERT_GE(FileReadAble_View(r, at, 11, 1u << 20, &bytes), 11) << n;
            uint8_t head[11];
            std::copy(bytes, bytes + 11, head);
            ASSERT_TRUE(Flv_CopyViewedTag(r, head, at, uint32_t(n * 40) + shift, 1, w)) << n;
        }
        ASSERT_EQ(truncate(in.c_str(), 4096), 0);
        DeleteFileReadAble(r);
        EXPECT_EQ(DeleteFileWritable(w), 0);
        EXPECT_LT(Slurp(out).size(), size_t(src.bytes.size() - src.positions[first]));
    }
    unlink(in.c_str());
    unlink(out.c_str());
}

long FileResidentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("RssFile:", 0) == 0) return std::stol(line.substr(8)) / 1024;
    return -1;
}

// Retimed tags copied as a walk with views readied ahead finds them: the
// pages a gathered write takes back in after the walk let go of them are let
// go again, whatever the tags' size, so memory stays bounded; the copy is exact.
TEST(ReadWindow, CopiesFromViewsReadiedAheadKeepLittleOfTheFileMapped) {
    constexpr uint32_t kTags = 3000;
    std::vector<uint8_t> bytes = {'F', 'L', 'V', 1, 1, 0, 0, 0, 9, 0, 0, 0, 0};
    std::vector<int64_t> positions;
    for (uint32_t i = 0; i < kTags; ++i) {
        // Large pictures of varied sizes, so tags straddle views and a
        // gathered write holds several views' worth.
        std::vector<uint8_t> data(40000 + (i * 7919) % 50000, uint8_t(i));
        data[0] = 0x22;
        positions.push_back(int64_t(bytes.size()));
        PutTag(bytes, 9, i * 40, data);
    }
    const std::string in = WriteFile("readied-copy.flv", bytes), out = testing::TempDir() + "readied-copy-out.flv";
    TagioFileReadAble* r = CreateFileReadAble(in.c_str());
    TagioFileWriteAble* w = CreateFileWriteAble(out.c_str());
    ASSERT_TRUE(r && w);
    FileReadAble_ViewAhead(r);
    ASSERT_TRUE(Flv_WriteHeader(w, std::array<TagioFlvHeader, 1>{{{1, 1, {0, 0}, 9}}}.data()));
    const long before = FileResidentMiB();
    long most = 0;
    for (uint32_t i = 0; i < kTags; ++i) {
        const int64_t end = i + 1 < kTags ? positions[i + 1] : int64_t(bytes.size());
        const uint8_t* view = nullptr;
        ASSERT_GE(FileReadAble_View(r, positions[i], uint32_t(end - positions[i]), 1u << 20, &view),
                  end - positions[i]);
        uint8_t head[11];
        std::copy(view, view + 11, head);
        ASSERT_TRUE(Flv_CopyViewedTag(r, head, positions[i], i * 40 + 1000, 1, w)) << i;
        if (i % 50 == 0) most = std::max(most, FileResidentMiB() - before);
    }
    DeleteFileReadAble(r);
    ASSERT_TRUE(DeleteFileWritable(w));
    EXPECT_LT(most, 48) << "MiB of a " << bytes.size() / (1 << 20) << " MiB file mapped in at most";
    for (uint32_t i = 0; i < kTags; ++i) {   // every time 1000 ms later (the high byte stays 0)
        const uint32_t t = i * 40 + 1000;
        uint8_t* head = bytes.data() + positions[i];
        head[4] = uint8_t(t >> 16), head[5] = uint8_t(t >> 8), head[6] = uint8_t(t);
    }
    EXPECT_TRUE(Slurp(out) == bytes) << "the copy differs";
    unlink(in.c_str());
    unlink(out.c_str());
}

// A walk through a file many views long with views readied ahead keeps only
// a few views' worth of it mapped in, and sees the file's bytes; dropping
// the view lets go of the rest.
TEST(ReadWindow, ViewsReadiedAheadKeepLittleOfTheFileMapped) {
    constexpr size_t kMiB = 1u << 20, kFile = 160 * kMiB;
    const std::string in = testing::TempDir() + "readied.bin";
    {
        std::vector<uint8_t> chunk(kMiB);
        std::ofstream file(in, std::ios::binary);
        for (size_t m = 0; m < kFile / kMiB; ++m) {
            for (size_t i = 0; i < kMiB; i += 4096) chunk[i] = uint8_t(m + i / 4096);
            file.write(reinterpret_cast<const char*>(chunk.data()), std::streamsize(chunk.size()));
        }
    }
    const auto fileResident = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("RssFile:", 0) == 0) return std::stol(line.substr(8)) / 1024;   // MiB
        return -1L;
    };
    TagioFileReadAble* r = CreateFileReadAble(in.c_str());
    ASSERT_NE(r, nullptr);
    FileReadAble_ViewAhead(r);
    const long before = fileResident();
    ASSERT_GE(before, 0);
    long most = 0;
    for (size_t at = 0; at < kFile; at += 4096) {
        const uint8_t* bytes = nullptr;
        ASSERT_GE(FileReadAble_View(r, int64_t(at), 1, 1u << 20, &bytes), 1);
        ASSERT_EQ(*bytes, uint8_t(at / kMiB + (at % kMiB) / 4096)) << at;
        if (at % kMiB == 0) most = std::max(most, fileResident() - before);
    }
    // Dropping the view ends the walk: nothing of the file stays mapped in.
    FileReadAble_DropView(r);
    EXPECT_LE(fileResident() - before, 1) << "MiB mapped in after the view was dropped";
    DeleteFileReadAble(r);
    // A view, what is readied ahead of it, what is kept behind it, and the lag
    // a busy machine allows: far from the whole file.
    EXPECT_LT(most, 64) << "MiB of the file mapped in at most";
    unlink(in.c_str());
}
