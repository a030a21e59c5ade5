#include "model/FLVSequenceManager.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <strings.h>

#include "bus/BaseException.h"
#include "bus/MediaExamination.h"
#include "model/BaseSerialStream.h"
#include "model/FLVClip.h"
#include "model/ImageClip.h"
#include "model/TrashResourceManager.h"
#include "projcore/MessageIds.h"
#include "render/FLVCache.h"

namespace {

[[noreturn]] void FailSerial() {
    throw CBaseException(errcode::kSerialFLVSequenceManager, "errSerialFLVSequenceManager");
}
[[noreturn]] void FailDeserial() {
    throw CBaseException(errcode::kDeserialFLVSequenceManager, "errDeserialFLVSequenceManager");
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* Text(const char* s) { return s ? s : ""; }

}  // namespace

CFLVSequenceManager::CFLVSequenceManager() {
    Register(this, msg::kSeqImport, &CFLVSequenceManager::OnImport);
    Register(this, msg::kSeqSelect, &CFLVSequenceManager::OnSelect);
    Register(this, msg::kSeqInsert, &CFLVSequenceManager::OnInsert);
    Register(this, msg::kSeqRemoveToTrash, &CFLVSequenceManager::OnRemoveToTrash);
    Register(this, msg::kSeqRemoveAll, &CFLVSequenceManager::OnRemoveAll);
    Register(this, msg::kSeqExchange, &CFLVSequenceManager::OnExchange);
    Register(this, msg::kSeqMerge, &CFLVSequenceManager::OnMerge);
    Register(this, msg::kSeqSort, &CFLVSequenceManager::OnSort);
    Register(this, msg::kSeqSetProperty, &CFLVSequenceManager::OnSetProperty);
    Register(this, msg::kSeqGetProperty, &CFLVSequenceManager::OnGetProperty);
    Register(this, msg::kSeqGetMediaInfo, &CFLVSequenceManager::OnGetMediaInfo);
    Register(this, msg::kSeqGetCount, &CFLVSequenceManager::OnGetCount);
    Register(this, msg::kSeqGetClipCount, &CFLVSequenceManager::OnGetClipCount);
    Register(this, msg::kSeqMove, &CFLVSequenceManager::OnMove);
    Register(this, msg::kSeqDeleteList, &CFLVSequenceManager::OnDeleteList);
    Register(this, msg::kSeqSetImageTime, &CFLVSequenceManager::OnSetImageTime);
    Register(this, msg::kSeqGetPlayLength, &CFLVSequenceManager::OnGetPlayLength);
    Register(this, msg::kSeqGetSequence, &CFLVSequenceManager::OnGetSequence);
    Register(this, msg::kSeqAddFiles, &CFLVSequenceManager::OnAddFiles);
    Register(this, msg::kSeqGetClipPlayLength, &CFLVSequenceManager::OnGetClipPlayLength);
    Register(this, msg::kSeqGetClipPath, &CFLVSequenceManager::OnGetClipPath);
}

CFLVSequenceManager::~CFLVSequenceManager() = default;

// ---- access

CFLVSequence* CFLVSequenceManager::Sequence(size_t index) const {
    return index < sequences_.size() ? sequences_[index].get() : nullptr;
}

CFLVSequence* CFLVSequenceManager::At(int32_t index) const {
    return index >= 0 ? Sequence(static_cast<size_t>(index)) : nullptr;
}

CBaseClip* CFLVSequenceManager::ClipAt(int32_t sequence, int32_t clip) const {
    CFLVSequence* s = At(sequence);
    return s && clip >= 0 ? s->Clip(static_cast<size_t>(clip)) : nullptr;
}

uint32_t CFLVSequenceManager::ClipCount() const {
    uint32_t n = 0;
    for (const auto& s : sequences_) n += static_cast<uint32_t>(s->GetClipCount());
    return n;
}

void CFLVSequenceManager::Announce(int32_t id, void* object, int32_t kind, int32_t sequence, int32_t clip) {
    TSeqItem item{object, kind, sequence, clip};
    Notify(id, reinterpret_cast<intptr_t>(&item), sizeof item);
}

// ---- selection

void* CFLVSequenceManager::SelectedObject() const {
    if (selection_.sequence < 0) return nullptr;
    if (selection_.clip < 0) return At(selection_.sequence);
    return ClipAt(selection_.sequence, selection_.clip);
}

void CFLVSequenceManager::TrackSelection(void* object) {
    TSeqSelection found{0, -1, -1};
    for (size_t s = 0; object && s < sequences_.size() && found.sequence < 0; ++s) {
        if (sequences_[s].get() == object) {
            found = TSeqSelection{0, static_cast<int32_t>(s), -1};
            break;
        }
        for (size_t c = 0; c < sequences_[s]->GetClipCount(); ++c) {
            if (sequences_[s]->Clip(c) == object) {
                found = TSeqSelection{1, static_cast<int32_t>(s), static_cast<int32_t>(c)};
                break;
            }
        }
    }
    selection_ = found;
    TSeqSelection copy = found;
    Notify(found.sequence < 0 && found.clip < 0 ? msg::kNotifySeqDeselected : msg::kNotifySeqSelected,
           reinterpret_cast<intptr_t>(&copy), sizeof copy);
}

void CFLVSequenceManager::OnSelect(void*, int32_t, intptr_t p1, intptr_t p2) {
    if (!p1 || p2 != sizeof(TSeqSelection)) return;
    const auto& r = *reinterpret_cast<const TSeqSelection*>(p1);
    if (r.kind == selection_.kind && r.sequence == selection_.sequence && r.clip == selection_.clip) return;
    selection_ = r;
    if (r.sequence == -1 && r.clip == -1) {
        selection_.kind = 0;
        TSeqSelection none{0, -1, -1};
        Notify(msg::kNotifySeqDeselected, reinterpret_cast<intptr_t>(&none), sizeof none);
    } else {
        TSeqSelection copy = selection_;
        Notify(msg::kNotifySeqSelected, reinterpret_cast<intptr_t>(&copy), sizeof copy);
    }
}

// ---- adding files

std::unique_ptr<CBaseClip> CFLVSequenceManager::OpenFlvClip(const char* const* slot) {
    const std::string path = *slot;
    auto clip = std::make_unique<CFLVClip>();
    try {
        clip->SetFileName(NameOf(path));
        clip->SetFilePath(path);
        return clip;
    } catch (const CBaseException&) {
        // Ask a fresh cache why the file cannot be used, for the host's message.
        CFLVCache cache;
        FLVAVTagReaderHandle reader = nullptr;
        FLVInfo info{};
        int32_t code = cache.GetReader(path, &reader, &info);
        cache.ReleaseReader(reader);
        TAddFailure failure{slot, 1, &code, &info};
        Notify(msg::kNotifySeqAddFailed, reinterpret_cast<intptr_t>(&failure), sizeof failure);
    } catch (...) {
    }
    return nullptr;
}

std::unique_ptr<CBaseClip> CFLVSequenceManager::OpenImageClip(const char* const* slot, int32_t imageLength) {
    const std::string path = *slot;
    auto clip = std::make_unique<CImageClip>();
    try {
        clip->SetFileName(NameOf(path));
        clip->SetFilePath(path);
        // A still picture shows for the length the host asks; an animation keeps its own.
        if (imageLength > 0) clip->SetImageTime(static_cast<uint32_t>(imageLength));
        return clip;
    } catch (...) {
    }
    ReportRefused(slot, errcode::kExamineMedia);
    return nullptr;
}

std::unique_ptr<CBaseClip> CFLVSequenceManager::OpenClip(const char* const* slot, int32_t imageLength) {
    if (!slot || !*slot) return nullptr;
    if (LooksLikeFlv(*slot)) return OpenFlvClip(slot);
    if (IsPictureFileName(*slot)) return OpenImageClip(slot, imageLength);
    // Neither an FLV file nor a picture: the host learns which file it was.
    ReportRefused(slot, CFLVCache::kCannotOpen);
    return nullptr;
}

void CFLVSequenceManager::ReportRefused(const char* const* slot, int32_t code) {
    TAddFailure failure{slot, 1, &code, nullptr};
    Notify(msg::kNotifySeqAddFailed, reinterpret_cast<intptr_t>(&failure), sizeof failure);
}

void CFLVSequenceManager::OnImport(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    const auto& r = *reinterpret_cast<const TImportedFiles*>(p1);
    auto sequence = std::make_unique<CFLVSequence>();
    sequence->SetProperty(CFLVSequence::kDestinationName, Text(r.destName));
    sequence->SetProperty(CFLVSequence::kSeqName, Text(r.seqName));
    std::vector<const char*> added;
    for (int32_t i = 0; i < r.count; ++i) {
        const char* path = r.paths ? r.paths[i] : nullptr;
        if (r.count > 1) {
            TImportProgress progress{i, r.count, path, 1};
            Notify(msg::kNotifySeqImportProgress, reinterpret_cast<intptr_t>(&progress), sizeof progress);
            if (progress.continueImport == 0) return;  // cancelled: the list stays as it was
        }
        if (auto clip = OpenClip(r.paths ? &r.paths[i] : nullptr, r.imageLength)) {
            sequence->InsertClip(clip, sequence->GetClipCount());
            added.push_back(path);
        }
        if (r.count > 1) {
            TImportProgress progress{i + 1, r.count, path, 1};
            Notify(msg::kNotifySeqImportProgress, reinterpret_cast<intptr_t>(&progress), sizeof progress);
        }
    }
    if (sequence->GetClipCount() == 0) return;
    int32_t position = r.insertPos;
    if (position >= 0 && static_cast<size_t>(position) < sequences_.size()) {
        sequences_.insert(sequences_.begin() + position, std::move(sequence));
    } else {
        sequences_.push_back(std::move(sequence));
        position = static_cast<int32_t>(sequences_.size()) - 1;
    }
    modified_ = true;
    TImportDone done{r.seqName, position, added.data(), static_cast<int32_t>(added.size()), r.destName,
                     r.imageLength};
    Notify(msg::kNotifySeqImported, reinterpret_cast<intptr_t>(&done), sizeof done);
}

void CFLVSequenceManager::OnAddFiles(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    const auto& r = *reinterpret_cast<const TAddFilesToSeq*>(p1);
    void* selected = SelectedObject();
    for (int32_t i = 0; r.paths && i < r.count; ++i) {
        if (!r.paths[i] || !At(r.sequence)) continue;
        // The record carries no picture length: a still picture gets the clip's default.
        if (auto clip = OpenClip(&r.paths[i], 0)) InsertClip(std::move(clip), static_cast<size_t>(r.sequence), r.position);
    }
    TFilesAdded files{r.paths, r.count};
    Notify(msg::kNotifySeqFilesAdded, reinterpret_cast<intptr_t>(&files), sizeof files);
    TrackSelection(selected);
}

// ---- inserting

void CFLVSequenceManager::InsertClip(std::unique_ptr<CBaseClip> clip, size_t sequence, int32_t position) {
    CFLVSequence* s = Sequence(sequence);
    if (!s || !clip) return;
    const size_t at = position < 0 ? s->GetClipCount() : static_cast<size_t>(position);
    CBaseClip* raw = clip.get();
    if (!s->InsertClip(clip, at)) return;
    modified_ = true;
    Announce(msg::kNotifySeqInserted, raw, 1, static_cast<int32_t>(sequence), static_cast<int32_t>(at));
}

void CFLVSequenceManager::InsertSequence(std::unique_ptr<CFLVSequence> sequence, size_t index) {
    CFLVSequence* raw = sequence.get();
    sequences_.insert(sequences_.begin() + static_cast<std::ptrdiff_t>(index), std::move(sequence));
    modified_ = true;
    Announce(msg::kNotifySeqInserted, raw, 0, static_cast<int32_t>(index), -1);
    for (size_t j = 0; j < raw->GetClipCount(); ++j)
        Announce(msg::kNotifySeqInserted, raw->Clip(j), 1, static_cast<int32_t>(index), static_cast<int32_t>(j));
}

void CFLVSequenceManager::AppendSequence(std::unique_ptr<CFLVSequence> sequence) {
    InsertSequence(std::move(sequence), sequences_.size());
}

void CFLVSequenceManager::OnInsert(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1 || !trash_) return;
    const auto& r = *reinterpret_cast<const TSeqInsertItem*>(p1);
    void* selected = SelectedObject();
    // Only objects the trash holds come back into the list: the engine never
    // adopts a pointer it did not hand out.
    if (r.kind == 1) {
        const bool newSequence = r.seqName && r.destName;
        const int32_t seqIndex = r.sequence == -1 ? static_cast<int32_t>(sequences_.size()) : r.sequence;
        CFLVSequence* target = newSequence ? nullptr : At(seqIndex);
        if (!newSequence && (!target || (r.clipPosition != -1 && (r.clipPosition < 0 ||
                                          static_cast<size_t>(r.clipPosition) > target->GetClipCount()))))
            return;
        auto clip = trash_->ClaimClip(r.object);
        if (!clip) return;
        if (newSequence) {
            auto sequence = std::make_unique<CFLVSequence>();
            sequence->SetProperty(CFLVSequence::kSeqName, r.seqName);
            sequence->SetProperty(CFLVSequence::kDestinationName, r.destName);
            CBaseClip* raw = clip.get();
            sequence->InsertClip(clip, 0);
            CFLVSequence* seq = sequence.get();
            sequences_.push_back(std::move(sequence));
            const auto index = static_cast<int32_t>(sequences_.size()) - 1;
            Announce(msg::kNotifySeqInserted, seq, 0, index, -1);
            Announce(msg::kNotifySeqInserted, raw, 1, index, 0);
            modified_ = true;
        } else {
            InsertClip(std::move(clip), static_cast<size_t>(seqIndex), r.clipPosition);
        }
    } else if (r.kind == 0) {
        const size_t index = r.sequence == -1 ? sequences_.size() : static_cast<size_t>(r.sequence);
        if (r.sequence < -1 || index > sequences_.size()) return;
        auto sequence = trash_->ClaimSequence(r.object);
        if (!sequence) return;
        InsertSequence(std::move(sequence), index);
    } else {
        return;
    }
    modified_ = true;
    TrackSelection(selected);
}

