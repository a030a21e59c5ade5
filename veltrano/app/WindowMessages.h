#pragma once

// Notifications that the engine raises on its own threads are never handled
// there: their handler copies the data and posts it to the window that owns
// it, which handles it on the window thread as one of these messages.

#include <QByteArray>
#include <QMetaObject>
#include <QObject>
#include <cstddef>

namespace wm {
inline constexpr int kClipPreviewEnded = 3044;      // 110581202 of the clip preview, no data
inline constexpr int kResourcePreviewEnded = 3045;  // 110581202 of the resource preview, no data
inline constexpr int kTaskProgress = 3034;          // 110581303, 12 bytes {task, done, total}
inline constexpr int kTaskState = 3046;             // 110581302, 8 bytes {task, state}
inline constexpr int kAllTasksEnded = 3035;         // 110581305, no data
}  // namespace wm

// Implemented by windows that receive posted messages.
class TWindowMessageReceiver {
public:
    virtual ~TWindowMessageReceiver() = default;
    virtual void OnWindowMessage(int message, const QByteArray& data) = 0;
};

// Any thread. Copies `size` bytes at `data` (none when data is null) and has
// `window` handle them on its own thread. A window that is gone by then
// receives nothing.
template <class Window>
void PostWindowMessage(Window* window, int message, const void* data, size_t size) {
    static_assert(std::is_base_of_v<QObject, Window> && std::is_base_of_v<TWindowMessageReceiver, Window>);
    QByteArray copy;
    if (data && size) copy = QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(size));
    QMetaObject::invokeMethod(
        window, [window, message, copy] { window->OnWindowMessage(message, copy); }, Qt::QueuedConnection);
}
