#include "Mp4TitleFile.h"

#include <new>

#include "ErrorTexts.h"
#include "PspLayout.h"
#include "SafeReplace.h"
#include "TitleSavePlan.h"

using namespace mp4label;

bool Mp4TitleFile::Fail(const char* text) {
    m_errorText = text;
    return false;
}

bool Mp4TitleFile::Open(const char* path) {
    m_errorText.clear();
    m_file.Close();
    m_readOnly = false;
    if (path == nullptr) return Fail(kErrOpenFailed);

    const std::string name(path);
    if (!m_file.Open(name, true)) {
        if (!m_file.Open(name, false)) return Fail(kErrOpenFailed);
        m_readOnly = true;
    }

    uint64_t length = 0;
    std::optional<std::u16string> title;
    bool valid = false;
    try {
        valid = m_file.Length(length) && ReadPspTitle(FileSource(m_file.Fd(), length), title);
    } catch (const std::bad_alloc&) {
        valid = false;  // a title buffer could not be had: treated as unreadable
    }
    if (!valid) {
        m_file.Close();
        m_readOnly = false;
        return Fail(kErrNotPsp);
    }
    m_path = name;
    // A file without a title entry leaves a title set beforehand in place.
    if (title) m_title = std::move(title);
    return true;
}

bool Mp4TitleFile::Save() {
    m_errorText.clear();
    if (!m_file.IsOpen()) return Fail(kErrNotOpened);
    if (m_readOnly) return Fail(kErrReadOnly);

    // The file is walked afresh: it may have changed since it was opened.
    uint64_t length = 0;
    PosixFile replaced;
    try {
        TitleSavePlan plan;
        if (!m_file.Length(length) ||
            !PlanTitleSave(FileSource(m_file.Fd(), length), m_title ? *m_title : u"", plan) ||
            !ReplaceFileRange(m_file, length, m_path, plan.cutStart, plan.cutEnd, plan.newMoov,
                              replaced))
            return Fail(kErrSaveFailed);
    } catch (const std::bad_alloc&) {
        return Fail(kErrSaveFailed);  // moov or a copy buffer could not be had
    }
    m_file = std::move(replaced);
    return true;
}

void Mp4TitleFile::SetTitle(const char16_t* text) {
    m_errorText.clear();
    if (text == nullptr)
        m_title.reset();
    else
        m_title = std::u16string(text);
}

void Mp4TitleFile::Close() {
    m_file.Close();
    m_readOnly = false;
    m_errorText.clear();
}
