#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "model/XMutex.h"
#include "tagflow/tagflow.h"

// Opens each FLV file once and hands the same indexed reader to every user of
// it. A reader stays while anybody uses it: each GetReader that succeeds
// counts one use, ReleaseReader ends it, and the last release closes the file.
// A file that changed on disk since it was indexed is opened afresh; users of
// the old reader keep it until they release it.
class CFLVCache {
public:
    enum Result : int32_t {
        kOk = 10070000,
        kUnsupportedCodec = 10070001,
        kCannotOpen = 10070002,
        kTooManyReaders = 10070003,
        kOutOfMemory = 10070004,
    };

    CFLVCache() = default;
    CFLVCache(const CFLVCache&) = delete;
    CFLVCache& operator=(const CFLVCache&) = delete;
    virtual ~CFLVCache();

    // *reader is 0 unless the result is kOk; info (when given) is filled from
    // the file, or cleared with both codecs -1 when it could not be read.
    // digest (when given): where a reader opened afresh hands over the walk
    // of the file's tags it kept while indexing (null otherwise); the
    // caller owns it.
    int32_t GetReader(const std::string& path, FLVAVTagReaderHandle* reader, FLVInfo* info,
                      TagioTagDigest** digest = nullptr);
    // Ends one use of a reader GetReader handed out.
    void ReleaseReader(FLVAVTagReaderHandle reader);

    // Readers open right now.
    size_t OpenReaders();
    // Whether the codecs of a file are ones the engine can decode.
    static bool IsSupported(const FLVInfo& info);

private:
    struct Entry {
        FLVAVTagReaderHandle reader = nullptr;
        off_t size = 0;
        timespec modified{};
        uint32_t uses = 0;
        uint64_t memory = 0;
    };
    void CloseEntry(Entry& e);
    static bool Stat(const std::string& path, off_t& size, timespec& modified);

    std::map<std::string, Entry> readers_;  // the current reader of each path
    std::vector<Entry> retired_;             // replaced readers still in use
    uint32_t maxReaders_ = 0xFFFFFFFF;
    uint64_t maxMemory_ = 0xFFFFFFFF;
    uint32_t readerCount_ = 0;
    uint64_t memoryUsed_ = 0;
    CXMutex lock_;
};
