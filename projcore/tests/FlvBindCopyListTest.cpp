// The join's copy list: what the plan kept is written as the tag-by-tag copy
// would write it, a clip changed since the plan is not copied from the list,
// and a cancel stops the copy.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "TempDir.h"
#include "convert/FlvBindCopyList.h"
#include "convert/FlvTagWalk.h"

namespace {

std::string Fixture(const char* name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

// The A/V tags of path, later by shift ms, with a made tag after the tenth:
// into the list, and copied tag by tag into expected.
void Plan(const std::string& path, uint32_t shift, CFlvBindCopyList& list, const std::string& expected,
          int64_t* lastMs) {
    static const uint8_t kMade[] = {8, 0, 0, 2, 0, 0, 1, 0, 0, 0, 0, 0x2F, 0x11};
    TagioFileReadAble* in = CreateFileReadAble(path.c_str());
    TagioFileWriteAble* w = CreateFileWriteAble(expected.c_str());
    ASSERT_TRUE(in && w);
    TagioFlvHeader header{};
    ASSERT_TRUE(Flv_ReadHeader(in, &header));
    list.BeginClip(0, path);
    TagioFlvTag tag{};
    CFlvTagWalk walk(in, nullptr);
    for (int n = 0; walk.Next(tag);) {
        if (tag.type != 8 && tag.type != 9) continue;
        list.Copy(tag.filePosition, tag.tagSize, shift, tag.timestamp + shift, walk.TrailerAgrees(tag));
        ASSERT_TRUE(Flv_CopyTag(in, &tag, tag.timestamp + shift, w));
        *lastMs = tag.timestamp + shift;
        if (++n == 10) {
            TagioFlvTag made{};
            made.buffer = const_cast<uint8_t*>(kMade);
            made.bufferCapacity = sizeof kMade;
            made.dataSize = 2;
            list.Made(kMade, sizeof kMade, *lastMs);
            ASSERT_TRUE(Flv_WriteTag(w, &made));
        }
    }
    DeleteFileReadAble(in);
    ASSERT_TRUE(DeleteFileWritable(w));
}

CFlvBindCopyList::Outcome Write(const CFlvBindCopyList& list, const std::string& clip, const std::string& out,
                                CFlvBindProgress& job, int64_t* positionMs) {
    TagioFileWriteAble* w = CreateFileWriteAble(out.c_str());
    const auto outcome = list.Write({{clip, 0, UINT32_MAX}}, w, job, 1000, positionMs);
    EXPECT_TRUE(DeleteFileWritable(w));
    return outcome;
}

TEST(FlvBindCopyList, WritesWhatTheTagByTagCopyWritesUnlessTheClipChangedOrTheJobIsCancelled) {
    TempDir dir;
    const std::string clip = dir.File("clip.flv");
    WriteFile(clip, ReadFile(Fixture("h264_aac_160x120.flv")));
    CFlvBindProgress job;
    int64_t position = -1, lastMs = 0;
    // Unmoved tags are copied as they are (in the kernel), moved ones retimed.
    for (uint32_t shift : {0u, 500u}) {
        CFlvBindCopyList copies;
        ASSERT_NO_FATAL_FAILURE(Plan(clip, shift, copies, dir.File("expected.flv"), &lastMs));
        EXPECT_EQ(Write(copies, clip, dir.File("out.flv"), job, &position), CFlvBindCopyList::kWritten);
        EXPECT_TRUE(ReadFile(dir.File("out.flv")) == ReadFile(dir.File("expected.flv"))) << shift;
        EXPECT_EQ(position, lastMs);
    }
    CFlvBindCopyList list;
    ASSERT_NO_FATAL_FAILURE(Plan(clip, 500, list, dir.File("expected.flv"), &lastMs));
    ASSERT_TRUE(list.Whole());

    job.SetState(CFlvBindProgress::kCancel);
    EXPECT_EQ(Write(list, clip, dir.File("out.flv"), job, &position), CFlvBindCopyList::kCancelled);
    EXPECT_LT(position, lastMs);
    EXPECT_LT(ReadFile(dir.File("out.flv")).size(), ReadFile(dir.File("expected.flv")).size());

    // The same bytes written again: only the time of change differs.
    struct stat before {};
    ASSERT_EQ(::stat(clip.c_str(), &before), 0);
    const struct timespec later[2] = {before.st_atim, {before.st_mtim.tv_sec + 1, before.st_mtim.tv_nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, clip.c_str(), later, 0), 0);
    job.SetState(CFlvBindProgress::kRunning);
    EXPECT_EQ(Write(list, clip, dir.File("out.flv"), job, &position), CFlvBindCopyList::kChanged);
}

}  // namespace
