// The metadata rewrite. Parsing walks every tag header once (the data is not
// read, but for the old onMetaData and the last audio block); the update
// writes a new file beside the old one — header, the new onMetaData, then the
// kept tags copied in the kernel — and renames it over the old one only when
// every byte is written, so a failure never leaves a damaged output.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Amf0.h"
#include "FileHandles.h"
#include "MetaFacts.h"
#include "MetaWriter.h"
#include "TagCodecFields.h"

struct TagioFlvMeta {
    bool parsed = false;
    TagioFlvHeader header{};
    tagio::MetaFacts facts;
    // Byte ranges of the file kept as they are, in order; the tags between
    // them were onMetaData tags that the new one replaces.
    struct Range { int64_t start, end; };
    std::vector<Range> kept;
    uint64_t keptBytes = 0;
    // The last tag's PreviousTagSize is missing from the file (its value, else 0).
    uint32_t missingTrailer = 0;
    // The first onMetaData: its data and its properties when they parsed.
    std::vector<uint8_t> oldData;
    std::vector<tagio::amf::Property> oldProperties;
    bool firstTagIsOldMeta = false;
    uint32_t metaTags = 0;
    // What the file was when parsed, so an update of a changed file is refused.
    int64_t fileSize = 0;
    timespec modified{};
};

