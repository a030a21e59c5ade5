#pragma once

#include <QString>

// A reserved temporary file name: the file is created to make the name
// unique, then removed; the name is kept and the file of that name is
// removed again when the object goes.
class TTmpFile {
public:
    // folder empty: the system's temporary folder. extension (without ".")
    // is appended when given. FileName() is empty when no name could be made.
    explicit TTmpFile(const QString& folder = {}, const QString& extension = {});
    ~TTmpFile();
    TTmpFile(const TTmpFile&) = delete;
    TTmpFile& operator=(const TTmpFile&) = delete;

    const QString& FileName() const { return fileName_; }
    // Keeps the file when the object goes (a crash report outlives us).
    void Keep() { keep_ = true; }

private:
    QString fileName_;
    bool keep_ = false;
};
