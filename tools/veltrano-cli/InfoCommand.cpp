// "info": what the engine's media examination says about each file.
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "Commands.h"
#include "EngineSession.h"
#include "InputCheck.h"
#include "Json.h"

namespace {

// The record's fields, by their names, in its order.
JsonObject Describe(const MediaFileInfo& m) {
    JsonObject o;
    o.Add("path", m.path)
        .Add("duration", static_cast<int64_t>(m.duration))
        .Add("isFlv", m.isFlv != 0)
        .Add("version", m.version)
        .Add("videoCodec", m.videoCodec)
        .Add("videoCodecName", m.videoCodec == -1 ? std::string() : CodecName(m.videoCodec, true))
        .Add("tracks", m.tracks)
        .Add("width", m.width)
        .Add("height", m.height)
        .Add("frameRate", m.frameRate)
        .Add("videoDataRate", m.videoDataRate)
        .Add("audioFormat", m.audioFormat)
        .Add("audioFormatName", m.audioFormat == -1 ? std::string() : CodecName(m.audioFormat, false))
        .Add("audioDataRate", m.audioDataRate)
        .Add("sampleRate", m.sampleRate)
        .Add("bitsPerSample", m.bitsPerSample)
        .Add("channels", m.channels)
        .Add("imageFormat", std::string(m.imageFormat, strnlen(m.imageFormat, sizeof m.imageFormat)))
        .Add("frameCount", m.frameCount)
        .Add("imageWidth", m.imageWidth)
        .Add("imageHeight", m.imageHeight)
        .Add("imageFrameRate", m.imageFrameRate);
    return o;
}

void PrintText(const MediaFileInfo& m) {
    std::printf("%s\n", m.path);
    std::printf("  duration        %u ms\n", m.duration);
    if (m.isFlv) {
        std::printf("  FLV version     %d\n", m.version);
        if (m.videoCodec == -1) {
            std::printf("  video           none\n");
        } else {
            std::printf("  video codec     %s\n  size            %d x %d\n  frame rate      %g\n  video data rate %d\n",
                        CodecName(m.videoCodec, true).c_str(), m.width, m.height, m.frameRate, m.videoDataRate);
        }
        if (m.audioFormat == -1) {
            std::printf("  audio           none\n");
        } else {
            std::printf("  audio format    %s\n  sample rate     %d Hz\n  bits per sample %d\n  channels        %d\n"
                        "  audio data rate %d\n",
                        CodecName(m.audioFormat, false).c_str(), m.sampleRate, m.bitsPerSample, m.channels,
                        m.audioDataRate);
        }
        if (m.tracks > 1) std::printf("  tracks          %d (the first is played)\n", m.tracks);
    } else {
        std::printf("  picture         %.16s\n  size            %d x %d\n  frames          %d\n  frame rate      %g\n",
                    m.imageFormat, m.imageWidth, m.imageHeight, m.frameCount, m.imageFrameRate);
    }
}

}  // namespace

int RunInfo(const Options& o) {
    if (o.inputs.empty()) return Refuse(o.json, "info needs a file name");
    for (const std::string& path : o.inputs) {
        if (const std::string why = WhyUnreadable(path); !why.empty())
            return Refuse(o.json, "cannot read " + path + ": " + why);
    }
    EngineSession engine;
    std::string error;
    if (!engine.Start(&error)) return Refuse(o.json, error);
    for (const std::string& path : o.inputs) {
        MediaFileInfo info{};
        if (!engine.Examine(path, info)) {
            // The examination says no more than that it failed; adding the
            // file to a project says why (an unknown codec by its name).
            std::string why;
            const bool flvName = path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".flv") == 0;
            if (flvName && engine.NewProject(&why) && !engine.ImportSequence({path}, "info", "info", &why))
                return Refuse(o.json, why);
            return Refuse(o.json, "the engine cannot read " + path + " as an FLV file or a picture");
        }
        if (o.json)
            std::printf("%s\n", Describe(info).Text().c_str());
        else
            PrintText(info);
    }
    return 0;
}
