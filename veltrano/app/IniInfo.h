#pragma once

#include <QString>

// The program's settings, read completely from "Defsetting.ini" when created
// and written completely when destroyed (and by Save, before a shut-down);
// nothing is written in between. Windows read and change the fields directly.
// Values outside their range are brought into it on reading, so every window
// can trust them.
class TIniInfo {
public:
    // iniPath: the settings file; documentsFolder: where the default output
    // and snapshot folders go (with a trailing "/").
    TIniInfo(const QString& iniPath, const QString& documentsFolder);
    ~TIniInfo();
    TIniInfo(const TIniInfo&) = delete;
    TIniInfo& operator=(const TIniInfo&) = delete;

    // Writes every key now. Returns false when the file could not be written.
    bool Save();
    const QString& FilePath() const { return path_; }

    // Accepts 1 to 10 only; other values are ignored.
    void SetProcessNum(int n);
    int ProcessNum() const { return processNum_; }

    QString activeLange = QStringLiteral("English");
    bool autoUpdate = true;
    bool videoScale = true;           // true letterbox, false stretch
    QString outputFolder;
    int imageDefLen = 5000;           // milliseconds of a still-image clip
    int popupSizeType = 1;            // 0 half, 1 full, 2 twice
    bool lastMaxWindow = true;
    int dealFileExist = 0;            // 0 rename, 1 overwrite, 2 skip
    bool isShowConvertImg = true;
    int afterConversion = 0;          // 0 nothing, 1 open the folder, 2 shut down
    QString snapPath;
    int snapImgType = 0;              // 0 BMP, 1 JPEG
    QString lastProfileName;
    int outputFolderType = 0;         // 0 the output folder, 1 each source's folder
    int profileVersion = 1;
    int lastProfileFormatId = -1;

private:
    void Load(const QString& documentsFolder);

    QString path_;
    int processNum_ = 2;
};
