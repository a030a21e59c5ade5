// The conversion manager: a batch of tasks with parallel jobs, the order of
// its notifications, pause, resume, skip and stop, the existing-file policy,
// folders and names, and the values it refuses.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "PvxTestSupport.h"
#include "TempDir.h"
#include "convert/PvxMgr.h"
#include "model/FLVClip.h"
#include "model/FLVSequence.h"
#include "projcore/MessageIds.h"

using namespace pvxtest;
namespace fs = std::filesystem;

namespace {

struct Event {
    int32_t id;
    int32_t task;
    int32_t value;   // state, position, or error code
    std::string text;
};

// The window's side: records every notification, on whatever thread it comes.
class Host : public CBaseListener {
public:
    void OnMessage(void*, int32_t id, intptr_t p1, intptr_t p2) override {
        Event e{id, -1, 0, {}};
        if (id == msg::kNotifyConvTaskAdded) {
            const auto* r = reinterpret_cast<const PvxTaskAdded*>(p1);
            e.task = r->task;
            e.text = r->destinationName;
        } else if (id == msg::kNotifyConvTaskState) {
            const auto* r = reinterpret_cast<const PvxTaskState*>(p1);
            e.task = r->task;
            e.value = r->state;
        } else if (id == msg::kNotifyConvProgress) {
            const auto* r = reinterpret_cast<const PvxProgress*>(p1);
            e.task = r->task;
            e.value = r->position;
        } else if (id == msg::kNotifyConvError) {
            e.value = static_cast<int32_t>(p2);
            if (p1) e.text = reinterpret_cast<const char*>(p1);
        }
        std::lock_guard g(lock);
        events.push_back(e);
        changed.notify_all();
    }
    bool WaitFor(const std::function<bool()>& what, int seconds = 30) {
        std::unique_lock g(lock);
        return changed.wait_for(g, std::chrono::seconds(seconds), what);
    }
    bool Ended() { return WaitFor([&] { return Count(msg::kNotifyConvBatchEnded) > 0; }); }
    int Count(int32_t id) const {
        int n = 0;
        for (const Event& e : events) n += e.id == id;
        return n;
    }
    bool HasState(int task, int32_t state) const {
        for (const Event& e : events)
            if (e.id == msg::kNotifyConvTaskState && e.task == task && e.value == state) return true;
        return false;
    }
    std::vector<Event> Snapshot() {
        std::lock_guard g(lock);
        return events;
    }

    std::mutex lock;
    std::condition_variable changed;
    std::vector<Event> events;
};

struct Batch {
    CPvxMgr mgr;
    Host host;
    std::vector<std::unique_ptr<CFLVSequence>> sequences;

    explicit Batch(const OutputSettings& s, int parallel = 2, int policy = 0) {
        mgr.AddListener(&host);
        mgr.OnMessage(nullptr, msg::kConvSetSettings, reinterpret_cast<intptr_t>(&s), sizeof s);
        mgr.OnMessage(nullptr, msg::kConvSetMaxParallel, 0, parallel);
        mgr.OnMessage(nullptr, msg::kConvSetExistingPolicy, 0, policy);
    }
    ~Batch() { mgr.RemoveListener(&host); }
    int Add(const std::string& name, const std::string& folder, const char* fixture = "flv1_mp3_160x120.flv",
            uint32_t lengthMs = 600) {
        auto seq = std::make_unique<CFLVSequence>();
        Append(*seq, FlvClip(fixture, 0, lengthMs));
        seq->SetProperty(CFLVSequence::kDestinationName, name);
        mgr.OnMessage(nullptr, msg::kConvAddTask, reinterpret_cast<intptr_t>(seq.get()), 0);
        sequences.push_back(std::move(seq));
        const int index = int(sequences.size()) - 1;
        PvxTaskFolder f{index, folder.c_str()};
        mgr.OnMessage(nullptr, msg::kConvSetTaskFolder, reinterpret_cast<intptr_t>(&f), 0);
        return index;
    }
    void Action(int task, int32_t action) {
        PvxTaskAction a{task, action};
        mgr.OnMessage(nullptr, msg::kConvTaskAction, reinterpret_cast<intptr_t>(&a), 0);
    }
    void Start() { mgr.OnMessage(nullptr, msg::kConvStartBatch, 0, 0); }
};

OutputSettings Mp4() { return Settings("mp4", "mp4", 28, 86018, -1, -1, 0); }

}  // namespace

