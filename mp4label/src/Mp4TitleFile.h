// The record behind an mp4label handle: the open file, its path, the title
// and the last failure.
#ifndef MP4LABEL_MP4TITLEFILE_H
#define MP4LABEL_MP4TITLEFILE_H

#include <optional>
#include <string>

#include "PosixFile.h"

struct Mp4TitleFile {
public:
    bool Open(const char* path);
    bool Save();
    void SetTitle(const char16_t* text);
    const char16_t* Title() const { return m_title ? m_title->c_str() : u""; }
    const char* Error() const { return m_errorText.c_str(); }
    void ClearError() { m_errorText.clear(); }
    void Close();

private:
    bool Fail(const char* text);

    mp4label::PosixFile m_file;
    bool m_readOnly = false;
    std::string m_errorText;
    std::string m_path;                      // kept after a successful open
    std::optional<std::u16string> m_title;   // none until read or set
};

#endif
