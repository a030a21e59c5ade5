#include "bus/MediaExamination.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

#include "bus/BaseException.h"
#include "bus/ProjectMgr.h"
#include "edit/XImage.h"
#include "render/FLVCache.h"
#include "render/TagDigestStore.h"

namespace {

constexpr uint32_t kStillDuration = 5000;
constexpr double kStillFrameRate = 25.0;

// Releases the cache's reader however the examination ends.
class ReaderUse {
public:
    ReaderUse(CFLVCache& cache, FLVAVTagReaderHandle reader) : cache_(cache), reader_(reader) {}
    ~ReaderUse() { cache_.ReleaseReader(reader_); }
    ReaderUse(const ReaderUse&) = delete;
    ReaderUse& operator=(const ReaderUse&) = delete;

private:
    CFLVCache& cache_;
    FLVAVTagReaderHandle reader_;
};

void ExamineFlv(CFLVCache& cache, const std::string& path, MediaFileInfo& info) {
    FLVAVTagReaderHandle reader = nullptr;
    // The indexing reads every tag header: its walk of the tags is kept, so
    // that a join of the file plans without reading it again. Stamped
    // before the reading, so a change while it reads is not taken for it.
    const CTagDigestStore::Stamp stamp = CTagDigestStore::StampOf(path);
    TagioTagDigest* digest = nullptr;
    const int32_t result = cache.GetReader(path, &reader, nullptr, &digest);
    if (digest) CTagDigestStore::Shared().Keep(path, stamp, digest);
    if (result != CFLVCache::kOk) throw CBaseException(result, path.c_str());
    ReaderUse use(cache, reader);
    FLVInfo flv{};
    if (FLVAVTagReader_GetFLVInfoEx(reader, &flv) != 1) throw 0;
    uint32_t audioEnd = 0, videoEnd = 0;
    FLVAVTagReader_GetDuration(reader, &audioEnd, &videoEnd);
    info.duration = std::max(audioEnd, videoEnd);
    info.version = flv.version;
    info.videoCodec = flv.videoCodec;
    info.audioFormat = flv.audioFormat;
    info.width = flv.width;
    info.height = flv.height;
    info.videoDataRate = flv.videoDataRate;
    info.audioDataRate = flv.audioDataRate;
    info.bitsPerSample = flv.bitsPerSample;
    info.channels = flv.channels;
    info.sampleRate = flv.sampleRate;
    info.frameRate = flv.frameRate;
    int32_t videoTracks = 1, audioTracks = 1;
    FLVAVTagReader_GetTrackCount(reader, &videoTracks, &audioTracks);
    info.tracks = std::max(videoTracks, audioTracks);
}

void ExaminePicture(const std::string& path, MediaFileInfo& info) {
    CXImage image(path);
    ImageInfo facts;
    if (!image.GetImageInfo(facts)) throw 0;
    std::memcpy(info.imageFormat, facts.typeName, sizeof info.imageFormat);
    info.frameCount = facts.frameCount;
    info.imageWidth = facts.width;
    info.imageHeight = facts.height;
    info.imageFrameRate = facts.frameRate;
    if (facts.frameCount == 1) {
        info.duration = kStillDuration;  // a still picture shows like a five-second clip
        info.imageFrameRate = kStillFrameRate;
    } else {
        // An animation that stores no timing plays at the usual 10 frames a second.
        const double rate = facts.frameRate > 0 ? facts.frameRate : 10.0;
        info.imageFrameRate = rate;
        info.duration = static_cast<uint32_t>(std::lround(facts.frameCount * 1000.0 / rate));
    }
}

}  // namespace

bool LooksLikeFlv(const std::string& path) {
    if (path.size() >= 3 && strcasecmp(path.c_str() + path.size() - 3, "flv") == 0) return true;
    char signature[3] = {};
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    const size_t n = std::fread(signature, 1, sizeof signature, f);
    std::fclose(f);
    return n == sizeof signature && std::memcmp(signature, "FLV", 3) == 0;
}

bool IsPictureFileName(const std::string& path) {
    static const char* const kExtensions[] = {"bmp", "jpg", "jpeg", "jpe", "jfif", "png", "tif", "tiff", "ico", "gif"};
    const auto dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return false;
    const char* ext = path.c_str() + dot + 1;
    return std::any_of(std::begin(kExtensions), std::end(kExtensions),
                       [ext](const char* known) { return strcasecmp(ext, known) == 0; });
}

void ExamineMediaFile(CFLVCache& cache, MediaFileInfo& info) {
    const std::string path = info.path ? info.path : "";
    if (path.size() < 5) throw CBaseException(errcode::kExamineMedia, path.c_str());
    // A FIFO, a device or a folder is no clip: opening one for reading could
    // wait for ever (a FIFO with no writer) or never end (/dev/zero).
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) throw CBaseException(errcode::kExamineMedia, path.c_str());
    info.isFlv = LooksLikeFlv(path) ? 1 : 0;
    if (info.isFlv) ExamineFlv(cache, path, info);
    else ExaminePicture(path, info);
}

void ExamineMediaFile(MediaFileInfo& info) {
    if (CProjectMgr* manager = CurrentProjectMgr()) {
        ExamineMediaFile(manager->FlvCache(), info);
        return;
    }
    static CFLVCache ownCache;
    ExamineMediaFile(ownCache, info);
}
