#pragma once
// A device model between the bus and a simulated controller that misbehaves
// on chosen output reports: it loses them, loses or delays their answers,
// answers twice, leaves the bus, or repeats its previous answer instead.
// Reports are counted from Arm(), so the faults hit the update and not the
// identification before it.
//
// Thread-safe like the models it wraps: the bus calls in with its lock held.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/sim_device_model.h"

enum class ReportFault {
    Unplug,         // the device handles the report, then leaves the bus
    NoAnswer,       // the device handles the report; its answers are lost
    Lost,           // the report never reaches the device
    Late,           // its answers come delayMs later than they would
    Twice,          // its answers are sent twice
    MissAndRepeat,  // the device misses the report and repeats its last answer
};

struct ReportFaultSpec {
    ReportFault kind = ReportFault::Late;
    std::uint32_t delayMs = 0;
};

class FaultModel final : public ISimDeviceModel {
public:
    explicit FaultModel(std::shared_ptr<ISimDeviceModel> inner) : m_Inner(std::move(inner)) {}

    void OnOutputReport(const std::uint8_t* report65, SimDevicePort& port) override;

    // Starts counting reports at 0; earlier faults and logs are kept.
    void Arm();
    void SetFault(std::size_t report, ReportFaultSpec fault);
    void SetEveryAnswerTwice(bool twice);
    // Output reports since Arm(), report ID first.
    std::vector<std::array<std::uint8_t, 65>> Reports() const;

private:
    using Answer = std::array<std::uint8_t, 64>;
    class Port;

    std::shared_ptr<ISimDeviceModel> m_Inner;
    mutable std::mutex m_Mutex;
    bool m_Armed = false;
    bool m_EveryTwice = false;
    std::map<std::size_t, ReportFaultSpec> m_Faults;
    std::vector<std::array<std::uint8_t, 65>> m_Reports;
    std::optional<Answer> m_LastAnswer;
};
