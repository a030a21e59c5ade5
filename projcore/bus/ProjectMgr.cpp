#include "bus/ProjectMgr.h"

#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "avkit/avkit.h"
#include "bus/BaseException.h"
#include "bus/FlvRepairJob.h"
#include "bus/MediaExamination.h"
#include "model/PravexProject.h"
#include "model/XMLSerialStream.h"
#include "projcore/MessageIds.h"
#include "projcore/Records.h"

CProjectMgr::CProjectMgr(CBaseListener* host) : host_(host) {
    Register(this, msg::kProjectNew, &CProjectMgr::OnNew);
    Register(this, msg::kProjectClose, &CProjectMgr::OnClose);
    Register(this, msg::kProjectOpen, &CProjectMgr::OnOpen);
    Register(this, msg::kProjectSave, &CProjectMgr::OnSave);
    Register(this, msg::kProjectSaveAs, &CProjectMgr::OnSaveAs);
    Register(this, msg::kProjectGetListener, &CProjectMgr::OnGetProjectListener);
    Register(this, msg::kProjectGetPath, &CProjectMgr::OnGetPath);
    Register(this, msg::kProjectExamineMedia, &CProjectMgr::OnExamineMedia);
    Register(this, msg::kProjectRepairFlv, &CProjectMgr::OnRepairFlv);
    Register(this, msg::kProjectPrepareCoding, &CProjectMgr::OnPrepareCoding);
}

CProjectMgr::~CProjectMgr() {
    if (preparing_.joinable()) preparing_.join();
    project_.reset();
}

void CProjectMgr::Tell(int32_t id, intptr_t p1, intptr_t p2) {
    if (host_) host_->OnMessage(nullptr, id, p1, p2);
}

std::string CProjectMgr::AskPath(int32_t id) {
    std::vector<char> buffer(kPathBufferSize, '\0');
    Tell(id, reinterpret_cast<intptr_t>(buffer.data()), kPathBufferSize);
    // An answer that fills the buffer without its terminating zero was cut by
    // the host: taking a cut path could overwrite an unrelated file.
    if (std::memchr(buffer.data(), '\0', buffer.size()) == nullptr) return {};
    return std::string(buffer.data());
}

CProjectMgr::Unsaved CProjectMgr::AskUnsavedChanges() {
    if (!project_) return Unsaved::NoProject;
    if (!project_->IsModified()) return Unsaved::Clean;
    int32_t answer = kSaveChangesDiscard;
    Tell(msg::kAskSaveChanges, reinterpret_cast<intptr_t>(&answer), sizeof answer);
    switch (answer) {
        case kSaveChangesDiscard: return Unsaved::Clean;
        case kSaveChangesSave: Save(); return Unsaved::Saved;
        // An answer the engine does not know must never discard the edits.
        default: return Unsaved::Cancel;
    }
}

bool CProjectMgr::ConfirmDiscardOrSave() {
    switch (AskUnsavedChanges()) {
        case Unsaved::NoProject:
        case Unsaved::Clean: return true;
        case Unsaved::Saved: return project_ && !project_->IsModified() && !path_.empty();
        case Unsaved::Cancel: return false;
    }
    return false;
}

void CProjectMgr::DestroyProject() {
    project_.reset();
    path_.clear();
}

void CProjectMgr::OnNew(void*, int32_t, intptr_t, intptr_t) {
    if (!ConfirmDiscardOrSave()) return;
    if (project_) {
        DestroyProject();
        Tell(msg::kNotifyClosed);
    }
    try {
        project_ = std::make_unique<CPravexProject>(host_);
        path_.clear();
    } catch (...) {
        Tell(msg::kNotifyNewFailed);
    }
    Tell(msg::kNotifyNewDone);
}

void CProjectMgr::OnClose(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    auto* result = reinterpret_cast<int32_t*>(p1);
    if (!ConfirmDiscardOrSave()) {
        *result = -1;
        return;
    }
    DestroyProject();
    *result = 1;
    Tell(msg::kNotifyClosed);
}

void CProjectMgr::OnOpen(void*, int32_t, intptr_t, intptr_t) {
    if (!ConfirmDiscardOrSave()) return;
    const std::string file = AskPath(msg::kAskOpenPath);
    if (file.empty()) return;
    std::unique_ptr<CPravexProject> opened;
    try {
        opened = std::make_unique<CPravexProject>(file.c_str(), host_);
    } catch (...) {
        // The project that was open stays open and current: its edits are
        // kept and the listener addresses the shell holds stay valid.
        Tell(msg::kNotifyOpenFailed);
        return;
    }
    path_ = file;
    if (project_) {
        project_.reset();
        Tell(msg::kNotifyClosed);
    }
    project_ = std::move(opened);
    Tell(msg::kNotifyOpened);
}

