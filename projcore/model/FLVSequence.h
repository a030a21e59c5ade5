#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/BaseClip.h"
#include "model/BaseSerial.h"

// An ordered list of clips that becomes one output file, with the output's
// name and the metadata written into it.
class CFLVSequence : public CBaseSerial {
public:
    // Property numbers of the sequence manager's property messages.
    enum Property : int32_t {
        kDestinationName = 0,
        kTrack = 1,
        kAlbum = 2,
        kTitle = 3,
        kYear = 4,
        kAuthor = 5,
        kCopyright = 6,
        kComment = 7,
        kSeqName = 8,
    };
    static constexpr int kPropertyCount = 9;

    CFLVSequence() = default;
    CFLVSequence(const CFLVSequence&) = delete;
    CFLVSequence& operator=(const CFLVSequence&) = delete;

    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    bool IsModified() override { return modified_; }
    void SetLoadCallback(void* context, LoadCallback callback) override;
    void MarkSaved() override;

    // Every change below marks the sequence modified, even one that an index
    // out of range turns into nothing.
    void SetProperty(int32_t number, const std::string& text);
    const std::string& GetProperty(int32_t number) const;
    // position == count appends; a larger position inserts nothing (and the
    // clip stays with the caller: the result is false).
    bool InsertClip(std::unique_ptr<CBaseClip>& clip, size_t position);
    // Takes the clip out of the list and hands it to the caller (null when
    // index is out of range).
    std::unique_ptr<CBaseClip> RemoveClip(size_t index);
    void SwapClips(size_t a, size_t b);

    size_t GetClipCount() const { return clips_.size(); }
    CBaseClip* Clip(size_t index) const { return index < clips_.size() ? clips_[index].get() : nullptr; }
    uint32_t GetPlayLength() const;
    // Whether any clip reports a change.
    bool AnyClipModified() const;

    const std::string& SeqName() const { return GetProperty(kSeqName); }
    const std::string& DestinationName() const { return GetProperty(kDestinationName); }

    int32_t sortIndex = 0;

private:
    // The nine texts, by property number.
    std::array<std::string, kPropertyCount> texts_;
    std::vector<std::unique_ptr<CBaseClip>> clips_;
    bool modified_ = false;
    void* loadContext_ = nullptr;
    LoadCallback loadCallback_ = nullptr;
};

// Makes an empty clip of the class a type word names; null for other words.
std::unique_ptr<CBaseClip> MakeClipOfType(const std::string& type);
