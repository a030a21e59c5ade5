// The failure texts kept in a handle; callers may compare against them.
#ifndef MP4LABEL_ERRORTEXTS_H
#define MP4LABEL_ERRORTEXTS_H

namespace mp4label {

inline constexpr const char* kErrOpenFailed = "Failed to open file";
inline constexpr const char* kErrNotPsp = "Possibly not a valid psp mp4 file";
inline constexpr const char* kErrNotOpened = "File is not opened";
inline constexpr const char* kErrReadOnly = "Failed in saving to readonly file";
inline constexpr const char* kErrSaveFailed = "Failed in saving file";

}  // namespace mp4label

#endif
