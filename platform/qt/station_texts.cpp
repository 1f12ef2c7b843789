#include "platform/qt/station_texts.h"

StationTexts StationTexts::For(bool chinese)
{
    StationTexts t;
    t.m_Chinese = chinese;
    if (chinese) {
        t.title = QStringLiteral("控制器固件更新站");
        t.package = QStringLiteral("固件包");
        t.records = QStringLiteral("条记录");
        t.version = QStringLiteral("版本");
        t.start = QStringLiteral("开始");
        t.stop = QStringLiteral("停止");
        t.saveLog = QStringLiteral("保存日志");
        t.port = QStringLiteral("端口");
        t.family = QStringLiteral("类型");
        t.before = QStringLiteral("原版本");
        t.after = QStringLiteral("新版本");
        t.progress = QStringLiteral("进度");
        t.outcome = QStringLiteral("结果");
        t.waiting = QStringLiteral("等待控制器接入……");
        t.logFailed = QStringLiteral("日志无法写入：不再接收新的控制器。");
        t.catalogue = QStringLiteral("固件目录");
        t.cataloguePlaceholder = QStringLiteral("网址或文件夹（填写后代替固件包）");
        t.verify = QStringLiteral("校验（读回固件）");
        t.source = QStringLiteral("固件包 / 目录");
        t.catalogueRefused = QStringLiteral("固件目录未被接受：更新站没有启动。");
    } else {
        t.title = QStringLiteral("Controller Update Station");
        t.package = QStringLiteral("Package");
        t.records = QStringLiteral("records");
        t.version = QStringLiteral("version");
        t.start = QStringLiteral("Start");
        t.stop = QStringLiteral("Stop");
        t.saveLog = QStringLiteral("Save log");
        t.port = QStringLiteral("Port");
        t.family = QStringLiteral("Family");
        t.before = QStringLiteral("Before");
        t.after = QStringLiteral("After");
        t.progress = QStringLiteral("Progress");
        t.outcome = QStringLiteral("Outcome");
        t.waiting = QStringLiteral("Waiting for controllers…");
        t.logFailed = QStringLiteral("The log cannot be written: no new unit is taken.");
        t.catalogue = QStringLiteral("Catalogue");
        t.cataloguePlaceholder = QStringLiteral("URL or folder (used instead of the package when filled)");
        t.verify = QStringLiteral("Verify (read the image back)");
        t.source = QStringLiteral("Package / catalogue");
        t.catalogueRefused = QStringLiteral("No catalogue was accepted: the station did not start.");
    }
    return t;
}

QString StationTexts::Outcome(UnitOutcome outcome) const
{
    switch (outcome) {
    case UnitOutcome::Running: return m_Chinese ? QStringLiteral("进行中") : QStringLiteral("Running");
    case UnitOutcome::Updated: return m_Chinese ? QStringLiteral("已更新") : QStringLiteral("Updated");
    case UnitOutcome::UpToDate: return m_Chinese ? QStringLiteral("已是最新") : QStringLiteral("Up to date");
    case UnitOutcome::Failed: return m_Chinese ? QStringLiteral("失败") : QStringLiteral("Failed");
    case UnitOutcome::Refused: return m_Chinese ? QStringLiteral("已拒绝") : QStringLiteral("Refused");
    }
    return {};
}

QString StationTexts::Counters(const StationCounters& c) const
{
    return QStringLiteral("%1 %2   %3 %4   %5 %6   %7 %8   %9 %10")
        .arg(Outcome(UnitOutcome::Updated)).arg(c.updated)
        .arg(Outcome(UnitOutcome::UpToDate)).arg(c.upToDate)
        .arg(Outcome(UnitOutcome::Failed)).arg(c.failed)
        .arg(Outcome(UnitOutcome::Refused)).arg(c.refused)
        .arg(Outcome(UnitOutcome::Running)).arg(c.running);
}
