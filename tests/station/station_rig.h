#pragma once
// A station on a simulated fleet, on the real clock, that records every
// event and keeps its log in memory. Updated units re-enumerate as real
// controllers do; units listed in pullMidUpdate are unplugged once during
// their transfer and plugged in again a little later.
#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "cli/sim_station_fleet.h"
#include "package/package_writer.h"
#include "station/station.h"
#include "support/test_paths.h"

// Long enough for every re-enumeration to have come back and been seen.
constexpr auto kSettle = std::chrono::milliseconds(3 * SimStationFleet::kRestartMs + 400);

// One package with a record for each family.
inline std::u16string WriteBothFamiliesPackage()
{
    std::vector<PackageRecordSpec> records = DemoStreamPackage();
    for (const PackageRecordSpec& record : DemoBlockPackage())
        records.push_back(record);
    const std::u16string path = TestFilePath("_both");
    EXPECT_TRUE(WritePackageFile(path, records));
    return path;
}

class StationRig final : public IStationEvents, public IUnitLog {
public:
    static constexpr std::uint64_t kReplugAfterMs = 300;
    static constexpr int kPullAtPercent = 30;

    explicit StationRig(int maxUnits = 0, IUnitPackages* packages = nullptr)
        : fleet(SystemClock::Instance()),
          station(fleet.Backend(), SystemClock::Instance(), fleet.Describer(), *this, this,
                  Settings(maxUnits, packages))
    {
        fleet.OnChange([this] { station.NoteDeviceChange(); });
    }
    ~StationRig() override
    {
        fleet.OnChange(nullptr);
        station.RequestStop();
        if (m_Thread.joinable())
            m_Thread.join();
    }

    static StationSettings Settings(int maxUnits, IUnitPackages* packages)
    {
        StationSettings settings(WriteBothFamiliesPackage(), maxUnits);
        settings.packages = packages;
        return settings;
    }

    void Start()
    {
        m_Thread = std::thread([this] {
            const StationEnd end = station.Run();
            std::lock_guard<std::mutex> guard(m_Mutex);
            m_End = end;
            m_Ended = true;
            m_Changed.notify_all();
        });
    }
    // Waits (bounded) until count units have ended.
    bool WaitFinished(std::size_t count, int seconds = 120)
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        return m_Changed.wait_for(lock, std::chrono::seconds(seconds),
                                  [&] { return finished.size() >= count || m_Ended; }) &&
               finished.size() >= count;
    }
    bool WaitFinishedOn(const std::string& port, int seconds = 120)
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        const auto done = [&] {
            for (const UnitRecord& record : finished)
                if (record.unit.identity.port == port)
                    return true;
            return false;
        };
        return m_Changed.wait_for(lock, std::chrono::seconds(seconds), [&] { return done() || m_Ended; }) && done();
    }
    std::optional<StationEnd> WaitEnd(int seconds = 120)
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        if (!m_Changed.wait_for(lock, std::chrono::seconds(seconds), [&] { return m_Ended; }))
            return std::nullopt;
        return m_End;
    }
    StationEnd Stop()
    {
        station.RequestStop();
        m_Thread.join();
        return m_End;
    }
    // Outcomes per port, in order.
    std::map<std::string, std::vector<UnitOutcome>> OutcomesByPort()
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        std::map<std::string, std::vector<UnitOutcome>> byPort;
        for (const UnitRecord& record : finished)
            byPort[record.unit.identity.port].push_back(record.outcome);
        return byPort;
    }

    // --- IStationEvents, IUnitLog ---
    void UnitTaken(const UnitRecord& record) override
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Ports[record.id] = record.unit.identity.port;
    }
    void UnitProgress(int id, int percent) override
    {
        std::string port;
        {
            std::lock_guard<std::mutex> guard(m_Mutex);
            port = m_Ports[id];
            if (percent < kPullAtPercent || !pullMidUpdate.count(port) || !m_Pulled.insert(port).second)
                return;
        }
        const SimulatedController again = pullMidUpdate.at(port);
        fleet.Unplug(port);
        fleet.At(SystemClock::Instance().NowMs() + kReplugAfterMs, [this, port, again] { fleet.Plug(port, again); });
    }
    void UnitFinished(const UnitRecord& record, const StationCounters& now) override
    {
        if (record.outcome == UnitOutcome::Updated)
            fleet.ReEnumerate(record.unit.identity.port);
        std::lock_guard<std::mutex> guard(m_Mutex);
        finished.push_back(record);
        counters = now;
        m_Changed.notify_all();
    }
    bool Append(const UnitRecord& record) override
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        if (failLogAfter >= 0 && static_cast<int>(log.size()) >= failLogAfter)
            return false;
        log.push_back(record);
        return true;
    }

    SimStationFleet fleet;
    Station station;
    std::map<std::string, SimulatedController> pullMidUpdate;  // set before Start
    int failLogAfter = -1;  // entries the log takes before its writes fail
    std::vector<UnitRecord> finished;  // guarded by m_Mutex once started
    std::vector<UnitRecord> log;
    StationCounters counters;

private:
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::map<int, std::string> m_Ports;
    std::set<std::string> m_Pulled;
    bool m_Ended = false;
    StationEnd m_End = StationEnd::Stopped;
    std::thread m_Thread;
};
