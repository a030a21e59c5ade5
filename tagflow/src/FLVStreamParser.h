// Push parser: FLV bytes in pieces of any size in, tags out through
// callbacks, with timestamps rebased to 0 and audio retimed by a clock built
// from each audio block's real duration (video moved by the same amount).
#pragma once

#include <cstdint>
#include <vector>

#include "FLVTagCodec.h"
#include "TagQueue.h"
#include "tagflow/tagflow.h"

class CFLVStreamParser {
public:
    CFLVStreamParser();
    virtual ~CFLVStreamParser();
    CFLVStreamParser(const CFLVStreamParser&) = delete;
    CFLVStreamParser& operator=(const CFLVStreamParser&) = delete;

    // Settings: 1 when stored (parser stopped), 0 while running.
    int SetMaxInterleavedTime(int seconds);
    int SetMaxFLVTagQueue(int count);
    int SetParserNotAudioVideoPacket(int flag);
    int SetFLVInfoCallBack(FLVInfoCallBack f, void* user);
    int SetFLVVideoCallBack(FLVTagCallBack f, void* user);
    int SetFLVAudioCallBack(FLVTagCallBack f, void* user);
    int SetFLVNotAudioVideoPacketCallBack(FLVTagCallBack f, void* user);
    // Index-only reading: video tags load at most this many data bytes (0 = all).
    int SetVideoLoadLimit(uint32_t bytes);

    int Run();
    int DeliverData(const uint8_t* bytes, uint32_t count);
    // While the parser is only skipping bytes (the file header's tail, data it
    // does not load), the caller may skip up to SkipAhead() bytes of its input
    // with DeliverSkip instead of reading them. Same results as DeliverData.
    uint64_t SkipAhead() const;
    int DeliverSkip(uint64_t count);
    int Flush();
    int Stop();
    // Stops without the information step: nothing is called back. For owners
    // that are going away.
    void Discard();

    // A tag header that cannot start a tag (zeros, a type no FLV tag has)
    // makes the parser lose its footing: it then takes no more tags and
    // swallows what it is given until Resume. *at: the file offset of the
    // header that was refused.
    bool Lost(int64_t* at) const;
    // Goes on with the tag header at file offset `position` (the caller has
    // found a real tag there); later bytes delivered start at that header.
    int Resume(int64_t position);

    // Index-only reading: keep the presentation time (ms, on the file's own
    // time line made continuous, before any retiming) of every picture.
    int SetCollectPictureTimes(int flag);
    std::vector<uint32_t> TakePictureTimes() { return std::move(m_pictureTimes); }

    uint32_t GetTimeStamp() const { return m_lastTimestamp; }
    int GetParsedPacketsCount(int32_t* audio, int32_t* video) const;
    int HasCalledFLVInfoCallBack() const { return m_infoCalled; }

    // A callback that took a tag may hand it back here instead of freeing it;
    // the parser reuses the record and its buffer.
    void RecycleTag(FLVTag* tag);

private:
    enum State { kFileHeader = 1, kSkipToFirstTag = 2, kTagHeader = 3, kTagData = 4,
                 kTagSkip = 5, kLost = 6, kError = -1 };

    int Enter();
    int Consume(const uint8_t* bytes, uint64_t count);   // bytes null: skip only
    void OnFileHeader();
    void OnTagHeader();
    void OnTagData();
    void OnTagComplete();
    void ApplyTiming(FLVTag& tag);
    // The tag's time on a continuous line, ms from the first tag.
    int64_t ContinuousTime(const FLVTag& tag);
    bool CheckReady(bool force);
    void RunInfoCallBack();
    void Deliver();
    void EstimateFrameRate(int minimumFrames);
    void ReleaseQueue();
    FLVTag* AllocTag();
    void ReleaseTag(FLVTag* tag);
    void Reset();

    // settings
    int m_maxInterleavedTime = 300;
    int m_maxFLVTagQueue = 1000;
    int m_notAVEnabled = 0;
    uint32_t m_videoLoadLimit = 0;
    int m_collectPictureTimes = 0;
    FLVInfoCallBack m_infoCb = nullptr;
    void* m_infoUser = nullptr;
    FLVTagCallBack m_videoCb = nullptr, m_audioCb = nullptr, m_otherCb = nullptr;
    void* m_videoUser = nullptr;
    void* m_audioUser = nullptr;
    void* m_otherUser = nullptr;

    // framing
    int m_stopped = 1;
    int m_parseVideo = 1, m_parseAudio = 1;
    int64_t m_position = 0;       // file offset of the next tag header
    int m_state = kFileHeader;
    uint64_t m_need = kFLVFileHeaderSize, m_have = 0;
    uint8_t m_unit[kTagHeaderSize] = {};   // file header or tag header being collected
    int64_t m_lostAt = -1;        // kLost: the offset of the refused header
    FLVTag* m_current = nullptr;  // tag whose data is awaited
    uint32_t m_loadBytes = 0;     // data bytes of m_current being collected
    uint32_t m_dataDone = 0;      // of them, collected before the current unit
    FLVFileHeader m_header;
    CTagQueue m_queue;
    std::vector<FLVTag*> m_spare;   // recycled records

    // timing
    bool m_firstSeen = false;
    uint32_t m_baseTime = 0;
    // Continuity of each stream's time line (0 audio, 1 video): what is added
    // to the file's time, the last time given and the last forward step.
    int64_t m_shift[2] = {0, 0};
    int64_t m_lastOwn[2] = {-1, -1};
    int64_t m_ownStep[2] = {0, 0};
    int64_t m_latestOwn = 0;      // the latest time any stream reached
    std::vector<uint32_t> m_pictureTimes;
    bool m_gapOpen = false;
    uint32_t m_gapStart = 0;
    int64_t m_audioClock = 0;     // 100 ns
    int64_t m_drift = 0;          // audio clock minus the last audio timestamp, 100 ns
    bool m_clockFollowsFile = false;   // the last block's duration was unknown
    int m_aacRate = 0;            // sampling frequency of the last AAC setup, 0 before one

    // stream information
    bool m_infoReady = false, m_audioFound = false, m_frameRateFound = false,
         m_videoFound = false;
    bool m_startTaken = false;
    int64_t m_startTime = 0;
    size_t m_scanned = 0;         // queued tags already looked at for information
    int m_videoWithData = 0;      // queued video tags with data, and their first/last times
    uint32_t m_firstVideoTime = 0, m_lastVideoTime = 0;
    FLVInfo m_info{};
    uint32_t m_lastTimestamp = 0;
    int32_t m_audioCount = 0, m_videoCount = 0;
    int m_infoCalled = 0;
};
