#include "model/FLVSequence.h"

#include "bus/BaseException.h"
#include "model/BaseSerialStream.h"
#include "model/FLVClip.h"
#include "model/ImageClip.h"

namespace {
// Element names of the texts, in the order they are written.
constexpr const char* kTextNames[] = {"m_SeqName", "m_DestinationName", "m_Track", "m_Album", "m_Title",
                                      "m_Year",    "m_Author",          "m_Copyright", "m_Comment"};
constexpr int32_t kTextOrder[] = {CFLVSequence::kSeqName, CFLVSequence::kDestinationName,
                                  CFLVSequence::kTrack,   CFLVSequence::kAlbum,
                                  CFLVSequence::kTitle,   CFLVSequence::kYear,
                                  CFLVSequence::kAuthor,  CFLVSequence::kCopyright,
                                  CFLVSequence::kComment};

[[noreturn]] void FailSave() { throw CBaseException(errcode::kSerialFLVSequence, "errSerialFLVSequence"); }
[[noreturn]] void FailLoad() { throw CBaseException(errcode::kDeserialFLVSequence, "errDeserialFLVSequence"); }
}  // namespace

std::unique_ptr<CBaseClip> MakeClipOfType(const std::string& type) {
    if (type == CBaseClip::kFlvType) return std::make_unique<CFLVClip>();
    if (type == CBaseClip::kImageType) return std::make_unique<CImageClip>();
    return nullptr;
}

void CFLVSequence::SetLoadCallback(void* context, LoadCallback callback) {
    if (!context || !callback) return;
    loadContext_ = context;
    loadCallback_ = callback;
}

void CFLVSequence::MarkSaved() {
    for (auto& clip : clips_) clip->MarkSaved();
    modified_ = false;
}

void CFLVSequence::SetProperty(int32_t number, const std::string& text) {
    modified_ = true;
    if (number >= 0 && number < kPropertyCount) texts_[static_cast<size_t>(number)] = text;
}

const std::string& CFLVSequence::GetProperty(int32_t number) const {
    static const std::string none;
    return number >= 0 && number < kPropertyCount ? texts_[static_cast<size_t>(number)] : none;
}

bool CFLVSequence::InsertClip(std::unique_ptr<CBaseClip>& clip, size_t position) {
    modified_ = true;
    if (!clip || position > clips_.size()) return false;
    clips_.insert(clips_.begin() + static_cast<std::ptrdiff_t>(position), std::move(clip));
    return true;
}

std::unique_ptr<CBaseClip> CFLVSequence::RemoveClip(size_t index) {
    modified_ = true;
    if (index >= clips_.size()) return nullptr;
    auto clip = std::move(clips_[index]);
    clips_.erase(clips_.begin() + static_cast<std::ptrdiff_t>(index));
    return clip;
}

void CFLVSequence::SwapClips(size_t a, size_t b) {
    modified_ = true;
    if (a < clips_.size() && b < clips_.size()) std::swap(clips_[a], clips_[b]);
}

uint32_t CFLVSequence::GetPlayLength() const {
    uint32_t total = 0;
    for (const auto& clip : clips_) total += clip->GetPlayLength();
    return total;
}

bool CFLVSequence::AnyClipModified() const {
    bool any = false;
    for (const auto& clip : clips_) any = clip->IsModified() || any;  // ask every clip
    return any;
}

bool CFLVSequence::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    bool ok = stream->BeginGroup("CFLVSequence");
    for (size_t i = 0; ok && i < std::size(kTextNames); ++i)
        ok = stream->PutString(kTextNames[i], texts_[static_cast<size_t>(kTextOrder[i])].c_str());
    ok = ok && stream->BeginArray("m_ClipList");
    for (size_t i = 0; ok && i < clips_.size(); ++i) {
        ok = stream->BeginArrayItem(("ArrNo" + std::to_string(i)).c_str()) &&
             stream->PutString("ClipType", clips_[i]->Type().c_str()) && clips_[i]->Serial(stream) &&
             stream->EndArrayItem();
    }
    ok = ok && stream->EndArray() && stream->EndGroup();
    if (!ok) FailSave();
    return true;
}

bool CFLVSequence::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    if (!stream->OpenGroup("CFLVSequence")) FailLoad();
    std::array<std::string, kPropertyCount> texts;
    for (size_t i = 0; i < std::size(kTextNames); ++i) {
        if (!stream->GetString(kTextNames[i], texts[static_cast<size_t>(kTextOrder[i])])) {
            stream->CloseGroup();
            FailLoad();
        }
    }
    uint32_t count = 0;
    if (!stream->OpenArray("m_ClipList", count)) {
        stream->CloseGroup();
        return false;
    }
    std::vector<std::unique_ptr<CBaseClip>> loaded;
    for (uint32_t i = 0; i < count; ++i) {
        if (!stream->OpenArrayItem(("ArrNo" + std::to_string(i)).c_str())) {
            stream->CloseArray();
            stream->CloseGroup();
            FailLoad();
        }
        std::string type;
        stream->GetString("ClipType", type);
        // A clip that cannot be loaded (its file is gone, say) is left out;
        // it reported its failure through the load callback.
        if (auto clip = MakeClipOfType(type)) {
            if (loadCallback_) clip->SetLoadCallback(loadContext_, loadCallback_);
            try {
                if (clip->Deserial(stream)) loaded.push_back(std::move(clip));
            } catch (...) {
            }
        }
        stream->CloseArrayItem();
    }
    stream->CloseArray();
    stream->CloseGroup();
    texts_ = std::move(texts);
    clips_ = std::move(loaded);
    modified_ = false;
    return true;
}