// ---- removing

void CFLVSequenceManager::RemoveClipToTrash(size_t s, size_t c) {
    removedClip_ = sequences_[s]->RemoveClip(c);
    modified_ = true;
    Announce(msg::kNotifySeqTrashed, removedClip_.get(), 1, static_cast<int32_t>(s), static_cast<int32_t>(c));
    if (selection_.sequence == static_cast<int32_t>(s) && selection_.clip == static_cast<int32_t>(c)) {
        TSeqSelection old{1, selection_.sequence, selection_.clip};
        selection_ = TSeqSelection{0, -1, -1};
        Notify(msg::kNotifySeqDeselected, reinterpret_cast<intptr_t>(&old), sizeof old);
    }
    removedClip_.reset();  // nobody took it: it is gone
}

void CFLVSequenceManager::RemoveSequenceToTrash(size_t s) {
    removedSequence_ = std::move(sequences_[s]);
    sequences_.erase(sequences_.begin() + static_cast<std::ptrdiff_t>(s));
    modified_ = true;
    Announce(msg::kNotifySeqTrashed, removedSequence_.get(), 0, static_cast<int32_t>(s), -1);
    if (selection_.sequence == static_cast<int32_t>(s) && selection_.clip == -1) {
        TSeqSelection old{0, selection_.sequence, -1};
        selection_ = TSeqSelection{0, -1, -1};
        Notify(msg::kNotifySeqDeselected, reinterpret_cast<intptr_t>(&old), sizeof old);
    }
    removedSequence_.reset();
}

