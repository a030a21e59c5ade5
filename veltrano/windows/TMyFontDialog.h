#pragma once

// The font dialog as a component: holds the font, its colour and alpha
// between uses and makes its form on first use.

#include <QColor>
#include <QFont>
#include <QObject>
#include <QPointer>

class QWidget;
class TMyFontDialogFrm;
class TMyLangDispatcher;

class TMyFontDialog : public QObject {
    Q_OBJECT
public:
    explicit TMyFontDialog(TMyLangDispatcher* languages, QObject* parent = nullptr);

    QFont font;
    QColor colour{Qt::black};
    int alpha = 255;
    bool showAlpha = false;

    // Shows the form; on OK takes the chosen font, colour and alpha and
    // returns true.
    bool Execute(QWidget* parent = nullptr);
    // The form, once Execute has made it (for tests and screenshots).
    TMyFontDialogFrm* Form() const;

private:
    TMyLangDispatcher* languages_;
    QPointer<TMyFontDialogFrm> form_;  // may go with its window parent
};
