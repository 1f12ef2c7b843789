#include "support/fault_model.h"

#include <algorithm>

// Passes the inner model's answers on, changed as the fault says, and keeps
// the last one for a later repeat.
class FaultModel::Port final : public SimDevicePort {
public:
    Port(SimDevicePort& outer, std::optional<ReportFaultSpec> fault, bool everyTwice,
         std::optional<Answer>& last)
        : m_Outer(outer), m_Fault(fault), m_EveryTwice(everyTwice), m_Last(last)
    {
    }
    void SendInput(const std::uint8_t* payload64, std::uint32_t delayMs) override
    {
        Answer answer{};
        std::copy(payload64, payload64 + answer.size(), answer.begin());
        m_Last = answer;
        if (Is(ReportFault::NoAnswer))
            return;
        if (Is(ReportFault::Late))
            delayMs += m_Fault->delayMs;
        const int copies = m_EveryTwice || Is(ReportFault::Twice) ? 2 : 1;
        for (int i = 0; i < copies; ++i)
            m_Outer.SendInput(payload64, delayMs);
    }
    void Unplug() override { m_Outer.Unplug(); }
    std::uint64_t NowMs() override { return m_Outer.NowMs(); }

private:
    bool Is(ReportFault kind) const { return m_Fault && m_Fault->kind == kind; }

    SimDevicePort& m_Outer;
    std::optional<ReportFaultSpec> m_Fault;
    bool m_EveryTwice;
    std::optional<Answer>& m_Last;
};

void FaultModel::OnOutputReport(const std::uint8_t* report65, SimDevicePort& port)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    std::optional<ReportFaultSpec> fault;
    if (m_Armed) {
        std::array<std::uint8_t, 65> copy{};
        std::copy(report65, report65 + copy.size(), copy.begin());
        if (auto it = m_Faults.find(m_Reports.size()); it != m_Faults.end())
            fault = it->second;
        m_Reports.push_back(copy);
    }
    const ReportFault kind = fault ? fault->kind : ReportFault::Late;
    if (fault && kind == ReportFault::Lost)
        return;
    if (fault && kind == ReportFault::MissAndRepeat) {
        if (m_LastAnswer)
            port.SendInput(m_LastAnswer->data(), 0);
        return;
    }
    Port faulty(port, fault, m_EveryTwice && m_Armed, m_LastAnswer);
    m_Inner->OnOutputReport(report65, faulty);
    if (fault && kind == ReportFault::Unplug)
        port.Unplug();
}

void FaultModel::Arm()
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Armed = true;
    m_Reports.clear();
}

void FaultModel::SetFault(std::size_t report, ReportFaultSpec fault)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Faults[report] = fault;
}

void FaultModel::SetEveryAnswerTwice(bool twice)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_EveryTwice = twice;
}

std::vector<std::array<std::uint8_t, 65>> FaultModel::Reports() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Reports;
}
