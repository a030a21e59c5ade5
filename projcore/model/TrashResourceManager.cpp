#include "model/TrashResourceManager.h"

#include "bus/BaseException.h"
#include "model/BaseClip.h"
#include "model/BaseSerialStream.h"
#include "model/FLVSequence.h"
#include "projcore/MessageIds.h"

namespace {
[[noreturn]] void FailType() { throw CBaseException(errcode::kTrashResourceType, "error:TrashResourceType"); }
}  // namespace

void CTrashResourceManager::SetLoadCallback(void* context, LoadCallback callback) {
    if (!context || !callback) return;
    loadContext_ = context;
    loadCallback_ = callback;
}

void CTrashResourceManager::DropStale(void* object) {
    for (size_t i = entries_.size(); i-- > 0;) {
        if (entries_[i]->info.object == object && !entries_[i]->clip && !entries_[i]->sequence) {
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
            Renumber(i);
        }
    }
}

void CTrashResourceManager::AddClip(std::unique_ptr<CBaseClip> clip) {
    if (!clip) return;
    DropStale(clip.get());
    auto entry = std::make_unique<Entry>();
    entry->name = clip->FilePath();
    entry->info.object = clip.get();
    entry->info.type = kClip;
    entry->clip = std::move(clip);
    Append(std::move(entry));
}

void CTrashResourceManager::AddSequence(std::unique_ptr<CFLVSequence> sequence) {
    if (!sequence) return;
    DropStale(sequence.get());
    auto entry = std::make_unique<Entry>();
    entry->name = sequence->DestinationName();
    entry->info.object = sequence.get();
    entry->info.type = kSequence;
    entry->sequence = std::move(sequence);
    Append(std::move(entry));
}

std::unique_ptr<CBaseClip> CTrashResourceManager::ClaimClip(void* object) {
    for (auto& e : entries_)
        if (object && e->clip && e->clip.get() == object) return std::move(e->clip);
    return nullptr;
}

std::unique_ptr<CFLVSequence> CTrashResourceManager::ClaimSequence(void* object) {
    for (auto& e : entries_)
        if (object && e->sequence && e->sequence.get() == object) return std::move(e->sequence);
    return nullptr;
}

bool CTrashResourceManager::RestoreResource(uint32_t index) {
    if (index >= entries_.size()) return false;
    // The entry goes only once its object was taken over (the shell puts it
    // back into the list with 210170103 first); otherwise the restore would
    // lose the object.
    if (entries_[index]->clip || entries_[index]->sequence) return false;
    AnnounceInfo(msg::kNotifyResRestoring, *entries_[index]);
    entries_.erase(entries_.begin() + index);
    Renumber(index);
    modified_ = true;
    return true;
}

void CTrashResourceManager::CheckEntry(const Entry& e) const {
    if (e.info.type != kClip && e.info.type != kSequence) FailType();
}

uint32_t CTrashResourceManager::ClipCount() const {
    uint32_t n = 0;
    for (const auto& e : entries_) {
        if (e->clip) ++n;
        else if (e->sequence) n += static_cast<uint32_t>(e->sequence->GetClipCount());
    }
    return n;
}

bool CTrashResourceManager::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    auto fail = [] { throw CBaseException(errcode::kSerialTrash, "error:Serial ImportedResourceManager"); };
    if (!stream->BeginGroup("TrashResourceManager") || !stream->PutUInt("ClipNumber", ClipCount()) ||
        !stream->BeginArray("Resources"))
        fail();
    // Entries whose object went back to the sequence list are written there.
    uint32_t item = 0;
    for (const auto& e : entries_) {
        if (!e->clip && !e->sequence) continue;
        CheckEntry(*e);
        bool ok = stream->BeginArrayItem(("Resource" + std::to_string(item)).c_str()) &&
                  stream->PutUInt("ResIndex", item) && stream->PutInt("ResType", e->info.type) &&
                  stream->PutString("Name", e->name.c_str());
        if (e->clip) ok = ok && e->clip->Serial(stream) && stream->PutString("ClipType", e->clip->Type().c_str());
        else ok = ok && e->sequence->Serial(stream);
        if (!ok || !stream->EndArrayItem()) fail();
        ++item;
    }
    if (!stream->EndArray() || !stream->EndGroup()) fail();
    return true;
}

bool CTrashResourceManager::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    auto fail = [] { throw CBaseException(errcode::kDeserialTrash, "error:Deserial ImportedResourceManager"); };
    if (!stream->OpenGroup("TrashResourceManager")) fail();
    std::vector<std::unique_ptr<Entry>> loaded;
    uint32_t count = 0;
    if (stream->OpenArray("Resources", count)) {
        for (uint32_t i = 0; i < count; ++i) {
            if (!stream->OpenArrayItem(("Resource" + std::to_string(i)).c_str())) {
                stream->CloseArray();
                stream->CloseGroup();
                fail();
            }
            auto e = std::make_unique<Entry>();
            stream->GetUInt("ResIndex", e->info.index);
            stream->GetInt("ResType", e->info.type);
            stream->GetString("Name", e->name);
            bool ok = false;
            try {
                if (e->info.type == kClip) {
                    std::string type;
                    stream->GetString("ClipType", type);
                    auto clip = MakeClipOfType(type);
                    if (clip && loadCallback_) clip->SetLoadCallback(loadContext_, loadCallback_);
                    if (clip && clip->Deserial(stream)) {
                        e->name = clip->FilePath();
                        e->info.object = clip.get();
                        e->clip = std::move(clip);
                        ok = true;
                    }
                } else if (e->info.type == kSequence) {
                    auto sequence = std::make_unique<CFLVSequence>();
                    if (loadCallback_) sequence->SetLoadCallback(loadContext_, loadCallback_);
                    if (sequence->Deserial(stream)) {
                        e->name = sequence->DestinationName();
                        e->info.object = sequence.get();
                        e->sequence = std::move(sequence);
                        ok = true;
                    }
                }
            } catch (...) {
            }
            stream->CloseArrayItem();
            // A trashed item that cannot be loaded (a missing file, a type
            // this version does not know) is dropped; the rest of the
            // project still loads.
            if (ok) loaded.push_back(std::move(e));
        }
        stream->CloseArray();
    }
    stream->CloseGroup();
    for (auto& e : loaded) e->info.name = e->name.c_str();
    entries_ = std::move(loaded);
    Renumber(0);
    modified_ = false;
    return true;
}
