#include "convert/OutputSettings.h"

#include <cstring>
#include <strings.h>

void CorrectOutputSettings(OutputSettings& s) {
    if (s.audioCodec != -1) {
        if (s.sampleRate < 1) s.sampleRate = 44100;
        if (s.audioBitRate < 1) s.audioBitRate = 128000;
        if (s.channels < 1) s.channels = 2;
    }
    if (s.videoCodec != -1) {
        if (s.width < 1) s.width = 320;
        if (s.height < 1) s.height = 240;
        // Encoders work on even sizes.
        if (s.width % 2) ++s.width;
        if (s.height % 2) ++s.height;
        if (s.videoBitRate < 1) s.videoBitRate = 1600000;
        if (s.bitRateTolerance < 1) s.bitRateTolerance = 4000000;
        if (!(s.frameRate > 0)) s.frameRate = 25.0;
        if (s.aspectRatio < 0) s.aspectRatio = 0;
        s.videoParameter = -1;
        if (s.scaling != 0 && s.scaling != 2) s.scaling = 2;
    }
}

bool IsOutputFormat(const OutputSettings& settings, const char* name) {
    // The field may lack its terminating zero: compare within its size.
    const size_t n = strnlen(settings.fileFormat, sizeof settings.fileFormat);
    return name && std::strlen(name) == n && strncasecmp(settings.fileFormat, name, n) == 0;
}

bool IsPictureSeriesOutput(const OutputSettings& settings) {
    return IsOutputFormat(settings, "bmp") || IsOutputFormat(settings, "png") || IsOutputFormat(settings, "jpeg");
}