// Four tasks, two at a time: each goes added -> converting -> progress ->
// finished, never more than two convert at once, and the batch ends last.
TEST(PvxMgr, FourTasksTwoAtATimeInALegalOrder) {
    TempDir dir;
    Batch b(Mp4(), 2);
    for (int i = 0; i < 4; ++i) b.Add("seq" + std::to_string(i), dir.Path());
    b.Start();
    ASSERT_TRUE(b.host.Ended());
    const auto events = b.host.Snapshot();
    std::map<int, int32_t> state;
    int converting = 0, maxConverting = 0;
    for (const Event& e : events) {
        if (e.id == msg::kNotifyConvTaskAdded) state[e.task] = kPvxWaiting;
        if (e.id == msg::kNotifyConvProgress) {
            EXPECT_EQ(state[e.task], kPvxConverting) << "progress of task " << e.task;
        }
        if (e.id == msg::kNotifyConvTaskState) {
            const int32_t expectedBefore = e.value == kPvxConverting ? kPvxWaiting : kPvxConverting;
            if (e.value == kPvxConverting || e.value == kPvxFinished) {
                EXPECT_EQ(state[e.task], expectedBefore);
            }
            converting += (e.value == kPvxConverting) - (e.value == kPvxFinished);
            maxConverting = std::max(maxConverting, converting);
            state[e.task] = e.value;
        }
        EXPECT_NE(e.id, msg::kNotifyConvError) << e.text;
    }
    EXPECT_EQ(events.back().id, msg::kNotifyConvBatchEnded);
    EXPECT_EQ(maxConverting, 2);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(state[i], kPvxFinished);
        const std::string out = dir.File("seq" + std::to_string(i) + ".mp4");
        EXPECT_EQ(Probe(out, "v:0", "stream=codec_name"), "h264") << out;
        EXPECT_EQ(Probe(out, "v:0", "stream=width"), "160") << "the source size fills -1 x -1";
    }
}

TEST(PvxMgr, PauseResumeSkipAndStop) {
    TempDir dir;
    Batch b(Settings("mp4", "mp4", 28, 86018, 640, 360), 2);
    const int held = b.Add("held", dir.Path(), "flv1_mp3_640x360.flv", 2000);
    const int other = b.Add("other", dir.Path());
    const int skipped = b.Add("skipped", dir.Path());
    const int stopped = b.Add("stopped", dir.Path(), "flv1_mp3_640x360.flv", 2000);
    b.Action(skipped, kPvxStop);   // skipped before it ever runs
    b.Start();
    b.Action(held, kPvxPause);
    ASSERT_TRUE(b.host.WaitFor([&] { return b.host.HasState(other, kPvxFinished); }));
    // The held task stays held while the others go on.
    ASSERT_TRUE(b.host.WaitFor([&] { return b.host.HasState(stopped, kPvxConverting); }));
    EXPECT_FALSE(b.host.HasState(held, kPvxFinished));
    b.Action(stopped, kPvxStop);
    b.Action(held, kPvxResume);
    ASSERT_TRUE(b.host.Ended());
    EXPECT_TRUE(b.host.HasState(held, kPvxPaused));
    EXPECT_TRUE(b.host.HasState(held, kPvxFinished));
    EXPECT_TRUE(b.host.HasState(stopped, kPvxStopped));
    EXPECT_FALSE(b.host.HasState(skipped, kPvxConverting));
    EXPECT_TRUE(fs::exists(dir.File("held.mp4")));
    EXPECT_FALSE(fs::exists(dir.File("stopped.mp4"))) << "a stopped task's partial output goes";
    EXPECT_FALSE(fs::exists(dir.File("skipped.mp4")));

    // Stopping the whole batch still ends it.
    Batch c(Settings("mp4", "mp4", 28, 86018, 640, 360), 1);
    c.Add("a", dir.Path(), "flv1_mp3_640x360.flv", 2000);
    c.Add("b", dir.Path(), "flv1_mp3_640x360.flv", 2000);
    c.Start();
    ASSERT_TRUE(c.host.WaitFor([&] { return c.host.HasState(0, kPvxConverting); }));
    c.mgr.OnMessage(nullptr, msg::kConvStopBatch, 0, 0);
    ASSERT_TRUE(c.host.Ended());
    EXPECT_EQ(c.host.Count(msg::kNotifyConvBatchEnded), 1);
    EXPECT_FALSE(fs::exists(dir.File("a.mp4")));
    EXPECT_FALSE(fs::exists(dir.File("b.mp4")));
}

