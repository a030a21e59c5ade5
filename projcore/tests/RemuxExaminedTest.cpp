// The copy without re-encoding plans from the tag walks the examination
// kept: the file it writes is the one a copy reading every clip writes, a
// clip changed since its examination is read again, and one changed behind
// an unchanged stamp is found out by the copy rather than given the old
// walk's times.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "bus/MediaExamination.h"
#include "convert/Remux.h"
#include "projcore/Records.h"
#include "render/TagDigestStore.h"

namespace {

std::string Fixture(const std::string& name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

const TRemuxContainer kMp4{"mp4remux", "mp4", "MP4"};
const TRemuxContainer kMov{"movremux", "mov", "MOV"};
const TRemuxContainer kMkv{"mkvremux", "matroska", "MKV"};

TRemuxResult Copy(const std::vector<TRemuxClip>& clips, const TRemuxContainer& container, const std::string& out,
                  bool exact = false) {
    CFlvBindProgress job;
    return CRemux::Run(clips, container, {{"title", "kept"}}, out, true, true, exact, job);
}

void Examine(const std::string& path) {
    MediaFileInfo info{};
    info.path = path.c_str();
    ExamineMediaFile(info);
}

// What a file holds, byte for byte; Matroska's by its packets and their
// times, as its segment and track IDs are drawn at random.
std::string Written(const std::string& path, const TRemuxContainer& container) {
    if (&container != &kMkv) return ReadFile(path);
    std::string out;
    if (FILE* p = ::popen(("ffmpeg -v error -i '" + path + "' -map 0 -c copy -f framemd5 - 2>&1").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
        ::pclose(p);
    }
    return out;
}

TEST(RemuxExamined, TheCopyPlannedFromTheExaminationIsTheCopyThatReadsTheClips) {
    const uint32_t whole = 0xFFFFFFFF;
    const struct {
        const char* name;
        std::vector<const char*> files;
        const TRemuxContainer& container;
        uint32_t trimStart, trimEnd;
        bool exact;
    } cases[] = {
        {"H.264 with B-frames and AAC", {"h264_aac_bf2_160x120.flv"}, kMp4, 0, whole, false},
        {"trimmed between key frames, three clips", {"h264_aac_bf2_160x120.flv", "h264_aac_160x120.flv",
                                                     "h264_aac_bf2_160x120.flv"}, kMov, 700, 2300, false},
        {"an exact cut", {"h264_aac_bf2_2997_160x120.flv"}, kMp4, 700, 2300, true},
        {"MP3 sound alone, whose blocks are read for their length", {"mp3_audio_only.flv"}, kMp4, 500, 2500, false},
        {"HEVC and Opus with extended headers", {"codecs/hvc1_opus_160x120.flv"}, kMp4, 0, 1300, false},
        {"multitrack HEVC and E-AC-3", {"codecs/multitrack_hvc1_eac3_160x120.flv"}, kMp4, 0, whole, false},
        {"VP9 and AC-3", {"codecs/vp09_ac3_160x120.flv"}, kMkv, 300, whole, false},
        {"Sorenson and MP3", {"flv1_mp3_160x120.flv"}, kMkv, 500, 2500, false},
        {"a timeline that starts at 5 s", {"first_ts_5000.flv"}, kMkv, 0, whole, false},
        {"Sorenson refused by MP4", {"flv1_mp3_160x120.flv"}, kMp4, 0, whole, false},
        {"a file cut short in a tag", {"broken/truncated.flv"}, kMp4, 0, whole, false},
        {"a size past the end", {"broken/size_past_end.flv"}, kMp4, 0, whole, false},
        {"sound stepping back", {"broken/audio_step_back.flv"}, kMp4, 0, whole, false},
        {"setups stored again", {"broken/repeated_setups.flv"}, kMp4, 0, whole, false},
        {"a picture size that changes: refused", {"broken/size_change.flv"}, kMp4, 0, whole, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::vector<TRemuxClip> clips;
        for (size_t i = 0; i < c.files.size(); ++i) {
            const std::string copy = dir.File("clip" + std::to_string(i) + ".flv");
            WriteFile(copy, ReadFile(Fixture(c.files[i])));
            clips.push_back({copy, "clip " + std::to_string(i), c.trimStart, c.trimEnd, c.trimEnd == whole});
        }
        // Not examined: the plan reads the files.
        for (const TRemuxClip& clip : clips) ASSERT_EQ(CTagDigestStore::Shared().Find(clip.path), nullptr);
        const TRemuxResult read = Copy(clips, c.container, dir.File("read"), c.exact);

        for (const TRemuxClip& clip : clips) {
            Examine(clip.path);
            ASSERT_NE(CTagDigestStore::Shared().Find(clip.path), nullptr) << clip.path;
        }
        const TRemuxResult kept = Copy(clips, c.container, dir.File("kept"), c.exact);
        EXPECT_EQ(kept.code, read.code) << kept.text;
        EXPECT_EQ(kept.text, read.text);
        if (read.code != CRemux::kDone) continue;
        const std::string bytes = Written(dir.File("read"), c.container);
        EXPECT_GT(bytes.size(), 1000u);
        EXPECT_TRUE(bytes == Written(dir.File("kept"), c.container)) << "the two copies differ";
    }
}

TEST(RemuxExamined, AClipChangedSinceItsExaminationIsReadAgain) {
    const std::string other = ReadFile(Fixture("h264_aac_bf2_2997_160x120.flv"));
    const struct {
        const char* name;
        void (*change)(const std::string& path, const std::string& other, const std::string& spare);
    } changes[] = {
        {"replaced by another file",
         [](const std::string& path, const std::string& o, const std::string& spare) {
             WriteFile(spare, o);
             ASSERT_EQ(std::rename(spare.c_str(), path.c_str()), 0);
         }},
        {"written again in place",
         [](const std::string& path, const std::string& o, const std::string&) { WriteFile(path, o); }},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string clip = dir.File("clip.flv");
        WriteFile(clip, ReadFile(Fixture("h264_aac_bf2_160x120.flv")));
        Examine(clip);
        ASSERT_NE(CTagDigestStore::Shared().Find(clip), nullptr);

        c.change(clip, other, dir.File("spare.flv"));
        const TRemuxResult changed = Copy({{clip, "a", 0, 0, true}, {clip, "b", 0, 0, true}}, kMp4, dir.File("changed.mp4"));
        ASSERT_EQ(changed.code, CRemux::kDone) << changed.text;

        const std::string fresh = dir.File("fresh.flv");
        WriteFile(fresh, other);
        ASSERT_EQ(Copy({{fresh, "a", 0, 0, true}, {fresh, "b", 0, 0, true}}, kMp4, dir.File("expected.mp4")).code,
                  CRemux::kDone);
        EXPECT_TRUE(ReadFile(dir.File("changed.mp4")) == ReadFile(dir.File("expected.mp4")))
            << "the copy followed the file's old tags";
    }
}

// The dry run that times the chapters walks the kept tags, the copy the
// file: a file whose tags moved in time while its size and time of change
// stayed is refused, not written with chapters that lie.
TEST(RemuxExamined, AFileChangedBehindItsStampIsFoundOutByTheCopy) {
    TempDir dir;
    const std::string clip = dir.File("clip.flv");
    WriteFile(clip, ReadFile(Fixture("h264_aac_bf2_160x120.flv")));
    Examine(clip);
    ASSERT_NE(CTagDigestStore::Shared().Find(clip), nullptr);

    // The last picture (not the end of sequence after it) half a second later, in place.
    const std::string original = ReadFile(clip);
    std::string bytes = original;
    size_t last = 0;
    for (size_t at = 13; at + 13 <= bytes.size();) {
        const auto b = [&](size_t i) { return uint32_t(uint8_t(bytes[at + i])); };
        if ((b(0) & 0x1F) == 9 && b(12) == 1) last = at;
        at += 11 + (b(1) << 16 | b(2) << 8 | b(3)) + 4;
    }
    ASSERT_GT(last, 0u);
    const auto at = [&](size_t i) { return uint32_t(uint8_t(bytes[last + i])); };
    const uint32_t t = (at(4) << 16 | at(5) << 8 | at(6)) + 500;
    bytes[last + 4] = char(t >> 16);
    bytes[last + 5] = char(t >> 8);
    bytes[last + 6] = char(t);
    {
        std::fstream f(clip, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(std::streamoff(last + 4));
        f.write(bytes.data() + last + 4, 3);
    }
    // A stamp that does not tell the change (a file system whose times are
    // coarse, a clock set back): the store holds the old walk under the new stamp.
    TagioTagDigest* old = Flv_DigestCreate(int64_t(original.size()));
    ASSERT_NE(old, nullptr);
    Flv_DigestFeed(old, 0, reinterpret_cast<const uint8_t*>(original.data()), uint32_t(original.size()));
    ASSERT_NE(Flv_DigestFinish(old), 0);
    CTagDigestStore::Shared().Keep(clip, CTagDigestStore::StampOf(clip), old);
    ASSERT_NE(CTagDigestStore::Shared().Find(clip), nullptr);

    const TRemuxResult r = Copy({{clip, "a", 0, 0, true}}, kMp4, dir.File("out.mp4"));
    EXPECT_EQ(r.code, CRemux::kCannotOpenClip);
    EXPECT_NE(r.text.find("changed while it was copied"), std::string::npos) << r.text;
}

}  // namespace
