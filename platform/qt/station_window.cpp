#include "platform/qt/station_window.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <filesystem>

#include "base/utf.h"
#include "cli/package_precheck.h"
#include "platform/qt/thread_handoff.h"
#include "station/station_package.h"
#include "station/unit_line.h"

namespace {

constexpr int kSourceWidth = 240;  // px

QString Text(const std::string& text) { return QString::fromStdString(text); }

QStyle::StandardPixmap OutcomeIcon(UnitOutcome outcome)
{
    switch (outcome) {
    case UnitOutcome::Updated: return QStyle::SP_DialogApplyButton;
    case UnitOutcome::UpToDate: return QStyle::SP_MessageBoxInformation;
    case UnitOutcome::Failed: return QStyle::SP_MessageBoxCritical;
    case UnitOutcome::Refused: return QStyle::SP_MessageBoxWarning;
    case UnitOutcome::Running: break;
    }
    return QStyle::SP_BrowserReload;
}

QString PackageLine(const StationTexts& t, const std::u16string& path, const StationPackage& package)
{
    QString line = t.package + ": " + QString::fromStdU16String(path);
    if (!package.usable)
        return line + " — " + Text(package.problem);
    const InspectedRecord& first = package.records.front();
    return line + QStringLiteral("   %1 %2   %3 %4")
                      .arg(t.version, Text(UnitVersionText(first.header.desVersion, true)))
                      .arg(package.records.size())
                      .arg(t.records);
}

// The field's catalogue: a URL, a file, or a folder holding catalogue.json.
std::string CatalogueLocation(const QString& field)
{
    const QString text = field.trimmed();
    if (!text.isEmpty() && QFileInfo(text).isDir())
        return QDir(text).filePath(QStringLiteral("catalogue.json")).toStdString();
    return text.toStdString();
}

UnitTrace LooseTrace(const StationWindowSetup& setup)
{
    UnitTrace trace;
    trace.packageFile = Utf16ToUtf8(std::filesystem::path(setup.package).filename().u16string());
    if (setup.services != nullptr)
        trace.packageSha256 = PackageSha256(*setup.services, Utf16ToUtf8(setup.package));
    return trace;
}

}  // namespace

QColor StationWindow::OutcomeColour(UnitOutcome outcome)
{
    switch (outcome) {
    case UnitOutcome::Updated: return QColor(0xC8, 0xF0, 0xC8);   // green
    case UnitOutcome::UpToDate: return QColor(0xD0, 0xE4, 0xF8);  // blue
    case UnitOutcome::Failed: return QColor(0xF8, 0xC8, 0xC8);    // red
    case UnitOutcome::Refused: return QColor(0xF8, 0xE8, 0xB8);   // amber
    case UnitOutcome::Running: break;
    }
    return QColor(Qt::white);
}

