#include "windows/TfrmLoadFile.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/MyLang.h"
#include "windows/TfrmLang.h"

TfrmLoadFile::TfrmLoadFile(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmLoadFile"));
    setWindowTitle(QStringLiteral("Loading"));
    TfrmLang* holder = TfrmLang::Instance();
    lang_ = new TMyLang(this, QStringLiteral("frmLoadFile"), holder ? &holder->Languages() : nullptr);
    lblText_ = new QLabel(this);
    lblText_->setObjectName(QStringLiteral("lblText"));
    lblText_->setMinimumWidth(320);
    pbProgress_ = new QProgressBar(this);
    pbProgress_->setObjectName(QStringLiteral("pbProgress"));
    pbProgress_->setRange(0, 100);
    btnCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel_->setObjectName(QStringLiteral("btnCancel"));
    connect(btnCancel_, &QPushButton::clicked, this, &QWidget::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblText_);
    layout->addWidget(pbProgress_);
    layout->addWidget(btnCancel_, 0, Qt::AlignRight);
    connect(lang_, &TMyLang::langChanged, this, [this] { lang_->TranslateForm(this); });
    lang_->TranslateForm(this);
}

void TfrmLoadFile::SetText(const QString& text) {
    const QFontMetrics metrics(lblText_->font());
    const int room = lblText_->width() > 0 ? std::max(lblText_->width(), lblText_->minimumWidth())
                                           : lblText_->minimumWidth();
    QString shown = text;
    if (metrics.horizontalAdvance(shown) > room) {
        const QString dots = QStringLiteral("...");
        while (!shown.isEmpty() && metrics.horizontalAdvance(shown + dots) > room) shown.chop(1);
        shown += dots;
    }
    lblText_->setText(shown);
    lblText_->setToolTip(text);
    QApplication::processEvents();  // keeps the window answering during the loop
}

void TfrmLoadFile::SetPercent(int percent) {
    if (percent != -1) pbProgress_->setValue(std::clamp(percent, 0, 100));
    QApplication::processEvents();
}

void TfrmLoadFile::SetCancelEnabled(bool enabled) { btnCancel_->setEnabled(enabled); }

QString TfrmLoadFile::Text() const { return lblText_->text(); }

int TfrmLoadFile::Percent() const { return pbProgress_->value(); }
