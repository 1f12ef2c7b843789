// Fuzz target: input reports of a stream controller through the host's read
// cycle and dispatch, as the update worker runs them. Frames may claim more
// bytes than a report holds, so they reach across report boundaries. Checks:
// nothing reads past a report, at most one outcome is shown, and success
// only after this update sent the whole image.
//
// Input: a configuration byte (bits 0-1 the stream phase the driver starts
// in), then the input reports, 64 bytes each (a short last one zero-padded).
#include <algorithm>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_session.h"
#include "sim/sim_stream_controller.h"
#include "stream/stream_driver.h"

namespace {

constexpr std::size_t kPayload = 64;

PackageRecordSpec Record()
{
    PackageRecordSpec record;
    record.header.desVersion = 150;
    record.header.imageAddress = 0x08004000;
    record.image = MakeDemoImage(100, 3);
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const std::u16string path = FuzzPackage("stream_input", Record());
    // A silent controller: everything it says comes from the input.
    auto owned = std::make_unique<StreamDriver>(static_cast<StreamPhase>(data[0] & 3u));
    StreamDriver& driver = *owned;
    ProtocolDrivers drivers;
    drivers.push_back(std::move(owned));
    FuzzRig rig(MakeSimStreamDevice(nullptr), std::move(drivers));
    rig.ui.packagePath = path;
    UpdateSession& session = *rig.session;
    session.HidLink.ProbeHid();
    if (!session.PrepareUpdate())
        return 0;
    for (std::size_t at = 1; at < size && !driver.ReadLoopEnded(); at += kPayload) {
        const std::size_t n = std::min(kPayload, size - at);
        // Exact-size copy first, so the fuzzer sees reads past its input.
        std::unique_ptr<std::uint8_t[]> piece(new std::uint8_t[n]);
        std::memcpy(piece.get(), data + at, n);
        HidReport report{};
        std::memcpy(report.data() + 1, piece.get(), n);
        rig.bus.InjectInput(1, report);
        driver.ReadCycle(session);
    }
    FUZZ_CHECK(rig.ui.successes + rig.ui.failures <= 1);
    if (rig.ui.successes > 0)
        FUZZ_CHECK(driver.ImageSent());
    return 0;
}
