// The kept tag walk: fed the bytes another reader read (whole, in small
// pieces, or with the data of large tags skipped), it gives back what
// Flv_ReadHeader and Flv_ReadTag find in every fixture, damaged ones
// included, and refuses to finish when a header went by unread.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tagio/tagio.h"

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Walked {
    TagioFlvTag tag;
    int trailer;   // 1 right, 0 wrong (or missing)
};

// The walk as the file reader makes it; false when the header is refused.
bool ReadWalk(const std::string& path, int64_t* first, std::vector<Walked>& out) {
    TagioFileReadAble* in = CreateFileReadAble(path.c_str());
    TagioFlvHeader header{};
    if (!in || !Flv_ReadHeader(in, &header)) {
        DeleteFileReadAble(in);
        return false;
    }
    *first = FileReadAble_GetPosition(in);
    TagioFlvTag tag{};
    while (Flv_ReadTag(in, 0, &tag)) {
        uint8_t b[4];
        const int64_t back = tag.filePosition + 11 + tag.dataSize;
        const bool right = FileReadAble_ReadAt(in, back, b, 4) == 4 &&
                           (uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]) ==
                               tag.dataSize + 11;
        out.push_back({tag, right ? 1 : 0});
    }
    DeleteFileReadAble(in);
    return true;
}

// Stretches of the file to feed: [start, end) pairs in order.
using Stretches = std::vector<std::pair<int64_t, int64_t>>;

TagioTagDigest* Feed(const std::string& bytes, const Stretches& parts) {
    TagioTagDigest* d = Flv_DigestCreate(int64_t(bytes.size()));
    for (const auto& [a, b] : parts)
        Flv_DigestFeed(d, a, reinterpret_cast<const uint8_t*>(bytes.data()) + a, uint32_t(b - a));
    return d;
}

Stretches Pieces(int64_t size, int64_t piece) {
    Stretches s;
    for (int64_t at = 0; at < size; at += piece) s.push_back({at, std::min(size, at + piece)});
    return s;
}

// A tag whose data an indexing reader skips past its first 32 bytes, with
// its trailer: a large one that is no key frame (whose setup or picture
// header the walk reads further in).
bool Skipped(const TagioFlvTag& t) { return t.dataSize > 128 && !(t.type == 9 && t.codecField1 == 1); }

// What such a reader reads of a file: every byte but the skipped ones.
Stretches SkippingLargeData(const std::vector<Walked>& walk, int64_t first, int64_t size) {
    Stretches s{{0, first}};
    for (const Walked& w : walk) {
        const int64_t p = w.tag.filePosition, dataEnd = p + 11 + w.tag.dataSize;
        if (Skipped(w.tag)) s.push_back({p, p + 11 + 32});
        else s.push_back({p, std::min(size, dataEnd + 4)});
    }
    if (!walk.empty()) {
        const int64_t tail = walk.back().tag.filePosition + walk.back().tag.tagSize;
        if (tail < size) s.push_back({tail, size});
    }
    return s;
}