StationWindow::StationWindow(StationWindowSetup setup, QWidget* parent)
    : QWidget(parent),
      m_Setup(std::move(setup)),
      m_Texts(StationTexts::For(m_Setup.chinese)),
      m_Out([this](const std::string& line) {
          PostQueued(this, &m_Handoff, [this, text = Text(line)] { ShowLine(text); });
      })
{
    setWindowTitle(m_Texts.title);
    const StationPackage package = CheckStationPackage(m_Setup.package);
    m_PackageUsable = package.usable;
    if (m_PackageUsable)
        m_PackageTrace = LooseTrace(m_Setup);
    m_Package = new QLabel(PackageLine(m_Texts, m_Setup.package, package));
    m_CatalogueField = new QLineEdit(Text(m_Setup.catalogue.catalogue));
    m_CatalogueField->setPlaceholderText(m_Texts.cataloguePlaceholder);
    m_CatalogueField->setEnabled(m_Setup.services != nullptr);
    m_Verify = new QCheckBox(m_Texts.verify);
    m_Verify->setChecked(m_Setup.verify);
    m_Table = new QTableWidget(0, kColumns);
    m_Table->setHorizontalHeaderLabels({m_Texts.port, m_Texts.family, m_Texts.before, m_Texts.after,
                                        m_Texts.progress, m_Texts.outcome, m_Texts.source});
    m_Table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // A trace holds a SHA-256: shown in part, whole in its tooltip.
    m_Table->horizontalHeader()->setSectionResizeMode(kSource, QHeaderView::Interactive);
    m_Table->setColumnWidth(kSource, kSourceWidth);
    m_Table->verticalHeader()->hide();
    m_Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_Counters = new QLabel(m_Texts.Counters({}));
    m_Switch = new QPushButton(m_Texts.start);
    auto* save = new QPushButton(m_Texts.saveLog);
    m_Log = new QPlainTextEdit;
    m_Log->setReadOnly(true);
    m_Log->setMaximumBlockCount(100'000);

    auto* controls = new QHBoxLayout;
    controls->addWidget(m_Counters, 1);
    controls->addWidget(m_Switch);
    controls->addWidget(save);
    auto* source = new QHBoxLayout;
    source->addWidget(new QLabel(m_Texts.catalogue + ":"));
    source->addWidget(m_CatalogueField, 1);
    source->addWidget(m_Verify);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_Package);
    layout->addLayout(source);
    layout->addWidget(m_Table, 3);
    layout->addLayout(controls);
    layout->addWidget(m_Log, 1);
    resize(900, 560);
    Lock(false);

    connect(m_CatalogueField, &QLineEdit::textChanged, this, [this] { Lock(false); });
    connect(m_Switch, &QPushButton::clicked, this, [this] { Running() ? Stop() : Start(); });
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, m_Texts.saveLog, QString(), "*.log");
        if (!path.isEmpty())
            SaveLog(path);
    });
}

StationWindow::~StationWindow()
{
    if (!m_Station)
        return;
    Stop();
    m_Thread.join();
    m_Watching.reset();
}

void StationWindow::Start()
{
    const std::string catalogue = CatalogueLocation(m_CatalogueField->text());
    if (m_Station || (catalogue.empty() && !m_PackageUsable) || (!catalogue.empty() && !m_Setup.services))
        return;
    StationSettings settings(m_Setup.package, 0);
    settings.verify = m_Verify->isChecked();
    if (catalogue.empty()) {
        settings.packageTrace = m_PackageTrace;
    } else {
        CliOptions options = m_Setup.catalogue;
        options.catalogue = catalogue;
        m_Catalogue = std::make_unique<StationCatalogue>(*m_Setup.services, options, *m_Setup.clock, m_Out);
        settings.packages = m_Catalogue.get();
    }
    IStationEvents& events = *this;
    m_Station = std::make_unique<Station>(*m_Setup.backend, *m_Setup.clock, m_Setup.describe, events, nullptr,
                                          settings);
    Station& station = *m_Station;
    if (m_Setup.watch)
        m_Watching = m_Setup.watch([&station] { station.NoteDeviceChange(); });
    Lock(true);
    m_Thread = std::thread([this] { RunStation(); });
}

void StationWindow::RunStation()
{
    int code = 0;
    if (m_Catalogue && !m_Catalogue->Load(code)) {
        PostQueued(this, &m_Handoff, [this] { ShowEnded(std::nullopt); });
        return;
    }
    PostQueued(this, &m_Handoff, [this] { ShowLine(m_Texts.waiting); });
    const StationEnd end = m_Station->Run();
    PostQueued(this, &m_Handoff, [this, end] { ShowEnded(end); });
}

void StationWindow::Stop()
{
    if (m_Station)
        m_Station->RequestStop();
    if (m_Catalogue)
        m_Catalogue->Stop();
}

void StationWindow::ShowEnded(std::optional<StationEnd> end)
{
    m_Thread.join();
    m_Watching.reset();
    m_Station.reset();
    m_Catalogue.reset();
    Lock(false);
    if (!end)
        ShowLine(m_Texts.catalogueRefused);
    else if (*end == StationEnd::LogFailed)
        ShowLine(m_Texts.logFailed);
}

void StationWindow::ShowLine(const QString& line) { m_Log->appendPlainText(line); }

