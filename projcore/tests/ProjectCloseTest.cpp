// Closing a project while its conversion runs: the jobs, which read the
// project's clips on their own threads, are stopped and waited for before
// the clips go, and what they had begun to write is removed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "PvxTestSupport.h"
#include "TempDir.h"
#include "projcore/projcore.h"

using namespace pvxtest;
namespace fs = std::filesystem;

namespace {

// Answers "save changes?" with discard; notifications come from any thread.
class DiscardingHost : public CBaseListener {
public:
    void OnMessage(void*, int32_t id, intptr_t p1, intptr_t) override {
        std::lock_guard g(lock);
        if (id == msg::kAskSaveChanges && p1) *reinterpret_cast<int32_t*>(p1) = kSaveChangesDiscard;
        if (id == msg::kNotifyConvTaskState) states.push_back(reinterpret_cast<const PvxTaskState*>(p1)->state);
    }
    std::mutex lock;
    std::vector<int32_t> states;
};

bool Converting(DiscardingHost& host) {
    std::lock_guard g(host.lock);
    return std::find(host.states.begin(), host.states.end(), int32_t{kPvxConverting}) != host.states.end();
}

}  // namespace

TEST(ProjectClose, AConversionRunningAtCloseIsStoppedBeforeItsClipsGo) {
    TempDir dir;
    DiscardingHost host;
    CBaseListener* mgr = GetProjectMgr(&host);
    ASSERT_NE(mgr, nullptr);
    DirectSendMessage(mgr, msg::kProjectNew, 0, 0);
    CBaseListener* project = nullptr;
    DirectSendMessage(mgr, msg::kProjectGetListener, reinterpret_cast<intptr_t>(&project), sizeof project);
    ASSERT_NE(project, nullptr);
    CBaseListener *sequences = nullptr, *conversion = nullptr;
    DirectSendMessage(project, msg::kGetSequenceManager, reinterpret_cast<intptr_t>(&sequences), sizeof sequences);
    DirectSendMessage(project, msg::kGetConversionManager, reinterpret_cast<intptr_t>(&conversion), sizeof conversion);
    ASSERT_TRUE(sequences && conversion);

    // A conversion long enough to be running when the project closes.
    const std::string clip = Fixture("flv1_mp3_640x360.flv");
    std::vector<const char*> paths(8, clip.c_str());
    TImportedFiles files{"long", -1, paths.data(), static_cast<int32_t>(paths.size()), "long", 0};
    DirectSendMessage(sequences, msg::kSeqImport, reinterpret_cast<intptr_t>(&files), sizeof files);
    void* sequence = nullptr;
    DirectSendMessage(sequences, msg::kSeqGetSequence, reinterpret_cast<intptr_t>(&sequence), 0);
    ASSERT_NE(sequence, nullptr);
    OutputSettings settings = Settings("mp4", "mp4", 28, 86018, 1280, 720);
    DirectSendMessage(conversion, msg::kConvSetSettings, reinterpret_cast<intptr_t>(&settings), sizeof settings);
    DirectSendMessage(conversion, msg::kConvAddTask, reinterpret_cast<intptr_t>(sequence), 0);
    PvxTaskFolder folder{0, dir.Path().c_str()};
    DirectSendMessage(conversion, msg::kConvSetTaskFolder, reinterpret_cast<intptr_t>(&folder), sizeof folder);
    DirectSendMessage(conversion, msg::kConvStartBatch, 0, 0);
    for (int i = 0; i < 1000 && !Converting(host); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(Converting(host));

    int32_t result = 0;
    DirectSendMessage(mgr, msg::kProjectClose, reinterpret_cast<intptr_t>(&result), sizeof result);
    // The jobs are gone with the project: nothing of theirs is left, finished or not.
    EXPECT_TRUE(fs::is_empty(dir.Path()));
    DeleteProjectMgr();
}