void ExpectSameWalk(TagioTagDigest* d, int64_t first, const std::vector<Walked>& walk, bool trailersSeen,
                    const std::string& what) {
    ASSERT_TRUE(Flv_DigestFinish(d)) << what;
    TagioDigestCursor c;
    EXPECT_EQ(Flv_DigestBegin(d, &c), first) << what;
    TagioFlvTag t{};
    for (size_t i = 0; i < walk.size(); ++i) {
        int trailer = 7;
        ASSERT_TRUE(Flv_DigestReadTag(d, &c, &t, &trailer)) << what << " tag " << i;
        const TagioFlvTag& r = walk[i].tag;
        EXPECT_EQ(t.filePosition, r.filePosition) << what << " tag " << i;
        EXPECT_EQ(t.type, r.type) << what << " tag " << i;
        EXPECT_EQ(t.timestamp, r.timestamp) << what << " tag " << i;
        EXPECT_EQ(t.streamId, r.streamId) << what << " tag " << i;
        EXPECT_EQ(t.dataSize, r.dataSize) << what << " tag " << i;
        EXPECT_EQ(t.tagSize, r.tagSize) << what << " tag " << i;
        EXPECT_EQ(t.codecField1, r.codecField1) << what << " tag " << i;
        EXPECT_EQ(t.codecField2, r.codecField2) << what << " tag " << i;
        EXPECT_EQ(t.codecField3, r.codecField3) << what << " tag " << i;
        EXPECT_EQ(t.codecField4, r.codecField4) << what << " tag " << i;
        EXPECT_EQ(t.packetType, r.packetType) << what << " tag " << i;
        EXPECT_EQ(t.compositionTime, r.compositionTime) << what << " tag " << i;
        EXPECT_EQ(t.trackCount, r.trackCount) << what << " tag " << i;
        EXPECT_EQ(t.data, nullptr);
        if (trailersSeen || !Skipped(r)) EXPECT_EQ(trailer, walk[i].trailer) << what << " tag " << i;
        else EXPECT_TRUE(trailer == -1 || trailer == walk[i].trailer) << what << " tag " << i;
    }
    EXPECT_FALSE(Flv_DigestReadTag(d, &c, &t, nullptr)) << what << ": the walk ends where the reader's does";
}

TEST(TagDigest, EveryFixtureWalksAsTheFileReaderWalksIt) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VELTRANO_FIXTURES_DIR)) {
        if (entry.path().extension() != ".flv") continue;
        const std::string path = entry.path().string();
        const std::string bytes = Slurp(path);
        std::vector<Walked> walk;
        int64_t first = -1;
        const bool readable = ReadWalk(path, &first, walk);
        const auto size = int64_t(bytes.size());
        const struct {
            const char* name;
            Stretches parts;
            bool trailersSeen;
        } feeds[] = {
            {"whole", {{0, size}}, true},
            {"in 1-byte pieces", Pieces(size, 1), true},
            {"in 4001-byte pieces", Pieces(size, 4001), true},
            {"large data skipped", SkippingLargeData(walk, std::max<int64_t>(first, 0), size), false},
        };
        for (const auto& f : feeds) {
            TagioTagDigest* d = Feed(bytes, f.parts);
            const std::string what = entry.path().filename().string() + " fed " + f.name;
            if (readable) ExpectSameWalk(d, first, walk, f.trailersSeen, what);
            else EXPECT_FALSE(Flv_DigestFinish(d)) << what << ": no FLV header, no walk";
            Flv_DigestDelete(d);
        }
        ++files;
    }
    EXPECT_GT(files, 20);
}

TEST(TagDigest, AHeaderThatWentByUnreadLeavesNoDigest) {
    const std::string path = std::string(VELTRANO_FIXTURES_DIR) + "/h264_aac_160x120.flv";
    const std::string bytes = Slurp(path);
    std::vector<Walked> walk;
    int64_t first = -1;
    ASSERT_TRUE(ReadWalk(path, &first, walk));
    ASSERT_GT(walk.size(), 20u);
    const int64_t p = walk[10].tag.filePosition;
    const auto size = int64_t(bytes.size());
    const Stretches gaps[] = {
        {{0, p + 5}, {p + 11, size}},   // inside the header
        {{0, p + 11}, {p + 13, size}},  // the codec fields after it
        {{0, p - 2}, {p, size}},        // half a trailer: the header after it could be anywhere
    };
    for (const Stretches& parts : gaps) {
        TagioTagDigest* d = Feed(bytes, parts);
        EXPECT_FALSE(Flv_DigestFinish(d));
        Flv_DigestDelete(d);
    }
    // Stopping early is no whole walk either.
    TagioTagDigest* d = Feed(bytes, {{0, size / 2}});
    EXPECT_FALSE(Flv_DigestFinish(d));
    Flv_DigestDelete(d);
}

}  // namespace