namespace {

struct ReaderCloser {
    TagioFileReadAble* h;
    ~ReaderCloser() { DeleteFileReadAble(h); }
};

bool StatFile(const char* path, struct stat& st) {
    return ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

bool WriteAll(int fd, const uint8_t* d, size_t n) {
    while (n) {
        const ssize_t w = ::write(fd, d, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        d += w;
        n -= size_t(w);
    }
    return true;
}

bool SameFile(const TagioFlvMeta* m, const struct stat& st) {
    return st.st_size == m->fileSize && st.st_mtim.tv_sec == m->modified.tv_sec &&
           st.st_mtim.tv_nsec == m->modified.tv_nsec;
}

}  // namespace

extern "C" TAGIO_API TagioFlvMeta* FlvMetaCreateObject(void) {
    return new (std::nothrow) TagioFlvMeta;
}

extern "C" TAGIO_API void FlvMetaDeleteObject(TagioFlvMeta* m) { delete m; }

extern "C" TAGIO_API int FlvMetaParseFromFile(TagioFlvMeta* m, const char* path) {
    if (!m || !path) return 0;
    try {
        *m = TagioFlvMeta{};
        struct stat st {};
        if (!StatFile(path, st)) return 0;
        ReaderCloser file{CreateFileReadAble(path)};
        if (!file.h || !Flv_ReadHeader(file.h, &m->header)) return 0;
        m->fileSize = st.st_size;
        m->modified = st.st_mtim;

        TagioFlvTag tag{};
        uint8_t peek[tagio::kCodecFieldBytes];
        uint32_t peekLength = 0;
        bool first = true;
        while (tagio::ReadTagHead(file.h, &tag, peek, peekLength)) {
            const int64_t start = tag.filePosition;
            const int64_t end = std::min<int64_t>(start + tag.tagSize, file.h->size);
            if (tag.type == 18 && tagio::amf::IsOnMetaData(peek, peekLength)) {
                if (m->metaTags++ == 0) {
                    m->firstTagIsOldMeta = first;
                    m->oldData.resize(tag.dataSize);
                    if (tagio::ReadFullyAt(file.h->fd, start + 11, m->oldData.data(),
                                           tag.dataSize) != tag.dataSize)
                        return 0;
                    // Damaged or over-limit metadata is dropped; a fresh one replaces it.
                    if (!tagio::amf::ParseOnMetaData(m->oldData.data(), m->oldData.size(),
                                                     m->oldProperties))
                        m->oldProperties.clear();
                }
            } else {
                // The FourCC sound codecs say their format only in their setup
                // or frames: the first tags' few bytes are read for it.
                std::vector<uint8_t> sound;
                if (tag.type == 8 && Flv_IsFourcc(tag.codecField1) && tag.dataSize <= tagio::kSetupBytes &&
                    (m->facts.AudioFormat() == -1 || m->facts.NeedsSoundFormat())) {
                    sound.resize(tag.dataSize);
                    TagioTagLayout layout;
                    if (tagio::ReadFullyAt(file.h->fd, start + 11, sound.data(), tag.dataSize) == tag.dataSize &&
                        Flv_ReadTagLayout(8, sound.data(), tag.dataSize, tag.dataSize, &layout)) {
                        tag.data = sound.data();
                        tag.audioPayload = sound.data() + layout.payloadOffset;
                        tag.audioPayloadSize = layout.payloadSize;
                    }
                }
                m->facts.AddTag(tag, m->keptBytes);
                tag.data = nullptr;
                tag.audioPayload = nullptr;
                tag.audioPayloadSize = 0;
                if (!m->kept.empty() && m->kept.back().end == start)
                    m->kept.back().end = end;
                else
                    m->kept.push_back({start, end});
                m->keptBytes += tag.tagSize;
                m->missingTrailer = end - start < int64_t(tag.tagSize) ? tag.dataSize + 11 : 0;
            }
            first = false;
        }
        // The last audio block's own length ends the duration.
        const int64_t lastAudio = m->facts.LastAudioPosition();
        if (lastAudio >= 0) {
            file.h->position = lastAudio;
            if (Flv_ReadTag(file.h, 1, &tag) && tag.dataSize > 1) {
                static const int kRates[4] = {5512, 11025, 22050, 44100};
                const int format = int(tag.codecField1);
                const int rate = Flv_IsFourcc(uint32_t(format)) ? int(m->facts.AudioSampleRate())
                                 : format == 5 ? 8000 : format == 4 ? 16000 : kRates[tag.codecField2 & 3];
                const int64_t units = CalcFLVAudioBlockDuration(
                    tag.audioPayload, tag.audioPayloadSize, format, rate,
                    tag.codecField3 ? 2 : 1, tag.codecField4 ? 2 : 1);
                if (units >= 0) m->facts.SetLastAudioBlock(units / 10000.0);
            }
        }
        Flv_FreeTag(&tag);
        m->parsed = true;
        return 1;
    } catch (const std::bad_alloc&) {
        *m = TagioFlvMeta{};
        return 0;
    }
}

extern "C" TAGIO_API int FlvMetaUpdateToFile(TagioFlvMeta* m, const char* path) {
    if (!m || !path || !m->parsed) return 0;
    std::string temp;
    int in = -1, out = -1;
    const auto fail = [&] {
        if (out >= 0) ::close(out);
        if (in >= 0) ::close(in);
        if (!temp.empty()) ::unlink(temp.c_str());
        return 0;
    };
    try {
        struct stat st {};
        if (!StatFile(path, st) || !SameFile(m, st)) return 0;
        std::vector<uint8_t> data;
        if (!tagio::BuildOnMetaData(m->facts, m->keptBytes, m->oldProperties, m->oldData, data))
            return 0;

        // Already holding exactly this metadata, first, and nothing else to drop:
        // leave the file alone.
        const int64_t metaTag = int64_t(data.size()) + 15;
        if (m->header.dataOffset == 9 && m->firstTagIsOldMeta && m->metaTags == 1 &&
            m->oldData == data && !m->missingTrailer && m->kept.size() <= 1 &&
            (m->kept.empty() || m->kept[0].start == 13 + metaTag) &&
            st.st_size == 13 + metaTag + int64_t(m->keptBytes))
            return 1;

        in = ::open(path, O_RDONLY | O_CLOEXEC);
        if (in < 0) return fail();
        std::vector<char> name(path, path + std::strlen(path));
        const char kSuffix[] = ".meta-XXXXXX";
        name.insert(name.end(), kSuffix, kSuffix + sizeof kSuffix);
        out = ::mkstemp(name.data());
        if (out < 0) return fail();
        temp = name.data();
        if (::fchmod(out, st.st_mode & 07777) != 0) return fail();

        std::vector<uint8_t> head = {'F', 'L', 'V', m->header.version, m->header.flags,
                                     0, 0, 0, 9, 0, 0, 0, 0};
        const uint32_t size = uint32_t(data.size());
        head.insert(head.end(), {18, uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size),
                                 0, 0, 0, 0, 0, 0, 0});
        head.insert(head.end(), data.begin(), data.end());
        const uint32_t previous = size + 11;
        head.insert(head.end(), {uint8_t(previous >> 24), uint8_t(previous >> 16),
                                 uint8_t(previous >> 8), uint8_t(previous)});
        if (!WriteAll(out, head.data(), head.size())) return fail();
        std::vector<uint8_t> buffer;
        for (const auto& r : m->kept)
            if (!tagio::CopyRange(in, out, r.start, r.end, buffer)) return fail();
        if (m->missingTrailer) {
            const uint32_t v = m->missingTrailer;
            const uint8_t t[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
            if (!WriteAll(out, t, 4)) return fail();
        }
        // Refuse when the file changed while it was copied.
        struct stat after {};
        if (::fstat(in, &after) != 0 || !SameFile(m, after)) return fail();
        if (::close(out) != 0) {
            out = -1;
            return fail();
        }
        out = -1;
        if (::rename(temp.c_str(), path) != 0) return fail();
        temp.clear();
        ::close(in);
        return 1;
    } catch (const std::bad_alloc&) {
        return fail();
    }
}

extern "C" TAGIO_API void FlvMetaPlanTag(TagioFlvMeta* m, const TagioFlvTag* tag,
                                        uint32_t timestamp) {
    if (!m || !tag) return;
    TagioFlvTag planned = *tag;
    planned.timestamp = timestamp;
    m->facts.AddTag(planned, m->keptBytes);
    m->keptBytes += tag->tagSize;
}

extern "C" TAGIO_API void FlvMetaPlanLastAudioBlock(TagioFlvMeta* m, int64_t units) {
    if (m) m->facts.SetLastAudioBlock(units >= 0 ? units / 10000.0 : -1);
}

extern "C" TAGIO_API int FlvMetaWritePlanned(TagioFlvMeta* m, TagioFileWriteAble* to) {
    if (!m || !to || to->written != 13) return 0;
    try {
        std::vector<uint8_t> data;
        if (!tagio::BuildOnMetaData(m->facts, m->keptBytes, {}, {}, data)) return 0;
        const uint32_t size = uint32_t(data.size());
        const uint8_t head[11] = {18, uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size),
                                  0, 0, 0, 0, 0, 0, 0};
        const uint32_t previous = size + 11;
        const uint8_t tail[4] = {uint8_t(previous >> 24), uint8_t(previous >> 16),
                                 uint8_t(previous >> 8), uint8_t(previous)};
        return tagio::WriteBytes(to, head, 11) && tagio::WriteBytes(to, data.data(), size) &&
                       tagio::WriteBytes(to, tail, 4)
                   ? 1
                   : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

extern "C" TAGIO_API int FlvMetaSamePlan(TagioFlvMeta* a, TagioFlvMeta* b) {
    if (!a || !b || a->parsed || b->parsed || a->keptBytes != b->keptBytes) return 0;
    try {
        std::vector<uint8_t> da, db;
        return tagio::BuildOnMetaData(a->facts, a->keptBytes, {}, {}, da) &&
                       tagio::BuildOnMetaData(b->facts, b->keptBytes, {}, {}, db) && da == db
                   ? 1
                   : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
