#include "windows/TfrmShutDown.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/MyLang.h"
#include "windows/ConvertLangKeys.h"
#include "windows/TfrmLang.h"

TfrmShutDown::TfrmShutDown(TShutdownOperation shutdown, QWidget* parent)
    : QDialog(parent), shutdown_(std::move(shutdown)) {
    setObjectName(QStringLiteral("frmShutDown"));
    setWindowTitle(QStringLiteral("Shutdown Computer"));
    TfrmLang* holder = TfrmLang::Instance();
    lang_ = new TMyLang(this, QStringLiteral("frmShutDown"), holder ? &holder->Languages() : nullptr);

    lblShow_ = new QLabel(this);
    lblShow_->setObjectName(QStringLiteral("lblShow"));
    lblShow_->setProperty("langSkip", true);  // the countdown text comes by key
    lblShow_->setWordWrap(true);
    auto* atOnce = new QPushButton(QStringLiteral("&At Once"), this);
    atOnce->setObjectName(QStringLiteral("btnAtOnce"));
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    cancel->setDefault(true);  // Enter must not power the computer off
    connect(atOnce, &QPushButton::clicked, this, &TfrmShutDown::ShutDownNow);
    connect(cancel, &QPushButton::clicked, this, &TfrmShutDown::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(atOnce);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblShow_);
    layout->addLayout(buttons);

    connect(lang_, &TMyLang::langChanged, this, [this] {
        lang_->TranslateForm(this);
        Refresh();
    });
    lang_->TranslateForm(this);
    Refresh();
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &TfrmShutDown::Tick);
    // A cancelled countdown must never reach 0 later on.
    connect(this, &QDialog::finished, &timer_, &QTimer::stop);
    timer_.start();
}

void TfrmShutDown::Refresh() {
    QString text = lang_->Text(convkey::kShutdownCountdown);
    if (text.isEmpty()) text = QStringLiteral("%s will shut down the computer in %d seconds.");
    QString title = QApplication::applicationDisplayName();
    if (title.isEmpty()) title = QStringLiteral("Veltrano");
    lblShow_->setText(text.replace(QStringLiteral("%s"), title).replace(QStringLiteral("%d"), QString::number(counter_)));
}

void TfrmShutDown::Tick() {
    if (counter_ > 0) --counter_;
    Refresh();
    if (counter_ == 0) ShutDownNow();
}

void TfrmShutDown::ShutDownNow() {
    timer_.stop();
    if (fired_) return;  // the last tick and a click may come together
    fired_ = true;
    accept();
    if (shutdown_) shutdown_();
}