TEST(PvxMgr, ExistingFilesNewNameOverwriteOrSkip) {
    struct Case {
        int policy;
        const char* written;   // where the output goes
        bool oldKept;
    } cases[] = {{0, "out_1.mp4", true}, {1, "out.mp4", false}, {2, nullptr, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.policy);
        TempDir dir;
        std::ofstream(dir.File("out.mp4")) << "old";
        std::ofstream(dir.File("out_0.mp4")) << "old";
        Batch b(Mp4(), 1, c.policy);
        b.Add("out", dir.Path());
        b.Start();
        ASSERT_TRUE(b.host.Ended());
        EXPECT_EQ(ReadFile(dir.File("out.mp4")) == "old", c.oldKept);
        if (c.written) {
            EXPECT_EQ(Probe(dir.File(c.written), "v:0", "stream=codec_name"), "h264");
        } else {
            EXPECT_TRUE(b.host.HasState(0, kPvxStopped));
            EXPECT_FALSE(fs::exists(dir.File("out_1.mp4")));
        }
    }
}

TEST(PvxMgr, FoldersNamesAndSeriesSubfolders) {
    TempDir dir;
    fs::create_directories(dir.File("shots"));   // the first series folder is taken
    Batch b(Settings("png", "png", 0, -1, 160, 120), 2);
    b.Add("shots", dir.Path(), "flv1_mp3_160x120.flv", 120);
    b.Add("../escape", dir.Path(), "flv1_mp3_160x120.flv", 120);
    b.Add("lost", dir.File("no-such-folder"));
    b.Start();
    ASSERT_TRUE(b.host.Ended());
    EXPECT_TRUE(fs::exists(dir.File("shots_0/shots_0.png")));
    EXPECT_TRUE(fs::exists(dir.File(".._escape/.._escape_2.png")));
    EXPECT_FALSE(fs::exists(dir.File("../escape")));
    EXPECT_TRUE(b.host.HasState(2, kPvxFailed));
    bool told = false;
    for (const Event& e : b.host.Snapshot()) told |= e.id == msg::kNotifyConvError && e.value == 10580023;
    EXPECT_TRUE(told) << "a missing folder is reported";
}