std::unique_ptr<CBaseClip> CFLVSequenceManager::TakeRemovedClip(void* object) {
    return object && removedClip_.get() == object ? std::move(removedClip_) : nullptr;
}

std::unique_ptr<CFLVSequence> CFLVSequenceManager::TakeRemovedSequence(void* object) {
    return object && removedSequence_.get() == object ? std::move(removedSequence_) : nullptr;
}

void CFLVSequenceManager::OnRemoveToTrash(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    const auto& r = *reinterpret_cast<const TSeqItem*>(p1);
    void* selected = SelectedObject();
    if (r.kind == 1 && ClipAt(r.sequence, r.clip)) {
        RemoveClipToTrash(static_cast<size_t>(r.sequence), static_cast<size_t>(r.clip));
    } else if (r.kind == 0 && At(r.sequence)) {
        RemoveSequenceToTrash(static_cast<size_t>(r.sequence));
    } else {
        return;
    }
    // Items after the removed one moved up: keep the selection's indices true.
    if (selection_.sequence >= 0 && SelectedObject() != selected) TrackSelection(selected);
}

void CFLVSequenceManager::OnRemoveAll(void*, int32_t, intptr_t, intptr_t) {
    while (!sequences_.empty()) {
        removedSequence_ = std::move(sequences_.front());
        sequences_.erase(sequences_.begin());
        Announce(msg::kNotifySeqRemovedAll, removedSequence_.get(), 0, 0, 0);
        removedSequence_.reset();
    }
    selection_ = TSeqSelection{0, -1, -1};
    TSeqSelection none = selection_;
    Notify(msg::kNotifySeqDeselected, reinterpret_cast<intptr_t>(&none), sizeof none);
    Notify(msg::kNotifySeqAllRemoved, 0, 4);
    modified_ = true;
}

