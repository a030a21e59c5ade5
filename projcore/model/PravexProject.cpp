#include "model/PravexProject.h"

#include <cstring>

#include "bus/BaseException.h"
#include "bus/ProjectMgr.h"
#include "edit/ClipEditMessageMgr.h"
#include "model/FLVSequenceManager.h"
#include "model/ImportedResourceManager.h"
#include "model/SeqMgrResAdaptor.h"
#include "model/TrashResourceManager.h"
#include "model/XMLSerialStream.h"
#include "projcore/MessageIds.h"
#include "projcore/Records.h"

namespace {
void Answer(intptr_t p1, CListenerImpl* listener) {
    if (p1) *reinterpret_cast<CBaseListener**>(p1) = listener;
}
}  // namespace

CPravexProject::CPravexProject(CBaseListener* host) : host_(host) {
    try {
        BuildSubManagers();
    } catch (...) {
        DestroySubManagers();
        throw;
    }
    RegisterHandlers();
    WireHost();
}

CPravexProject::CPravexProject(const char* path, CBaseListener* host) : host_(host) {
    try {
        BuildSubManagers();
        RegisterHandlers();
        LoadFile(path);
    } catch (...) {
        DestroySubManagers();
        throw 0;
    }
    WireHost();
}

CPravexProject::~CPravexProject() {
    // Stop any preview before the clips it may be showing go away.
    player_.OnMessage(nullptr, msg::kPlayerClose, 0, 0);
    // Conversion jobs read the sequences' clips on their own threads: they
    // are stopped and waited for before the sequences go.
    converter_.OnMessage(nullptr, msg::kConvStopBatch, 0, 0);
    DestroySubManagers();
}

void CPravexProject::BuildSubManagers() {
    sequenceManager_ = std::make_unique<CFLVSequenceManager>();
    CProjectMgr* manager = CurrentProjectMgr();
    clipEditManager_ = std::make_unique<CClipEditMessageMgr>(host_, sequenceManager_.get(),
                                                             manager ? &manager->FlvCache() : nullptr);
    importedResources_ = std::make_unique<CImportedResourceManager>();
    trash_ = std::make_unique<CTrashResourceManager>();
    adaptor_ = std::make_unique<CSeqMgrResAdaptor>(sequenceManager_.get(), trash_.get());
    sequenceManager_->AddListener(importedResources_.get());
    projectFormat_ = "PRAVEX";
}

void CPravexProject::RegisterHandlers() {
    Register(this, msg::kGetSequenceManager, &CPravexProject::OnGetSequenceManager);
    Register(this, msg::kGetTrashManager, &CPravexProject::OnGetTrashManager);
    Register(this, msg::kGetImportedManager, &CPravexProject::OnGetImportedManager);
    Register(this, msg::kGetClipEditManager, &CPravexProject::OnGetClipEditManager);
    Register(this, msg::kGetPlayerManager, &CPravexProject::OnGetPlayerManager);
    Register(this, msg::kGetConversionManager, &CPravexProject::OnGetConversionManager);
}

void CPravexProject::LoadFile(const char* path) {
    trash_->SetLoadCallback(this, &CPravexProject::OnClipLoad);
    sequenceManager_->SetLoadCallback(this, &CPravexProject::OnClipLoad);

    CXMLSerialStream stream;
    if (!stream.LoadFromFile(path)) throw -1;

    // The clip counts announced by the file give the progress total; a file
    // without them is not a project file.
    uint32_t trashClips = 0, sequenceClips = 0;
    bool ok = stream.OpenGroup("project");
    ok = ok && stream.OpenGroup("TrashResourceManager") && stream.GetUInt("ClipNumber", trashClips) &&
         stream.CloseGroup();
    ok = ok && stream.OpenGroup("CFLVSequenceManager") && stream.GetUInt("ClipNumber", sequenceClips) &&
         stream.CloseGroup();
    if (!ok) throw -1;
    stream.CloseGroup();
    loadTotal_ = trashClips + sequenceClips;
    loadDone_ = 0;

    if (!Deserial(&stream)) throw CBaseException(errcode::kInvalidProjectFormat, "Invalid project format");
    filePath_ = path;
    if (loadTotal_ != 0) SendFinalProgress();
}

