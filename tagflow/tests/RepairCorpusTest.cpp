// The broken recordings of tests/fixtures/broken, each repaired and checked
// with tools we did not write: every output decodes without a word from
// ffmpeg, flvmeta finds no error in it, no stream's times go back, and the
// outputs together hold the pictures and the length the table says. The
// input is left exactly as it was.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "RepairSupport.h"
#include "TestSupport.h"
#include "tagio/tagio.h"

namespace fs = std::filesystem;

namespace {

// Output of a shell command (stdout and stderr); exit status in *status.
std::string Shell(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return "popen failed";
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    const int rc = pclose(p);
    if (status) *status = rc;
    return out;
}

bool HaveTool(const char* name) {
    return Shell(std::string("command -v ") + name).find(name) != std::string::npos;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Pictures in an output, and whether any stream's times went back.
struct TagWalk {
    int pictures = 0;
    bool backwards = false;
};

TagWalk Walk(const std::string& path) {
    TagWalk w;
    TagioFileReadAble* f = CreateFileReadAble(path.c_str());
    if (!f) return w;
    TagioFlvHeader h{};
    if (Flv_ReadHeader(f, &h)) {
        TagioFlvTag t{};
        int64_t last[2] = {-1, -1};
        while (Flv_ReadTag(f, 0, &t)) {
            if (t.type != 8 && t.type != 9) continue;
            const int s = t.type == 9;
            if (int64_t(t.timestamp) < last[s]) w.backwards = true;
            last[s] = t.timestamp;
            if (s == 1 && (t.codecField2 != 7 || t.packetType == 1)) ++w.pictures;
        }
        Flv_FreeTag(&t);
    }
    DeleteFileReadAble(f);
    return w;
}

double Duration(const std::string& path) {
    return std::atof(Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quote(path)).c_str());
}

std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Case {
    const char* file;
    int outputs;
    int pictures;          // in all outputs together
    // All outputs together, as ffprobe measures them: 4 s of pictures measure
    // 4.12 s, the last AAC block running on past the last picture.
    double seconds;
    std::vector<int32_t> kinds;   // fixes that must be reported
    // A jump closed up leaves pictures 40 ms apart and sound one block on,
    // so pictures and length are those of the recording without the damage;
    // a damaged region costs the pictures up to the next key frame (one a second).
};

class RepairCorpus : public testing::TestWithParam<Case> {};

TEST_P(RepairCorpus, GivesBackCleanFiles) {
    if (!HaveTool("ffmpeg") || !HaveTool("ffprobe") || !HaveTool("flvmeta"))
        FAIL() << "ffmpeg, ffprobe and flvmeta are needed (scripts/install-deps.sh installs them)";
    const Case& c = GetParam();
    const std::string input = Fixture(std::string("broken/") + c.file);
    const std::vector<uint8_t> before = Bytes(input);
    ASSERT_FALSE(before.empty()) << input;
    const fs::path dir = fs::temp_directory_path() /
                         ("repair-corpus-" + std::to_string(getpid()) + "-" + fs::path(c.file).stem().string());
    fs::remove_all(dir);
    fs::create_directories(dir);

    const RepairRun run = Repair(input, dir.string());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(Bytes(input), before) << "the input changed";
    ASSERT_EQ(int(run.paths.size()), c.outputs);
    int pictures = 0;
    double seconds = 0;
    for (const std::string& out : run.paths) {
        SCOPED_TRACE(out);
        EXPECT_EQ(Shell("ffmpeg -v error -i " + Quote(out) + " -f null -"), "");
        const std::string check = Shell("flvmeta --check " + Quote(out));
        EXPECT_TRUE(check.rfind("0 error(s)", 0) == 0 || check.find("\n0 error(s)") != std::string::npos) << check;
        const TagWalk w = Walk(out);
        EXPECT_FALSE(w.backwards);
        pictures += w.pictures;
        seconds += Duration(out);
    }
    EXPECT_EQ(pictures, c.pictures);
    EXPECT_NEAR(seconds, c.seconds, 0.08);
    for (int32_t kind : c.kinds) EXPECT_GE(run.Count(kind), 1) << FLVRepair_FixKindName(kind);
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Broken, RepairCorpus,
    testing::Values(
        Case{"clean_160.flv", 1, 100, 4.12, {}},
        Case{"jump_forward.flv", 1, 100, 4.12, {FLVRepairTimeJump}},
        Case{"restart_zero.flv", 1, 100, 4.12, {FLVRepairTimeJump}},
        Case{"jump_back.flv", 1, 100, 4.12, {FLVRepairTimeJump}},
        Case{"audio_step_back.flv", 1, 100, 4.12, {FLVRepairStepBack}},
        Case{"no_metadata.flv", 1, 100, 4.12, {}},
        Case{"glued_same.flv", 1, 200, 8.21, {FLVRepairTimeJump, FLVRepairExtraMetadata}},
        Case{"glued_new_size.flv", 2, 200, 8.24, {FLVRepairSetupChange, FLVRepairExtraMetadata}},
        Case{"size_change.flv", 2, 200, 8.24, {FLVRepairSetupChange}},
        Case{"audio_rate_change.flv", 2, 200, 8.2, {FLVRepairSetupChange}},
        Case{"repeated_setups.flv", 1, 100, 4.12, {FLVRepairRepeatedSetup}},
        Case{"zeros.flv", 1, 88, 4.12, {FLVRepairDamagedRegion, FLVRepairUntilKeyFrame}},
        Case{"garbage.flv", 1, 80, 4.12, {FLVRepairDamagedRegion, FLVRepairUntilKeyFrame}},
        Case{"size_past_end.flv", 1, 90, 4.12, {FLVRepairDamagedRegion}},
        Case{"truncated.flv", 1, 88, 3.56, {FLVRepairTruncatedTail}},
        Case{"mixed.flv", 2, 182, 8.05,
             {FLVRepairTimeJump, FLVRepairSetupChange, FLVRepairDamagedRegion, FLVRepairTruncatedTail,
              FLVRepairRepeatedSetup}}),
    [](const testing::TestParamInfo<Case>& info) { return fs::path(info.param.file).stem().string(); });

}  // namespace