void CProjectMgr::OnSave(void*, int32_t, intptr_t, intptr_t) { Save(); }

void CProjectMgr::Save() {
    static const char kNoProject[] = "No Project";
    if (!project_) {
        Tell(msg::kNotifySaveFailed, reinterpret_cast<intptr_t>(kNoProject), sizeof kNoProject - 1);
        return;
    }
    if (!project_->IsModified() && !path_.empty()) {
        Tell(msg::kNotifyNothingToSave, 0, 0);
        return;
    }
    std::string target = project_->FilePath();
    const bool asked = target.empty();
    if (asked) {
        target = AskPath(msg::kAskSavePath);
        if (target.empty()) return;
    }
    try {
        SaveProjectTo(target);
        if (asked) path_ = target;
        Tell(msg::kNotifySaved);
    } catch (const CBaseException& e) {
        if (e.Code() == errcode::kSaveProject) Tell(msg::kNotifySaveFailed, 0, 0);
    }
}

void CProjectMgr::OnSaveAs(void*, int32_t, intptr_t, intptr_t) {
    if (!project_) return;
    const std::string target = AskPath(msg::kAskSaveAsPath);
    if (target.empty()) return;
    try {
        SaveProjectTo(target);
        path_ = target;
        Tell(msg::kNotifySaved);
    } catch (const CBaseException& e) {
        if (e.Code() == errcode::kSaveProject) Tell(msg::kNotifySaveFailed, 0, 0);
    }
}

void CProjectMgr::SaveProjectTo(const std::string& target) {
    CXMLSerialStream stream;
    try {
        project_->Serial(&stream);
    } catch (...) {
        throw CBaseException(errcode::kSaveProject, "Error:Save Project");
    }
    // A project that lost clips while it loaded would lose them for good when
    // saved over its file: the original is kept beside it first.
    if (project_->LostClipsOnLoad() && target == project_->FilePath()) {
        std::error_code error;
        std::filesystem::copy_file(target, target + ".bak", std::filesystem::copy_options::overwrite_existing,
                                   error);
        if (error) throw CBaseException(errcode::kSaveProject, "Error:Save Project");
    }
    if (!stream.SaveToFile(target.c_str())) throw CBaseException(errcode::kSaveProject, "Error:Save Project");
    project_->ForgetLostClips();
    // Only now is the file in place: the edits count as saved.
    project_->SetFilePath(target);
    project_->MarkSaved();
}

void CProjectMgr::OnGetProjectListener(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    *reinterpret_cast<CBaseListener**>(p1) = project_ ? static_cast<CListenerImpl*>(project_.get()) : nullptr;
}

void CProjectMgr::OnGetPath(void*, int32_t, intptr_t p1, intptr_t p2) {
    if (!p1 || p2 <= 0) return;
    char* buffer = reinterpret_cast<char*>(p1);
    const size_t size = static_cast<size_t>(p2);
    // A path that does not fit is not cut: the caller gets an empty text.
    if (path_.size() + 1 > size) {
        buffer[0] = '\0';
        return;
    }
    std::memcpy(buffer, path_.c_str(), path_.size() + 1);
}

void CProjectMgr::OnExamineMedia(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    auto& info = *reinterpret_cast<MediaFileInfo*>(p1);
    const char* path = info.path;
    // The shell learns of a failure by the outputs staying zero.
    info = MediaFileInfo{};
    info.path = path;
    try {
        ExamineMediaFile(flvCache_, info);
    } catch (...) {
        info = MediaFileInfo{};
        info.path = path;
    }
}

void CProjectMgr::OnPrepareCoding(void*, int32_t, intptr_t, intptr_t) {
    if (preparing_.joinable()) return;
    // avkit's first call loads it and FFmpeg with every codec library behind
    // it (some 40 ms of the loader's work), beside what the caller does next.
    try {
        preparing_ = std::thread([] { avkit_init(); });
    } catch (const std::system_error&) {
        // No thread: the libraries load on their first use instead.
    }
}

void CProjectMgr::OnRepairFlv(void*, int32_t, intptr_t p1, intptr_t p2) {
    if (!p1 || p2 != static_cast<intptr_t>(sizeof(FlvRepairRequest))) return;
    RunFlvRepair(*reinterpret_cast<FlvRepairRequest*>(p1));
}
