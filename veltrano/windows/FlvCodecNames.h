#pragma once

// The names shown for an FLV file's codecs.

#include <QString>

// FLV video codec identifier (1 ... 8); empty for any other value.
QString FlvVideoCodecName(int codecId);
// FLV sound format (0 ... 15); empty for formats without a name or out of range.
QString FlvAudioCodecName(int soundFormat);
