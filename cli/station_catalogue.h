#pragma once
// The station's packages from a catalogue: each unit gets the newest
// package whose binding covers it (or --version's), downloaded once per
// package and checked as update --catalogue checks it. The catalogue is
// fetched again (from --catalogue and each --mirror) while the station
// waits, and a newer one accepted by the same trust and memory rules is
// used from the next unit on; a refused one leaves the current one in use
// and is said once.
//
// Threads: Load, Refresh and the reports on the station thread (Load
// before it runs); PackageFor on units' threads; Stop from any thread.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "base/clock.h"
#include "cli/catalogue_load.h"
#include "station/unit_packages.h"

inline constexpr std::uint32_t kDefaultCatalogueRefreshS = 600;

class StationCatalogue final : public IUnitPackages {
public:
    // Writes its reports through print, which takes a function that writes.
    using Printer = std::function<void(const std::function<void()>& write)>;

    StationCatalogue(const CatalogueServices& services, const CliOptions& options, IClock& clock, EventOutput& out);
    ~StationCatalogue() override;
    StationCatalogue(const StationCatalogue&) = delete;
    StationCatalogue& operator=(const StationCatalogue&) = delete;

    // The first catalogue, reported as check reports it; false with the
    // exit code after a refusal.
    bool Load(int& code);
    // "pads version 7, signed by key ..." (after Load).
    std::string Describe() const;
    void SetPrinter(Printer print) { m_Print = std::move(print); }
    // Ends fetches and downloads at once; later ones are refused.
    void Stop() { m_Stop.Request(); }

    UnitPackage PackageFor(const BoundController& controller, const StopSignal& stop) override;
    void Refresh(bool unitWaiting) override;

private:
    // One package, downloaded by the first unit that needs it.
    struct Download {
        std::mutex mutex;
        std::string path;  // set once checked
    };

    std::shared_ptr<const AcceptedCatalogue> Current() const;
    // The catalogue in use has expired (and --offline was not given).
    bool Expired(const AcceptedCatalogue& current) const;
    void Fetch();
    void Say(const std::string& line, const nlohmann::json& event);
    // Says a refusal of a newer catalogue once per cause.
    void SayRefusedOnce(const std::string& cause, const std::string& reason);
    PackageDownload Downloaded(const AcceptedCatalogue& current, const CatalogueEntry& entry, const StopSignal& stop);

    const CatalogueServices m_Services;
    const CliOptions m_Options;
    IClock& m_Clock;
    EventOutput& m_Out;
    Printer m_Print;
    StopSignal m_Stop;
    std::filesystem::path m_Folder;  // the downloads; removed with the station

    mutable std::mutex m_Mutex;
    std::shared_ptr<const AcceptedCatalogue> m_Current;  // guarded by m_Mutex
    std::map<std::string, std::shared_ptr<Download>> m_Downloads;  // by SHA-256; guarded by m_Mutex

    // Station thread only.
    std::uint64_t m_FetchedMs = 0;
    bool m_FetchFailed = false;
    bool m_ExpiredSaid = false;
    std::set<std::string> m_Said;  // refusal causes already said
};
