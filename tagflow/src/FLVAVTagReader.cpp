#include "FLVAVTagReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "CodecSetup.h"
#include "FrameRate.h"
#include "ReadAble.h"

namespace {

constexpr size_t kReservedEntries = 32768;
// The parser is handed the file in chunks; data it does not load is skipped,
// never touched, once there is at least this much of it (large video frames).
// Where the chunks end decides when the parser's first stream facts are
// ready, so the chunking stays as it was when the file was read in them.
constexpr uint32_t kChunkBytes = 64 * 1024;
constexpr uint64_t kSeekThreshold = 16 * 1024;
// Where large frames follow one another (a skip was just made), the next
// chunk is this small: it holds the tags up to the next frame's first bytes,
// and that frame's data is skipped too rather than handed along. Such chunks
// go on while the frames stay at least this large.
constexpr uint32_t kSparseChunkBytes = 4 * 1024;
// Enough data bytes of a video tag for its frame type and picture size.
constexpr uint32_t kIndexVideoBytes = 32;
constexpr int kParserQueue = 1000;
constexpr int kParserInterleaveSeconds = 5;
// After bytes that are no tag (a damaged stretch, a zero-filled tail) the
// next real tag is looked for through at most this much written data.
constexpr int64_t kResyncReadBytes = int64_t(256) << 20;
// An onMetaData larger than this is not read for its frame rate.
constexpr uint32_t kMaxMetadataBytes = 1024 * 1024;

uint32_t Be24(const uint8_t* p) { return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]; }

