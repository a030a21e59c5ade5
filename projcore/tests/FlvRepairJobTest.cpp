// The repair as the shell and the tools reach it through the project
// manager: one progress bar across both passes, and a stop inside a file
// that leaves nothing half-written and says it was stopped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "ScriptedHost.h"
#include "TempDir.h"
#include "bus/ProjectMgr.h"

namespace fs = std::filesystem;

namespace {

// A recording of some megabytes, the bench's maker repeating a small clip:
// the repair reads many windows of it, so a stop lands inside the file.
std::string LongRecording(const TempDir& dir, int megabytes) {
    const std::string path = dir.File("long.flv");
    const std::string command = std::string("python3 '") + VELTRANO_FIXTURES_DIR + "/../../bench/flvtags.py' repeat '" +
                                VELTRANO_FIXTURES_DIR + "/broken/clean_160.flv' '" + path + "' " +
                                std::to_string(megabytes);
    return std::system(command.c_str()) == 0 ? path : std::string();
}

size_t Entries(const std::string& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++n;
    return n;
}

class FlvRepairJob : public ::testing::Test {
protected:
    void SetUp() override {
        mgr = GetProjectMgr(&host);
        input = LongRecording(work, 4);
        ASSERT_FALSE(input.empty()) << "python3 could not make the long recording";
        fs::create_directories(out);
    }
    void TearDown() override { DeleteProjectMgr(); }

    // Repairs the long recording into `out`; stop decides at each progress call.
    FlvRepairRequest Repair(std::function<bool(int64_t done, int64_t total)> stop) {
        stopWhen = std::move(stop);
        FlvRepairRequest request{};
        request.input = input.c_str();
        request.outputFolder = out.c_str();
        request.user = this;
        request.onOutput = [](void* user, const FlvRepairOutputRecord* o) {
            static_cast<FlvRepairJob*>(user)->wholeOutputs += o->ok;
        };
        request.onProgress = [](void* user, int64_t done, int64_t total) -> int32_t {
            auto* self = static_cast<FlvRepairJob*>(user);
            self->progress.push_back({done, total});
            return self->stopWhen(done, total) ? 1 : 0;
        };
        DirectSendMessage(mgr, msg::kProjectRepairFlv, reinterpret_cast<intptr_t>(&request), sizeof request);
        return request;
    }

    ScriptedHost host;
    CBaseListener* mgr = nullptr;
    TempDir work;
    std::string input, out = work.File("out");
    std::function<bool(int64_t, int64_t)> stopWhen;
    std::vector<std::pair<int64_t, int64_t>> progress;
    int wholeOutputs = 0;
};

}  // namespace

// Both passes fill one bar: it only goes forward, about once per megabyte
// (never per tag), and ends at the total, twice the input's size.
TEST_F(FlvRepairJob, ProgressRunsOnceAcrossBothPassesToTheTotal) {
    const FlvRepairRequest r = Repair([](int64_t, int64_t) { return false; });
    ASSERT_EQ(r.result, kFlvRepairDone) << r.error;
    EXPECT_EQ(r.outputs, 1);
    const int64_t size = int64_t(fs::file_size(input));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(2 * size, 2 * size));
    int64_t last = 0;
    int inPlan = 0, inWrite = 0;
    for (const auto& [done, total] : progress) {
        EXPECT_EQ(total, 2 * size);
        EXPECT_GE(done, last);
        last = done;
        ++(done <= size ? inPlan : inWrite);
    }
    // 4 MB in 1 MiB steps, each pass: a few calls, not one per tag (there are tens of thousands).
    EXPECT_GE(inPlan, 3);
    EXPECT_GE(inWrite, 3);
    EXPECT_LE(progress.size(), 20u);
}

// A stop in the plan (nothing written yet) and one in the middle of writing
// (the temporary output is there): either way the repair ends stopped, with
// no failure text, nothing left in the folder and the input unchanged.
TEST_F(FlvRepairJob, AStopInsideAFileLeavesNothingHalfWritten) {
    const std::string before = ReadFile(input);
    struct Case {
        const char* name;
        bool inWrite;
    };
    const int64_t size = int64_t(fs::file_size(input));
    for (const Case c : {Case{"at the first call", false}, Case{"while an output is written", true}}) {
        SCOPED_TRACE(c.name);
        progress.clear();
        wholeOutputs = 0;
        size_t askedAt = 0;   // the call that asked to stop, from 1
        const FlvRepairRequest r = Repair([&](int64_t done, int64_t total) {
            // Past the plan, the output being written is in the folder under its temporary name.
            const bool stop = !c.inWrite || (done > total / 2 && done < total && Entries(out) == 1);
            if (stop && !askedAt) askedAt = progress.size();
            return stop;
        });
        EXPECT_EQ(r.result, kFlvRepairStopped);
        EXPECT_STREQ(r.error, "");
        EXPECT_EQ(r.outputs, 0);
        EXPECT_EQ(wholeOutputs, 0);
        // It stopped at once, inside the file.
        ASSERT_GT(askedAt, 0u);
        EXPECT_EQ(progress.size(), askedAt);
        EXPECT_LT(progress.back().first, c.inWrite ? 2 * size : size);
        EXPECT_EQ(Entries(out), 0u);
    }
    EXPECT_EQ(ReadFile(input), before);
}
