// The properties players and editors look for, then the key-frame index
// (filepositions and times, in file order) by which players seek. Numbers in
// AMF0 are 9 bytes whatever their value, so the tag's size does not depend on
// the positions it holds and is known before they are.
#include "MetaWriter.h"

#include <algorithm>
#include <string>

namespace tagio {
namespace {

struct Writer {
    std::vector<uint8_t>& out;
    std::vector<std::string> names;
    uint32_t count = 0;
    void Key(const char* name) {
        amf::PutKey(out, name);
        names.emplace_back(name);
        ++count;
    }
    void Number(const char* name, double v) { Key(name); amf::PutNumber(out, v); }
    void Bool(const char* name, bool v) { Key(name); amf::PutBool(out, v); }
};

void Build(const MetaFacts& f, uint64_t keptBytes, uint64_t tagBytes,
           const std::vector<amf::Property>& extras, const std::vector<uint8_t>& oldData,
           std::vector<uint8_t>& out) {
    out.clear();
    amf::PutString(out, "onMetaData");
    out.push_back(8);   // ECMA array; its count is filled in below
    const size_t countAt = out.size();
    out.insert(out.end(), 4, 0);
    Writer w{out, {}};

    const uint64_t firstTag = 13 + tagBytes;
    const double duration = f.Duration();
    // kbit/s of 1024 bits, as FLV tools count them.
    const auto rate = [&](uint64_t bytes) { return duration > 0 ? bytes * 8 / 1024.0 / duration : 0; };
    w.Bool("hasMetadata", true);
    w.Bool("hasVideo", f.HasVideo());
    w.Bool("hasAudio", f.HasAudio());
    w.Number("duration", duration);
    w.Number("lasttimestamp", f.LastTimestamp() / 1000.0);
    w.Number("filesize", double(firstTag + keptBytes));
    if (f.HasVideo()) {
        w.Number("videocodecid", f.VideoCodec());
        w.Number("videosize", double(f.VideoTagBytes()));
        w.Number("videodatarate", rate(f.VideoPayloadBytes()));
        if (f.FrameRate() > 0) w.Number("framerate", f.FrameRate());
        if (f.Width() && f.Height()) {
            w.Number("width", f.Width());
            w.Number("height", f.Height());
        }
    }
    if (f.HasAudio()) {
        w.Number("audiocodecid", f.AudioFormat());
        w.Number("audiosize", double(f.AudioTagBytes()));
        w.Number("audiodatarate", rate(f.AudioPayloadBytes()));
        // Unknown is left out rather than said wrong.
        if (f.AudioSampleRate() > 0) {
            w.Number("audiosamplerate", f.AudioSampleRate());
            w.Number("audiosamplesize", f.AudioSampleSize());
            w.Bool("stereo", f.Stereo());
        }
    }
    const auto& keys = f.KeyFrames();
    w.Bool("hasKeyframes", !keys.empty());
    w.Bool("canSeekToEnd", f.LastTagIsKeyFrame());
    if (!keys.empty()) {
        w.Number("lastkeyframetimestamp", keys.back().timestamp / 1000.0);
        w.Number("lastkeyframelocation", double(firstTag + keys.back().keptOffset));
        w.Key("keyframes");
        out.push_back(3);   // object
        const auto array = [&](const char* name, auto value) {
            amf::PutKey(out, name);
            out.push_back(10);   // strict array
            const uint32_t n = uint32_t(keys.size());
            for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(n >> s));
            for (const KeyFrame& k : keys) amf::PutNumber(out, value(k));
        };
        array("filepositions", [&](const KeyFrame& k) { return double(firstTag + k.keptOffset); });
        array("times", [](const KeyFrame& k) { return k.timestamp / 1000.0; });
        amf::PutObjectEnd(out);
    }
    w.Key("metadatacreator");
    amf::PutString(out, "Veltrano");

    for (const amf::Property& p : extras) {
        if (p.hasReference || p.name == "keyframes" ||
            std::find(w.names.begin(), w.names.end(), p.name) != w.names.end())
            continue;
        amf::PutKey(out, p.name);
        out.insert(out.end(), oldData.begin() + long(p.valueOffset),
                   oldData.begin() + long(p.valueOffset + p.valueLength));
        ++w.count;
    }
    amf::PutObjectEnd(out);
    for (int i = 0; i < 4; ++i) out[countAt + i] = uint8_t(w.count >> (24 - 8 * i));
}

}  // namespace

bool BuildOnMetaData(const MetaFacts& facts, uint64_t keptBytes,
                     const std::vector<amf::Property>& extras, const std::vector<uint8_t>& oldData,
                     std::vector<uint8_t>& out) {
    // First with any positions, to learn the size; then with the true ones.
    Build(facts, keptBytes, 0, extras, oldData, out);
    if (out.size() > kMaxTagData) return false;
    Build(facts, keptBytes, out.size() + 15, extras, oldData, out);
    return true;
}

}  // namespace tagio
