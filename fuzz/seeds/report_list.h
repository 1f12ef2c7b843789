#pragma once
// Builds a simulator target's input: the configuration byte, then one 64-byte
// report payload (after the report ID) per report.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/sim_input.h"

class ReportList {
public:
    explicit ReportList(std::uint8_t config) : m_Bytes{config} {}

    void Add(std::span<const std::uint8_t> payload)
    {
        std::array<std::uint8_t, kSimReportPayloadBytes> report{};
        for (std::size_t i = 0; i < payload.size() && i < report.size(); ++i)
            report[i] = payload[i];
        m_Bytes.insert(m_Bytes.end(), report.begin(), report.end());
    }
    const std::vector<std::uint8_t>& Bytes() const { return m_Bytes; }

private:
    std::vector<std::uint8_t> m_Bytes;
};
