#pragma once

// What the clip panel's tests share: a real engine with a project of fixture
// clips, mouse events with both positions, and answering modal windows.

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/EngineApi.h"
#include "app/ListenerWrapper.h"

inline QString FixturePath(const char* name) {
    return QStringLiteral(VELTRANO_FIXTURES_DIR) + QLatin1Char('/') + QLatin1String(name);
}

// A mouse event as the window system sends it: the pointer's place on the
// screen, and where that is in the widget as it stands now.
inline void SendMouseAt(QWidget* w, QEvent::Type type, QPoint global, Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                  : type == QEvent::MouseMove        ? Qt::MouseButtons(Qt::LeftButton)
                                                                     : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(w->mapFromGlobal(global)), QPointF(global),
                  type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint local, Qt::MouseButton button = Qt::LeftButton) {
    SendMouseAt(w, type, w->mapToGlobal(local), button);
}

// Press at from (in w), move in steps by the offset, release there. The
// pointer keeps its screen path even when w itself moves under it.
inline void Drag(QWidget* w, QPoint from, QPoint to, int steps = 4) {
    const QPoint start = w->mapToGlobal(from), offset = to - from;
    SendMouseAt(w, QEvent::MouseMove, start);
    SendMouseAt(w, QEvent::MouseButtonPress, start);
    for (int i = 1; i <= steps; ++i) SendMouseAt(w, QEvent::MouseMove, start + offset * i / steps);
    SendMouseAt(w, QEvent::MouseButtonRelease, start + offset);
}

// Runs `answer` on the next modal window that opens (ShowPrompt, a dialog's exec).
inline void AnswerNextModal(std::function<void(QWidget*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start();
}

// The engine with one new project, reached through a wrapper of our own.
class EngineProject {
public:
    EngineProject() {
        projectMgr = engine.GetProjectMgr(wrapper.GetListener());
        engine.Send(projectMgr, msg::kProjectNew);
        engine.Send(projectMgr, msg::kProjectGetListener, reinterpret_cast<intptr_t>(&project), sizeof project);
        Get(msg::kGetSequenceManager, seqMgr);
        Get(msg::kGetClipEditManager, clipEdit);
    }
    ~EngineProject() { engine.DeleteProjectMgr(); }  // closes without asking

    // One new sequence holding the fixture files, in order.
    void Import(std::initializer_list<const char*> fixtures, const char* name = "Sequence 01") {
        std::vector<QByteArray> paths;
        for (const char* f : fixtures) paths.push_back(FixturePath(f).toUtf8());
        std::vector<const char*> pointers;
        for (const QByteArray& p : paths) pointers.push_back(p.constData());
        TImportedFiles r{name, -1, pointers.data(), static_cast<int32_t>(pointers.size()), name, 5000};
        engine.Send(seqMgr, msg::kSeqImport, reinterpret_cast<intptr_t>(&r), sizeof r);
    }
    void Select(int sequence, int clip) {
        TSeqSelection s{clip >= 0 ? 1 : 0, sequence, clip};
        engine.Send(seqMgr, msg::kSeqSelect, reinterpret_cast<intptr_t>(&s), sizeof s);
    }
    EditTrim Trim() {
        EditTrim t{0, 0, 0};
        engine.Send(clipEdit, msg::kEditGetTrim, reinterpret_cast<intptr_t>(&t), sizeof t);
        return t;
    }
    Rect Crop() {
        Rect m{-1, -1, -1, -1};
        engine.Send(clipEdit, msg::kEditGetCrop, reinterpret_cast<intptr_t>(&m), sizeof m);
        return m;
    }

    TEngineApi engine;
    TListenerWrapper wrapper;
    CBaseListener* projectMgr = nullptr;
    CBaseListener* project = nullptr;
    CBaseListener* seqMgr = nullptr;
    CBaseListener* clipEdit = nullptr;

private:
    void Get(int32_t id, CBaseListener*& out) {
        engine.Send(project, id, reinterpret_cast<intptr_t>(&out), sizeof out);
    }
};
