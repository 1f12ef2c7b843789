#pragma once
// Whole updates against the simulators for the benchmarks: a session whose
// UI port chooses a given package and confirms, on a bus with a fake clock.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/update_session.h"
#include "hid/hid_backend.h"
#include "sim/fake_clock.h"
#include "sim/virtual_hid_bus.h"

enum class BenchFamily { Stream, Block };

class ConfirmingUi final : public IUpdateUi {
public:
    explicit ConfirmingUi(std::u16string package) : m_Package(std::move(package)) {}
    void SetTitle(const std::u16string&) override {}
    int ShowMessage(const std::u16string& text, MessageButtons) override
    {
        m_LastMessage = text;
        return kIdOk;
    }
    void SetProgress(int) override {}
    void EnableUpdateButton(bool) override {}
    void ShowDoneLabel() override { m_Done = true; }
    bool ChooseFile(const FileOpenRequest&, std::u16string& path) override
    {
        path = m_Package;
        return true;
    }
    std::u16string CurrentDirectory() override { return u""; }
    bool Done() const { return m_Done; }

private:
    std::u16string m_Package;
    std::u16string m_LastMessage;
    bool m_Done = false;
};

// Writes a one-record package of imageBytes for the family; returns its path.
std::u16string WriteBenchPackage(BenchFamily family, std::size_t imageBytes);
// Plugs a simulated controller of the family into the bus.
void PlugBenchController(VirtualHidBus& bus, BenchFamily family);
// Runs one whole update over backend; true when it succeeded.
bool RunBenchUpdate(IHidBackend& backend, IClock& clock, const std::u16string& package);
