#include "FLVStreamParser.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <new>

#include "CodecSetup.h"
#include "ReadAble.h"
#include "tagio/tagio.h"

namespace {

// Tags are delivered in bursts (a chunk's worth at a time), so the spare list
// holds as many as the queue may: a shorter one frees and allocates again a
// tag record and its buffer for most tags of a file. Past the first few, a
// spare keeps no large buffer (whole pictures), so the list stays small.
constexpr size_t kMaxSpareTags = 1024;
constexpr size_t kSparesWithLargeBuffers = 32;
constexpr uint32_t kLargeBufferBytes = 16 * 1024;
constexpr int64_t kUnitsPerMs = 10000;   // the audio clock counts 100 ns
// Codec setups are a few dozen bytes; a larger one is not read whole.
constexpr uint32_t kMaxSetupBytes = 64 * 1024;
// A stream's time that moves further than this from both its own last time
// and the latest time of the file is no length of the file: a stray stamp,
// a wrap of the 32-bit count or a cut between recordings.
constexpr int64_t kMaxJumpMs = 60 * 1000;
constexpr int64_t kNoTime = INT64_MIN;

bool Near(int64_t a, int64_t b) { return a - b <= kMaxJumpMs && b - a <= kMaxJumpMs; }

// Only these types (the filter bit aside) start an FLV tag; zeros, for one, do not.
bool CanStartTag(uint8_t typeByte) {
    const uint8_t type = typeByte & 0x1F;
    return type == 8 || type == 9 || type == 18;
}

int64_t NowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CFLVStreamParser::CFLVStreamParser() {
    m_spare.reserve(kMaxSpareTags);
    Reset();
}

CFLVStreamParser::~CFLVStreamParser() {
    ReleaseQueue();
    FreeTag(m_current);
    for (FLVTag* t : m_spare) FreeTag(t);
}

// ---- settings

int CFLVStreamParser::SetMaxInterleavedTime(int seconds) {
    if (!m_stopped) return 0;
    m_maxInterleavedTime = seconds;
    return 1;
}

int CFLVStreamParser::SetMaxFLVTagQueue(int count) {
    if (!m_stopped) return 0;
    m_maxFLVTagQueue = std::max(count, 1);   // 0 would refuse every byte for ever
    return 1;
}

int CFLVStreamParser::SetParserNotAudioVideoPacket(int flag) {
    if (!m_stopped) return 0;
    m_notAVEnabled = flag != 0;
    return 1;
}

int CFLVStreamParser::SetFLVInfoCallBack(FLVInfoCallBack f, void* user) {
    if (!m_stopped) return 0;
    m_infoCb = f;
    m_infoUser = user;
    return 1;
}

int CFLVStreamParser::SetFLVVideoCallBack(FLVTagCallBack f, void* user) {
    if (!m_stopped) return 0;
    m_videoCb = f;
    m_videoUser = user;
    return 1;
}

int CFLVStreamParser::SetFLVAudioCallBack(FLVTagCallBack f, void* user) {
    if (!m_stopped) return 0;
    m_audioCb = f;
    m_audioUser = user;
    return 1;
}

int CFLVStreamParser::SetFLVNotAudioVideoPacketCallBack(FLVTagCallBack f, void* user) {
    if (!m_stopped) return 0;
    m_otherCb = f;
    m_otherUser = user;
    return 1;
}

int CFLVStreamParser::SetVideoLoadLimit(uint32_t bytes) {
    if (!m_stopped) return 0;
    m_videoLoadLimit = bytes;
    return 1;
}

int CFLVStreamParser::SetCollectPictureTimes(int flag) {
    if (!m_stopped) return 0;
    m_collectPictureTimes = flag != 0;
    return 1;
}

// ---- life

void CFLVStreamParser::Reset() {
    m_state = kFileHeader;
    m_need = kFLVFileHeaderSize;
    m_have = 0;
    m_lostAt = -1;
    FreeTag(m_current);
    m_current = nullptr;
    m_header = FLVFileHeader{};
    m_position = 0;
    m_parseVideo = m_parseAudio = 1;
    m_firstSeen = false;
    m_baseTime = 0;
    for (int s = 0; s < 2; ++s) {
        m_shift[s] = 0;
        m_lastOwn[s] = kNoTime;
        m_ownStep[s] = 0;
    }
    m_latestOwn = 0;
    m_pictureTimes.clear();
    m_gapOpen = false;
    m_gapStart = 0;
    m_audioClock = 0;
    m_drift = 0;
    m_clockFollowsFile = false;
    m_aacRate = 0;
    m_infoReady = m_audioFound = m_frameRateFound = m_videoFound = false;
    m_startTaken = false;
    m_startTime = 0;
    m_scanned = 0;
    m_videoWithData = 0;
    m_firstVideoTime = m_lastVideoTime = 0;
    m_info = FLVInfo{};
    m_info.videoCodec = -1;
    m_info.audioFormat = -1;
    m_lastTimestamp = 0;
    m_audioCount = m_videoCount = 0;
    m_infoCalled = 0;
}

int CFLVStreamParser::Run() {
    if (!m_stopped) return 0;
    ReleaseQueue();
    Reset();
    m_stopped = 0;
    return 1;
}

int CFLVStreamParser::Stop() {
    if (m_stopped) return 0;
    if (!m_infoReady) {
        CheckReady(true);
        RunInfoCallBack();
    }
    ReleaseQueue();
    FreeTag(m_current);
    m_current = nullptr;
    m_stopped = 1;
    return 1;
}

void CFLVStreamParser::Discard() {
    if (m_stopped) return;
    ReleaseQueue();
    FreeTag(m_current);
    m_current = nullptr;
    m_stopped = 1;
}

bool CFLVStreamParser::Lost(int64_t* at) const {
    if (m_stopped || m_state != kLost) return false;
    if (at) *at = m_lostAt;
    return true;
}

int CFLVStreamParser::Resume(int64_t position) {
    if (m_stopped || m_state != kLost || position <= m_lostAt) return 0;
    m_state = kTagHeader;
    m_need = kTagHeaderSize;
    m_have = 0;
    m_position = position;
    m_lostAt = -1;
    return 1;
}

int CFLVStreamParser::Flush() {
    if (m_stopped) return 1;
    if (!m_infoReady) {
        CheckReady(true);
        RunInfoCallBack();
    } else {
        Deliver();
    }
    return m_queue.Empty() ? 1 : 0;
}

int CFLVStreamParser::GetParsedPacketsCount(int32_t* audio, int32_t* video) const {
    if (audio) *audio = m_audioCount;
    if (video) *video = m_videoCount;
    return m_videoCount;
}

// ---- delivery of bytes

// Steps common to every delivery: refusals, then back-pressure.
int CFLVStreamParser::Enter() {
    if (m_queue.Size() >= size_t(m_maxFLVTagQueue)) {
        if (!m_infoReady) {
            CheckReady(true);
            RunInfoCallBack();
        } else {
            Deliver();
        }
        if (m_queue.Size() >= size_t(m_maxFLVTagQueue)) return 2;
    }
    return 0;
}

int CFLVStreamParser::DeliverData(const uint8_t* bytes, uint32_t count) {
    if (m_stopped) return 5;
    if (m_state == kError) return 1;
    if (!bytes || count == 0) return 3;
    if (const int r = Enter()) return r;
    return Consume(bytes, count);
}

uint64_t CFLVStreamParser::SkipAhead() const {
    if (m_stopped || (m_state != kSkipToFirstTag && m_state != kTagSkip)) return 0;
    return m_need - m_have;
}

int CFLVStreamParser::DeliverSkip(uint64_t count) {
    if (m_stopped) return 5;
    if (m_state == kError) return 1;
    if (count == 0 || count > SkipAhead()) return 3;
    if (const int r = Enter()) return r;
    return Consume(nullptr, count);
}

int CFLVStreamParser::Consume(const uint8_t* bytes, uint64_t count) {
    bool outOfMemory = false;
    while (count > 0 && m_state != kError && m_state != kLost) {
        const uint64_t take = std::min(m_need - m_have, count);
        switch (m_state) {
            case kFileHeader:
            case kTagHeader:
                std::copy(bytes, bytes + take, m_unit + m_have);
                break;
            case kTagData:
                std::copy(bytes, bytes + take,
                          m_current->buffer + kTagHeaderSize + m_dataDone + m_have);
                break;
            default:   // skipping: the bytes are not needed
                break;
        }
        m_have += take;
        count -= take;
        if (bytes) bytes += take;
        if (m_have < m_need) break;
        m_have = 0;
        try {
            switch (m_state) {
                case kFileHeader: OnFileHeader(); break;
                case kSkipToFirstTag:
                    m_state = kTagHeader;
                    m_need = kTagHeaderSize;
                    break;
                case kTagHeader: OnTagHeader(); break;
                case kTagData: OnTagData(); break;
                case kTagSkip: OnTagComplete(); break;
            }
        } catch (const std::bad_alloc&) {   // the queue could not grow: that tag is lost
            outOfMemory = true;
        }
    }
    if (m_state == kError) {
        ReleaseQueue();
        return 1;
    }
    if (outOfMemory) return 7;
    if (m_infoReady) {
        Deliver();
        return 0;
    }
    if (!CheckReady(false)) return 4;
    RunInfoCallBack();
    return 0;
}

void CFLVStreamParser::OnFileHeader() {
    CBufferReadAble src(m_unit, kFLVFileHeaderSize);
    if (!DecodeFLVHeader(src, m_header)) {
        m_state = kError;
        return;
    }
    m_info.version = m_header.version;
    m_position = int64_t(m_header.dataOffset) + kPreviousTagSizeBytes;
    m_need = m_header.dataOffset - 5;   // rest of the header and PreviousTagSize0
    m_state = kSkipToFirstTag;
}

void CFLVStreamParser::OnTagHeader() {
    if (!CanStartTag(m_unit[0])) {
        m_state = kLost;
        m_lostAt = m_position;
        return;
    }
    FLVTag* tag = AllocTag();
    CBufferReadAble src(m_unit, kTagHeaderSize);
    if (!tag || !DecodeTagHeader(src, *tag)) {
        FreeTag(tag);
        m_state = kError;
        return;
    }
    tag->filePosition = m_position;
    m_position += tag->tagSize;
    const bool load = (tag->type == 8 && m_parseAudio) || (tag->type == 9 && m_parseVideo);
    m_loadBytes = 0;
    if (load) {
        m_loadBytes = tag->dataSize;
        if (tag->type == 9 && m_videoLoadLimit) m_loadBytes = std::min(m_loadBytes, m_videoLoadLimit);
        if (!LoadTagBuffer(*tag, m_unit, m_loadBytes)) {
            FreeTag(tag);
            m_state = kError;
            return;
        }
    } else {
        UnloadTag(*tag);
    }
    m_current = tag;
    m_dataDone = 0;
    if (m_loadBytes > 0) {
        m_state = kTagData;
        m_need = m_loadBytes;
    } else {
        DecodeTagBody(*tag, nullptr, 0);
        m_state = kTagSkip;
        m_need = uint64_t(tag->dataSize) + kPreviousTagSizeBytes;
    }
}

void CFLVStreamParser::OnTagData() {
    FLVTag& tag = *m_current;
    const uint8_t* d = tag.buffer + kTagHeaderSize;
    // A load limited to the first bytes of video tags cut a codec setup: it
    // is small and describes the stream, so it is read whole.
    TagioTagLayout layout;
    if (tag.type == 9 && m_loadBytes >= 2 && m_loadBytes < tag.dataSize &&
        tag.dataSize <= kMaxSetupBytes && Flv_ReadTagLayout(9, d, m_loadBytes, tag.dataSize, &layout) &&
        Flv_HasPacketType(9, layout.codec) && layout.packetType == kPacketSetup &&
        GrowTagBuffer(tag, tag.dataSize)) {
        m_dataDone = m_loadBytes;
        m_need = tag.dataSize - m_loadBytes;
        m_loadBytes = tag.dataSize;
        return;   // still collecting data
    }
    DecodeTagBody(tag, d, m_loadBytes);
    m_dataDone = 0;
    m_state = kTagSkip;
    m_need = uint64_t(tag.dataSize) + kPreviousTagSizeBytes - m_loadBytes;
}

void CFLVStreamParser::OnTagComplete() {
    FLVTag* tag = m_current;
    m_current = nullptr;
    m_state = kTagHeader;
    m_need = kTagHeaderSize;
    const bool audio = tag->type == 8 && m_parseAudio;
    const bool video = tag->type == 9 && m_parseVideo;
    if (!audio && !video && (tag->type == 8 || tag->type == 9 || !m_notAVEnabled)) {
        ReleaseTag(tag);
        return;
    }
    try {
        if (audio || video) ApplyTiming(*tag);
        m_queue.Push(tag);
    } catch (...) {
        ReleaseTag(tag);
        throw;
    }
    if (audio || video) {
        (audio ? m_audioCount : m_videoCount) += 1;
        m_lastTimestamp = tag->timestamp;
    }
}

// Rebases to the first audio/video tag and retimes audio by its real length.
void CFLVStreamParser::ApplyTiming(FLVTag& tag) {
    const bool video = tag.type == 9;
    if (!m_firstSeen) {
        m_firstSeen = true;
        m_baseTime = tag.timestamp;
        m_shift[0] = m_shift[1] = -int64_t(m_baseTime);
        if (video) {   // callers expect audio first: an empty audio tag opens a gap at 0
            FLVTag* empty = AllocTag();
            if (!empty) throw std::bad_alloc();
            UnloadTag(*empty);
            empty->type = 8;
            try {
                m_queue.Push(empty);
            } catch (...) {
                FreeTag(empty);
                throw;
            }
            m_gapOpen = true;
            m_gapStart = 0;
        }
    }
    const int64_t own = ContinuousTime(tag);
    if (m_collectPictureTimes && video && tag.data && tag.dataSize > 1 && IsPictureTag(tag) &&
        tag.codecField1 != 5) {   // frame type 5 carries a command, no picture
        const int64_t shown = own + (HasPacketType(tag) ? tag.compositionTime : 0);
        m_pictureTimes.push_back(uint32_t(std::clamp<int64_t>(shown, 0, UINT32_MAX)));
    }
    uint32_t t = uint32_t(std::clamp<int64_t>(own, 0, UINT32_MAX));

    if (!video) {
        // An AAC setup plays nothing: like an empty tag it neither starts the
        // clock nor ends a gap, so the sound that follows keeps its own time.
        TagioCodecSetup setup;
        if (IsCodecSetup(tag) && ReadCodecSetup(8, tag.data, tag.dataSize, &setup))
            m_aacRate = setup.sampleRate;
        const bool sound = HasSoundData(tag);
        if (sound) {
            if (m_gapOpen) {
                m_gapOpen = false;
                if (t > m_gapStart) m_audioClock += int64_t(t - m_gapStart) * kUnitsPerMs;
            }
            if (m_clockFollowsFile) {   // the block before had no known length
                m_clockFollowsFile = false;
                m_audioClock = std::max(m_audioClock, int64_t(t) * kUnitsPerMs);
            }
        } else if (!m_gapOpen) {
            m_gapOpen = true;
            m_gapStart = t;
        }
        m_drift = m_audioClock - int64_t(t) * kUnitsPerMs;
        t = uint32_t(std::min<int64_t>(m_audioClock / kUnitsPerMs, UINT32_MAX));
        if (sound) {
            int rate = 0, channels = 0;
            DeclaredSoundFormat(tag, rate, channels);
            if (HasPacketType(tag) && m_aacRate > 0) rate = m_aacRate;   // the setup's, not the fixed field
            const int64_t d = CalcFLVAudioBlockDuration(tag.audioPayload, tag.audioPayloadSize,
                                                        int(tag.codecField1), rate,
                                                        int(tag.codecField3) + 1, channels);
            // An unknown length (-1) must not pull the clock back; the next
            // block then takes its time from the file instead.
            if (d >= 0) m_audioClock += d;
            else m_clockFollowsFile = true;
        }
    } else {
        const int64_t shifted = int64_t(t) + m_drift / kUnitsPerMs;
        t = uint32_t(std::clamp<int64_t>(shifted, 0, UINT32_MAX));
    }
    StoreTimestamp(tag, t);
}

// A time far from its stream's last time and from the latest time of the
// file is damage or a wrap: that stream's line goes on one step after its
// last time instead (from the latest time when the stream has none yet), and
// the tags after it keep their spacing from there. A stream that merely had
// a pause keeps its time, since the other stream has moved on too.
int64_t CFLVStreamParser::ContinuousTime(const FLVTag& tag) {
    const int s = tag.type == 9 ? 1 : 0;
    int64_t t = int64_t(tag.timestamp) + m_shift[s];
    const int64_t last = m_lastOwn[s];
    const bool fits = last != kNoTime ? Near(t, last) || Near(t, m_latestOwn)
                                      : Near(t, m_latestOwn) || (t >= 0 && t <= kMaxJumpMs);
    if (!fits) {
        const int64_t to = last != kNoTime ? last + m_ownStep[s] : m_latestOwn;
        m_shift[s] += to - t;
        t = to;
    } else if (last != kNoTime && t > last) {
        m_ownStep[s] = t - last;
    }
    m_lastOwn[s] = t;
    m_latestOwn = std::max(m_latestOwn, t);
    return t;
}

// ---- stream information

bool CFLVStreamParser::CheckReady(bool force) {
    if (m_infoReady) return true;
    if (!m_startTaken) {
        m_startTaken = true;
        m_startTime = NowSeconds();
    }
    // Before the information is ready nothing is delivered, so the queue only
    // grows and each tag needs looking at once.
    for (; m_scanned < m_queue.Size(); ++m_scanned) {
        const FLVTag& t = *m_queue.At(m_scanned);
        if (!t.data || t.dataSize == 0) continue;
        if (t.type == 8 && (!m_audioFound || (m_info.sampleRate == 0 && IsCodecSetup(t)))) {
            // Sound that came before its setup said no rate: the setup does.
            m_audioFound = true;
            FillAudioInfo(m_info, t);
        } else if (t.type == 9) {
            // Codec setups and ends of sequence are no frames of the rate.
            if (IsPictureTag(t)) {
                if (m_videoWithData++ == 0) m_firstVideoTime = t.timestamp;
                m_lastVideoTime = t.timestamp;
            }
            if (!m_videoFound && t.codecField1 == 1) {
                m_videoFound = true;
                m_info.videoCodec = int32_t(t.codecField2);
                m_info.width = int32_t(t.codecField3);
                m_info.height = int32_t(t.codecField4);
            } else if (m_videoFound && m_info.width == 0 && t.codecField1 == 1 && t.codecField3 &&
                       int32_t(t.codecField2) == m_info.videoCodec) {
                // A VP9 setup declares no size: its first key frame does.
                m_info.width = int32_t(t.codecField3);
                m_info.height = int32_t(t.codecField4);
            }
        }
    }
    if (m_videoFound && !m_frameRateFound) EstimateFrameRate(30);
    if (!(m_audioFound && m_frameRateFound)) {
        if (!force && NowSeconds() - m_startTime < m_maxInterleavedTime) return false;
        if (!m_audioFound) m_info.audioFormat = -1;
        if (!m_videoFound) {
            m_info.videoCodec = -1;
        } else if (!m_frameRateFound) {
            EstimateFrameRate(2);
            if (!m_frameRateFound) m_info.frameRate = 25.0;
        }
    }
    m_infoReady = true;
    return true;
}

void CFLVStreamParser::EstimateFrameRate(int minimumFrames) {
    // Decreasing times would give a negative rate: no estimate then.
    if (m_videoWithData < minimumFrames || m_lastVideoTime <= m_firstVideoTime) return;
    m_info.frameRate = (m_videoWithData - 1) * 1000.0 / (m_lastVideoTime - m_firstVideoTime);
    m_frameRateFound = true;
}

void CFLVStreamParser::RunInfoCallBack() {
    if (m_infoCb) {
        int32_t video = m_header.hasVideo, audio = m_header.hasAudio;
        m_infoCb(m_infoUser, &m_info, &video, &audio);
        m_parseVideo = video != 0;
        m_parseAudio = audio != 0;
    }
    m_infoCalled = 1;
    Deliver();
}

void CFLVStreamParser::Deliver() {
    while (!m_queue.Empty()) {
        FLVTag* t = m_queue.Front();
        FLVTagCallBack cb = nullptr;
        void* user = nullptr;
        if (t->type == 8) {
            if (m_parseAudio) cb = m_audioCb, user = m_audioUser;
        } else if (t->type == 9) {
            if (m_parseVideo) cb = m_videoCb, user = m_videoUser;
        } else if (m_notAVEnabled) {
            cb = m_otherCb, user = m_otherUser;
        }
        if (!cb) {
            ReleaseTag(m_queue.Pop());
            continue;
        }
        if (cb(user, t) == 0) return;   // refused: stays at the head
        m_queue.Pop();
    }
}

// ---- tag records

void CFLVStreamParser::ReleaseQueue() {
    while (!m_queue.Empty()) ReleaseTag(m_queue.Pop());
}

FLVTag* CFLVStreamParser::AllocTag() {
    if (m_spare.empty()) return NewTag();
    FLVTag* t = m_spare.back();
    m_spare.pop_back();
    return t;
}

void CFLVStreamParser::ReleaseTag(FLVTag* tag) { RecycleTag(tag); }

void CFLVStreamParser::RecycleTag(FLVTag* tag) {
    if (!tag) return;
    if (m_spare.size() < kMaxSpareTags) {
        if (m_spare.size() >= kSparesWithLargeBuffers && tag->bufferCapacity > kLargeBufferBytes)
            UnloadTag(*tag);
        ResetTagKeepBuffer(*tag);
        m_spare.push_back(tag);   // capacity reserved: never allocates
    } else {
        FreeTag(tag);
    }
}
