#include "render/FLVCache.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "tagio/tagio.h"

namespace {
void ClearInfo(FLVInfo* info) {
    if (!info) return;
    std::memset(info, 0, sizeof *info);
    info->videoCodec = -1;
    info->audioFormat = -1;
}
}  // namespace

CFLVCache::~CFLVCache() {
    std::lock_guard guard(lock_);
    for (auto& [path, e] : readers_) CloseEntry(e);
    for (auto& e : retired_) CloseEntry(e);
    readers_.clear();
    retired_.clear();
}

bool CFLVCache::IsSupported(const FLVInfo& info) {
    // Sorenson H.263, screen video, On2 VP6, VP6 with alpha, screen video 2,
    // H.264, HEVC (by CodecID 12 or FourCC), AV1 and VP9; linear PCM (both
    // byte orders), ADPCM, MP3, Nellymoser, AAC, Speex, and by FourCC Opus,
    // FLAC, AC-3, E-AC-3 and MP3. Any other FourCC is refused.
    static constexpr int32_t kVideo[] = {-1, 2, 3, 4, 5, 6, 7, TagioCodecHevc, int32_t(TagioFourccHevc),
                                         int32_t(TagioFourccAv1), int32_t(TagioFourccVp9)};
    static constexpr int32_t kAudio[] = {-1, 0, 1, 2, 3, 5, 6, 10, 11,
                                         int32_t(TagioFourccOpus), int32_t(TagioFourccFlac),
                                         int32_t(TagioFourccAc3), int32_t(TagioFourccEac3),
                                         int32_t(TagioFourccMp3)};
    return std::find(std::begin(kVideo), std::end(kVideo), info.videoCodec) != std::end(kVideo) &&
           std::find(std::begin(kAudio), std::end(kAudio), info.audioFormat) != std::end(kAudio);
}

bool CFLVCache::Stat(const std::string& path, off_t& size, timespec& modified) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return false;
    size = st.st_size;
    modified = st.st_mtim;
    return true;
}

void CFLVCache::CloseEntry(Entry& e) {
    if (!e.reader) return;
    FLVAVTagReader_Close(e.reader);
    FLVAVTagReader_Delete(e.reader);
    e.reader = nullptr;
    --readerCount_;
    memoryUsed_ -= std::min(memoryUsed_, e.memory);
}

int32_t CFLVCache::GetReader(const std::string& path, FLVAVTagReaderHandle* reader, FLVInfo* info,
                             TagioTagDigest** digest) {
    if (reader) *reader = nullptr;
    if (digest) *digest = nullptr;
    ClearInfo(info);
    std::lock_guard guard(lock_);

    off_t size = 0;
    timespec modified{};
    const bool exists = Stat(path, size, modified);
    auto found = readers_.find(path);
    if (found != readers_.end()) {
        Entry& e = found->second;
        if (exists && e.size == size && e.modified.tv_sec == modified.tv_sec &&
            e.modified.tv_nsec == modified.tv_nsec) {
            ++e.uses;
            if (reader) *reader = e.reader;
            if (info) FLVAVTagReader_GetFLVInfoEx(e.reader, info);
            return kOk;
        }
        // The file changed since it was indexed: index it again.
        if (e.uses > 0) retired_.push_back(e);
        else CloseEntry(e);
        readers_.erase(found);
    }
    if (readerCount_ >= maxReaders_) return kTooManyReaders;
    if (memoryUsed_ >= maxMemory_) return kOutOfMemory;

    Entry e;
    e.size = size;
    e.modified = modified;
    e.reader = FLVAVTagReader_Create();
    if (!e.reader) return kCannotOpen;
    ++readerCount_;
    if (digest) FLVAVTagReader_SetKeepTagDigest(e.reader, 1);
    if (!exists || FLVAVTagReader_Open(e.reader, path.c_str()) != 1) {
        CloseEntry(e);
        return kCannotOpen;
    }
    FLVInfo local;
    ClearInfo(&local);
    FLVAVTagReader_GetFLVInfoEx(e.reader, &local);
    if (info) *info = local;
    if (!IsSupported(local)) {
        CloseEntry(e);
        return kUnsupportedCodec;
    }
    if (digest) *digest = FLVAVTagReader_TakeTagDigest(e.reader);
    const int64_t memory = FLVAVTagReader_GetOccupyMemory(e.reader);
    e.memory = memory > 0 ? static_cast<uint64_t>(memory) : 0;
    memoryUsed_ += e.memory;
    e.uses = 1;
    readers_.emplace(path, e);
    if (reader) *reader = e.reader;
    return kOk;
}

void CFLVCache::ReleaseReader(FLVAVTagReaderHandle reader) {
    if (!reader) return;
    std::lock_guard guard(lock_);
    for (auto it = readers_.begin(); it != readers_.end(); ++it) {
        if (it->second.reader != reader) continue;
        if (it->second.uses > 0 && --it->second.uses == 0) {
            CloseEntry(it->second);
            readers_.erase(it);
        }
        return;
    }
    for (auto it = retired_.begin(); it != retired_.end(); ++it) {
        if (it->reader != reader) continue;
        if (it->uses > 0 && --it->uses == 0) {
            CloseEntry(*it);
            retired_.erase(it);
        }
        return;
    }
}

size_t CFLVCache::OpenReaders() {
    std::lock_guard guard(lock_);
    return readerCount_;
}
