#pragma once

// What a drag from the resource browser carries to the sequence list: the
// group it comes from, the node's position and state and its path or name.
// File nodes also carry their file as a URL, so other programs take them too.

#include <QString>

class QMimeData;

struct TResourceDrag {
    int groupType = -1;  // 0 computer, 1 browser caches, 2 downloads, 3 imported, 4 trash
    int entry = -1;      // the node's position among its siblings
    int state = 0;       // 1 documents, 2 desktop, 3 volume, 4 folder, 5 FLV file, 6 other file
    QString data;        // the path (a folder's ends with "/"), or a trash entry's name
};

namespace resdrag {
inline constexpr char kMime[] = "application/x-veltrano-resource";

QMimeData* Encode(const TResourceDrag& drag);
// False when the data is not a resource drag (or is damaged).
bool Decode(const QMimeData* mime, TResourceDrag& out);
}  // namespace resdrag
