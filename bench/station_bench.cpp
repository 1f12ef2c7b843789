// Station mode on simulated controllers whose answers are paced like a
// full-speed interrupt endpoint (readable 1 ms after they are made):
//  - the fleet's wall time against the slowest single update plus the
//    spread of the plug-ins (1.0 is the ideal; target at most 1.1);
//  - the CPU the station uses while it waits with nothing plugged in;
//  - the same fleet fed by a catalogue (each unit its family's package);
//  - the time from a unit's plug-in to its first progress report;
//  - the memory each unit being updated costs.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/utf.h"
#include "catalogue/catalogue_maker.h"
#include "cli/sim_station_fleet.h"
#include "cli/station_catalogue.h"
#include "cli/wall_clock.h"
#include "platform/gcrypt/gcrypt_verifier.h"
#include "protocols/package_inspection.h"
#include "package/package_writer.h"
#include "station/station.h"

namespace {

constexpr std::uint32_t kFrameMs = 1;
constexpr int kFleet = 32;
constexpr std::uint64_t kSpreadMs = 10'000;
constexpr auto kIdle = std::chrono::seconds(3);

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Resident memory of this process, in KiB.
long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key)
        if (key == "VmRSS:" && status >> value)
            return value;
    return 0;
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A station on its own thread that counts the units that ended.
class Bench final : public IStationEvents {
public:
    explicit Bench(const std::u16string& package, IUnitPackages* packages = nullptr)
        : fleet(SystemClock::Instance(), kFrameMs),
          station(fleet.Backend(), SystemClock::Instance(), fleet.Describer(), *this, nullptr,
                  Settings(package, packages))
    {
        fleet.OnChange([this] { station.NoteDeviceChange(); });
        m_Thread = std::thread([this] { station.Run(); });
    }
    ~Bench() override
    {
        fleet.OnChange(nullptr);
        station.RequestStop();
        m_Thread.join();
    }
    void WaitFor(int units)
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        m_Changed.wait(lock, [&] { return m_Ended >= units; });
    }
    int Updated()
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        return m_Updated;
    }

    static StationSettings Settings(const std::u16string& package, IUnitPackages* packages)
    {
        StationSettings settings(package, 0);
        settings.packages = packages;
        return settings;
    }
    void WaitForProgress()
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        m_Changed.wait(lock, [&] { return m_Progressed; });
    }

    void UnitTaken(const UnitRecord&) override {}
    void UnitProgress(int, int) override
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Progressed = true;
        m_Changed.notify_all();
    }
    void UnitFinished(const UnitRecord& record, const StationCounters&) override
    {
        if (record.outcome == UnitOutcome::Updated)
            fleet.ReEnumerate(record.unit.identity.port);
        std::lock_guard<std::mutex> guard(m_Mutex);
        ++m_Ended;
        m_Updated += record.outcome == UnitOutcome::Updated;
        m_Changed.notify_all();
    }

    SimStationFleet fleet;
    Station station;

private:
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    int m_Ended = 0;
    int m_Updated = 0;
    bool m_Progressed = false;
    std::thread m_Thread;
};

DemoKind KindOf(int i) { return i % 2 ? DemoKind::Block : DemoKind::Stream; }

double SingleUpdateMs(const std::u16string& package, DemoKind kind)
{
    Bench bench(package);
    const auto start = Clock::now();
    bench.fleet.Plug("1-1", {kind, ""});
    bench.WaitFor(1);
    return MsSince(start);
}

double PlugToFirstReportMs(const std::u16string& package, IUnitPackages* packages)
{
    Bench bench(package, packages);
    const auto start = Clock::now();
    bench.fleet.Plug("4-1", {DemoKind::Block, ""});
    bench.WaitForProgress();
    const double ms = MsSince(start);
    bench.WaitFor(1);
    return ms;
}

struct FleetRun {
    double ms = 0;
    double spread = 0;
    int updated = 0;
};

// The fleet: plug-ins at random moments over the spread.
FleetRun Fleet(const std::u16string& package, IUnitPackages* packages)
{
    FleetRun run;
    Bench bench(package, packages);
    std::mt19937 random(32);
    std::uniform_int_distribution<std::uint64_t> at(0, kSpreadMs);
    const std::uint64_t now = SystemClock::Instance().NowMs();
    std::vector<std::uint64_t> moments;
    for (int i = 0; i < kFleet; ++i)
        moments.push_back(at(random));
    std::sort(moments.begin(), moments.end());
    run.spread = static_cast<double>(moments.back() - moments.front());
    const auto start = Clock::now() + std::chrono::milliseconds(moments.front());
    for (int i = 0; i < kFleet; ++i) {
        const std::string port = "2-" + std::to_string(i + 1);
        const SimulatedController controller{KindOf(i), ""};
        bench.fleet.At(now + moments[static_cast<std::size_t>(i)],
                       [&bench, port, controller] { bench.fleet.Plug(port, controller); });
    }
    bench.WaitFor(kFleet);
    run.ms = MsSince(start);
    run.updated = bench.Updated();
    return run;
}

