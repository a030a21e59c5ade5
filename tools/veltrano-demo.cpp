// Drives the engine the way the desktop program does, through its three entry
// points only: creates a project, saves it into the given folder, reopens it
// and closes it, printing every notification and question on the way.

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "projcore/projcore.h"

namespace {

const char* Describe(int32_t id) {
    switch (id) {
        case msg::kAskSavePath: return "asks where to save the new project";
        case msg::kAskOpenPath: return "asks which project file to open";
        case msg::kAskSaveAsPath: return "asks where to save a copy";
        case msg::kAskSaveChanges: return "asks whether to save changes";
        case msg::kNotifyNothingToSave: return "nothing to save";
        case msg::kNotifySaveFailed: return "saving failed";
        case msg::kNotifyOpenFailed: return "opening failed";
        case msg::kNotifyNewFailed: return "creating a project failed";
        case msg::kNotifyNewDone: return "new project ready";
        case msg::kNotifySaved: return "project saved";
        case msg::kNotifyClosed: return "project closed";
        case msg::kNotifyOpened: return "project file opened";
        case msg::kNotifyLoadProgress: return "load progress";
        default: return "notification";
    }
}

class PrintingHost : public CBaseListener {
public:
    explicit PrintingHost(std::string file) : file_(std::move(file)) {}

    void OnMessage(void* sender, int32_t id, intptr_t p1, intptr_t p2) override {
        std::printf("  %-9d %s%s\n", id, Describe(id), sender ? " (broadcast)" : "");
        if (id == msg::kAskSavePath || id == msg::kAskOpenPath || id == msg::kAskSaveAsPath) {
            std::snprintf(reinterpret_cast<char*>(p1), static_cast<size_t>(p2), "%s", file_.c_str());
            std::printf("            answered %s\n", file_.c_str());
        } else if (id == msg::kAskSaveChanges) {
            *reinterpret_cast<int32_t*>(p1) = kSaveChangesSave;
        }
        if (id == msg::kNotifySaveFailed || id == msg::kNotifyOpenFailed || id == msg::kNotifyNewFailed)
            ++failures;
    }

    int failures = 0;

private:
    std::string file_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "demo-output";
    ::mkdir(folder.c_str(), 0755);
    const std::string file = folder + "/demo.pvxp";

    PrintingHost host(file);
    CBaseListener* manager = GetProjectMgr(&host);
    if (!manager) {
        std::fprintf(stderr, "the engine could not start\n");
        return 1;
    }
    auto step = [&](const char* what, int32_t id, intptr_t p1 = 0, intptr_t p2 = 0) {
        std::printf("%s\n", what);
        DirectSendMessage(manager, id, p1, p2);
    };
    step("New project", msg::kProjectNew);
    step("Save", msg::kProjectSave);
    int32_t closed = 0;
    step("Close", msg::kProjectClose, reinterpret_cast<intptr_t>(&closed));
    step("Open", msg::kProjectOpen);

    char path[kPathBufferSize] = {};
    DirectSendMessage(manager, msg::kProjectGetPath, reinterpret_cast<intptr_t>(path), sizeof path);
    CBaseListener* project = nullptr;
    DirectSendMessage(manager, msg::kProjectGetListener, reinterpret_cast<intptr_t>(&project), sizeof project);
    std::printf("Current project file: %s\n", path);
    for (int32_t id = msg::kGetSequenceManager; project && id <= msg::kGetConversionManager; ++id) {
        CBaseListener* sub = nullptr;
        DirectSendMessage(project, id, reinterpret_cast<intptr_t>(&sub), sizeof sub);
        std::printf("  manager %d at %p\n", id, static_cast<void*>(sub));
    }
    step("Close", msg::kProjectClose, reinterpret_cast<intptr_t>(&closed));
    DeleteProjectMgr();
    std::printf("%s\n", host.failures == 0 ? "done" : "done, with failures");
    return host.failures == 0 && project ? 0 : 1;
}
