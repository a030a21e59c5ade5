#include "windows/TMyFontDialog.h"

#include "windows/TMyFontDialogFrm.h"

TMyFontDialog::TMyFontDialog(TMyLangDispatcher* languages, QObject* parent) : QObject(parent), languages_(languages) {}

TMyFontDialogFrm* TMyFontDialog::Form() const { return form_; }

bool TMyFontDialog::Execute(QWidget* parent) {
    if (!form_) {
        form_ = new TMyFontDialogFrm(languages_, parent);
        // The form lives as long as this component, whoever its window parent is.
        connect(this, &QObject::destroyed, form_, &QObject::deleteLater);
    }
    form_->Show(font, colour, alpha, showAlpha);
    if (form_->exec() != QDialog::Accepted) return false;
    font = form_->ChosenFont();
    colour = form_->ChosenColour();
    alpha = form_->ChosenAlpha();
    return true;
}
