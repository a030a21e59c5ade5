// Saving must keep the file valid and must never damage it: chunk offsets
// follow the media data, and any failure leaves the original untouched.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Boxes.h"
#include "TestFiles.h"
#include "mp4label/mp4label.h"

using namespace boxes;
using namespace testfiles;

namespace {

const Bytes kMvhd = Box("mvhd", Bytes(12, 0));
const Bytes kMdat = Box("mdat", Bytes(64, 0xAB));

// head, then moov holding the given children, then mdat: the layout whose
// chunk offsets move when moov changes size.
Bytes MoovFirst(const Bytes& moovChildren) {
    return Cat({PspHead(), Box("moov", moovChildren), kMdat});
}

TEST(SaveSafety, ChunkOffsetsBehindMoovMoveWithIt) {
    const Bytes head = PspHead();
    const Bytes oldTitle = Usmt({Entry(1, 0x55C4, 1, Utf16Be(std::u16string(100, u'x')))});  // 246 bytes
    struct Case {
        const char* name;
        Bytes usmt;          // the title box already there, if any
        std::u16string title;
    };
    const Case cases[] = {
        {"Grows", {}, u"Hi"},
        {"Shrinks", oldTitle, u"Hi"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string(c.name) + ".mp4");
        // Tables are built with placeholder offsets first to learn where mdat lands.
        auto build = [&](uint32_t a, uint64_t b) {
            return MoovFirst(Cat({kMvhd, Trak(Stco({5, a, a + 10})), Trak(Co64({b, 7})), c.usmt}));
        };
        const uint64_t mdat = FindTop(build(0, 0), "mdat").start;
        const Bytes before = build(uint32_t(mdat + 8), mdat + 20);
        WriteAll(path, before);

        ASSERT_TRUE(SaveTitle(path, c.title));
        const Bytes after = ReadAll(path);
        const int64_t delta = int64_t(after.size()) - int64_t(before.size());
        EXPECT_EQ(delta, int64_t(140 + 2 * c.title.size()) - int64_t(c.usmt.size()));
        const uint64_t newMdat = FindTop(after, "mdat").start;
        EXPECT_EQ(int64_t(newMdat), int64_t(mdat) + delta);

        const size_t stco = Find(after, Text("stco"));
        ASSERT_NE(stco, std::string::npos);
        EXPECT_EQ(Load32(after, stco + 12), 5u) << "an offset before moov stays";
        EXPECT_EQ(Load32(after, stco + 16), newMdat + 8);
        EXPECT_EQ(Load32(after, stco + 20), newMdat + 18);
        const size_t co64 = Find(after, Text("co64"));
        ASSERT_NE(co64, std::string::npos);
        EXPECT_EQ(Load64(after, co64 + 12), newMdat + 20);
        EXPECT_EQ(Load64(after, co64 + 20), 7u);
        EXPECT_TRUE(std::equal(kMdat.begin(), kMdat.end(), after.begin() + long(newMdat)));
    }
}

TEST(SaveSafety, UnsaveableFilesAreRefusedAndLeftAsTheyWere) {
    struct Case {
        const char* name;
        Bytes file;
    };
    const Case cases[] = {
        // Shifting would carry an offset past what 32 bits hold.
        {"OffsetOverflows", MoovFirst(Cat({kMvhd, Trak(Stco({0xFFFFFFF0u}))}))},
        // The table claims more entries than its box holds.
        {"DamagedTable", MoovFirst(Cat({kMvhd, Trak(Box("stco", Cat({Be32(0), Be32(1000), Be32(0)})))}))},
        {"DamagedTrak", MoovFirst(Cat({kMvhd, Box("trak", Cat({Be32(400), Text("mdia")}))}))},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string(c.name) + ".mp4");
        WriteAll(path, c.file);
        std::string error;
        EXPECT_FALSE(SaveTitle(path, u"Hi", &error));
        EXPECT_EQ(error, "Failed in saving file");
        EXPECT_EQ(ReadAll(path), c.file);
    }
    EXPECT_EQ(dir.Names().size(), std::size(cases)) << "a temporary file was left behind";
}

// A write that fails half way (here: the file size limit) must leave the
// original whole, remove the partial copy, and keep the handle usable.
TEST(SaveSafety, FailedWriteLeavesTheOriginalIntact) {
    TempDir dir;
    const std::string path = dir.File("a.mp4");
    Bytes original = Cat({PspHead(), Box("mdat", Bytes(256 * 1024, 0x5A)), Box("moov", kMvhd)});
    WriteAll(path, original);

    Mp4TitleFile* h = Mp4Title_Create();
    ASSERT_EQ(Mp4Title_Open(h, path.c_str()), 1);
    Mp4Title_SetTitle(h, u"Hi");

    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = Mp4Title_Save(h);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result, 0);
    EXPECT_STREQ(Mp4Title_GetError(h), "Failed in saving file");
    EXPECT_EQ(ReadAll(path), original);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"a.mp4"});

    EXPECT_EQ(Mp4Title_Save(h), 1) << Mp4Title_GetError(h);
    Mp4Title_Destroy(h);
    std::u16string title;
    ASSERT_TRUE(ReadTitle(path, title));
    EXPECT_EQ(title, u"Hi");
}

TEST(SaveSafety, ReplacementKeepsPermissionsAndSymbolicLinks) {
    TempDir dir;
    const std::string target = dir.File("real.mp4");
    const std::string link = dir.File("link.mp4");
    WriteAll(target, Cat({PspHead(), kMdat, Box("moov", kMvhd)}));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.mp4", link.c_str()), 0);

    ASSERT_TRUE(SaveTitle(link, u"Hi"));
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    std::u16string title;
    ASSERT_TRUE(ReadTitle(target, title));
    EXPECT_EQ(title, u"Hi");
}

TEST(SaveSafety, ReadOnlyFileOpensButIsNotSaved) {
    TempDir dir;
    const std::string path = dir.File("a.mp4");
    const Bytes original =
        Cat({PspHead(), kMdat, Box("moov", Usmt({Entry(1, 0x55C4, 1, Utf16Be(u"Kept"))}))});
    WriteAll(path, original);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);

    // The file is opened read-only and a save is refused with its own text.
    auto check = [&] {
        Mp4TitleFile* h = Mp4Title_Create();
        bool ok = Mp4Title_Open(h, path.c_str()) == 1 && std::u16string(Mp4Title_GetTitle(h)) == u"Kept";
        Mp4Title_SetTitle(h, u"Hi");
        ok = ok && Mp4Title_Save(h) == 0 &&
             std::string(Mp4Title_GetError(h)) == "Failed in saving to readonly file";
        Mp4Title_Destroy(h);
        return ok;
    };
    if (geteuid() != 0) {
        EXPECT_TRUE(check());
    } else {
        // Root may write any file: the check runs in a child that has given
        // up root for the unprivileged "nobody".
        ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
            _exit(check() ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not give up root; 1: the check failed";
    }
    EXPECT_EQ(ReadAll(path), original);
}

}  // namespace
