#pragma once
// The station window (controller-updater-qt --station): the package, a
// catalogue field used instead of it when filled and a verify switch, one
// table row per unit seen (port, family, version before and after, progress,
// outcome with a colour and an icon, the package and catalogue it got), the
// counters, a start and stop switch and a log pane that can be saved. The
// station logic is station/'s and the catalogue the command line's
// (cli/station_catalogue.h); this only shows them.
//
// Threads: the window on the UI thread; the station runs on a thread of
// its own and its events come back to the UI thread queued.
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "base/clock.h"
#include "cli/cli_options.h"
#include "cli/station_catalogue.h"
#include "hid/hid_backend.h"
#include "platform/qt/station_texts.h"
#include "station/station.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

struct StationWindowSetup {
    IHidBackend* backend = nullptr;
    IClock* clock = nullptr;
    UnitDescriber describe;
    // Calls onChange (any thread) on device changes until the result is released.
    std::function<std::shared_ptr<void>(std::function<void()> onChange)> watch;
    std::u16string package;
    // The catalogue's backends (null: no catalogue, no package SHA-256) and
    // options as the console station takes them; options.catalogue and
    // verify fill the window's field and switch.
    const CatalogueServices* services = nullptr;
    CliOptions catalogue;
    bool verify = false;
    bool chinese = false;
    // After each unit, on the UI thread (a simulated fleet re-enumerates).
    std::function<void(const UnitRecord&)> unitEnded;
};

class StationWindow final : public QWidget, private IStationEvents {
public:
    enum Column { kPort, kFamily, kBefore, kAfter, kProgress, kOutcome, kSource, kColumns };

    explicit StationWindow(StationWindowSetup setup, QWidget* parent = nullptr);
    ~StationWindow() override;

    void Start();
    void Stop();
    bool Running() const { return m_Station != nullptr; }
    bool SaveLog(const QString& path) const;
    static QColor OutcomeColour(UnitOutcome outcome);

    QTableWidget* Table() const { return m_Table; }
    QLabel* CountersLabel() const { return m_Counters; }
    QPlainTextEdit* LogPane() const { return m_Log; }
    QLineEdit* CatalogueField() const { return m_CatalogueField; }
    QCheckBox* VerifySwitch() const { return m_Verify; }

private:
    void UnitTaken(const UnitRecord& record) override;
    void UnitProgress(int id, int percent) override;
    void UnitFinished(const UnitRecord& record, const StationCounters& counters) override;

    void ShowTaken(const UnitRecord& record);
    void ShowFinished(const UnitRecord& record, const StationCounters& counters);
    // The station's thread: the catalogue loaded first when there is one.
    void RunStation();
    void ShowEnded(std::optional<StationEnd> end);
    void ShowLine(const QString& line);
    void Lock(bool running);
    void SetOutcome(int row, UnitOutcome outcome);

    StationWindowSetup m_Setup;
    StationTexts m_Texts;
    bool m_PackageUsable = false;
    UnitTrace m_PackageTrace;
    QLabel* m_Package = nullptr;
    QLineEdit* m_CatalogueField = nullptr;
    QCheckBox* m_Verify = nullptr;
    QTableWidget* m_Table = nullptr;
    QLabel* m_Counters = nullptr;
    QPushButton* m_Switch = nullptr;
    QPlainTextEdit* m_Log = nullptr;
    std::map<int, int> m_Rows;  // unit id -> table row
    StationCounters m_Shown;
    EventOutput m_Out;  // the catalogue's reports, to the log pane
    std::unique_ptr<StationCatalogue> m_Catalogue;  // while a station runs from one
    std::unique_ptr<Station> m_Station;
    std::shared_ptr<void> m_Watching;
    std::thread m_Thread;
    char m_Handoff = 0;  // names the hand-over between threads for the race checker
};
