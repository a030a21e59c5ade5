#include "FLVAVTagReader.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include "ReadAble.h"

namespace {

constexpr size_t kReservedEntries = 32768;
// The file is read in chunks; data the parser does not load is skipped with a
// seek instead once there is at least this much of it (large video frames).
constexpr uint32_t kChunkBytes = 64 * 1024;
constexpr uint64_t kSeekThreshold = 16 * 1024;
// Enough data bytes of a video tag for its frame type and picture size.
constexpr uint32_t kIndexVideoBytes = 32;
constexpr int kParserQueue = 1000;
constexpr int kParserInterleaveSeconds = 5;

int32_t ClampToInt32(double v) {
    if (!(v >= 0)) return 0;
    return v >= double(INT32_MAX) ? INT32_MAX : int32_t(v);
}

void FillAudioInfo(FLVInfo& info, const FLVTag& t) {
    static const int kRates[4] = {5512, 11025, 22050, 44100};
    info.audioFormat = int32_t(t.codecField1);
    info.channels = t.codecField4 ? 2 : 1;
    info.sampleRate = kRates[t.codecField2 & 3];
    if (t.codecField1 == 5) {
        info.sampleRate = 8000;
        info.channels = 1;
    }
    info.bitsPerSample = t.codecField3 ? 16 : 8;
}

}  // namespace

CFLVAVTagReader::CFLVAVTagReader() {
    m_parser.SetMaxInterleavedTime(kParserInterleaveSeconds);
    m_parser.SetMaxFLVTagQueue(kParserQueue);
    m_parser.SetParserNotAudioVideoPacket(1);
    m_parser.SetFLVInfoCallBack(&CFLVAVTagReader::OnInfo, this);
    m_parser.SetFLVVideoCallBack(&CFLVAVTagReader::OnTag, this);
    m_parser.SetFLVAudioCallBack(&CFLVAVTagReader::OnTag, this);
    m_parser.SetFLVNotAudioVideoPacketCallBack(&CFLVAVTagReader::OnTag, this);
    m_parser.SetVideoLoadLimit(kIndexVideoBytes);
    Reset();
}

CFLVAVTagReader::~CFLVAVTagReader() { Reset(); }

void CFLVAVTagReader::Reset() {
    m_parser.Stop();
    m_opened = 0;
    DeleteFileReadAble(m_file);
    m_file = nullptr;
    m_path.clear();
    std::vector<TagIndexEntry>().swap(m_index);
    m_current = 0;
    UnloadTag(m_work);
    m_work = FLVTag{};
    std::free(m_parkedBlock);
    m_parkedBlock = nullptr;
    m_parkedCapacity = 0;
    std::vector<uint8_t>().swap(m_readBuffer);
    m_info = FLVInfo{};
    m_info.videoCodec = m_info.audioFormat = -1;
    m_infoEx = m_info;
    m_firstAudio = m_firstVideo = true;
    m_audioBytes = m_videoBytes = 0;
    m_highestTimestamp = 0;
    m_videoTagsWithData = 0;
    m_prevVideoTime = m_prevAudioTime = 0;
    m_prevVideoEntry = m_prevAudioEntry = 0;
    m_minVideoInterval = 0;
    m_lastAudioEntry = m_lastVideoEntry = -1;
}

// ---- building the index

int32_t CFLVAVTagReader::OnInfo(void* user, const FLVInfo* info, int32_t* video, int32_t* audio) {
    auto* self = static_cast<CFLVAVTagReader*>(user);
    self->m_info = *info;
    self->m_infoEx.version = info->version;
    *video = 1;   // header flags are often wrong: index both streams regardless
    *audio = 1;
    return 1;
}

int32_t CFLVAVTagReader::OnTag(void* user, FLVTag* tag) {
    auto* self = static_cast<CFLVAVTagReader*>(user);
    self->AddEntry(*tag);
    self->m_parser.RecycleTag(tag);
    return 1;
}