void CFLVSequenceManager::DestroySequence(size_t s) {
    sequences_.erase(sequences_.begin() + static_cast<std::ptrdiff_t>(s));
    modified_ = true;
}

void CFLVSequenceManager::DropEmptySequences() {
    for (size_t s = sequences_.size(); s-- > 0;) {
        if (sequences_[s]->GetClipCount() != 0) continue;
        Announce(msg::kNotifySeqRemoved, nullptr, 0, static_cast<int32_t>(s), -1);
        DestroySequence(s);
    }
}

void CFLVSequenceManager::OnDeleteList(void*, int32_t, intptr_t p1, intptr_t p2) {
    if (!p1 || p2 <= 0) return;
    const auto* given = reinterpret_cast<const TSeqClipArr*>(p1);
    // Every entry names an item as the list stands now, whatever order the
    // entries come in: taking them from the highest index down keeps the
    // others where they are (a sequence's clips before the sequence).
    std::vector<TSeqClipArr> entries(given, given + p2);
    std::sort(entries.begin(), entries.end(), [](const TSeqClipArr& x, const TSeqClipArr& y) {
        if (x.sequence != y.sequence) return x.sequence > y.sequence;
        return x.clip > y.clip;  // -1, the whole sequence, comes last
    });
    void* selected = SelectedObject();
    for (const TSeqClipArr& e : entries) {
        if (e.clip != -1) {
            if (ClipAt(e.sequence, e.clip))
                RemoveClipToTrash(static_cast<size_t>(e.sequence), static_cast<size_t>(e.clip));
        } else if (CFLVSequence* s = At(e.sequence)) {
            if (s->GetClipCount() > 0) {
                RemoveSequenceToTrash(static_cast<size_t>(e.sequence));
            } else {
                Announce(msg::kNotifySeqRemoved, nullptr, 0, e.sequence, -1);
                DestroySequence(static_cast<size_t>(e.sequence));
            }
        }
    }
    DropEmptySequences();
    if (selection_.sequence >= 0 && SelectedObject() != selected) TrackSelection(selected);
}

