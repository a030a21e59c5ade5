#include "convert/PvxPostProcess.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "avkit/avkit.h"
#include "convert/PartFile.h"
#include "mp4label/mp4label.h"
#include "tagio/tagio.h"

namespace fs = std::filesystem;

namespace {

// UTF-8 to UTF-16 code units; bad bytes become U+FFFD.
std::u16string Utf16(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        char32_t cp = 0xFFFD;
        size_t n = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 6 || (c >> 4) == 14 || (c >> 3) == 30) {
            n = (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
            cp = c & (0x3F >> (n - 1));
            bool ok = i + n <= text.size();
            for (size_t k = 1; ok && k < n; ++k) {
                const auto cc = static_cast<unsigned char>(text[i + k]);
                ok = (cc >> 6) == 2;
                cp = (cp << 6) | (cc & 0x3F);
            }
            if (!ok) cp = 0xFFFD, n = 1;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += n;
    }
    return out;
}

}  // namespace

bool FastStartInPlace(const std::string& path) {
    // The rewrite goes into a temporary folder of its own beside the output
    // (the rewriter makes its file exclusively), locked like any output.
    CPartFile folder;
    std::string why;
    if (!folder.Create(path, CPartFile::kFolder, why)) return false;
    const std::string rewritten = folder.Path() + "/" + fs::path(path).filename().string();
    if (QTFastStart(path.c_str(), rewritten.c_str()) != 0) return false;
    // The rename replaces the output in one step: it is never missing or half written.
    return std::rename(rewritten.c_str(), path.c_str()) == 0;
}

bool UpdateFlvMetadata(const std::string& path) {
    TagioFlvMeta* meta = FlvMetaCreateObject();
    if (!meta) return false;
    const bool ok = FlvMetaParseFromFile(meta, path.c_str()) && FlvMetaUpdateToFile(meta, path.c_str());
    FlvMetaDeleteObject(meta);
    return ok;
}

bool WritePspTitle(const std::string& path, const std::string& title, std::string& error) {
    Mp4TitleFile* file = Mp4Title_Create();
    if (!file) {
        error = "out of memory";
        return false;
    }
    const std::u16string text = Utf16(title);
    bool ok = Mp4Title_Open(file, path.c_str()) &&
              Mp4Title_SetTitle(file, reinterpret_cast<const Mp4TitleChar*>(text.c_str())) && Mp4Title_Save(file);
    if (!ok) error = Mp4Title_GetError(file);
    Mp4Title_Close(file);
    Mp4Title_Destroy(file);
    return ok;
}
