#pragma once

// Pictures read and composed by the overlay drawer, so the shell sees a
// picture file exactly as the engine's watermarks will.

#include <QColor>
#include <QImage>
#include <QString>

// The picture in a file at its natural size (32-bit, first frame of an
// animation); a null image when the file gives no picture.
QImage LoadPictureFile(const QString& path);

// What an image watermark looks like over a checkered background: the
// picture (from path, or from bitmap when path is empty) scaled to size,
// with the see-through colour (when seeThrough is valid) and tolerance, at
// the alpha given. A null image when nothing could be composed.
QImage ComposeSeeThrough(const QString& path, const QImage& bitmap, QSize size, const QColor& seeThrough,
                         int tolerance, int alpha);