// ---- rearranging

void CFLVSequenceManager::OnExchange(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    const auto& r = *reinterpret_cast<const TSeqExchange*>(p1);
    if (r.clips == 0) {
        if (!At(r.sequenceA) || !At(r.sequenceB)) return;
        std::swap(sequences_[static_cast<size_t>(r.sequenceA)], sequences_[static_cast<size_t>(r.sequenceB)]);
    } else {
        if (!ClipAt(r.sequenceA, r.clipA) || !ClipAt(r.sequenceB, r.clipB)) return;
        CFLVSequence* a = At(r.sequenceA);
        CFLVSequence* b = At(r.sequenceB);
        if (a == b) {
            a->SwapClips(static_cast<size_t>(r.clipA), static_cast<size_t>(r.clipB));
        } else {
            auto fromA = a->RemoveClip(static_cast<size_t>(r.clipA));
            auto fromB = b->RemoveClip(static_cast<size_t>(r.clipB));
            a->InsertClip(fromB, static_cast<size_t>(r.clipA));
            b->InsertClip(fromA, static_cast<size_t>(r.clipB));
        }
    }
    modified_ = true;
    TSeqExchange copy = r;
    Notify(msg::kNotifySeqExchanged, reinterpret_cast<intptr_t>(&copy), sizeof copy);
}

