#include "windows/TfrmApplySelected.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

#include "app/MyLang.h"

namespace {
constexpr int kCorner = 5;
constexpr int kDataRole = Qt::UserRole;
const QColor kBackground(0xF2, 0xF7, 0xFD);  // the skin's colour 16644338

QString Property(TEngineApi& engine, CBaseListener* seqMgr, int sequence, int property) {
    TSeqProperty r{sequence, property, nullptr};
    engine.Send(seqMgr, msg::kSeqGetProperty, reinterpret_cast<intptr_t>(&r), sizeof r);
    return QString::fromUtf8(r.text ? r.text : "");
}
}  // namespace

TfrmApplySelected::TfrmApplySelected(TEngineApi& engine, CBaseListener* seqMgr, TMyLangDispatcher* languages,
                                     QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog) {
    setObjectName(QStringLiteral("frmApplySelected"));
    setWindowTitle(QStringLiteral("Apply Settings"));
    lang_ = new TMyLang(this, QStringLiteral("frmApplySelected"), languages);
    auto* title = new QLabel(QStringLiteral("Apply Selected"), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    cteeSeq_ = new QTreeWidget(this);
    cteeSeq_->setObjectName(QStringLiteral("cteeSeq"));
    cteeSeq_->setHeaderHidden(true);
    cteeSeq_->setMinimumSize(320, 260);
    auto* btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    auto* btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 12);
    layout->addWidget(title);
    layout->addWidget(cteeSeq_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    if (seqMgr) Fill(engine, seqMgr);
    connect(lang_, &TMyLang::langChanged, this, [this] { lang_->TranslateForm(this); });
    lang_->TranslateForm(this);
}

void TfrmApplySelected::Fill(TEngineApi& engine, CBaseListener* seqMgr) {
    const QIcon sequenceIcon = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon flvIcon = style()->standardIcon(QStyle::SP_MediaPlay);
    const QIcon otherIcon = style()->standardIcon(QStyle::SP_FileIcon);
    int32_t count = 0;
    engine.Send(seqMgr, msg::kSeqGetCount, reinterpret_cast<intptr_t>(&count), sizeof count);
    for (int s = 0; s < count; ++s) {
        auto* node = new QTreeWidgetItem(cteeSeq_);
        node->setText(0, Property(engine, seqMgr, s, 8) + QStringLiteral(" (") + Property(engine, seqMgr, s, 0) +
                             QStringLiteral(")"));
        node->setIcon(0, sequenceIcon);
        // Checking a sequence checks its clips; only the clips are results.
        node->setFlags(node->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
        node->setCheckState(0, Qt::Unchecked);
        node->setData(0, kDataRole, QPoint(s, -1));
        int32_t clips = s;
        engine.Send(seqMgr, msg::kSeqGetClipCount, reinterpret_cast<intptr_t>(&clips), sizeof clips);
        for (int c = 0; c < clips; ++c) {
            MediaFileInfo info{};
            TSeqClipQuery query{s, c, reinterpret_cast<intptr_t>(&info)};
            engine.Send(seqMgr, msg::kSeqGetMediaInfo, reinterpret_cast<intptr_t>(&query), sizeof query);
            auto* child = new QTreeWidgetItem(node);
            child->setText(0, QFileInfo(QString::fromUtf8(info.path ? info.path : "")).fileName());
            child->setIcon(0, info.isFlv ? flvIcon : otherIcon);
            child->setFlags(child->flags() | Qt::ItemIsUserCheckable);
            child->setCheckState(0, Qt::Unchecked);
            child->setData(0, kDataRole, QPoint(s, c));
        }
    }
    cteeSeq_->expandAll();
}

void TfrmApplySelected::accept() {
    targets_.clear();
    for (int s = 0; s < cteeSeq_->topLevelItemCount(); ++s) {
        QTreeWidgetItem* node = cteeSeq_->topLevelItem(s);
        for (int c = 0; c < node->childCount(); ++c) {
            QTreeWidgetItem* child = node->child(c);
            if (child->checkState(0) != Qt::Checked) continue;
            const QPoint target = child->data(0, kDataRole).toPoint();
            targets_.append({target.x(), target.y()});
        }
    }
    QDialog::accept();
}

void TfrmApplySelected::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    p.setPen(QColor(0x8a, 0x94, 0xa6));
    p.drawRoundedRect(rect().adjusted(0, 0, -1, -1), kCorner, kCorner);
}

void TfrmApplySelected::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kCorner, kCorner);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void TfrmApplySelected::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) dragStart_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
    QDialog::mousePressEvent(e);
}

void TfrmApplySelected::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) move(e->globalPosition().toPoint() - dragStart_);
    QDialog::mouseMoveEvent(e);
}
