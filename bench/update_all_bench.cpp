// `update --all` on 8 simulated controllers of both families against the
// slowest single update, through the command line's own code path. Every
// answer is paced like a full-speed interrupt endpoint on the real clock:
// readable 1 ms after it is made, at the next frame. The controllers share
// nothing but the bus, so the figure shows what the parallel updates cost
// each other; 1.0 is the ideal.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/utf.h"
#include "cli/event_output.h"
#include "cli/sim_fleet.h"
#include "cli/update_runner.h"
#include "package/package_writer.h"

namespace {

constexpr std::uint32_t kFrameMs = 1;
constexpr int kControllers = 8;

struct Timed {
    double ms = 0;
    int code = 0;
};

Timed TimeUpdate(const std::vector<SimulatedController>& controllers, const std::string& package, std::FILE* sink)
{
    SimFleet fleet(SystemClock::Instance(), controllers, kFrameMs);
    EventOutput out(false, false, sink, sink);
    const UpdateRequest request{package, true, false, std::nullopt};
    const auto start = std::chrono::steady_clock::now();
    const int code = RunUpdateCommand(
        fleet.Backend(), SystemClock::Instance(), [&](const std::u16string& path) { return fleet.Identity(path); },
        request, "", controllers.size() > 1, out);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return {took.count(), code};
}

const char* Name(DemoKind kind) { return kind == DemoKind::Stream ? "stream" : "block"; }

}  // namespace

int main()
{
    // One package with a record for each family, as the demo block package has.
    const std::string package = (std::filesystem::temp_directory_path() / "bench_all.dat").string();
    if (!WritePackageFile(Utf8ToUtf16(package), DemoBlockPackage())) {
        std::fprintf(stderr, "update_all_bench: cannot write %s\n", package.c_str());
        return 1;
    }
    std::FILE* sink = std::fopen("/dev/null", "w");
    if (!sink)
        return 1;

    std::printf("| run                        | time       | exit |\n");
    std::printf("|----------------------------|------------|------|\n");
    double slowest = 0;
    bool ok = true;
    for (DemoKind kind : {DemoKind::Stream, DemoKind::Block}) {
        const Timed single = TimeUpdate({{kind, ""}}, package, sink);
        std::printf("| one %-6s controller      | %7.0f ms | %4d |\n", Name(kind), single.ms, single.code);
        slowest = std::max(slowest, single.ms);
        ok = ok && single.code == 0;
    }
    std::vector<SimulatedController> fleet;
    for (int i = 0; i < kControllers; ++i)
        fleet.push_back({i % 2 == 0 ? DemoKind::Stream : DemoKind::Block, ""});
    const Timed all = TimeUpdate(fleet, package, sink);
    std::printf("| --all, %d mixed controllers | %7.0f ms | %4d |\n", kControllers, all.ms, all.code);
    ok = ok && all.code == 0;
    std::fclose(sink);
    std::filesystem::remove(package);

    std::printf("\n--all / slowest single: %.2f (target at most 1.30)%s\n", all.ms / slowest,
                ok ? "" : "  -- an update FAILED, the figure means nothing");
    return ok ? 0 : 1;
}
