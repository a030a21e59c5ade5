#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The display delay of every frame of a GIF file, in hundredths of a second,
// exactly as stored in the frames' graphic control blocks (0 when a frame has
// none). FFmpeg's demuxer rewrites small delays, which would lose the stored 0.
// Empty when the file is not a GIF or its block structure is damaged.
std::vector<int> ReadGifDelays(const std::string& path);
