// Random-access tag reader: Open runs the whole file once through a stream
// parser and keeps a compact index of every tag; afterwards duration,
// key-frame and seek questions are answered from the index and tags are read
// one by one from the file.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "FLVStreamParser.h"
#include "tagflow/tagflow.h"
#include "tagio/tagio.h"

// One tag of the file, 20 bytes. The file offset is split so that files of
// 4 GiB and more index right without widening the entry.
struct TagIndexEntry {
    uint8_t type;
    // Video: FrameType (1 = key frame); 0 otherwise. Tags that code no
    // picture or sound carry a mark on top, so no seek takes them for a key
    // frame: kSetupMark for codec setups, kNoPictureMark for AVC ends of sequence.
    uint8_t keyFrame;
    uint16_t offsetHigh;    // bits 32..47 of the file offset
    uint32_t timestamp;     // ms, as the parser delivered it
    uint32_t offsetLow;     // 0 (with offsetHigh 0) for the synthetic leading audio entry
    uint32_t size;          // dataSize + 15; 0 for the synthetic entry
    uint32_t duration;      // ms until the next tag of the same type

    int64_t Offset() const { return int64_t(offsetHigh) << 32 | offsetLow; }
};
static_assert(sizeof(TagIndexEntry) == 20, "the index costs 20 bytes per tag");
constexpr uint8_t kSetupMark = 0x80, kNoPictureMark = 0x40;

class CFLVAVTagReader {
public:
    CFLVAVTagReader();
    virtual ~CFLVAVTagReader();
    CFLVAVTagReader(const CFLVAVTagReader&) = delete;
    CFLVAVTagReader& operator=(const CFLVAVTagReader&) = delete;

    int Open(const char* path);
    int IsOpened() const { return m_opened; }
    int Close();
    int Assign(const CFLVAVTagReader& source);   // this is the target

    int GetFLVInfo(FLVInfo* info) const;
    int GetFLVInfoEx(FLVInfo* info) const;
    int GetMinIntervaledFrameTime(int32_t* ms) const;
    int GetTrackCount(int32_t* video, int32_t* audio) const;
    void GetDuration(uint32_t* audioEnd, uint32_t* videoEnd) const;
    // type 9: key frames, 8: audio. entry may be null.
    int GetNextTimeStamp(int type, uint32_t t, uint32_t* ts, int32_t* entry) const;
    int GetPreTimeStamp(int type, uint32_t t, uint32_t* ts, int32_t* entry) const;
    int SeekEx(int type, uint32_t t, uint32_t* ts);
    int SeekWithPos(int32_t entry);
    int SeekToBegin();
    int ReadTag(int load, int typeFilter, FLVTag** tag, uint32_t* duration);
    // Positions at the entry read last, so that it is read again. 0 or 4.
    // The decoder has seen what went before, so no setup is handed out again.
    int StepBack() { return m_current > 0 ? PositionAt(m_current - 1, false) : 4; }
    // Timestamp of the next entry of a type after the read position; false when none.
    bool PeekNextTimeStamp(int type, uint32_t* ts) const;
    int SetAutoReleaseMemory(int flag) { return m_autoRelease = flag; }
    bool IsWorkTag(const FLVTag* tag) const { return tag == &m_work; }
    // Frees a tag ReadTag handed over, unless it is the reader's own work tag.
    void ReleaseIfOwned(FLVTag* tag) {
        if (!IsWorkTag(tag)) FreeTag(tag);
    }
    int64_t GetOccupyMemory() const;

    // Open keeps the tag walk of the file it indexes (tagio's digest) when asked.
    void SetKeepTagDigest(bool keep) { m_keepDigest = keep; }
    TagioTagDigest* TakeTagDigest() {
        TagioTagDigest* d = m_digest;
        m_digest = nullptr;
        return d;
    }

    // For tests: the entry count.
    size_t EntryCount() const { return m_index.size(); }
    // For tests: called each time Open's walk takes a new view of the file,
    // before it reads from it (a test cuts the file short there).
    void SetViewHook(void (*hook)(void*), void* user) {
        m_viewHook = hook;
        m_viewHookUser = user;
    }

private:
    static int32_t OnInfo(void* user, const FLVInfo* info, int32_t* video, int32_t* audio);
    static int32_t OnTag(void* user, FLVTag* tag);
    void AddEntry(const FLVTag& tag);
    struct Delivery;
    static int DeliverChunk(void* user);
    bool ParseWholeFile();
    // File offset of the first real tag after `from`, -1 when none near.
    int64_t FindTagAfter(int64_t from) const;
    double DeclaredFrameRate() const;
    // 0 or 4. fresh: the reader jumped, so the first read of an AVC or AAC
    // stream hands out the codec setup in force there.
    int PositionAt(size_t entry, bool fresh = true);
    // Reads entry e into rec (data only when load). 0, 4 or 5.
    int LoadEntry(FLVTag* rec, const TagIndexEntry& e, int load);
    // When a video entry is shown: an H.264 picture's decode time plus its
    // composition time, read from the file; other entries' timestamp.
    int64_t PresentationTime(size_t entry) const;
    // The last codec setup of a stream before an entry, -1 when none.
    int64_t SetupBefore(int type, size_t entry) const;
    void FinishStatistics();
    void Reset();
    bool Matches(const TagIndexEntry& e, int type) const;
    void Unload(FLVTag& tag);

    int m_opened = 0;
    TagioFileReadAble* m_file = nullptr;
    std::string m_path;
    CFLVStreamParser m_parser;
    std::vector<TagIndexEntry> m_index;
    size_t m_current = 0;
    FLVTag m_work{};                 // handed out while auto-release is on
    // The work tag's block while it carries no data, so that reads without
    // and with data can alternate without allocating.
    uint8_t* m_parkedBlock = nullptr;
    uint32_t m_parkedCapacity = 0;
    std::vector<uint8_t> m_readBuffer;
    FLVInfo m_info{};                // as the parser delivered it
    FLVInfo m_infoEx{};              // built from the whole index
    // statistics while indexing
    bool m_firstAudio = true, m_firstVideo = true;
    uint64_t m_audioBytes = 0, m_videoBytes = 0;
    uint32_t m_highestTimestamp = 0;
    int64_t m_videoTagsWithData = 0;
    uint32_t m_prevVideoTime = 0, m_prevAudioTime = 0;
    size_t m_prevVideoEntry = 0, m_prevAudioEntry = 0;
    int32_t m_minVideoInterval = 0;   // 0: no positive interval seen
    int64_t m_lastAudioEntry = -1, m_lastVideoEntry = -1;
    int m_autoRelease = 1;
    // AVC and AAC: where the codec setups lie, and which stream still needs
    // one handed out after a jump (0 audio, 1 video).
    std::vector<uint32_t> m_setups[2];
    bool m_setupDue[2] = {false, false};
    uint32_t m_jumpTime = 0;          // ms: the entry the last jump went to
    // AVC: presentation times (decode time + composition time) of the pictures.
    int64_t m_avcPictures = 0;
    int64_t m_minPts = 0, m_maxPts = -1;
    uint32_t m_presentationEnd = 0;   // ms: after the last picture shown
    int32_t m_tracks[2] = {1, 1};   // audio, video: the most tracks one tag holds
    int m_aacRate = 0;                // the first sound setup's sampling frequency (AAC, Opus, FLAC)
    bool m_keepDigest = false;
    TagioTagDigest* m_digest = nullptr;   // complete, after an Open that kept one
    void (*m_viewHook)(void*) = nullptr;
    void* m_viewHookUser = nullptr;
};