void CFLVSequenceManager::OnMerge(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    const auto& r = *reinterpret_cast<const TSeqMerge*>(p1);
    void* selected = SelectedObject();
    std::vector<std::unique_ptr<CBaseClip>> collected;
    if (r.copy) {
        for (int32_t i = 0; r.items && i < r.count; ++i) {
            CBaseClip* clip = ClipAt(r.items[i].sequence, r.items[i].clip);
            if (!clip) continue;
            try {
                collected.push_back(clip->Clone());
            } catch (...) {
            }
        }
    } else {
        for (auto& s : sequences_)
            for (size_t c = 0; c < s->GetClipCount(); ++c) s->Clip(c)->SetMergeMark(false);
        std::vector<CBaseClip*> order;
        for (int32_t i = 0; r.items && i < r.count; ++i) {
            CBaseClip* clip = ClipAt(r.items[i].sequence, r.items[i].clip);
            if (clip && !clip->MergeMark()) {
                clip->SetMergeMark(true);
                order.push_back(clip);
            }
        }
        std::map<CBaseClip*, std::unique_ptr<CBaseClip>> taken;
        for (size_t s = sequences_.size(); s-- > 0;) {
            for (size_t c = sequences_[s]->GetClipCount(); c-- > 0;) {
                CBaseClip* clip = sequences_[s]->Clip(c);
                if (!clip->MergeMark()) continue;
                Announce(msg::kNotifySeqRemoved, clip, 1, static_cast<int32_t>(s), static_cast<int32_t>(c));
                taken[clip] = sequences_[s]->RemoveClip(c);
            }
            if (sequences_[s]->GetClipCount() == 0) {
                Announce(msg::kNotifySeqRemoved, sequences_[s].get(), 0, static_cast<int32_t>(s), -1);
                if (selected == sequences_[s].get()) selected = nullptr;
                DestroySequence(s);
            }
        }
        for (CBaseClip* clip : order) {
            clip->SetMergeMark(false);
            collected.push_back(std::move(taken[clip]));
        }
    }
    auto sequence = std::make_unique<CFLVSequence>();
    sequence->SetProperty(CFLVSequence::kSeqName, Text(r.seqName));
    sequence->SetProperty(CFLVSequence::kDestinationName, Text(r.destName));
    CFLVSequence* seq = sequence.get();
    sequences_.push_back(std::move(sequence));
    const auto index = static_cast<int32_t>(sequences_.size()) - 1;
    Announce(msg::kNotifySeqInserted, seq, 0, index, -1);
    for (auto& clip : collected) {
        CBaseClip* raw = clip.get();
        const size_t at = seq->GetClipCount();
        seq->InsertClip(clip, at);
        Announce(msg::kNotifySeqInserted, raw, 1, index, static_cast<int32_t>(at));
    }
    modified_ = true;
    TSeqMerge copy = r;
    Notify(msg::kNotifySeqMerged, reinterpret_cast<intptr_t>(&copy), sizeof copy);
    TrackSelection(selected);
}

void CFLVSequenceManager::OnSort(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    const auto& r = *reinterpret_cast<const TSeqSort*>(p1);
    void* selected = SelectedObject();
    for (size_t i = 0; i < sequences_.size(); ++i) sequences_[i]->sortIndex = static_cast<int32_t>(i);
    const bool descending = r.flag != 0;
    auto byText = [&](int32_t property) {
        std::stable_sort(sequences_.begin(), sequences_.end(), [&](const auto& a, const auto& b) {
            const std::string& x = a->GetProperty(property);
            const std::string& y = b->GetProperty(property);
            return descending ? y < x : x < y;  // byte order of the UTF-8 texts
        });
    };
    if (r.key == 0) byText(CFLVSequence::kSeqName);
    else if (r.key == 2) byText(CFLVSequence::kDestinationName);
    else if (r.key == 1)
        std::stable_sort(sequences_.begin(), sequences_.end(), [&](const auto& a, const auto& b) {
            // The flag means the other way round for lengths: set is shortest first.
            return descending ? a->GetPlayLength() < b->GetPlayLength() : b->GetPlayLength() < a->GetPlayLength();
        });
    std::vector<int32_t> order;
    for (const auto& s : sequences_) order.push_back(s->sortIndex);
    modified_ = true;
    TSeqSorted sorted{r.key, r.flag, order.data(), static_cast<int32_t>(order.size())};
    Notify(msg::kNotifySeqSorted, reinterpret_cast<intptr_t>(&sorted), sizeof sorted);
    TrackSelection(selected);
}

