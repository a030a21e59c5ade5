// Outputs under construction: exclusive temporary entries, final names
// claimed without replacing anything, and the leftovers of killed writers.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "TempDir.h"
#include "convert/PartFile.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// Writes text into a new part beside target and claims it; the name it got.
std::string WriteAndClaim(const std::string& target, const std::string& text, bool overwrite) {
    CPartFile part;
    std::string why, final;
    if (!part.Create(target, CPartFile::kFile, why)) return "create failed: " + why;
    WriteFile(part.Path(), text);
    if (!part.Claim(target, overwrite, final, why)) return "claim failed: " + why;
    return final;
}

}  // namespace

TEST(PartFile, ANewNameNeverReplacesAFileAndOverwriteReplacesItWhole) {
    TempDir dir;
    const std::string target = dir.File("clip.mp4");
    WriteFile(target, "the user's");
    EXPECT_EQ(WriteAndClaim(target, "first", false), dir.File("clip_0.mp4"));
    EXPECT_EQ(WriteAndClaim(target, "second", false), dir.File("clip_1.mp4"));
    EXPECT_EQ(ReadFile(target), "the user's");
    EXPECT_EQ(WriteAndClaim(target, "third", true), target);
    EXPECT_EQ(ReadFile(target), "third");
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"clip.mp4", "clip_0.mp4", "clip_1.mp4"}));
    // A name picked earlier that was taken meanwhile: numbered from the name first asked for.
    CPartFile late;
    std::string why0, final0;
    ASSERT_TRUE(late.Create(target, CPartFile::kFile, why0)) << why0;
    ASSERT_TRUE(late.Claim(dir.File("clip_1.mp4"), false, final0, why0, target)) << why0;
    EXPECT_EQ(final0, dir.File("clip_2.mp4"));

    // A folder (a picture series) likewise takes the next free name.
    fs::create_directories(dir.File("series"));
    CPartFile folder;
    std::string why, final;
    ASSERT_TRUE(folder.Create(dir.File("series"), CPartFile::kFolder, why)) << why;
    WriteFile(folder.Path() + "/p_0.png", "picture");
    ASSERT_TRUE(folder.Claim(dir.File("series"), false, final, why)) << why;
    EXPECT_EQ(final, dir.File("series_0"));
    EXPECT_EQ(ReadFile(final + "/p_0.png"), "picture");
}

TEST(PartFile, AnUnclaimedPartGoesAndNamesTooLongAreRefusedWithTheReason) {
    TempDir dir;
    {
        CPartFile part;
        std::string why;
        ASSERT_TRUE(part.Create(dir.File("x.flv"), CPartFile::kFile, why)) << why;
        EXPECT_EQ(fs::path(part.Path()).extension(), ".flv");   // writers may pick their format by it
        EXPECT_TRUE(IsPartName(fs::path(part.Path()).filename().string()));
    }
    EXPECT_TRUE(Names(dir.Path()).empty());
    CPartFile part;
    std::string why;
    EXPECT_FALSE(part.Create(dir.File(std::string(300, 'n') + ".mp4"), CPartFile::kFile, why));
    EXPECT_NE(why.find("too long"), std::string::npos) << why;
    EXPECT_FALSE(part.Create(dir.File("no/such/folder/x.mp4"), CPartFile::kFile, why));
    EXPECT_NE(why.find("No such file"), std::string::npos) << why;
}

// Processes claiming one name at the same moment each end with a file of
// their own, whole, and nothing temporary is left.
TEST(PartFile, ProcessesClaimingOneNameEachGetTheirOwn) {
    TempDir dir;
    constexpr int kWriters = 6;
    std::vector<pid_t> children;
    for (int i = 0; i < kWriters; ++i) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const std::string name = WriteAndClaim(dir.File("same.mp3"), "writer " + std::to_string(i), false);
            _exit(name.rfind(dir.Path(), 0) == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto names = Names(dir.Path());
    ASSERT_EQ(names.size(), size_t{kWriters});
    std::set<std::string> texts;
    for (const std::string& name : names) texts.insert(ReadFile(dir.File(name)));
    EXPECT_EQ(texts.size(), size_t{kWriters}) << "a file holds another writer's text, or two share one";
}

// What a killed writer left goes; what a running writer holds, and every
// other file, stays.
TEST(PartFile, OnlyAbandonedPartsAreRemoved) {
    TempDir dir;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto* part = new CPartFile;   // never destroyed: as if killed while writing
        std::string why;
        _exit(part->Create(dir.File("killed.mp4"), CPartFile::kFile, why) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    CPartFile running;
    std::string why;
    ASSERT_TRUE(running.Create(dir.File("running.mp4"), CPartFile::kFile, why)) << why;
    WriteFile(dir.File("users.mp4"), "mine");
    WriteFile(dir.File(".veltrano-notes"), "mine too");
    ASSERT_EQ(Names(dir.Path()).size(), 4u);

    EXPECT_EQ(RemoveAbandonedParts(dir.Path()), 1);
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{fs::path(running.Path()).filename().string(), "users.mp4",
                                                         ".veltrano-notes"}));
}

TEST(PartFile, AnInputIsKnownUnderAnyOfItsNames) {
    TempDir dir;
    WriteFile(dir.File("a.flv"), "a");
    WriteFile(dir.File("b.flv"), "b");
    fs::create_hard_link(dir.File("a.flv"), dir.File("hard.flv"));
    fs::create_symlink(dir.File("a.flv"), dir.File("soft.flv"));
    const std::vector<std::string> inputs = {dir.File("b.flv"), dir.File("a.flv")};
    EXPECT_TRUE(IsOneOf(dir.File("a.flv"), inputs));
    EXPECT_TRUE(IsOneOf(dir.File("hard.flv"), inputs));
    EXPECT_TRUE(IsOneOf(dir.File("soft.flv"), inputs));
    EXPECT_TRUE(IsOneOf(dir.File("./b.flv"), inputs));
    EXPECT_FALSE(IsOneOf(dir.File("c.flv"), inputs));
    WriteFile(dir.File("c.flv"), "a");
    EXPECT_FALSE(IsOneOf(dir.File("c.flv"), inputs));
}
