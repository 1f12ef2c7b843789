#include "fuzz/sim_harness.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_check.h"

SimHarness::SimHarness(SimDeviceConfig device)
{
    const std::u16string path = device.path;
    m_Bus.Plug(std::move(device), {});
    m_Writer = m_Bus.Open(path, HidOpenMode::WriteOverlapped);
    m_Reader = m_Bus.Open(path, HidOpenMode::ReadOverlapped);
    FUZZ_CHECK(m_Writer != kInvalidHidHandle && m_Reader != kInvalidHidHandle);
}

SimHarness::~SimHarness()
{
    m_Bus.Close(m_Reader);
    m_Bus.Close(m_Writer);
}

bool SimHarness::Write(const std::uint8_t* payload, std::size_t count)
{
    auto report = std::make_unique<std::uint8_t[]>(kHidReportBytes);  // zeroed
    std::memcpy(report.get() + 1, payload, std::min(count, kHidReportBytes - 1));
    return m_Bus.Write(m_Writer, report.get());
}

std::vector<HidReport> SimHarness::Answers(std::uint32_t elapseMs)
{
    m_Clock.Advance(elapseMs);
    std::vector<HidReport> answers;
    HidReport report{};
    while (m_Bus.Read(m_Reader, report.data(), 0) == HidReadStatus::Report)
        answers.push_back(report);
    return answers;
}

void ForEachReport(const std::uint8_t* data, std::size_t size,
                   const std::function<bool(const std::uint8_t* payload, std::size_t count)>& write)
{
    for (std::size_t at = kSimConfigBytes; at < size; at += kSimReportPayloadBytes) {
        const std::size_t count = std::min(kSimReportPayloadBytes, size - at);
        auto payload = std::make_unique<std::uint8_t[]>(count);
        std::memcpy(payload.get(), data + at, count);
        if (!write(payload.get(), count))
            return;
    }
}
