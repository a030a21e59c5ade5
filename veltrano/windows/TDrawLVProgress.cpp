#include "windows/TDrawLVProgress.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
const QColor kDone(174, 213, 246);  // light blue
}

int TDrawLVProgress::Value(const QString& text) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return 0;
    return static_cast<int>(std::clamp(std::lround(v), 0L, 1000L));
}

int TDrawLVProgress::DoneWidth(int width, int value) {
    if (width <= 1) return std::max(width, 0);
    return std::clamp(static_cast<int>(static_cast<long long>(width) * value / 1000), 1, width - 1);
}

void TDrawLVProgress::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int value = Value(index.data().toString());
    // Inset 2 on the left and bottom, 1 on the top and right.
    const QRect cell = option.rect.adjusted(2, 1, -1, -2);
    if (cell.width() <= 0 || cell.height() <= 0) return;
    painter->save();
    const int done = DoneWidth(cell.width(), value);
    painter->fillRect(QRect(cell.left(), cell.top(), done, cell.height()), kDone);
    painter->fillRect(QRect(cell.left() + done, cell.top(), cell.width() - done, cell.height()), Qt::white);
    painter->setPen(Qt::black);
    painter->drawRect(cell.adjusted(0, 0, -1, -1));
    painter->drawText(cell, Qt::AlignCenter, QString::asprintf("%.1f%%", value / 10.0));
    painter->restore();
}