// A catalogue in dir listing each family's demo package, bound to it.
std::string WriteCatalogue(const std::filesystem::path& dir, const ISignatureVerifier& crypto)
{
    namespace fs = std::filesystem;
    fs::create_directories(dir);
    Catalogue catalogue;
    catalogue.repository = "bench";
    catalogue.version = 1;
    catalogue.published = WallClockNow();
    catalogue.expires = catalogue.published + 90 * kSecondsPerDay;
    for (DemoKind kind : {DemoKind::Stream, DemoKind::Block}) {
        const std::string name = kind == DemoKind::Stream ? "stream.dat" : "block.dat";
        const std::u16string path = (dir / name).u16string();
        WritePackageFile(path, kind == DemoKind::Stream ? DemoStreamPackage() : DemoBlockPackage());
        std::ifstream in(fs::path(path), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        bool opened = false;
        auto entry = MakeCatalogueEntry(name, bytes, InspectPackage(path, opened), crypto);
        if (!entry)
            return {};
        entry->binding = DemoBinding(kind);
        catalogue.packages.push_back(*entry);
    }
    const fs::path file = dir / "catalogue.json";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << CatalogueJson(catalogue);
    return file.string();
}

}  // namespace

int main()
{
    std::vector<PackageRecordSpec> records = DemoStreamPackage();
    for (const PackageRecordSpec& record : DemoBlockPackage())
        records.push_back(record);
    const std::string path = (std::filesystem::temp_directory_path() / "station_bench.dat").string();
    const std::u16string package = Utf8ToUtf16(path);
    if (!WritePackageFile(package, records)) {
        std::fprintf(stderr, "station_bench: cannot write %s\n", path.c_str());
        return 1;
    }
    const double stream = SingleUpdateMs(package, DemoKind::Stream);
    const double block = SingleUpdateMs(package, DemoKind::Block);
    const double slowest = std::max(stream, block);

    const FleetRun loose = Fleet(package, nullptr);
    const double firstReport = PlugToFirstReportMs(package, nullptr);

    // The same fleet fed by a catalogue on a local folder.
    const GcryptVerifier crypto;
    const std::filesystem::path site = std::filesystem::temp_directory_path() / "station_bench_site";
    CliOptions options;
    options.catalogue = WriteCatalogue(site, crypto);
    options.allowUnsigned = true;
    EventOutput quiet(false, false, stdout, stderr);
    StationCatalogue catalogue({nullptr, &crypto, nullptr}, options, SystemClock::Instance(), quiet);
    int code = 0;
    if (options.catalogue.empty() || !catalogue.Load(code)) {
        std::fprintf(stderr, "station_bench: the catalogue cannot be made\n");
        return 1;
    }
    const FleetRun listed = Fleet(package, &catalogue);
    const double firstReportListed = PlugToFirstReportMs(package, &catalogue);
    const int updated = std::min(loose.updated, listed.updated);

    // Idle: a station with nothing plugged in.
    double idleCpu = 0, idleWall = 0;
    {
        Bench bench(package);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const double cpu = CpuSeconds();
        const auto start = Clock::now();
        std::this_thread::sleep_for(kIdle);
        idleCpu = CpuSeconds() - cpu;
        idleWall = MsSince(start) / 1000.0;
    }

    // Memory: every unit of the fleet plugged in at once, the peak sampled.
    long before = 0, peak = 0;
    {
        Bench bench(package);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        before = ResidentKiB();
        for (int i = 0; i < kFleet; ++i)
            bench.fleet.Plug("3-" + std::to_string(i + 1), {KindOf(i), ""});
        std::thread sampler([&] {
            for (int i = 0; i < 40; ++i) {
                peak = std::max(peak, ResidentKiB());
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            }
        });
        bench.WaitFor(kFleet);
        sampler.join();
    }
    std::filesystem::remove(path);
    std::filesystem::remove_all(site);

    std::printf("| figure                                   | value       |\n");
    std::printf("|------------------------------------------|-------------|\n");
    std::printf("| one stream controller                    | %8.0f ms |\n", stream);
    std::printf("| one block controller                     | %8.0f ms |\n", block);
    std::printf("| %d mixed units plugged over %5.0f ms      | %8.0f ms |\n", kFleet, loose.spread, loose.ms);
    std::printf("| fleet / (slowest single + spread)        | %11.3f |\n", loose.ms / (slowest + loose.spread));
    std::printf("| the same from a catalogue                | %8.0f ms |\n", listed.ms);
    std::printf("| its fleet / (slowest single + spread)    | %11.3f |\n", listed.ms / (slowest + listed.spread));
    std::printf("| plug-in to first report (package)        | %8.0f ms |\n", firstReport);
    std::printf("| plug-in to first report (catalogue)      | %8.0f ms |\n", firstReportListed);
    std::printf("| CPU while idle (%.1f s)                    | %9.3f %% |\n", idleWall, 100.0 * idleCpu / idleWall);
    std::printf("| memory per unit being updated            | %7ld KiB |\n", (peak - before) / kFleet);
    std::printf("\ntarget: fleet ratio at most 1.10, idle CPU 0%s\n",
                updated == kFleet ? "" : "  -- a unit was not updated, the figures mean nothing");
    return updated == kFleet ? 0 : 1;
}