void CFLVSequenceManager::OnMove(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    const auto& r = *reinterpret_cast<const TSeqMove*>(p1);
    void* selected = SelectedObject();
    // The indices and the target name items as the list stands now: find the
    // items first, so that moving one never changes which the others are.
    // Each is put in before the target item (the end for -1), and its old
    // entry goes, announced as if the item had been in both places at once.
    if (r.sequence == -1) {
        const auto count = static_cast<int32_t>(sequences_.size());
        if (r.target < -1 || r.target > count) return;
        const CFLVSequence* target = r.target == -1 ? nullptr : At(r.target);
        std::vector<CFLVSequence*> moving;
        for (int32_t i = 0; r.indices && i < r.count; ++i)
            if (CFLVSequence* s = At(r.indices[i])) moving.push_back(s);
        auto indexOf = [&](const CFLVSequence* s) {
            for (size_t i = 0; i < sequences_.size(); ++i)
                if (sequences_[i].get() == s) return static_cast<int32_t>(i);
            return static_cast<int32_t>(sequences_.size());
        };
        for (CFLVSequence* s : moving) {
            const int32_t x = indexOf(s);
            const int32_t t = target ? indexOf(target) : static_cast<int32_t>(sequences_.size());
            auto owned = std::move(sequences_[static_cast<size_t>(x)]);
            sequences_.erase(sequences_.begin() + x);
            sequences_.insert(sequences_.begin() + (t > x ? t - 1 : t), std::move(owned));
            Announce(msg::kNotifySeqInserted, s, 0, t, -1);
            for (size_t j = 0; j < s->GetClipCount(); ++j)
                Announce(msg::kNotifySeqInserted, s->Clip(j), 1, t, static_cast<int32_t>(j));
            Announce(msg::kNotifySeqRemoved, s, 0, x < t ? x : x + 1, -1);
        }
    } else {
        CFLVSequence* s = At(r.sequence);
        if (!s) return;
        const auto count = static_cast<int32_t>(s->GetClipCount());
        if (r.target < -1 || r.target > count) return;
        const CBaseClip* target = r.target == -1 ? nullptr : s->Clip(static_cast<size_t>(r.target));
        std::vector<CBaseClip*> moving;
        for (int32_t i = 0; r.indices && i < r.count; ++i)
            if (CBaseClip* c = ClipAt(r.sequence, r.indices[i])) moving.push_back(c);
        auto indexOf = [&](const CBaseClip* c) {
            for (size_t i = 0; i < s->GetClipCount(); ++i)
                if (s->Clip(i) == c) return static_cast<int32_t>(i);
            return static_cast<int32_t>(s->GetClipCount());
        };
        for (CBaseClip* c : moving) {
            const int32_t x = indexOf(c);
            const int32_t t = target ? indexOf(target) : static_cast<int32_t>(s->GetClipCount());
            auto owned = s->RemoveClip(static_cast<size_t>(x));
            s->InsertClip(owned, static_cast<size_t>(t > x ? t - 1 : t));
            Announce(msg::kNotifySeqInserted, c, 1, r.sequence, t);
            Announce(msg::kNotifySeqRemoved, c, 1, r.sequence, x < t ? x : x + 1);
        }
    }
    modified_ = true;
    TrackSelection(selected);
}

// ---- properties and queries

void CFLVSequenceManager::OnSetProperty(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    auto& r = *reinterpret_cast<TSeqProperty*>(p1);
    CFLVSequence* s = At(r.sequence);
    if (!s) return;
    s->SetProperty(r.property, Text(r.text));
    modified_ = true;
    TSeqProperty copy = r;
    Notify(msg::kNotifySeqPropertySet, reinterpret_cast<intptr_t>(&copy), sizeof copy);
}

void CFLVSequenceManager::OnGetProperty(void*, int32_t, intptr_t p1, intptr_t p2) {
    if (!p1 || p2 != sizeof(TSeqProperty)) return;
    auto& r = *reinterpret_cast<TSeqProperty*>(p1);
    CFLVSequence* s = At(r.sequence);
    if (!s) return;
    const bool known = r.property >= 0 && r.property < CFLVSequence::kPropertyCount;
    r.text = known ? s->GetProperty(r.property).c_str() : nullptr;
    TSeqProperty copy = r;
    Notify(msg::kNotifySeqPropertyRead, reinterpret_cast<intptr_t>(&copy), sizeof copy);
}

void CFLVSequenceManager::OnGetMediaInfo(void*, int32_t, intptr_t p1, intptr_t p2) {
    if (!p1 || p2 != sizeof(TSeqClipQuery)) return;
    const auto& r = *reinterpret_cast<const TSeqClipQuery*>(p1);
    CBaseClip* clip = ClipAt(r.sequence, r.clip);
    auto* out = reinterpret_cast<MediaFileInfo*>(r.value);
    if (!clip || !out) return;
    try {
        *out = clip->GetMediaInfo();
    } catch (...) {
        *out = MediaFileInfo{};
    }
}