void CFLVAVTagReader::AddEntry(const FLVTag& tag) {
    const size_t i = m_index.size();
    const auto offset = uint64_t(tag.filePosition);
    TagIndexEntry e{};
    e.type = uint8_t(tag.type);
    e.keyFrame = tag.type == 9 && tag.data ? uint8_t(tag.codecField1) : 0;
    e.offsetHigh = uint16_t(offset >> 32);
    e.offsetLow = uint32_t(offset);
    e.timestamp = tag.timestamp;
    e.size = tag.tagSize;
    m_index.push_back(e);   // after this nothing may fail

    const bool hasData = tag.dataSize != 0;
    if (tag.type == 9) {
        m_lastVideoEntry = int64_t(i);
        if (hasData) {
            ++m_videoTagsWithData;
            m_videoBytes += tag.dataSize;
            m_highestTimestamp = std::max(m_highestTimestamp, tag.timestamp);
            if (m_infoEx.videoCodec == -1 && tag.data && tag.codecField1 == 1) {
                m_infoEx.videoCodec = int32_t(tag.codecField2);
                m_infoEx.width = int32_t(tag.codecField3);
                m_infoEx.height = int32_t(tag.codecField4);
            }
        }
        if (!m_firstVideo) {
            const int64_t d = int64_t(tag.timestamp) - m_prevVideoTime;
            // Only forward steps count: a repeated or decreasing time is no interval.
            if (d > 0 && (m_minVideoInterval == 0 || d < m_minVideoInterval))
                m_minVideoInterval = int32_t(std::min<int64_t>(d, INT32_MAX));
            m_index[m_prevVideoEntry].duration = d > 0 ? uint32_t(d) : 1;
        }
        m_firstVideo = false;
        m_prevVideoTime = tag.timestamp;
        m_prevVideoEntry = i;
    } else if (tag.type == 8) {
        m_lastAudioEntry = int64_t(i);
        if (hasData) {
            m_audioBytes += tag.dataSize;
            m_highestTimestamp = std::max(m_highestTimestamp, tag.timestamp);
            if (m_infoEx.audioFormat == -1 && tag.data) FillAudioInfo(m_infoEx, tag);
        }
        if (!m_firstAudio) {
            const int64_t d = int64_t(tag.timestamp) - m_prevAudioTime;
            m_index[m_prevAudioEntry].duration = d > 0 ? uint32_t(d) : 1;
        }
        m_firstAudio = false;
        m_prevAudioTime = tag.timestamp;
        m_prevAudioEntry = i;
    }
}

