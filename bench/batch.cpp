// Converts four sequences of one FLV file (AVI: MPEG-4 + MP3 at the file's
// size) through the conversion manager, once with one job at a time and once
// with two, and prints both wall times and the throughput ratio.
//
//   batch IN.flv OUT_FOLDER

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "avkit/avkit.h"
#include "convert/PvxMgr.h"
#include "model/FLVClip.h"
#include "model/FLVSequence.h"
#include "projcore/MessageIds.h"

namespace {

class Waiter : public CBaseListener {
public:
    void OnMessage(void*, int32_t id, intptr_t, intptr_t p2) override {
        std::lock_guard g(lock_);
        if (id == msg::kNotifyConvError) failed_ = true, code_ = int32_t(p2);
        if (id == msg::kNotifyConvBatchEnded) ended_ = true;
        changed_.notify_all();
    }
    bool Wait() {
        std::unique_lock g(lock_);
        changed_.wait(g, [&] { return ended_; });
        ended_ = false;
        return !failed_;
    }
    int32_t code_ = 0;

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool ended_ = false, failed_ = false;
};

double RunBatch(const std::vector<std::unique_ptr<CFLVSequence>>& sequences, const std::string& folder, int jobs,
                bool& ok) {
    CPvxMgr mgr;
    Waiter waiter;
    mgr.AddListener(&waiter);
    OutputSettings s{};
    std::strcpy(s.fileFormat, "avi");
    std::strcpy(s.fileExt, "avi");
    s.videoCodec = 13;   // MPEG-4 Part 2
    s.audioCodec = 86017;   // MP3
    s.width = s.height = -1;
    s.videoBitRate = 1600000;
    s.audioBitRate = 128000;
    s.sampleRate = 44100;
    s.channels = 2;
    mgr.OnMessage(nullptr, msg::kConvSetSettings, reinterpret_cast<intptr_t>(&s), sizeof s);
    mgr.OnMessage(nullptr, msg::kConvSetMaxParallel, 0, jobs);
    mgr.OnMessage(nullptr, msg::kConvSetExistingPolicy, 0, 1);
    for (size_t i = 0; i < sequences.size(); ++i) {
        mgr.OnMessage(nullptr, msg::kConvAddTask, reinterpret_cast<intptr_t>(sequences[i].get()), 0);
        PvxTaskFolder f{int32_t(i), folder.c_str()};
        mgr.OnMessage(nullptr, msg::kConvSetTaskFolder, reinterpret_cast<intptr_t>(&f), 0);
    }
    const auto start = std::chrono::steady_clock::now();
    mgr.OnMessage(nullptr, msg::kConvStartBatch, 0, 0);
    ok = waiter.Wait();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    mgr.RemoveListener(&waiter);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s IN.flv OUT_FOLDER\n", argv[0]);
        return 2;
    }
    avkit_init();
    std::vector<std::unique_ptr<CFLVSequence>> sequences;
    for (int i = 0; i < 4; ++i) {
        auto seq = std::make_unique<CFLVSequence>();
        std::unique_ptr<CBaseClip> clip = std::make_unique<CFLVClip>();
        try {
            clip->SetFilePath(argv[1]);
        } catch (...) {
            std::fprintf(stderr, "cannot read %s\n", argv[1]);
            return 1;
        }
        seq->InsertClip(clip, 0);
        seq->SetProperty(CFLVSequence::kDestinationName, "batch" + std::to_string(i));
        sequences.push_back(std::move(seq));
    }
    bool ok1 = false, ok2 = false;
    const double one = RunBatch(sequences, argv[2], 1, ok1);
    const double two = RunBatch(sequences, argv[2], 2, ok2);
    if (!ok1 || !ok2) {
        std::fprintf(stderr, "a conversion failed\n");
        return 1;
    }
    std::printf("four sequences, one job at a time: %.2f s\n", one);
    std::printf("four sequences, two jobs at a time: %.2f s\n", two);
    std::printf("throughput ratio %.2f (target >= 1.7)\n", one / two);
    return 0;
}
