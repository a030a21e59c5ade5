#include "app/CrashHandler.h"

#include <QFile>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Everything the handler needs is prepared beforehand: after a crash only
// async-signal-safe calls are made (no allocation, no Qt).
char g_reportPath[4096];
bool g_installed = false;

void WriteText(int fd, const char* text) {
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(fd, text, left);
        if (n <= 0) return;
        text += n;
        left -= static_cast<size_t>(n);
    }
}

[[noreturn]] void Report(const char* what) {
    const int fd = ::open(g_reportPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
        WriteText(fd, "Veltrano " VELTRANO_VERSION " stopped: ");
        WriteText(fd, what);
        WriteText(fd, "\n\nStack:\n");
        void* frames[64];
        const int count = ::backtrace(frames, 64);
        ::backtrace_symbols_fd(frames, count, fd);
        ::close(fd);
    }
    ::_exit(255);
}

void OnSignal(int sig) {
    switch (sig) {
        case SIGSEGV: Report("segmentation fault (SIGSEGV)");
        case SIGABRT: Report("aborted (SIGABRT)");
        case SIGFPE: Report("arithmetic fault (SIGFPE)");
        case SIGILL: Report("illegal instruction (SIGILL)");
        case SIGBUS: Report("bus error (SIGBUS)");
        default: Report("fatal signal");
    }
}

void OnTerminate() { Report("uncaught exception"); }

}  // namespace

void InstallCrashHandler(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("crash-") +
                                              QString::number(::getpid()) + QStringLiteral(".txt"));
    std::snprintf(g_reportPath, sizeof g_reportPath, "%s", path.constData());
    // Touching backtrace once loads libgcc now instead of inside the handler.
    void* warmUp[1];
    ::backtrace(warmUp, 1);
    for (int sig : {SIGSEGV, SIGABRT, SIGFPE, SIGILL, SIGBUS}) std::signal(sig, OnSignal);
    std::set_terminate(OnTerminate);
    g_installed = true;
}

QString CrashReportPath() { return g_installed ? QFile::decodeName(g_reportPath) : QString(); }
