// Helpers shared by the tagflow tests: fixture paths, an in-memory FLV
// builder, temporary files and a parser run that records what it delivers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "tagflow/tagflow.h"

inline std::string Fixture(const std::string& name) {
    return std::string(VELTRANO_FIXTURES_DIR) + "/" + name;
}

inline std::vector<uint8_t> ReadFixture(const std::string& name) {
    std::ifstream in(Fixture(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Builds FLV files tag by tag.
class FlvBuilder {
public:
    explicit FlvBuilder(uint8_t flags = 5, uint32_t dataOffset = 9) {
        bytes = {'F', 'L', 'V', 1, flags};
        Put32(dataOffset);
        bytes.resize(dataOffset, 0);
        Put32(0);   // PreviousTagSize0
    }
    FlvBuilder& Tag(uint8_t type, uint32_t ts, const std::vector<uint8_t>& data) {
        bytes.push_back(type);
        Put24(uint32_t(data.size()));
        Put24(ts & 0xFFFFFF);
        bytes.push_back(uint8_t(ts >> 24));
        Put24(0);
        bytes.insert(bytes.end(), data.begin(), data.end());
        Put32(uint32_t(11 + data.size()));
        return *this;
    }
    // 8-bit mono PCM at 44100 Hz: 441 bytes play 10 ms.
    FlvBuilder& Pcm(uint32_t ts, uint32_t ms) {
        std::vector<uint8_t> d(1 + 441 * ms / 10, 0x80);
        d[0] = 0x3C;   // SoundFormat 3, 44100 Hz, 8-bit, mono
        return Tag(8, ts, d);
    }
    FlvBuilder& EmptyAudio(uint32_t ts) { return Tag(8, ts, {0x3C}); }
    // A Sorenson H.263 frame; key frames carry a 160x120 picture header.
    FlvBuilder& H263(uint32_t ts, bool key) {
        std::vector<uint8_t> d = {uint8_t(key ? 0x12 : 0x22), 0x00, 0x00, 0x80, 0x03, 0x00, 0, 0, 0};
        return Tag(9, ts, d);
    }

    std::vector<uint8_t> bytes;

private:
    void Put24(uint32_t v) {
        bytes.push_back(uint8_t(v >> 16));
        bytes.push_back(uint8_t(v >> 8));
        bytes.push_back(uint8_t(v));
    }
    void Put32(uint32_t v) {
        bytes.push_back(uint8_t(v >> 24));
        Put24(v);
    }
};

// A file under /tmp removed when the object goes.
class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& content) {
        char name[] = "/tmp/tagflow-test-XXXXXX";
        const int fd = mkstemp(name);
        path = name;
        if (fd >= 0) {
            if (!content.empty() && write(fd, content.data(), content.size()) < 0) path.clear();
            close(fd);
        }
    }
    ~TempFile() { unlink(path.c_str()); }
    std::string path;
};

struct SeenTag {
    uint32_t type, timestamp, dataSize;
    int64_t filePosition;
    bool operator==(const SeenTag&) const = default;
};

// Runs a parser over bytes delivered in pieces of `piece` bytes (0: all at
// once) and records every tag the callbacks receive.
struct ParserRun {
    std::vector<SeenTag> tags;
    FLVInfo info{};
    int infoCalls = 0;
    int lastResult = -1;

    static int32_t OnInfo(void* u, const FLVInfo* i, int32_t*, int32_t*) {
        auto* self = static_cast<ParserRun*>(u);
        self->info = *i;
        ++self->infoCalls;
        return 1;
    }
    static int32_t OnTag(void* u, FLVTag* t) {
        static_cast<ParserRun*>(u)->tags.push_back({t->type, t->timestamp, t->dataSize, t->filePosition});
        FLVStreamParser_DeleteFLVTag(nullptr, t);
        return 1;
    }

    void Run(const std::vector<uint8_t>& bytes, size_t piece, bool others = false) {
        FLVStreamParserHandle p = FLVStreamParser_Create();
        FLVStreamParser_SetFLVInfoCallBack(p, &OnInfo, this);
        FLVStreamParser_SetFLVAudioCallBack(p, &OnTag, this);
        FLVStreamParser_SetFLVVideoCallBack(p, &OnTag, this);
        FLVStreamParser_SetFLVNotAudioVideoPacketCallBack(p, &OnTag, this);
        FLVStreamParser_SetParserNotAudioVideoPacket(p, others);
        FLVStreamParser_Run(p);
        const size_t step = piece ? piece : bytes.size();
        for (size_t at = 0; at < bytes.size(); at += step)
            lastResult = FLVStreamParser_DeliverData(p, bytes.data() + at,
                                                     uint32_t(std::min(step, bytes.size() - at)));
        FLVStreamParser_Flush(p);
        FLVStreamParser_Stop(p);
        FLVStreamParser_Delete(p);
    }
};
