// The join plans from the tag walks the examination kept: the joined file is
// the one a join reading every clip writes, and a clip changed since its
// examination is read again rather than planned from what it held before.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "bus/MediaExamination.h"
#include "convert/FlvBind.h"
#include "projcore/Records.h"
#include "render/TagDigestStore.h"

namespace {

std::string Fixture(const char* name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

TFlvBindResult Join(const std::vector<TFlvBindClip>& clips, const std::string& out) {
    CFlvBindProgress job;
    return CFlvBind::Run(clips, out, true, true, job);
}

void Examine(const std::string& path) {
    MediaFileInfo info{};
    info.path = path.c_str();
    ExamineMediaFile(info);
}

TEST(FlvBindExamined, TheJoinPlannedFromTheExaminationIsTheJoinThatReadsTheClips) {
    const struct {
        const char* name;
        std::vector<const char*> files;
        uint32_t trimStart, trimEnd;
    } cases[] = {
        {"Sorenson and MP3, whole", {"flv1_mp3_160x120.flv", "flv1_mp3_160x120.flv"}, 0, 0xFFFFFFFF},
        {"H.264 with B-frames and AAC, trimmed",
         {"h264_aac_bf2_160x120.flv", "h264_aac_bf2_160x120.flv", "h264_aac_bf2_160x120.flv"}, 700, 2300},
        {"H.264 then H.264 with B-frames", {"h264_aac_160x120.flv", "h264_aac_bf2_160x120.flv"}, 0, 0xFFFFFFFF},
        {"a timeline that starts at 5 s", {"first_ts_5000.flv", "first_ts_5000.flv"}, 0, 0xFFFFFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::vector<TFlvBindClip> clips;
        for (size_t i = 0; i < c.files.size(); ++i) {
            const std::string copy = dir.File("clip" + std::to_string(i) + ".flv");
            WriteFile(copy, ReadFile(Fixture(c.files[i])));
            clips.push_back({copy, c.trimStart, c.trimEnd});
        }
        // Not examined: the plan reads the files.
        for (const TFlvBindClip& clip : clips) ASSERT_EQ(CTagDigestStore::Shared().Find(clip.path), nullptr);
        ASSERT_EQ(Join(clips, dir.File("read.flv")).code, CFlvBind::kDone);

        for (const TFlvBindClip& clip : clips) {
            Examine(clip.path);
            ASSERT_NE(CTagDigestStore::Shared().Find(clip.path), nullptr) << clip.path;
        }
        ASSERT_EQ(Join(clips, dir.File("kept.flv")).code, CFlvBind::kDone);
        const std::string read = ReadFile(dir.File("read.flv"));
        EXPECT_GT(read.size(), 1000u);
        EXPECT_TRUE(read == ReadFile(dir.File("kept.flv"))) << "the two joins differ";
    }
}

TEST(FlvBindExamined, AClipChangedSinceItsExaminationIsReadAgain) {
    const std::string other = ReadFile(Fixture("h264_aac_bf2_160x120.flv"));
    // Each change returns what the clip holds afterwards.
    const struct {
        const char* name;
        std::string (*change)(const std::string& path, const std::string& other, const std::string& spare);
    } changes[] = {
        {"replaced by another file",
         [](const std::string& path, const std::string& o, const std::string& spare) {
             WriteFile(spare, o);
             EXPECT_EQ(std::rename(spare.c_str(), path.c_str()), 0);
             return o;
         }},
        {"written again in place",
         [](const std::string& path, const std::string& o, const std::string&) {
             WriteFile(path, o);
             return o;
         }},
        {"written again in place at the same size, its modification time put back",
         [](const std::string& path, const std::string& o, const std::string&) {
             struct stat before {};
             EXPECT_EQ(::stat(path.c_str(), &before), 0);
             // File times move in clock ticks of a few milliseconds.
             std::this_thread::sleep_for(std::chrono::milliseconds(30));
             const std::string same = o.substr(0, size_t(before.st_size));   // its last tag cut short
             WriteFile(path, same);
             const timespec times[2] = {before.st_atim, before.st_mtim};
             EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
             return same;
         }},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string clip = dir.File("clip.flv");
        WriteFile(clip, ReadFile(Fixture("flv1_mp3_160x120.flv")));
        Examine(clip);
        ASSERT_NE(CTagDigestStore::Shared().Find(clip), nullptr);

        const std::string now = c.change(clip, other, dir.File("spare.flv"));
        EXPECT_EQ(CTagDigestStore::Shared().Find(clip), nullptr);
        ASSERT_EQ(Join({{clip, 0, 0xFFFFFFFF}, {clip, 0, 0xFFFFFFFF}}, dir.File("changed.flv")).code, CFlvBind::kDone);

        const std::string fresh = dir.File("fresh.flv");
        WriteFile(fresh, now);
        ASSERT_EQ(Join({{fresh, 0, 0xFFFFFFFF}, {fresh, 0, 0xFFFFFFFF}}, dir.File("expected.flv")).code,
                  CFlvBind::kDone);
        EXPECT_TRUE(ReadFile(dir.File("changed.flv")) == ReadFile(dir.File("expected.flv")))
            << "the join followed the file's old tags";
    }
}

TEST(FlvBindExamined, TheStoreKeepsTheLatestWalksWithinItsBound) {
    TempDir dir;
    std::vector<std::string> paths;
    int64_t one = 0;
    for (int i = 0; i < 3; ++i) {
        paths.push_back(dir.File("clip" + std::to_string(i) + ".flv"));
        WriteFile(paths.back(), ReadFile(Fixture("flv1_mp3_160x120.flv")));
    }
    // Room for two walks of this file: the oldest of three goes.
    {
        const std::string bytes = ReadFile(paths[0]);
        TagioTagDigest* d = Flv_DigestCreate(int64_t(bytes.size()));
        Flv_DigestFeed(d, 0, reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
        ASSERT_TRUE(Flv_DigestFinish(d));
        one = Flv_DigestMemory(d);
        Flv_DigestDelete(d);
    }
    CTagDigestStore store(2 * one + one / 2);
    for (const std::string& path : paths) {
        const std::string bytes = ReadFile(path);
        TagioTagDigest* d = Flv_DigestCreate(int64_t(bytes.size()));
        Flv_DigestFeed(d, 0, reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
        ASSERT_TRUE(Flv_DigestFinish(d));
        store.Keep(path, CTagDigestStore::StampOf(path), d);
    }
    EXPECT_EQ(store.Find(paths[0]), nullptr);
    EXPECT_NE(store.Find(paths[1]), nullptr);
    EXPECT_NE(store.Find(paths[2]), nullptr);
    EXPECT_LE(store.Bytes(), 2 * one + one / 2);
}

}  // namespace
