#include "windows/RepairReport.h"

#include <QFileInfo>
#include <iterator>

#include "app/MyLang.h"
#include "app/TimeFormat.h"
#include "windows/RepairLangKeys.h"

namespace {

// The kinds of fix whose amounts say more than what was dropped.
constexpr int32_t kTimeJump = 3;
constexpr int32_t kStepBack = 4;
constexpr int32_t kSetupChange = 6;

QString Joined(const QString& a, const QString& b) {
    if (a.isEmpty()) return b;
    if (b.isEmpty()) return a;
    return a + QStringLiteral("; ") + b;
}

}  // namespace

TRepairReportRow FixRow(TMyLang& lang, const TRepairFix& fix) {
    const FlvRepairFixRecord& f = fix.record;
    TRepairReportRow row;
    constexpr int kKinds = static_cast<int>(std::size(repairkey::kFixNames));
    row.what = f.kind >= 1 && f.kind <= kKinds ? lang.Text(repairkey::kFixNames[f.kind - 1]) : QString();
    if (row.what.isEmpty()) row.what = fix.kindName;  // a kind newer than this window
    row.offset = QString::number(f.offset);
    if (f.streamTime >= 0) row.time = FormatTime(true, f.streamTime);

    QString note;
    switch (f.kind) {
        case kTimeJump: note = lang.Text(repairkey::kClosedStep).arg(f.amount); break;
        case kStepBack: note = lang.Text(repairkey::kHeldSteps).arg(f.steps).arg(f.amount); break;
        case kSetupChange: note = lang.Text(repairkey::kNewOutput); break;
        default: break;
    }
    QString dropped;
    if (f.droppedTags > 0) dropped = lang.Text(repairkey::kDroppedTags).arg(f.droppedTags).arg(f.droppedBytes);
    else if (f.droppedBytes > 0) dropped = lang.Text(repairkey::kSkippedBytes).arg(f.droppedBytes);
    row.details = Joined(lang.Text(repairkey::kOutputNumber).arg(f.output + 1), Joined(note, dropped));
    return row;
}

TRepairReportRow OutputRow(TMyLang& lang, const TRepairOutput& output) {
    const FlvRepairOutputRecord& o = output.record;
    TRepairReportRow row;
    row.what = lang.Text(repairkey::kRepairedFile);
    if (!o.ok || output.path.isEmpty()) {
        row.details = lang.Text(repairkey::kOutputFailed).arg(o.index + 1);
        return row;
    }
    row.time = FormatTime(true, o.durationMs);
    row.details = lang.Text(repairkey::kOutputDetail)
                      .arg(QFileInfo(output.path).fileName())
                      .arg(QString::number(double(o.durationMs) / 1000.0, 'f', 2))
                      .arg(o.videoFrames)
                      .arg(o.audioBlocks);
    return row;
}

QString ResultText(TMyLang& lang, const TRepairResult& result) {
    if (!result.Failed()) return lang.Text(repairkey::kFilesWritten).arg(result.outputs);
    if (result.Stopped()) return lang.Text(repairkey::kStoppedInFile).arg(result.outputs);
    const QString why = result.error.isEmpty() ? QString::number(result.result) : result.error;
    return lang.Text(repairkey::kNotRepaired).arg(why);
}
