#include "app/IniInfo.h"

#include <QSettings>
#include <algorithm>

namespace {

int ReadInt(const QSettings& ini, const char* key, int fallback, int low, int high) {
    bool ok = false;
    const int value = ini.value(QLatin1String(key)).toInt(&ok);
    return ok ? std::clamp(value, low, high) : fallback;
}

bool ReadBool(const QSettings& ini, const char* key, bool fallback) {
    const QVariant v = ini.value(QLatin1String(key));
    if (!v.isValid()) return fallback;
    const QString text = v.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
    return fallback;
}

QString ReadString(const QSettings& ini, const char* key, const QString& fallback) {
    const QVariant v = ini.value(QLatin1String(key));
    return v.isValid() ? v.toString() : fallback;
}

constexpr int kIntMax = 0x7fffffff;
constexpr int kIntMin = -kIntMax - 1;

}  // namespace

TIniInfo::TIniInfo(const QString& iniPath, const QString& documentsFolder) : path_(iniPath) {
    Load(documentsFolder);
}

TIniInfo::~TIniInfo() {
    // Always: fields may have changed since an earlier Save (a shut-down
    // that failed and let the program run on).
    Save();
}

void TIniInfo::SetProcessNum(int n) {
    if (n >= 1 && n <= 10) processNum_ = n;
}

void TIniInfo::Load(const QString& documentsFolder) {
    const QString defaultFolder = documentsFolder + QStringLiteral("Tarvolen/Veltrano");
    QSettings ini(path_, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("System"));
    activeLange = ReadString(ini, "ActiveLange", activeLange);
    autoUpdate = ReadBool(ini, "AutoUpdate", true);
    videoScale = ReadBool(ini, "VideoScale", true);
    // A hand-edited 0 would start no conversion at all, and hundreds would
    // swamp the machine: the same 1 to 10 the setter allows.
    processNum_ = ReadInt(ini, "ProcessNum", 2, 1, 10);
    outputFolder = ReadString(ini, "OutputFolder", defaultFolder);
    imageDefLen = ReadInt(ini, "ImageDefLen", 5000, 1, 24 * 3600 * 1000);
    popupSizeType = ReadInt(ini, "PopupSizeType", 1, 0, 2);
    lastMaxWindow = ReadBool(ini, "LastMaxWindow", true);
    dealFileExist = ReadInt(ini, "DealFileExist", 0, 0, 2);
    isShowConvertImg = ReadBool(ini, "IsShowConvertImg", true);
    afterConversion = ReadInt(ini, "AfterConversion", 0, 0, 2);
    lastProfileName = ReadString(ini, "LastProfileName", QString());
    outputFolderType = ReadInt(ini, "OutputFolderType", 0, 0, 1);
    profileVersion = ReadInt(ini, "ProfileVersion", 1, kIntMin, kIntMax);
    lastProfileFormatId = ReadInt(ini, "LastProfileFormatId", -1, kIntMin, kIntMax);
    ini.endGroup();
    ini.beginGroup(QStringLiteral("Snap"));
    snapPath = ReadString(ini, "SnapPath", defaultFolder);
    snapImgType = ReadInt(ini, "SnapImgType", 0, 0, 1);
    ini.endGroup();
}

bool TIniInfo::Save() {
    QSettings ini(path_, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("System"));
    ini.setValue(QStringLiteral("ActiveLange"), activeLange);
    ini.setValue(QStringLiteral("AutoUpdate"), autoUpdate);
    ini.setValue(QStringLiteral("VideoScale"), videoScale);
    ini.setValue(QStringLiteral("ProcessNum"), processNum_);
    ini.setValue(QStringLiteral("OutputFolder"), outputFolder);
    ini.setValue(QStringLiteral("ImageDefLen"), imageDefLen);
    ini.setValue(QStringLiteral("PopupSizeType"), popupSizeType);
    ini.setValue(QStringLiteral("LastMaxWindow"), lastMaxWindow);
    ini.setValue(QStringLiteral("DealFileExist"), dealFileExist);
    ini.setValue(QStringLiteral("IsShowConvertImg"), isShowConvertImg);
    ini.setValue(QStringLiteral("AfterConversion"), afterConversion);
    ini.setValue(QStringLiteral("LastProfileName"), lastProfileName);
    ini.setValue(QStringLiteral("OutputFolderType"), outputFolderType);
    ini.setValue(QStringLiteral("ProfileVersion"), profileVersion);
    ini.setValue(QStringLiteral("LastProfileFormatId"), lastProfileFormatId);
    ini.endGroup();
    ini.beginGroup(QStringLiteral("Snap"));
    ini.setValue(QStringLiteral("SnapPath"), snapPath);
    ini.setValue(QStringLiteral("SnapImgType"), snapImgType);
    ini.endGroup();
    ini.sync();
    return ini.status() == QSettings::NoError;
}
