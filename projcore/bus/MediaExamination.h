#pragma once

#include <string>

#include "projcore/Records.h"

class CFLVCache;

// Whether a file is taken for an FLV file: its name ends in "flv" (any case),
// or it begins with the FLV signature (browser caches keep FLV files without
// an extension).
bool LooksLikeFlv(const std::string& path);

// Whether a file is taken for a picture clip by its name: BMP, JPEG, PNG,
// TIFF, ICO or GIF (any case). Whether it can be read is the picture loader's say.
bool IsPictureFileName(const std::string& path);

// Fills the facts of the media file named by info.path: an FLV file's stream
// facts and length through the cache, or a picture's format, size and timing
// (a still picture lasts 5000 ms at 25 frames per second). Throws
// CBaseException 10580022 for a name under 5 characters, the cache's result
// code when the FLV file cannot be used, and the bare integer 0 when the
// file's facts cannot be read.
void ExamineMediaFile(CFLVCache& cache, MediaFileInfo& info);

// The same through the engine-wide reader cache of the project manager (a
// cache of its own when no manager exists, as in tools and tests).
void ExamineMediaFile(MediaFileInfo& info);
