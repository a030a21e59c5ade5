#include "app/ProfileRefresh.h"

#include <QFile>
#include <QFileInfo>
#include <tinyxml2.h>

namespace {

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

XMLElement* FirstCategory(XMLDocument& doc) {
    XMLElement* root = doc.FirstChildElement("NewDataSet");
    XMLElement* formats = root ? root->FirstChildElement("ExportFormats") : nullptr;
    return formats ? formats->FirstChildElement("ExportCategory") : nullptr;
}

bool Load(XMLDocument& doc, const QString& path) {
    return doc.LoadFile(QFile::encodeName(path).constData()) == tinyxml2::XML_SUCCESS;
}

// The shipped file with the user's first category in place of its own.
// Returns an empty text on success.
QString Merge(const QString& builtInFile, const QString& userFile) {
    XMLDocument shipped;
    if (!Load(shipped, builtInFile)) return QStringLiteral("The shipped profile file cannot be read: ") + builtInFile;
    XMLElement* shippedFirst = FirstCategory(shipped);
    if (!shippedFirst) return QStringLiteral("The shipped profile file has no categories: ") + builtInFile;

    XMLDocument user;
    XMLElement* userFirst = Load(user, userFile) ? FirstCategory(user) : nullptr;
    if (userFirst) {
        tinyxml2::XMLNode* copy = userFirst->DeepClone(&shipped);
        shippedFirst->Parent()->InsertAfterChild(shippedFirst, copy);
        shippedFirst->Parent()->DeleteChild(shippedFirst);
    } else if (QFileInfo::exists(userFile)) {
        // Unreadable: keep it aside rather than lose what the user had.
        const QString aside = userFile + QStringLiteral(".bak");
        QFile::remove(aside);
        QFile::rename(userFile, aside);
    }
    const QString tmp = userFile + QStringLiteral(".new");
    if (shipped.SaveFile(QFile::encodeName(tmp).constData()) != tinyxml2::XML_SUCCESS) {
        QFile::remove(tmp);
        return QStringLiteral("The profile file cannot be written.");
    }
    // Written aside first so a failure never leaves a half file behind.
    if (QFileInfo::exists(userFile) && !QFile::remove(userFile)) {
        QFile::remove(tmp);
        return QStringLiteral("The old profile file cannot be replaced.");
    }
    if (!QFile::rename(tmp, userFile)) return QStringLiteral("The profile file cannot be replaced.");
    return {};
}

}  // namespace

QString RefreshProfileFile(const QString& builtInFile, const QString& userFile, int& profileVersion) {
    QString error;
    // 4: the "No re-encoding" category came; 5: the HEVC and AV1 MP4
    // profiles and the WebM, MKV and animated GIF categories.
    constexpr int kShippedVersion = 5;
    if (!QFileInfo::exists(userFile) || profileVersion < kShippedVersion) error = Merge(builtInFile, userFile);
    profileVersion = kShippedVersion;
    return error.isEmpty() ? QString() : userFile + QStringLiteral("\n\n") + error;
}