void CFLVSequenceManager::OnGetCount(void*, int32_t, intptr_t p1, intptr_t) {
    if (p1) *reinterpret_cast<int32_t*>(p1) = static_cast<int32_t>(sequences_.size());
}

void CFLVSequenceManager::OnGetClipCount(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    auto& v = *reinterpret_cast<int32_t*>(p1);
    CFLVSequence* s = At(v);
    v = s ? static_cast<int32_t>(s->GetClipCount()) : 0;
}

void CFLVSequenceManager::OnSetImageTime(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    const auto& r = *reinterpret_cast<const TSeqClipQuery*>(p1);
    auto* image = dynamic_cast<CImageClip*>(ClipAt(r.sequence, r.clip));
    if (!image) return;
    try {
        image->SetImageTime(static_cast<uint32_t>(r.value));
        modified_ = true;
    } catch (...) {
    }
}

void CFLVSequenceManager::OnGetPlayLength(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    auto& v = *reinterpret_cast<int32_t*>(p1);
    CFLVSequence* s = At(v);
    v = s ? static_cast<int32_t>(s->GetPlayLength()) : 0;
}

void CFLVSequenceManager::OnGetSequence(void*, int32_t, intptr_t p1, intptr_t p2) {
    if (p1) *reinterpret_cast<CFLVSequence**>(p1) = At(static_cast<int32_t>(p2));
}

void CFLVSequenceManager::OnGetClipPlayLength(void*, int32_t, intptr_t p1, intptr_t p2) {
    if (!p1) return;
    auto& v = *reinterpret_cast<int32_t*>(p1);
    CBaseClip* clip = ClipAt(v, static_cast<int32_t>(p2));
    v = clip ? static_cast<int32_t>(clip->GetPlayLength()) : 0;
}

void CFLVSequenceManager::OnGetClipPath(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    const auto& r = *reinterpret_cast<const TSeqClipQuery*>(p1);
    CBaseClip* clip = ClipAt(r.sequence, r.clip);
    if (clip && r.value) *reinterpret_cast<const char**>(r.value) = clip->FilePath().c_str();
}

// ---- saving and loading

bool CFLVSequenceManager::IsModified() {
    for (const auto& s : sequences_)
        if (s->AnyClipModified()) modified_ = true;
    return modified_;
}

void CFLVSequenceManager::MarkSaved() {
    for (auto& s : sequences_) s->MarkSaved();
    modified_ = false;
}

void CFLVSequenceManager::SetLoadCallback(void* context, LoadCallback callback) {
    if (!context || !callback) return;
    loadContext_ = context;
    loadCallback_ = callback;
}

bool CFLVSequenceManager::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    bool ok = stream->BeginGroup("CFLVSequenceManager") && stream->PutUInt("ClipNumber", ClipCount()) &&
              stream->BeginArray("m_FlvSequenceData");
    for (size_t i = 0; ok && i < sequences_.size(); ++i) {
        ok = stream->BeginArrayItem(("ArrNo" + std::to_string(i)).c_str()) && sequences_[i]->Serial(stream) &&
             stream->EndArrayItem();
    }
    ok = ok && stream->EndArray() && stream->EndGroup();
    if (!ok) FailSerial();
    return true;
}

bool CFLVSequenceManager::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    if (!stream->OpenGroup("CFLVSequenceManager")) FailDeserial();
    std::vector<std::unique_ptr<CFLVSequence>> loaded;
    uint32_t count = 0;
    if (stream->OpenArray("m_FlvSequenceData", count)) {
        for (uint32_t i = 0; i < count; ++i) {
            if (!stream->OpenArrayItem(("ArrNo" + std::to_string(i)).c_str())) {
                stream->CloseArray();
                stream->CloseGroup();
                FailDeserial();
            }
            auto sequence = std::make_unique<CFLVSequence>();
            if (loadCallback_) sequence->SetLoadCallback(loadContext_, loadCallback_);
            bool ok = false;
            try {
                ok = sequence->Deserial(stream);
            } catch (...) {
            }
            stream->CloseArrayItem();
            if (!ok) {
                stream->CloseArray();
                stream->CloseGroup();
                FailDeserial();
            }
            // A sequence none of whose clips could be loaded is not kept.
            if (sequence->GetClipCount() > 0) loaded.push_back(std::move(sequence));
        }
        stream->CloseArray();
    }
    stream->CloseGroup();
    sequences_ = std::move(loaded);
    modified_ = false;
    return true;
}
