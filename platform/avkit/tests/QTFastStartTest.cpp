// Fast start: moov moved ahead of mdat with its chunk offsets still right,
// and no file of the target name ever replaced.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ProbeTool.h"
#include "WriterSource.h"
#include "avkit/avkit.h"

using namespace avkit_test;

namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

// Top-level box names in file order.
std::vector<std::string> TopLevel(const std::string& path) {
    const std::vector<uint8_t> d = ReadAll(path);
    std::vector<std::string> names;
    size_t pos = 0;
    while (pos + 8 <= d.size()) {
        uint64_t size = uint64_t(d[pos]) << 24 | d[pos + 1] << 16 | d[pos + 2] << 8 | d[pos + 3];
        if (size == 1 && pos + 16 <= d.size()) {
            size = 0;
            for (int i = 0; i < 8; ++i) size = size << 8 | d[pos + 8 + i];
        }
        names.emplace_back(reinterpret_cast<const char*>(&d[pos + 4]), 4);
        if (size < 8) break;
        pos += size;
    }
    return names;
}

size_t IndexOf(const std::vector<std::string>& v, const char* name) {
    for (size_t i = 0; i < v.size(); ++i)
        if (v[i] == name) return i;
    return v.size();
}

// Decodes every packet; true when ffmpeg reports no error.
bool DecodesCleanly(const std::string& path) {
    const std::string cmd = "ffmpeg -v error -xerror -i '" + path + "' -f null - 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    char buf[512];
    std::string out;
    while (fgets(buf, sizeof buf, p)) out += buf;
    return pclose(p) == 0 && out.empty();
}

class FastStart : public testing::Test {
protected:
    void SetUp() override {
        source_ = TempPath("mov");
        target_ = source_ + "~";
        AvkWriter* w = AVW_Create(1, 1);
        AVW_SetOutFileInfo(w, "Fast", nullptr, nullptr, nullptr, nullptr, 0, 0);
        AVW_SetupVideoParams(w, 28, 500000, 320, 240, 25, -1, -1, -1);
        AVW_SetupAudioParams(w, 86018, 96000, 44100, 2);
        AVW_SetOutputFormat(w, "mov");
        AVW_SetOutFile(w, source_.c_str());
        ASSERT_TRUE(AVW_Open(w));
        Source src;
        src.seconds = 2;
        ASSERT_TRUE(src.Feed(w, true, true));
        ASSERT_TRUE(AVW_Close(w));
        AVW_Delete(w);
    }
    void TearDown() override {
        std::remove(source_.c_str());
        std::remove(target_.c_str());
    }
    std::string source_, target_;
};

TEST_F(FastStart, MovesMoovBeforeMdatAndKeepsTheMediaDecodable) {
    const auto before = TopLevel(source_);
    ASSERT_GT(IndexOf(before, "moov"), IndexOf(before, "mdat")) << "the writer already moved it";
    ASSERT_EQ(QTFastStart(source_.c_str(), target_.c_str()), 0);
    const auto after = TopLevel(target_);
    EXPECT_LT(IndexOf(after, "moov"), IndexOf(after, "mdat"));
    EXPECT_EQ(ReadAll(source_).size(), ReadAll(target_).size());
    EXPECT_TRUE(DecodesCleanly(target_));
    const auto p = Probe(target_);
    ASSERT_EQ(p.count("error"), 0u) << p.at("error");
    EXPECT_EQ(p.at("format.tags.title"), "Fast");

    // Already fast-started input is copied as it is.
    const std::string again = target_ + "2";
    EXPECT_EQ(QTFastStart(target_.c_str(), again.c_str()), 0);
    EXPECT_EQ(ReadAll(again), ReadAll(target_));
    std::remove(again.c_str());
}

TEST_F(FastStart, NeverReplacesAnExistingTarget) {
    { std::ofstream(target_) << "someone's file"; }
    EXPECT_NE(QTFastStart(source_.c_str(), target_.c_str()), 0);
    const auto kept = ReadAll(target_);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "someone's file");
}

TEST_F(FastStart, BrokenOrMissingSourceWritesNothing) {
    // Cut inside the last box: the boxes no longer tile the file.
    std::vector<uint8_t> d = ReadAll(source_);
    const std::string cut = source_ + ".cut";
    {
        std::ofstream f(cut, std::ios::binary);
        f.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size() - 100));
    }
    const std::string garbage = source_ + ".txt";
    { std::ofstream(garbage) << "not a movie at all, just some words"; }
    for (const std::string& in : {cut, garbage, source_ + ".missing"}) {
        EXPECT_NE(QTFastStart(in.c_str(), target_.c_str()), 0) << in;
        EXPECT_NE(access(target_.c_str(), F_OK), 0) << in;
    }
    EXPECT_NE(QTFastStart(nullptr, target_.c_str()), 0);
    std::remove(cut.c_str());
    std::remove(garbage.c_str());
}

// A target cut short by a full disk is removed, never left looking whole.
TEST_F(FastStart, FullDiskLeavesNoTarget) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(QTFastStart(source_.c_str(), target_.c_str()) != 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a cut target was reported as written";
    EXPECT_NE(access(target_.c_str(), F_OK), 0);
}

}  // namespace
