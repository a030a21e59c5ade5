#include "windows/ResourceDrag.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <QUrl>

namespace resdrag {

QMimeData* Encode(const TResourceDrag& drag) {
    auto* mime = new QMimeData;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint32(drag.groupType) << qint32(drag.entry) << qint32(drag.state) << drag.data;
    mime->setData(QLatin1String(kMime), bytes);
    // A trashed clip is no file of its own to hand to other programs.
    if ((drag.state == 5 || drag.state == 6) && drag.groupType != 4) mime->setUrls({QUrl::fromLocalFile(drag.data)});
    return mime;
}

bool Decode(const QMimeData* mime, TResourceDrag& out) {
    if (!mime || !mime->hasFormat(QLatin1String(kMime))) return false;
    QDataStream in(mime->data(QLatin1String(kMime)));
    qint32 group = 0, entry = 0, state = 0;
    QString data;
    in >> group >> entry >> state >> data;
    if (in.status() != QDataStream::Ok) return false;
    out = {group, entry, state, data};
    return true;
}

}  // namespace resdrag