void CPravexProject::WireHost() {
    if (!host_) return;
    sequenceManager_->AddListener(host_);
    importedResources_->AddListener(host_);
    trash_->AddListener(host_);
    clipEditManager_->AddListener(host_);
    converter_.AddListener(host_);
    hostWired_ = true;
}

void CPravexProject::DestroySubManagers() {
    if (hostWired_) {
        sequenceManager_->RemoveListener(host_);
        importedResources_->RemoveListener(host_);
        trash_->RemoveListener(host_);
        clipEditManager_->RemoveListener(host_);
        converter_.RemoveListener(host_);
        hostWired_ = false;
    }
    if (sequenceManager_ && importedResources_) sequenceManager_->RemoveListener(importedResources_.get());
    adaptor_.reset();
    clipEditManager_.reset();
    importedResources_.reset();
    sequenceManager_.reset();
    trash_.reset();
}

bool CPravexProject::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    bool ok = CBaseProject::Serial(stream) && stream->BeginGroup("project") &&
              sequenceManager_->Serial(stream) && importedResources_->Serial(stream) &&
              trash_->Serial(stream) && stream->EndGroup();
    if (!ok) throw 0;
    return true;
}

bool CPravexProject::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    CBaseProject::Deserial(stream);
    if (!stream->OpenGroup("project")) return false;
    const bool ok = sequenceManager_->Deserial(stream) && importedResources_->Deserial(stream) &&
                    trash_->Deserial(stream);
    // The owner destroys the sub-managers of a project that failed to load.
    if (!ok) throw 0;
    stream->CloseGroup();
    modified_ = false;
    return true;
}

bool CPravexProject::IsModified() {
    if (sequenceManager_->IsModified() || importedResources_->IsModified() || trash_->IsModified())
        modified_ = true;
    return modified_;
}

void CPravexProject::MarkSaved() {
    sequenceManager_->MarkSaved();
    importedResources_->MarkSaved();
    trash_->MarkSaved();
    modified_ = false;
}

void CPravexProject::OnClipLoad(void* context, const char* kind, const ClipLoadRecord* record, int32_t state) {
    auto* self = static_cast<CPravexProject*>(context);
    if (!self || !kind || !record) return;
    if (std::strcmp(kind, "FLVClip") != 0 && std::strcmp(kind, "ImageClip") != 0) return;
    if (self->loadTotal_ != 0 || self->loadDone_ != 0) {
        LoadProgress progress{record->path ? record->path : "", state, self->loadTotal_, self->loadDone_};
        if (self->host_)
            self->host_->OnMessage(nullptr, msg::kNotifyLoadProgress, reinterpret_cast<intptr_t>(&progress),
                                   sizeof progress);
    }
    if (state == 2) self->lostClipsOnLoad_ = true;
    if (state == 1 || state == 2) {
        ++self->loadDone_;
        if (self->loadDone_ > self->loadTotal_) self->loadTotal_ = self->loadDone_;
    }
}

void CPravexProject::SendFinalProgress() {
    if (!host_) return;
    LoadProgress progress{"", 1, loadTotal_, loadTotal_};
    host_->OnMessage(nullptr, msg::kNotifyLoadProgress, reinterpret_cast<intptr_t>(&progress), sizeof progress);
}

void CPravexProject::OnGetSequenceManager(void*, int32_t, intptr_t p1, intptr_t) {
    Answer(p1, sequenceManager_.get());
}
void CPravexProject::OnGetTrashManager(void*, int32_t, intptr_t p1, intptr_t) { Answer(p1, trash_.get()); }
void CPravexProject::OnGetImportedManager(void*, int32_t, intptr_t p1, intptr_t) {
    Answer(p1, importedResources_.get());
}
void CPravexProject::OnGetClipEditManager(void*, int32_t, intptr_t p1, intptr_t) {
    Answer(p1, clipEditManager_.get());
}
void CPravexProject::OnGetPlayerManager(void*, int32_t, intptr_t p1, intptr_t) { Answer(p1, &player_); }
void CPravexProject::OnGetConversionManager(void*, int32_t, intptr_t p1, intptr_t) { Answer(p1, &converter_); }
