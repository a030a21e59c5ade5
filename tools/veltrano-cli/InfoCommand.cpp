// "info": what the engine's media examination says about each file.
#include <cstdio>
#include <cstring>

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
        .Add("width", m.width)
        .Add("height", m.height)
        .Add("frameRate", m.frameRate)
        .Add("videoDataRate", m.videoDataRate)
        .Add("audioFormat", m.audioFormat)
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
            std::printf("  video codec     %d\n  size            %d x %d\n  frame rate      %g\n  video data rate %d\n",
                        m.videoCodec, m.width, m.height, m.frameRate, m.videoDataRate);
        }
        if (m.audioFormat == -1) {
            std::printf("  audio           none\n");
        } else {
            std::printf("  audio format    %d\n  sample rate     %d Hz\n  bits per sample %d\n  channels        %d\n"
                        "  audio data rate %d\n",
                        m.audioFormat, m.sampleRate, m.bitsPerSample, m.channels, m.audioDataRate);
        }
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
        if (!engine.Examine(path, info))
            return Refuse(o.json, "the engine cannot read " + path + " as an FLV file or a picture");
        if (o.json)
            std::printf("%s\n", Describe(info).Text().c_str());
        else
            PrintText(info);
    }
    return 0;
}
