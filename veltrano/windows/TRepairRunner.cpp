#include "windows/TRepairRunner.h"

#include <QMetaObject>
#include <cstring>

#include "app/EngineApi.h"

QStringList TRepairResult::Paths() const {
    QStringList paths;
    for (const TRepairOutput& out : written)
        if (out.record.ok && !out.path.isEmpty()) paths << out.path;
    return paths;
}

TRepairRunner::TRepairRunner(TEngineApi& engine, CBaseListener* projectMgr, QObject* parent)
    : QObject(parent), engine_(engine), projectMgr_(projectMgr) {}

TRepairRunner::~TRepairRunner() {
    stop_ = true;
    Join();
}

void TRepairRunner::Join() {
    if (thread_.joinable()) thread_.join();
}

bool TRepairRunner::Start(const QStringList& inputs, const QString& outputFolder) {
    if (running_) return false;
    Join();  // the last run's thread has posted its end; let it go
    stop_ = false;
    running_ = true;
    thread_ = std::thread(&TRepairRunner::Run, this, inputs, outputFolder.toUtf8());
    return true;
}

namespace {

// What the engine's callbacks of one file need.
struct TRepairCall {
    TRepairResult result;
    TRepairRunner* runner;
    const std::atomic<bool>* stop;
    int index;
    int shown = -1;  // the thousandth last told
};

}  // namespace

void TRepairRunner::Run(QStringList inputs, QByteArray folder) {
    // Posted calls are dropped with the runner, which joins this thread first.
    auto post = [this](auto call) { QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection); };
    bool stopped = false;  // a file was stopped inside, or left out
    for (int i = 0; i < inputs.size(); ++i) {
        if (stop_) {
            stopped = true;
            break;
        }
        post([this, i] { emit fileStarted(i); });
        TRepairCall call{{}, this, &stop_, i};
        TRepairResult& result = call.result;
        result.input = inputs[i];
        const QByteArray input = inputs[i].toUtf8();
        FlvRepairRequest request{};
        request.input = input.constData();
        request.outputFolder = folder.constData();
        request.user = &call;
        request.onFix = [](void* user, const FlvRepairFixRecord* f) {
            TRepairFix fix{*f, QString::fromUtf8(f->kindName ? f->kindName : "")};
            fix.record.kindName = nullptr;  // the engine's text is only lent for the call
            static_cast<TRepairCall*>(user)->result.fixes.append(fix);
        };
        request.onOutput = [](void* user, const FlvRepairOutputRecord* out) {
            TRepairOutput output{*out, out->path ? QString::fromUtf8(out->path) : QString()};
            output.record.path = nullptr;
            static_cast<TRepairCall*>(user)->result.written.append(output);
        };
        request.onProgress = [](void* user, int64_t done, int64_t total) -> int32_t {
            auto& c = *static_cast<TRepairCall*>(user);
            const int thousandth = total > 0 ? static_cast<int>(done * 1000 / total) : 0;
            if (thousandth != c.shown) {
                c.shown = thousandth;
                QMetaObject::invokeMethod(
                    c.runner, [runner = c.runner, index = c.index, done, total] { emit runner->fileProgress(index, done, total); },
                    Qt::QueuedConnection);
            }
            return c.stop->load() ? 1 : 0;
        };
        if (projectMgr_) {
            engine_.Send(projectMgr_, msg::kProjectRepairFlv, reinterpret_cast<intptr_t>(&request), sizeof request);
            result.result = request.result;
            result.outputs = request.outputs;
            result.error = QString::fromUtf8(request.error, static_cast<qsizetype>(strnlen(request.error, sizeof request.error)));
        } else {
            result.result = kFlvRepairCannotOpen;
            result.error = QStringLiteral("no engine");
        }
        stopped = stopped || result.Stopped();
        post([this, i, result] { emit fileDone(i, result); });
    }
    post([this, stopped] {
        running_ = false;
        emit runEnded(stopped);
    });
}