// A task held before it started keeps the batch open; resumed, it runs.
TEST(PvxMgr, ATaskPausedBeforeItStartsIsNotLost) {
    TempDir dir;
    Batch b(Mp4(), 1);
    b.Add("first", dir.Path());
    const int held = b.Add("held", dir.Path());
    b.Action(held, kPvxPause);
    b.Start();
    ASSERT_TRUE(b.host.WaitFor([&] { return b.host.HasState(0, kPvxFinished); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));   // past a worker cycle
    EXPECT_EQ(b.host.Count(msg::kNotifyConvBatchEnded), 0);
    b.Action(held, kPvxResume);
    ASSERT_TRUE(b.host.Ended());
    EXPECT_TRUE(b.host.HasState(held, kPvxFinished));
    EXPECT_TRUE(fs::exists(dir.File("held.mp4")));
}

TEST(PvxMgr, ZeroParallelJobsStillRunsTheBatch) {
    TempDir dir;
    Batch b(Mp4(), 0);
    b.Add("one", dir.Path());
    b.Start();
    ASSERT_TRUE(b.host.Ended());
    EXPECT_TRUE(b.host.HasState(0, kPvxFinished));
}

// An output at its clip's own size never goes beyond the largest size a user
// may type: a header claiming a huge picture cannot cost gigabytes per frame.
TEST(PvxMgr, TheOriginalSizeIsKeptWithinTheTypedSizesLimit) {
    ASSERT_TRUE(HaveTool("ffmpeg"));
    TempDir dir;
    const std::string wide = dir.File("wide.flv");
    Shell("ffmpeg -v error -y -f lavfi -i color=c=red:s=3200x32:r=5 -t 0.4 -c:v flv '" + wide + "'");
    ASSERT_TRUE(fs::exists(wide));
    Batch b(Mp4(), 1);
    auto seq = std::make_unique<CFLVSequence>();
    auto clip = std::make_unique<CFLVClip>();
    clip->SetFilePath(wide);
    Append(*seq, std::move(clip));
    seq->SetProperty(CFLVSequence::kDestinationName, "wide");
    b.mgr.OnMessage(nullptr, msg::kConvAddTask, reinterpret_cast<intptr_t>(seq.get()), 0);
    PvxTaskFolder f{0, dir.Path().c_str()};
    b.mgr.OnMessage(nullptr, msg::kConvSetTaskFolder, reinterpret_cast<intptr_t>(&f), 0);
    b.Start();
    ASSERT_TRUE(b.host.Ended());
    EXPECT_EQ(Probe(dir.File("wide.mp4"), "v:0", "stream=width"), "3000");
    EXPECT_EQ(Probe(dir.File("wide.mp4"), "v:0", "stream=height"), "30");
}

// One batch may mix outputs: a task keeps the settings in force when it was
// added, so a re-encoded and a copied output of one file run side by side,
// each with its own container, size and extension.
TEST(PvxMgr, ATaskKeepsTheSettingsItWasAddedWith) {
    TempDir dir;
    Batch b(Settings("mp4", "mp4", 28, 86018, 320, 240), 2);
    b.Add("clip", dir.Path(), "h264_aac_bf2_160x120.flv", 1000);
    const OutputSettings copy = Settings("mkvremux", "mkv", 28, 86018, -1, -1, 0);
    b.mgr.OnMessage(nullptr, msg::kConvSetSettings, reinterpret_cast<intptr_t>(&copy), sizeof copy);
    b.Add("clip", dir.Path(), "h264_aac_bf2_160x120.flv", 1000);
    b.Start();
    ASSERT_TRUE(b.host.Ended());
    int converting = 0, maxConverting = 0;
    for (const Event& e : b.host.Snapshot()) {
        EXPECT_NE(e.id, msg::kNotifyConvError) << e.text;
        if (e.id == msg::kNotifyConvTaskState)
            maxConverting = std::max(maxConverting, converting += (e.value == kPvxConverting) - (e.value == kPvxFinished));
    }
    EXPECT_EQ(maxConverting, 2);
    const std::string encoded = dir.File("clip.mp4"), copied = dir.File("clip.mkv");
    EXPECT_EQ(Probe(encoded, "v:0", "stream=width"), "320") << "re-encoded at the size of its settings";
    EXPECT_NE(Probe(copied, "", "format=format_name").find("matroska"), std::string::npos);
    EXPECT_EQ(Probe(copied, "v:0", "stream=width"), "160") << "copied as it is";
}
