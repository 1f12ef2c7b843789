#pragma once
// Shared by the block-protocol tests: a trace of requests, polls and pauses
// in the order they happen, and package fixtures.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/test_paths.h"
#include "base/clock.h"
#include "block/block_frame.h"
#include "text/wformat.h"
#include "hid/hid_backend.h"
#include "package/package_writer.h"
#include "sim/fake_clock.h"
#include "sim/forwarding_backend.h"
#include "support/headless_view.h"
#include "support/session_fixture.h"
#include "sim/sim_block_controller.h"
#include "sim/virtual_hid_bus.h"

class BlockTrace {
public:
    void Add(std::string event)
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Events.push_back(std::move(event));
    }
    std::vector<std::string> Events() const
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        return m_Events;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Events.clear();
    }

private:
    mutable std::mutex m_Mutex;
    std::vector<std::string> m_Events;
};

// Logs "send <command>" for every report written and "poll" for every read
// that waits (reads that do not wait only take what is already queued).
class TracingBackend final : public ForwardingBackend {
public:
    TracingBackend(IHidBackend& inner, BlockTrace& trace) : ForwardingBackend(inner), m_Trace(trace) {}
    bool Write(HidHandle h, const std::uint8_t* report) override
    {
        m_Trace.Add("send " + std::to_string(report[2] | report[3] << 8));
        return ForwardingBackend::Write(h, report);
    }
    HidReadStatus Read(HidHandle h, std::uint8_t* report, std::uint32_t timeoutMs) override
    {
        if (timeoutMs > 0)
            m_Trace.Add("poll");
        return ForwardingBackend::Read(h, report, timeoutMs);
    }

private:
    BlockTrace& m_Trace;
};

// Logs "sleep <ms>" for every pause; time itself is the fake clock's.
class TracingClock final : public IClock {
public:
    TracingClock(FakeClock& inner, BlockTrace& trace) : m_Inner(inner), m_Trace(trace) {}
    std::uint64_t NowMs() override { return m_Inner.NowMs(); }
    bool SleepMs(std::uint32_t ms, const StopSignal& stop) override
    {
        m_Trace.Add("sleep " + std::to_string(ms));
        return m_Inner.SleepMs(ms, stop);
    }
    std::unique_ptr<IClockWait> MakeWait() override { return m_Inner.MakeWait(); }

private:
    FakeClock& m_Inner;
    BlockTrace& m_Trace;
};

// `times` copies of events, in order.
inline std::vector<std::string> Repeat(int times, const std::vector<std::string>& events)
{
    std::vector<std::string> out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), events.begin(), events.end());
    return out;
}

inline std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A path in the test directory, unique to the running test.
inline std::u16string BlockTestPath(const char* suffix) { return TestFilePath(suffix, ""); }

inline constexpr std::uint32_t kPollMs = 10;

// A session whose link is open to one block device, with traced requests.
class BlockLinkFixture : public SessionFixture {
protected:

    // Opens the link as an update has it: 10 ms reads. model null: a device
    // that never answers.
    void Open(std::shared_ptr<ISimDeviceModel> model)
    {
        auto config = MakeSimBlockDevice(nullptr);
        config.model = std::move(model);
        deviceId = bus.Plug(config);
        OpenSession(&tracing, &tracingClock);
        session->HidLink.SetReadTimeout(kPollMs);
        trace.Clear();
        start = clock.NowMs();
    }
    void OpenSim(SimBlockConfig config = {})
    {
        device = std::make_shared<SimBlockController>(config);
        Open(device);
    }
    // An answer that becomes readable 1 ms after now (after the request).
    void QueueAnswer(BlockCommand command, std::uint32_t delayMs = 1)
    {
        HidReport report{};
        const auto ack = MakeBlockAck(BlockCode(command));
        std::copy(ack.begin(), ack.end(), report.begin() + 1);
        bus.InjectInput(deviceId, report, delayMs);
    }
    // Every poll waited its whole time-out and every pause its length.
    std::uint64_t ExpectedElapsed(const std::vector<std::string>& events) const
    {
        std::uint64_t ms = 0;
        for (const std::string& e : events)
            if (e == "poll")
                ms += kPollMs;
            else if (e.rfind("sleep ", 0) == 0)
                ms += std::stoul(e.substr(6));
        return ms;
    }
    std::vector<HidReport> Sent() const { return bus.OutputLog(deviceId); }

    BlockTrace trace;
    TracingBackend tracing{bus, trace};
    TracingClock tracingClock{clock, trace};
    std::shared_ptr<SimBlockController> device;
    VirtualHidBus::DeviceId deviceId = 0;
    std::uint64_t start = 0;
};
