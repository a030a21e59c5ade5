#include "windows/TfrmPrompt.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/LangKeys.h"
#include "app/MyLang.h"
#include "windows/TfrmLang.h"

namespace {

struct PromptButton {
    TLangKey key;
    int result;
    const char* english;  // the design text, shown without language tables
};

struct ButtonSet {
    int count;
    PromptButton buttons[3];
};

const ButtonSet kSets[] = {
    {1, {{langkey::kOk, kPromptOk, "OK"}}},
    {2, {{langkey::kOk, kPromptOk, "OK"}, {langkey::kCancel, kPromptCancel, "Cancel"}}},
    {2, {{langkey::kYes, kPromptYes, "Yes"}, {langkey::kNo, kPromptNo, "No"}}},
    {3, {{langkey::kYes, kPromptYes, "Yes"}, {langkey::kNo, kPromptNo, "No"},
         {langkey::kCancel, kPromptCancel, "Cancel"}}},
    {2, {{langkey::kRetry, kPromptRetry, "Retry"}, {langkey::kCancel, kPromptCancel, "Cancel"}}},
    {3, {{langkey::kAbort, kPromptAbort, "Abort"}, {langkey::kRetry, kPromptRetry, "Retry"},
         {langkey::kIgnore, kPromptIgnore, "Ignore"}}},
};

QStyle::StandardPixmap IconPixmap(int icon) {
    switch (icon) {
        case kIconInformation: return QStyle::SP_MessageBoxInformation;
        case kIconQuestion: return QStyle::SP_MessageBoxQuestion;
        case kIconWarning: return QStyle::SP_MessageBoxWarning;
        default: return QStyle::SP_MessageBoxCritical;
    }
}

}  // namespace

TfrmPrompt::TfrmPrompt(QWidget* parent, const QString& text, int buttonSet, int icon, int defaultButton)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      buttonSet_(buttonSet >= 0 && buttonSet < 6 ? buttonSet : 0) {
    setObjectName(QStringLiteral("frmPrompt"));
    setWindowTitle(QStringLiteral("Veltrano"));
    // The title is the product's name, the text and buttons come by key.
    setProperty("langSkip", true);
    setStyleSheet(QStringLiteral("QDialog#frmPrompt { border: 1px solid palette(mid); border-radius: 5px; }"));
    TfrmLang* holder = TfrmLang::Instance();
    lang_ = new TMyLang(this, QStringLiteral("frmPrompt"), holder ? &holder->Languages() : nullptr);

    auto* iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("imgIcon"));
    if (icon > kIconNone && icon <= kIconError)
        iconLabel->setPixmap(style()->standardIcon(IconPixmap(icon)).pixmap(32, 32));
    lblText_ = new QLabel(text, this);
    lblText_->setObjectName(QStringLiteral("lblText"));
    lblText_->setWordWrap(true);
    lblText_->setProperty("langSkip", true);
    lblText_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* top = new QHBoxLayout;
    top->addWidget(iconLabel, 0, Qt::AlignTop);
    top->addWidget(lblText_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const ButtonSet& set = kSets[buttonSet_];
    const int first = 3 - set.count;  // sets fill the slots from the right
    for (int slot = 0; slot < 3; ++slot) {
        slots_[slot] = nullptr;
        if (slot < first) continue;
        const PromptButton& b = set.buttons[slot - first];
        auto* button = new QPushButton(QString::fromLatin1(b.english), this);
        button->setObjectName(QStringLiteral("btnSlot%1").arg(slot));
        button->setProperty("langSkip", true);
        const int result = b.result;
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        buttons->addWidget(button);
        slots_[slot] = button;
    }
    lastResult_ = set.buttons[set.count - 1].result;
    if (defaultButton >= 0 && defaultButton < 3 && slots_[defaultButton]) {
        slots_[defaultButton]->setDefault(true);
        slots_[defaultButton]->setFocus();
    } else {
        slots_[2]->setDefault(true);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);

    connect(lang_, &TMyLang::langChanged, this, &TfrmPrompt::Retranslate);
    Retranslate();
}

QPushButton* TfrmPrompt::SlotButton(int slot) const { return slot >= 0 && slot < 3 ? slots_[slot] : nullptr; }

void TfrmPrompt::Retranslate() {
    lang_->TranslateForm(this);
    const ButtonSet& set = kSets[buttonSet_];
    const int first = 3 - set.count;
    for (int slot = first; slot < 3; ++slot) {
        const QString caption = lang_->Text(set.buttons[slot - first].key);
        if (!caption.isEmpty()) slots_[slot]->setText(caption);
    }
}

void TfrmPrompt::reject() { done(lastResult_); }

// Borderless: the background drags the dialog.
void TfrmPrompt::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) dragStart_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
    QDialog::mousePressEvent(e);
}

void TfrmPrompt::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) move(e->globalPosition().toPoint() - dragStart_);
    QDialog::mouseMoveEvent(e);
}

int ShowPrompt(const QString& text, int buttonSet, int icon, int defaultButton, QWidget* parent) {
    if (!parent) parent = QApplication::activeWindow();
    TfrmPrompt prompt(parent, text, buttonSet, icon, defaultButton);
    return prompt.exec();
}
