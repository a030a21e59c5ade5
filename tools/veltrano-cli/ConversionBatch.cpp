#include "ConversionBatch.h"

#include <strings.h>

#include <chrono>
#include <cstring>
#include <optional>

#include "InterruptWatch.h"
#include "Json.h"

namespace {

bool Ended(int32_t state) { return state == kPvxFinished || state == kPvxFailed || state == kPvxStopped; }

// A task's line in the results file; the output only when it finished.
std::string TaskResultLine(const TaskView& t, const char* state) {
    ResultRecord r;
    r.input = t.input;
    if (!t.sequenceName.empty()) r.sequence = t.sequenceName;
    r.output = t.state == kPvxFinished ? t.output : std::string();
    r.profile = t.profile;
    r.state = state;
    r.seconds = t.started ? std::chrono::duration<double>(std::chrono::steady_clock::now() - t.since).count() : 0.0;
    r.error = t.error;
    r.code = t.code;
    return ResultLine(r);
}

}  // namespace

int RunBatch(EngineSession& engine, const BatchPlan& plan, BatchView& view) {
    EngineHost& host = engine.Host();
    CBaseListener* conv = engine.ConversionManager();
    std::vector<TaskView> tasks;
    tasks.reserve(plan.tasks.size());   // rows are referred to by pointer below
    auto find = [&](int32_t index) -> TaskView* {
        for (TaskView& t : tasks)
            if (t.index == index) return &t;
        return nullptr;
    };

    std::string captions;
    for (const BatchProfile& p : plan.profiles) captions += (captions.empty() ? "" : "; ") + p.caption;
    view.Begin(captions, static_cast<int>(plan.tasks.size()), plan.jobs);
    engine.Send(conv, msg::kConvSetMaxParallel, 0, plan.jobs);
    engine.Send(conv, msg::kConvSetExistingPolicy, 0, plan.existingPolicy);

    bool interrupted = false;
    // A task's line goes out as soon as all about it is known: a finished
    // task at its state, a failed one with its error, which follows the
    // state; the rest when the batch ends.
    auto record = [&](TaskView& t) {
        if (!plan.results || t.recorded) return;
        t.recorded = true;
        // A task skipped because its output existed ends "stopped" without a
        // stop from us; any other that neither finished nor failed was stopped
        // (or never began, the batch stopping first).
        const char* state = t.state == kPvxFinished ? "finished"
                            : t.state == kPvxFailed ? "failed"
                            : t.state == kPvxStopped && !interrupted && plan.existingPolicy == 2 ? "skipped"
                                                                                               : "stopped";
        plan.results->Append(TaskResultLine(t, state));
    };

    TaskView* settingUp = nullptr;   // errors while a folder is set belong to that task
    auto handle = [&](const ConvEvent& e) {
        TaskView* t = find(e.task);
        switch (e.kind) {
            case ConvEvent::kTaskAdded:
                break;   // the row is made where the task is queued
            case ConvEvent::kState:
                if (t) {
                    t->state = e.state;
                    if (e.state == kPvxConverting && !t->started) t->since = std::chrono::steady_clock::now();
                    t->started = t->started || e.state == kPvxConverting;
                    view.State(*t);
                    if (e.state == kPvxFinished) record(*t);
                }
                break;
            case ConvEvent::kOutput:
                if (t) t->output = e.text;   // the name the engine gave it, which may be another than asked
                break;
            case ConvEvent::kProgress:
                if (t) {
                    t->position = e.position;
                    t->total = e.total;
                    view.Progress(*t);
                }
                break;
            case ConvEvent::kError: {
                // A job's error follows its task's change to "failed".
                TaskView* owner = settingUp;
                for (TaskView& x : tasks)
                    if (!owner && x.state == kPvxFailed && x.code == 0) owner = &x;
                if (owner) {
                    owner->code = e.code;
                    owner->error = e.text;
                    if (owner == settingUp) owner->state = kPvxFailed;
                }
                view.Error(owner, e.code, e.text);
                if (owner && owner->state == kPvxFailed) record(*owner);
                break;
            }
            default:
                break;
        }
    };

    size_t sent = plan.profiles.size();   // the profile whose settings the manager holds
    for (const BatchTaskPlan& p : plan.tasks) {
        if (p.profile != sent) {
            // A task keeps the settings in force when it is added.
            OutputSettings settings = plan.profiles[p.profile].settings;
            engine.Send(conv, msg::kConvSetSettings, reinterpret_cast<intptr_t>(&settings), sizeof settings);
            sent = p.profile;
        }
        host.lastTaskAdded = -1;
        engine.Send(conv, msg::kConvAddTask, reinterpret_cast<intptr_t>(p.sequence));
        if (host.lastTaskAdded < 0) {
            view.Error(nullptr, 0, "the engine's conversion manager did not take the task for " + p.destinationName);
            view.End(tasks, false, 1);
            return 1;
        }
        TaskView t;
        t.index = host.lastTaskAdded;
        t.name = p.destinationName;
        t.folder = p.folder;
        t.profile = plan.profiles[p.profile].caption;
        t.input = p.input;
        t.sequenceName = p.sequenceName;
        tasks.push_back(t);
        view.Added(tasks.back());
        settingUp = &tasks.back();
        PvxTaskFolder folder{t.index, p.folder.c_str()};
        engine.Send(conv, msg::kConvSetTaskFolder, reinterpret_cast<intptr_t>(&folder), sizeof folder);
        // The notifications so far came on this thread; take them now.
        for (std::optional<ConvEvent> e; (e = host.TryTake());) handle(*e);
        settingUp = nullptr;
    }

    InterruptWatch::Start([&host] {
        host.Push(ConvEvent(ConvEvent::kInterrupt));
    });

    bool heard = false;
    engine.Send(conv, msg::kConvStartBatch);
    const auto started = std::chrono::steady_clock::now();
    for (bool running = true; running;) {
        // The manager reports a batch's end; the wait is bounded only so that
        // a batch in which nothing could start does not keep us forever.
        std::optional<ConvEvent> e = host.WaitFor(std::chrono::seconds(1));
        if (!e) {
            bool allEnded = true;
            for (const TaskView& t : tasks) allEnded = allEnded && Ended(t.state);
            if (allEnded) break;
            if (!heard && std::chrono::steady_clock::now() - started > std::chrono::seconds(10)) {
                view.Error(nullptr, 0, "the conversion did not start");
                break;
            }
            continue;
        }
        heard = true;
        if (e->kind == ConvEvent::kBatchEnded) break;
        if (e->kind == ConvEvent::kInterrupt) {
            if (interrupted) continue;
            interrupted = true;
            view.Interrupted();
            // Returns once every job has stopped.
            engine.Send(conv, msg::kConvStopBatch);
            running = false;
        }
        handle(*e);
    }
    for (std::optional<ConvEvent> e; (e = host.TryTake());)
        if (e->kind != ConvEvent::kInterrupt) handle(*e);

    // The engine writes every output under a temporary name and removes it
    // when the task does not finish: nothing here deletes files.
    int exitCode = 0;
    for (TaskView& t : tasks) {
        if (t.state != kPvxFinished) t.output.clear();
        t.removed = interrupted && t.started && t.state == kPvxStopped;
        // A task skipped because its output existed ends "stopped" without a stop from us.
        if (t.state != kPvxFinished && !(t.state == kPvxStopped && !interrupted && plan.existingPolicy == 2))
            exitCode = 1;
        record(t);
    }
    if (plan.results && plan.results->Failed()) exitCode = 1;
    view.End(tasks, interrupted, exitCode);
    return exitCode;
}
