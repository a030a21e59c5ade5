#pragma once

// The texts that tell the user why a file could not be opened.

#include <QString>
#include <cstdint>

class TMyLang;

// The engine's code for an FLV file whose codecs it cannot decode.
inline constexpr int32_t kUnsupportedFlvCode = 10070001;
// The engine's code for a picture it cannot read.
inline constexpr int32_t kUnreadablePictureCode = 10580022;

// "err_not_support_flv" with the file's FLV version and codec names, read
// from the 64-byte stream description `detail` (may be null), for code
// 10070001; "err_invalid_picture" for 10580022; "invalid_flv_file" for any
// other code.
QString UnsupportedFileText(TMyLang& lang, int32_t code, const void* detail);