bool CFLVAVTagReader::ParseWholeFile() {
    std::vector<uint8_t> chunk(kChunkBytes);
    const int64_t size = FileReadAble_GetSize(m_file);
    int64_t pos = 0;
    m_parser.Run();
    for (;;) {
        const uint64_t skip = m_parser.SkipAhead();
        int r;
        if (skip >= kSeekThreshold) {
            const uint64_t k = std::min<uint64_t>(skip, uint64_t(size - pos));
            if (k == 0) break;
            while ((r = m_parser.DeliverSkip(k)) == 2)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            pos += int64_t(k);
        } else {
            const auto want = uint32_t(std::min<int64_t>(kChunkBytes, size - pos));
            if (want == 0) break;
            const int64_t n = FileReadAble_ReadAt(m_file, pos, chunk.data(), want);
            if (n < 0) {
                std::fprintf(stderr, "Read error: %s\n", std::strerror(errno));
                return false;
            }
            if (n == 0) break;
            while ((r = m_parser.DeliverData(chunk.data(), uint32_t(n))) == 2)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            pos += n;
        }
        if (r == 1 || r == 5 || r == 7) return false;
    }
    while (!m_parser.Flush()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    m_parser.Stop();
    return true;
}

void CFLVAVTagReader::FinishStatistics() {
    if (m_highestTimestamp == 0) return;
    const double duration = m_highestTimestamp / 1000.0;
    m_infoEx.duration = duration;
    m_infoEx.videoDataRate = ClampToInt32(double(m_videoBytes) * 8 / duration);
    m_infoEx.audioDataRate = ClampToInt32(double(m_audioBytes) * 8 / duration);
    // Without two frames there is no rate: 0, never negative.
    m_infoEx.frameRate = m_videoTagsWithData >= 2 ? (m_videoTagsWithData - 1) / duration : 0.0;
}

int CFLVAVTagReader::Open(const char* path) {
    Close();
    if (!path || std::strlen(path) >= PATH_MAX) return 0;
    try {
        m_index.reserve(kReservedEntries);
        m_path = path;
        m_file = CreateFileReadAble(path);
        if (!m_file || !ParseWholeFile()) {
            Reset();
            return 0;
        }
        FinishStatistics();
        m_opened = 1;

        if (m_lastAudioEntry >= 0) {   // the last audio block lasts as long as its samples
            FLVTag* tag = nullptr;
            uint32_t ignored = 0;
            if (PositionAt(size_t(m_lastAudioEntry)) != 0 || ReadTag(1, 8, &tag, &ignored) != 0) {
                Reset();
                return 0;
            }
            int64_t units = -1;
            if (tag->data && tag->audioPayloadSize) {
                static const int kRates[4] = {5512, 11025, 22050, 44100};
                const int rate = tag->codecField1 == 5 ? 8000 : kRates[tag->codecField2 & 3];
                units = CalcFLVAudioBlockDuration(tag->audioPayload, tag->audioPayloadSize,
                                                  int(tag->codecField1), rate,
                                                  int(tag->codecField3) + 1,
                                                  int(tag->codecField4) + 1);
            }
            m_index[size_t(m_lastAudioEntry)].duration = units > 0 ? uint32_t(units / 10000) : 0;
            if (!m_autoRelease) FreeTag(tag);
        }
        if (m_lastVideoEntry >= 0) {
            // A single frame has no rate of its own; the stream estimate (25 by
            // default) then gives it a length instead of a division by zero.
            const double fps = m_infoEx.frameRate > 0 ? m_infoEx.frameRate : m_info.frameRate;
            m_index[size_t(m_lastVideoEntry)].duration = fps > 0 ? uint32_t(1000 / fps) : 0;
        }
        if (PositionAt(0) != 0) {
            Reset();
            return 0;
        }
        return 1;
    } catch (const std::bad_alloc&) {
        Reset();
        return 0;
    }
}

int CFLVAVTagReader::Close() {
    const int wasOpen = m_opened;
    Reset();   // also releases what a failed Open left behind
    return wasOpen ? 1 : 0;
}

int CFLVAVTagReader::Assign(const CFLVAVTagReader& source) {
    if (&source == this) return m_opened;
    Reset();
    m_opened = source.m_opened;
    m_index = source.m_index;
    m_current = source.m_current;
    m_info = source.m_info;
    m_infoEx = source.m_infoEx;
    m_firstAudio = source.m_firstAudio;
    m_firstVideo = source.m_firstVideo;
    m_audioBytes = source.m_audioBytes;
    m_videoBytes = source.m_videoBytes;
    m_highestTimestamp = source.m_highestTimestamp;
    m_videoTagsWithData = source.m_videoTagsWithData;
    m_prevVideoTime = source.m_prevVideoTime;
    m_prevAudioTime = source.m_prevAudioTime;
    m_prevVideoEntry = source.m_prevVideoEntry;
    m_prevAudioEntry = source.m_prevAudioEntry;
    m_minVideoInterval = source.m_minVideoInterval;
    m_lastAudioEntry = source.m_lastAudioEntry;
    m_lastVideoEntry = source.m_lastVideoEntry;
    m_path = source.m_path;
    if (source.m_opened && !m_path.empty()) {
        m_file = CreateFileReadAble(m_path.c_str());
        if (!m_file || (m_current < m_index.size() && PositionAt(m_current) != 0)) m_opened = 0;
    }
    return m_opened;
}

// ---- queries

int CFLVAVTagReader::GetFLVInfo(FLVInfo* info) const {
    if (!m_opened || !info) return 0;
    *info = m_info;
    return 1;
}

int CFLVAVTagReader::GetFLVInfoEx(FLVInfo* info) const {
    if (!m_opened || !info) return 0;
    *info = m_infoEx;
    return 1;
}

int CFLVAVTagReader::GetMinIntervaledFrameTime(int32_t* ms) const {
    if (!m_opened || !ms) return 0;
    *ms = m_minVideoInterval;
    return 1;
}

void CFLVAVTagReader::GetDuration(uint32_t* audioEnd, uint32_t* videoEnd) const {
    auto end = [this](int64_t i) -> uint32_t {
        if (i < 0 || size_t(i) >= m_index.size()) return 0;
        return m_index[size_t(i)].timestamp + m_index[size_t(i)].duration;
    };
    if (audioEnd) *audioEnd = end(m_lastAudioEntry);
    if (videoEnd) *videoEnd = end(m_lastVideoEntry);
}

bool CFLVAVTagReader::Matches(const TagIndexEntry& e, int type) const {
    if (type == 8) return e.type == 8;
    if (type == 9) return e.type == 9 && e.keyFrame == 1;
    return false;
}

namespace {

// First entry whose time is at least t (orEqual) or greater than t. Written
// out so that an index with decreasing times still gets a defined answer.
size_t Search(const std::vector<TagIndexEntry>& index, uint32_t t, bool orEqual) {
    size_t lo = 0, hi = index.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        const uint32_t ts = index[mid].timestamp;
        if (orEqual ? ts < t : ts <= t) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

}  // namespace

int CFLVAVTagReader::GetNextTimeStamp(int type, uint32_t t, uint32_t* ts, int32_t* entry) const {
    if (entry) *entry = -1;
    if (!m_opened) return 0;
    for (size_t i = Search(m_index, t, true); i < m_index.size(); ++i) {
        const TagIndexEntry& e = m_index[i];
        if (Matches(e, type) && e.timestamp >= t) {
            if (ts) *ts = e.timestamp;
            if (entry) *entry = int32_t(i);
            return 1;
        }
    }
    return 0;
}

int CFLVAVTagReader::GetPreTimeStamp(int type, uint32_t t, uint32_t* ts, int32_t* entry) const {
    if (entry) *entry = -1;
    if (!m_opened) return 0;
    const size_t from = Search(m_index, t, true);
    if (from == m_index.size()) return 0;   // t beyond the last time finds nothing
    for (size_t i = from + 1; i-- > 0;) {
        const TagIndexEntry& e = m_index[i];
        if (Matches(e, type) && e.timestamp <= t) {
            if (ts) *ts = e.timestamp;
            if (entry) *entry = int32_t(i);
            return 1;
        }
    }
    return 0;
}

int CFLVAVTagReader::PositionAt(size_t entry) {
    if (entry >= m_index.size() || !m_file) return 4;
    // Reads go by absolute offsets, so positioning is choosing the entry; the
    // synthetic entry (offset 0) reads nothing from the file.
    m_current = entry;
    return 0;
}

int CFLVAVTagReader::SeekEx(int type, uint32_t t, uint32_t* ts) {
    if (!m_opened) return 3;
    const size_t after = Search(m_index, t, false);
    if (after == m_index.size()) return 6;
    // From the entry after t backwards: a key frame right after t wins.
    for (size_t i = after + 1; i-- > 0;) {
        if (!Matches(m_index[i], type)) continue;
        if (PositionAt(i) != 0) return 6;
        if (ts) *ts = m_index[i].timestamp;
        return 0;
    }
    return 7;
}

int CFLVAVTagReader::SeekWithPos(int32_t entry) {
    if (!m_opened || entry < 0) return 6;
    return PositionAt(size_t(entry)) == 0 ? 0 : 6;
}

int CFLVAVTagReader::SeekToBegin() {
    if (!m_opened) return 4;
    return PositionAt(0);
}

int CFLVAVTagReader::ReadTag(int load, int typeFilter, FLVTag** tag, uint32_t* duration) {
    if (!m_opened) return 3;
    if (!tag) return 4;
    FLVTag* rec = m_autoRelease ? &m_work : NewTag();
    if (!rec) return 5;
    auto fail = [&](int result) {
        if (!m_autoRelease) FreeTag(rec);
        return result;
    };
    for (;;) {
        if (m_current >= m_index.size()) return fail(1);
        const TagIndexEntry& e = m_index[m_current];
        ResetTagKeepBuffer(*rec);
        if (e.size != 0) {
            // Without data only the header is needed.
            const uint32_t bytes = load ? e.size : kTagHeaderSize;
            if (bytes > m_readBuffer.size()) {
                try {
                    m_readBuffer.resize(size_t(bytes) * 3 / 2);
                } catch (const std::bad_alloc&) {
                    return fail(5);
                }
            }
            if (FileReadAble_ReadAt(m_file, e.Offset(), m_readBuffer.data(), bytes) != bytes)
                return fail(4);
            CBufferReadAble src(m_readBuffer.data(), bytes);
            // The file must still hold the tag the index describes.
            if (!DecodeTagHeader(src, *rec) || rec->tagSize != e.size || rec->type != e.type)
                return fail(4);
            if (load) {
                if (rec == &m_work && !rec->buffer && m_parkedBlock) {
                    rec->buffer = m_parkedBlock;
                    rec->bufferCapacity = m_parkedCapacity;
                    m_parkedBlock = nullptr;
                }
                if (!LoadTagBuffer(*rec, m_readBuffer.data(), rec->dataSize)) return fail(5);
                DecodeTagBody(*rec, m_readBuffer.data() + kTagHeaderSize, rec->dataSize);
            } else {
                Unload(*rec);
            }
        } else {
            Unload(*rec);
            rec->type = e.type;
        }
        rec->filePosition = e.Offset();
        StoreTimestamp(*rec, e.timestamp);
        const uint32_t d = e.duration;
        ++m_current;
        if (typeFilter == 0 || uint32_t(typeFilter) == rec->type) {
            *tag = rec;
            if (duration) *duration = d;
            return 0;
        }
        // Filtered out: the same record serves the next entry, so nothing leaks.
    }
}

bool CFLVAVTagReader::PeekNextTimeStamp(int type, uint32_t* ts) const {
    for (size_t i = m_current; i < m_index.size(); ++i) {
        if (m_index[i].type == type) {
            *ts = m_index[i].timestamp;
            return true;
        }
    }
    return false;
}

void CFLVAVTagReader::Unload(FLVTag& tag) {
    if (&tag == &m_work && tag.buffer && !m_parkedBlock) {
        m_parkedBlock = tag.buffer;
        m_parkedCapacity = tag.bufferCapacity;
        tag.buffer = nullptr;
        tag.bufferCapacity = 0;
        tag.data = nullptr;
        return;
    }
    UnloadTag(tag);
}

int64_t CFLVAVTagReader::GetOccupyMemory() const {
    return int64_t(m_readBuffer.capacity() + m_index.capacity() * sizeof(TagIndexEntry));
}
