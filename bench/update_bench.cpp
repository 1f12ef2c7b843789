// Whole updates against the simulated controllers, for figures rather than
// verdicts:
//  1. answers at once, 1 MiB image: host time per request/answer exchange;
//  2. answers paced like USB full-speed interrupt endpoints (a report is
//     taken at the next 1 ms frame; an answer is readable at the frame after
//     it was made), 64 KiB image: update time over the frame limit of the
//     same exchanges plus the pauses the protocol mandates.
#include <chrono>
#include <cstdio>

#include "bench/bench_session.h"
#include "sim/forwarding_backend.h"

namespace {

// Counts the output reports of an update.
class CountingBackend : public ForwardingBackend {
public:
    using ForwardingBackend::ForwardingBackend;
    bool Write(HidHandle handle, const std::uint8_t* report) override
    {
        ++writes;
        return ForwardingBackend::Write(handle, report);
    }
    std::uint64_t writes = 0;
};

// Frame pacing on the fake clock.
class PacedBackend final : public CountingBackend {
public:
    PacedBackend(IHidBackend& inner, FakeClock& clock) : CountingBackend(inner), m_Clock(clock) {}
    bool Write(HidHandle handle, const std::uint8_t* report) override
    {
        m_Clock.Advance(1);
        m_LastWrite = m_Clock.NowMs();
        return CountingBackend::Write(handle, report);
    }
    HidReadStatus Read(HidHandle handle, std::uint8_t* report, std::uint32_t timeoutMs) override
    {
        if (m_Clock.NowMs() == m_LastWrite)
            m_Clock.Advance(1);
        return ForwardingBackend::Read(handle, report, timeoutMs);
    }

private:
    FakeClock& m_Clock;
    std::uint64_t m_LastWrite = 0;
};

const char* Name(BenchFamily family) { return family == BenchFamily::Stream ? "stream" : "block"; }

void ImmediateAnswers(BenchFamily family)
{
    FakeClock clock;
    VirtualHidBus bus(clock);
    PlugBenchController(bus, family);
    CountingBackend backend(bus);
    const auto package = WriteBenchPackage(family, 1 << 20);
    const auto start = std::chrono::steady_clock::now();
    const bool ok = RunBenchUpdate(backend, clock, package);
    const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
    std::printf("| %-6s | at once, 1 MiB  | %8llu | %10.1f ms | %6.2f us/exchange | %s |\n",
                Name(family), static_cast<unsigned long long>(backend.writes), took.count() / 1000,
                took.count() / static_cast<double>(backend.writes), ok ? "ok" : "FAILED");
}

void FramePaced(BenchFamily family)
{
    FakeClock clock;
    VirtualHidBus bus(clock);
    PlugBenchController(bus, family);
    PacedBackend backend(bus, clock);
    const auto package = WriteBenchPackage(family, 64 << 10);
    const std::uint64_t start = clock.NowMs();
    const bool ok = RunBenchUpdate(backend, clock, package);
    const std::uint64_t took = clock.NowMs() - start;
    std::uint64_t pauses = 0;
    for (std::uint32_t ms : clock.Sleeps())
        pauses += ms;
    // Each exchange needs two frames at least: the request's and the answer's.
    const std::uint64_t limit = 2 * backend.writes + pauses;
    std::printf("| %-6s | paced, 64 KiB   | %8llu | %10llu ms | ratio %.4f (limit %llu ms) | %s |\n",
                Name(family), static_cast<unsigned long long>(backend.writes),
                static_cast<unsigned long long>(took), static_cast<double>(took) / limit,
                static_cast<unsigned long long>(limit), ok ? "ok" : "FAILED");
}

}  // namespace

int main()
{
    std::printf("| family | answers         | reports  | update time   | figure |    |\n");
    std::printf("|--------|-----------------|----------|---------------|--------|----|\n");
    for (BenchFamily family : {BenchFamily::Stream, BenchFamily::Block})
        ImmediateAnswers(family);
    for (BenchFamily family : {BenchFamily::Stream, BenchFamily::Block})
        FramePaced(family);
    return 0;
}