// The source and the verify switch stay as they are while a station runs.
void StationWindow::Lock(bool running)
{
    m_Switch->setText(running ? m_Texts.stop : m_Texts.start);
    m_Switch->setEnabled(running || m_PackageUsable || !m_CatalogueField->text().trimmed().isEmpty());
    m_CatalogueField->setReadOnly(running);
    m_Verify->setEnabled(!running);
}

bool StationWindow::SaveLog(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    const QByteArray text = m_Log->toPlainText().toUtf8() + '\n';
    return file.write(text) == text.size() && file.flush();
}

void StationWindow::UnitTaken(const UnitRecord& record)
{
    PostQueued(this, &m_Handoff, [this, record] { ShowTaken(record); });
}

void StationWindow::UnitProgress(int id, int percent)
{
    PostQueued(this, &m_Handoff, [this, id, percent] {
        auto row = m_Rows.find(id);
        if (row != m_Rows.end())
            static_cast<QProgressBar*>(m_Table->cellWidget(row->second, kProgress))->setValue(percent);
    });
}

void StationWindow::UnitFinished(const UnitRecord& record, const StationCounters& counters)
{
    PostQueued(this, &m_Handoff, [this, record, counters] { ShowFinished(record, counters); });
}

void StationWindow::ShowTaken(const UnitRecord& record)
{
    const int row = m_Table->rowCount();
    m_Table->insertRow(row);
    m_Rows[record.id] = row;
    const UnitIdentity& id = record.unit.identity;
    m_Table->setItem(row, kPort, new QTableWidgetItem(Text(id.port + (id.serial.empty() ? "" : "  " + id.serial))));
    m_Table->setItem(row, kFamily, new QTableWidgetItem(QString::fromStdString(UnitFamily(record.unit))));
    m_Table->setItem(row, kBefore, new QTableWidgetItem);
    m_Table->setItem(row, kAfter, new QTableWidgetItem);
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    bar->setValue(0);
    m_Table->setCellWidget(row, kProgress, bar);
    m_Table->setItem(row, kOutcome, new QTableWidgetItem);
    m_Table->setItem(row, kSource, new QTableWidgetItem);
    SetOutcome(row, UnitOutcome::Running);
    ++m_Shown.running;
    m_Counters->setText(m_Texts.Counters(m_Shown));
}

void StationWindow::ShowFinished(const UnitRecord& record, const StationCounters& counters)
{
    auto found = m_Rows.find(record.id);
    if (found == m_Rows.end())
        return;
    const int row = found->second;
    m_Table->item(row, kBefore)->setText(Text(UnitVersionText(record.versionBefore, record.versionKnown)));
    m_Table->item(row, kAfter)->setText(Text(UnitVersionText(record.versionAfter, record.versionKnown)));
    if (record.outcome == UnitOutcome::Updated)
        static_cast<QProgressBar*>(m_Table->cellWidget(row, kProgress))->setValue(100);
    const QString trace = Text(UnitTraceText(record.trace));
    m_Table->item(row, kSource)->setText(trace);
    m_Table->item(row, kSource)->setToolTip(trace);
    SetOutcome(row, record.outcome);
    if (record.outcome == UnitOutcome::Failed || record.outcome == UnitOutcome::Refused)
        m_Table->item(row, kOutcome)->setToolTip(Text(UnitMessage(record)));
    m_Shown = counters;
    m_Counters->setText(m_Texts.Counters(counters));
    const std::string time = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    m_Log->appendPlainText(Text(UnitLine(record, time)));
    if (m_Setup.unitEnded)
        m_Setup.unitEnded(record);
}

void StationWindow::SetOutcome(int row, UnitOutcome outcome)
{
    QTableWidgetItem* item = m_Table->item(row, kOutcome);
    item->setText(m_Texts.Outcome(outcome));
    item->setIcon(style()->standardIcon(OutcomeIcon(outcome)));
    for (int column = 0; column < kColumns; ++column)
        if (QTableWidgetItem* cell = m_Table->item(row, column))
            cell->setBackground(OutcomeColour(outcome));
}