int32_t ClampToInt32(double v) {
    if (!(v >= 0)) return 0;
    return v >= double(INT32_MAX) ? INT32_MAX : int32_t(v);
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
    m_parser.SetCollectPictureTimes(1);
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
    for (auto& v : m_setups) std::vector<uint32_t>().swap(v);
    m_setupDue[0] = m_setupDue[1] = false;
    m_jumpTime = 0;
    m_avcPictures = 0;
    m_minPts = 0;
    m_maxPts = -1;
    m_presentationEnd = 0;
    m_aacRate = 0;
    m_tracks[0] = m_tracks[1] = 1;
    Flv_DigestDelete(m_digest);
    m_digest = nullptr;
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
    // AVC setups and ends of sequence come as key frames, but no picture
    // starts there; an AAC setup plays nothing.
    const bool setup = tag.data && IsCodecSetup(tag);
    const bool noPicture = tag.type == 9 && tag.data && HasPacketType(tag) && !IsPictureTag(tag);
    if (setup) e.keyFrame |= kSetupMark;
    else if (noPicture) e.keyFrame |= kNoPictureMark;
    e.offsetHigh = uint16_t(offset >> 32);
    e.offsetLow = uint32_t(offset);
    e.timestamp = tag.timestamp;
    e.size = tag.tagSize;
    std::vector<uint32_t>& setups = m_setups[tag.type == 9 ? 1 : 0];
    if (setup && setups.size() == setups.capacity()) setups.reserve(std::max<size_t>(8, setups.size() * 2));
    m_index.push_back(e);   // after this nothing may fail
    if (setup) setups.push_back(uint32_t(i));

    const bool hasData = tag.dataSize != 0;
    if (tag.data && (tag.type == 8 || tag.type == 9))
        m_tracks[tag.type == 9] = std::max(m_tracks[tag.type == 9], int32_t(tag.trackCount));
    if (tag.type == 9) {
        if (hasData) {
            m_videoBytes += tag.dataSize;
            if (m_infoEx.videoCodec == -1 && tag.data && tag.codecField1 == 1) {
                m_infoEx.videoCodec = int32_t(tag.codecField2);
                m_infoEx.width = int32_t(tag.codecField3);
                m_infoEx.height = int32_t(tag.codecField4);
            } else if (m_infoEx.width == 0 && tag.data && tag.codecField1 == 1 && tag.codecField3 &&
                       int32_t(tag.codecField2) == m_infoEx.videoCodec) {
                // A VP9 setup declares no size: its first key frame does.
                m_infoEx.width = int32_t(tag.codecField3);
                m_infoEx.height = int32_t(tag.codecField4);
            }
        }
        // Setups and ends of sequence are no frames: they take no part in
        // the frame count, the intervals or the last frame's length.
        if (noPicture) return;
        m_lastVideoEntry = int64_t(i);
        if (hasData) {
            ++m_videoTagsWithData;
            m_highestTimestamp = std::max(m_highestTimestamp, tag.timestamp);
            if (tag.data && HasPacketType(tag)) {   // shown at decode time + composition time
                const int64_t pts = std::max<int64_t>(int64_t(tag.timestamp) + tag.compositionTime, 0);
                m_minPts = m_avcPictures == 0 ? pts : std::min(m_minPts, pts);
                m_maxPts = std::max(m_maxPts, pts);
                ++m_avcPictures;
                m_highestTimestamp = std::max<uint32_t>(
                    m_highestTimestamp, uint32_t(std::min<int64_t>(pts, UINT32_MAX)));
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
            // Sound that came before its setup said no rate: the setup does.
            else if (m_infoEx.sampleRate == 0 && setup) FillAudioInfo(m_infoEx, tag);
            TagioCodecSetup s;
            if (setup && m_aacRate == 0 && ReadCodecSetup(8, tag.data, tag.dataSize, &s))
                m_aacRate = s.sampleRate;
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

// One delivery of bytes (viewed or read) to the digest and the parser, run
// inside FileReadAble_Guarded: a file cut short under a mapping faults in one
// of the two copies, which hold nothing that needs undoing (the parser moves on
// only after a unit is copied whole; the digest is dropped after a fault).
struct CFLVAVTagReader::Delivery {
    CFLVAVTagReader* self;
    int64_t position;
    const uint8_t* bytes;
    uint32_t count;
    int result;
};

int CFLVAVTagReader::DeliverChunk(void* user) {
    auto* d = static_cast<Delivery*>(user);
    if (d->self->m_digest) Flv_DigestFeed(d->self->m_digest, d->position, d->bytes, d->count);
    // The index's callback never refuses a tag, so the parser's queue is
    // emptied on every delivery and it never answers "busy" (2) here.
    d->result = d->self->m_parser.DeliverData(d->bytes, d->count);
    return 1;
}

bool CFLVAVTagReader::ParseWholeFile() {
    std::vector<uint8_t> chunk(kChunkBytes);
    const int64_t size = FileReadAble_GetSize(m_file);
    int64_t pos = 0;
    uint32_t chunkBytes = kChunkBytes;
    // Among large frames the small chunks around their heads come from a
    // mapped view of the file (read into a window where it cannot be
    // mapped): the frame data around them is never read, and a head costs a
    // page fault rather than a system call and a copy. Where the tags are
    // small every byte is wanted, and a read copies it for less than
    // mapping and unmapping each page would cost.
    const uint8_t* view = nullptr;
    int64_t viewStart = 0, viewEnd = 0;
    m_parser.Run();
    for (;;) {
        const uint64_t skip = m_parser.SkipAhead();
        int r;
        if (skip >= (chunkBytes == kChunkBytes ? kSeekThreshold : kSparseChunkBytes)) {
            const uint64_t k = std::min<uint64_t>(skip, uint64_t(size - pos));
            if (k == 0) break;
            r = m_parser.DeliverSkip(k);
            pos += int64_t(k);
            chunkBytes = kSparseChunkBytes;
        } else {
            const auto want = uint32_t(std::min<int64_t>(chunkBytes, size - pos));
            if (want == 0) break;
            const bool viewed = chunkBytes == kSparseChunkBytes;
            if (viewed && (pos < viewStart || pos + want > viewEnd)) {
                const int64_t held = FileReadAble_View(m_file, pos, want, 0, &view);
                if (held < 0) {
                    std::fprintf(stderr, "Read error: %s\n", std::strerror(errno));
                    return false;
                }
                viewStart = pos;
                viewEnd = pos + std::min<int64_t>(held, size - pos);
                if (m_viewHook) m_viewHook(m_viewHookUser);
            }
            const int64_t n = viewed ? std::min<int64_t>(want, viewEnd - pos)
                                     : FileReadAble_ReadAt(m_file, pos, chunk.data(), want);
            if (n < 0) {
                std::fprintf(stderr, "Read error: %s\n", std::strerror(errno));
                return false;
            }
            if (n == 0) break;   // the file shrank while read
            Delivery d{this, pos, viewed ? view + (pos - viewStart) : chunk.data(), uint32_t(n), 0};
            if (FileReadAble_Guarded(m_file, &CFLVAVTagReader::DeliverChunk, &d) < 0) {
                // Cut short under the view: the file ends where the reading
                // stood, as at the end of a read. What the digest took of the
                // last delivery is unknown, so no digest is kept.
                Flv_DigestDelete(m_digest);
                m_digest = nullptr;
                break;
            }
            r = d.result;
            pos += n;
            if (m_parser.SkipAhead() < kSparseChunkBytes) chunkBytes = kChunkBytes;   // small tags here
        }
        // 2 (busy) cannot come, as the index takes every tag; were it to,
        // the bytes would not have been taken, so it fails like an error.
        if (r == 1 || r == 2 || r == 5 || r == 7) return false;
        int64_t lostAt = 0;
        if (m_parser.Lost(&lostAt)) {
            const int64_t next = FindTagAfter(lostAt);
            if (next < 0 || !m_parser.Resume(next)) break;   // the tags end here
            pos = next;
        }
    }
    // The view is no longer needed: later reads of the reader are reads.
    FileReadAble_DropView(m_file);
    m_parser.Flush();   // every tag is taken: the queue empties at once
    m_parser.Stop();
    return true;
}

// A tag starts at q when its header could start one and the PreviousTagSize
// after its data gives back its size: zeros, or bytes that merely look like
// a header, do not pass both. The search goes on well past where a repair's
// would find the next tag in any recording (so that one read directly lasts
// as long as it does repaired), but not through a whole file of garbage:
// holes (never written, as a disk that lost data leaves them) are passed
// over unread and count nothing, zeros go eight bytes at a time.
int64_t CFLVAVTagReader::FindTagAfter(int64_t from) const {
    const int64_t size = FileReadAble_GetSize(m_file);
    std::vector<uint8_t> chunk(kChunkBytes + kTagHeaderSize);
    int64_t read = 0;
    bool zeros = true;   // the chunk before held nothing else: a hole may follow
    for (int64_t at = from + 1; at + int64_t(kTagHeaderSize) <= size && read < kResyncReadBytes;
         at += kChunkBytes) {
        if (zeros) at = FileReadAble_NextData(m_file, at);
        if (at + int64_t(kTagHeaderSize) > size) break;
        const auto want = uint32_t(std::min<int64_t>(chunk.size(), size - at));
        const int64_t n = FileReadAble_ReadAt(m_file, at, chunk.data(), want);
        if (n < int64_t(kTagHeaderSize)) return -1;
        read += n;
        zeros = true;
        for (int64_t i = 0; i + int64_t(kTagHeaderSize) <= n && i < int64_t(kChunkBytes); ++i) {
            const uint8_t* h = chunk.data() + i;
            uint64_t word;
            std::memcpy(&word, h, sizeof word);   // a header's length fits: kTagHeaderSize > 8
            if (word == 0) {
                i += 7;   // none of these eight bytes starts a tag
                continue;
            }
            zeros = false;
            const uint8_t type = h[0] & 0x1F;
            if ((type != 8 && type != 9 && type != 18) || h[8] || h[9] || h[10]) continue;
            const uint32_t dataSize = Be24(h + 1);
            const int64_t back = at + i + kTagHeaderSize + dataSize;
            if (back + 4 > size) continue;
            uint8_t b[4];
            if (back + 4 <= at + n) std::memcpy(b, chunk.data() + (back - at), 4);
            else if (FileReadAble_ReadAt(m_file, back, b, 4) != 4) continue;
            if ((uint32_t(b[0]) << 24 | Be24(b + 1)) == dataSize + kTagHeaderSize) return at + i;
        }
    }
    return -1;
}

// The frame rate the file's first script tag, when it comes before the first
// picture and is an onMetaData, declares; 0 when none.
double CFLVAVTagReader::DeclaredFrameRate() const {
    for (const TagIndexEntry& e : m_index) {
        if (e.type == 9) break;
        if (e.type != 18) continue;
        if (e.size <= kTagHeaderSize + kPreviousTagSizeBytes) return 0;
        const uint32_t dataSize = e.size - kTagHeaderSize - kPreviousTagSizeBytes;
        if (dataSize > kMaxMetadataBytes) return 0;
        std::vector<uint8_t> data(dataSize);
        double rate = 0;
        if (FileReadAble_ReadAt(m_file, e.Offset() + kTagHeaderSize, data.data(), dataSize) !=
                int64_t(dataSize) ||
            !Flv_ReadMetaNumber(data.data(), dataSize, "framerate", &rate))
            return 0;
        return rate;
    }
    return 0;
}

void CFLVAVTagReader::FinishStatistics() {
    // The rate comes from the pictures' own spacing, never from the length of
    // the file: sound running on past the last picture, codec setups and
    // stray stamps would all move a count divided by a span.
    std::vector<uint32_t> times = m_parser.TakePictureTimes();
    m_infoEx.frameRate = ChooseFrameRate(MeasureFrameRate(times), DeclaredFrameRate());
    if (m_highestTimestamp == 0) return;
    const double duration = m_highestTimestamp / 1000.0;
    m_infoEx.duration = duration;
    m_infoEx.videoDataRate = ClampToInt32(double(m_videoBytes) * 8 / duration);
    m_infoEx.audioDataRate = ClampToInt32(double(m_audioBytes) * 8 / duration);
}

int CFLVAVTagReader::Open(const char* path) {
    Close();
    if (!path || std::strlen(path) >= PATH_MAX) return 0;
    try {
        m_index.reserve(kReservedEntries);
        m_path = path;
        m_file = CreateFileReadAble(path);
        if (m_file && m_keepDigest) m_digest = Flv_DigestCreate(FileReadAble_GetSize(m_file));
        if (!m_file || !ParseWholeFile()) {
            Reset();
            return 0;
        }
        if (m_digest && !Flv_DigestFinish(m_digest)) {
            Flv_DigestDelete(m_digest);
            m_digest = nullptr;
        }
        FinishStatistics();
        m_opened = 1;

        if (m_lastAudioEntry >= 0) {   // the last audio block lasts as long as its samples
            FLVTag* tag = nullptr;
            uint32_t ignored = 0;
            if (PositionAt(size_t(m_lastAudioEntry), false) != 0 ||
                ReadTag(1, 8, &tag, &ignored) != 0) {
                Reset();
                return 0;
            }
            int64_t units = -1;
            if (tag->data && tag->audioPayloadSize) {
                int rate = 0, channels = 0;
                DeclaredSoundFormat(*tag, rate, channels);
                if (HasPacketType(*tag) && m_aacRate > 0) rate = m_aacRate;   // the setup's
                units = CalcFLVAudioBlockDuration(tag->audioPayload, tag->audioPayloadSize,
                                                  int(tag->codecField1), rate,
                                                  int(tag->codecField3) + 1, channels);
            }
            m_index[size_t(m_lastAudioEntry)].duration = units > 0 ? uint32_t(units / 10000) : 0;
            if (!m_autoRelease) FreeTag(tag);
        }
        if (m_lastVideoEntry >= 0) {
            // A single frame has no rate of its own; the stream estimate (25 by
            // default) then gives it a length instead of a division by zero.
            const double fps = m_infoEx.frameRate > 0 ? m_infoEx.frameRate : m_info.frameRate;
            m_index[size_t(m_lastVideoEntry)].duration = fps > 0 ? uint32_t(1000 / fps) : 0;
            // With B-frames a picture stored earlier may be shown last.
            if (m_avcPictures > 0)
                m_presentationEnd = uint32_t(std::min<int64_t>(
                    m_maxPts + (fps > 0 ? int64_t(1000 / fps) : 0), UINT32_MAX));
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
    m_setups[0] = source.m_setups[0];
    m_setups[1] = source.m_setups[1];
    m_setupDue[0] = source.m_setupDue[0];
    m_setupDue[1] = source.m_setupDue[1];
    m_jumpTime = source.m_jumpTime;
    m_avcPictures = source.m_avcPictures;
    m_minPts = source.m_minPts;
    m_maxPts = source.m_maxPts;
    m_presentationEnd = source.m_presentationEnd;
    m_aacRate = source.m_aacRate;
    m_tracks[0] = source.m_tracks[0];
    m_tracks[1] = source.m_tracks[1];
    m_path = source.m_path;
    if (source.m_opened && !m_path.empty()) {
        m_file = CreateFileReadAble(m_path.c_str());
        if (!m_file || (m_current < m_index.size() && PositionAt(m_current, false) != 0))
            m_opened = 0;
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

int CFLVAVTagReader::GetTrackCount(int32_t* video, int32_t* audio) const {
    if (!m_opened) return 3;
    if (video) *video = m_tracks[1];
    if (audio) *audio = m_tracks[0];
    return 0;
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
    if (videoEnd) *videoEnd = std::max(end(m_lastVideoEntry), m_presentationEnd);
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

int CFLVAVTagReader::PositionAt(size_t entry, bool fresh) {
    if (entry >= m_index.size() || !m_file) return 4;
    // Reads go by absolute offsets, so positioning is choosing the entry; the
    // synthetic entry (offset 0) reads nothing from the file.
    m_current = entry;
    m_setupDue[0] = fresh && !m_setups[0].empty();
    m_setupDue[1] = fresh && !m_setups[1].empty();
    if (fresh) m_jumpTime = m_index[entry].timestamp;
    return 0;
}

int64_t CFLVAVTagReader::SetupBefore(int type, size_t entry) const {
    const std::vector<uint32_t>& v = m_setups[type == 9 ? 1 : 0];
    auto it = std::lower_bound(v.begin(), v.end(), uint32_t(entry));
    return it == v.begin() ? -1 : int64_t(*(it - 1));
}

int CFLVAVTagReader::SeekEx(int type, uint32_t t, uint32_t* ts) {
    if (!m_opened) return 3;
    const size_t after = Search(m_index, t, false);
    if (after == m_index.size()) return 6;
    // From the entry after t backwards: a key frame right after t wins. An
    // H.264 key frame is shown later than it is stored: one shown after t
    // would stand in for pictures of the part before it, so the key frame
    // before it serves, when there is one.
    int64_t found = -1;
    for (size_t i = after + 1; i-- > 0;) {
        if (!Matches(m_index[i], type)) continue;
        if (found < 0) found = int64_t(i);
        if (type != 9 || m_avcPictures == 0 || PresentationTime(i) <= t) {
            found = int64_t(i);
            break;
        }
    }
    if (found < 0) return 7;
    if (PositionAt(size_t(found)) != 0) return 6;
    if (ts) *ts = m_index[size_t(found)].timestamp;
    return 0;
}

int64_t CFLVAVTagReader::PresentationTime(size_t entry) const {
    const TagIndexEntry& e = m_index[entry];
    uint8_t d[5];
    if (e.type != 9 || e.size < kTagHeaderSize + sizeof d ||
        FileReadAble_ReadAt(m_file, e.Offset() + kTagHeaderSize, d, sizeof d) != int64_t(sizeof d) ||
        (d[0] & 0x0F) != 7 || d[1] != kPacketMedia)
        return e.timestamp;
    return int64_t(e.timestamp) + ReadCompositionTime(d + 2);
}

int CFLVAVTagReader::SeekWithPos(int32_t entry) {
    if (!m_opened || entry < 0) return 6;
    return PositionAt(size_t(entry)) == 0 ? 0 : 6;
}

int CFLVAVTagReader::SeekToBegin() {
    if (!m_opened) return 4;
    return PositionAt(0);
}

int CFLVAVTagReader::LoadEntry(FLVTag* rec, const TagIndexEntry& e, int load) {
    ResetTagKeepBuffer(*rec);
    if (e.size == 0) {
        Unload(*rec);
        rec->type = e.type;
        return 0;
    }
    // Without data only the header is needed.
    const uint32_t bytes = load ? e.size : kTagHeaderSize;
    if (bytes > m_readBuffer.size()) {
        try {
            m_readBuffer.resize(size_t(bytes) * 3 / 2);
        } catch (const std::bad_alloc&) {
            return 5;
        }
    }
    if (FileReadAble_ReadAt(m_file, e.Offset(), m_readBuffer.data(), bytes) != bytes) return 4;
    CBufferReadAble src(m_readBuffer.data(), bytes);
    // The file must still hold the tag the index describes.
    if (!DecodeTagHeader(src, *rec) || rec->tagSize != e.size || rec->type != e.type) return 4;
    if (load) {
        if (rec == &m_work && !rec->buffer && m_parkedBlock) {
            rec->buffer = m_parkedBlock;
            rec->bufferCapacity = m_parkedCapacity;
            m_parkedBlock = nullptr;
        }
        if (!LoadTagBuffer(*rec, m_readBuffer.data(), rec->dataSize)) return 5;
        DecodeTagBody(*rec, m_readBuffer.data() + kTagHeaderSize, rec->dataSize);
    } else {
        Unload(*rec);
    }
    return 0;
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
        const bool wanted = typeFilter == 0 || uint32_t(typeFilter) == e.type;
        const int stream = e.type == 8 ? 0 : e.type == 9 ? 1 : -1;
        if (wanted && stream >= 0 && m_setupDue[stream]) {
            m_setupDue[stream] = false;
            const int64_t setup = (e.keyFrame & kSetupMark) ? -1 : SetupBefore(e.type, m_current);
            if (setup >= 0) {
                // The setup in force here, timed where the reading went on
                // (a decoder then knows the sound after it starts later);
                // the entry itself stays for the next read.
                if (const int r = LoadEntry(rec, m_index[size_t(setup)], 1)) return fail(r);
                rec->filePosition = m_index[size_t(setup)].Offset();
                StoreTimestamp(*rec, std::min(m_jumpTime, e.timestamp));
                *tag = rec;
                if (duration) *duration = 0;
                return 0;
            }
        }
        if (const int r = LoadEntry(rec, e, load)) return fail(r);
        rec->filePosition = e.Offset();
        StoreTimestamp(*rec, e.timestamp);
        const uint32_t d = e.duration;
        ++m_current;
        if (wanted) {
            if (stream >= 0) m_setupDue[stream] = false;
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
    return int64_t(m_readBuffer.capacity() + m_index.capacity() * sizeof(TagIndexEntry) +
                   (m_setups[0].capacity() + m_setups[1].capacity()) * sizeof(uint32_t));
}
