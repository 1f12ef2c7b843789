#pragma once
// An update session for fuzz targets: a fake clock that stops the session
// past a limit, a bus, a front end that chooses the given package and says
// OK, and the texts it showed. Header-only, for the targets' own use.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/update_session.h"
#include "package/package_writer.h"
#include "sim/fake_clock.h"
#include "sim/guard_clock.h"
#include "sim/virtual_hid_bus.h"
#include "text/text_table.h"
#include "base/utf.h"
#include "protocols/standard_protocols.h"

class FuzzEnglish final : public IUiLanguage {
public:
    std::uint16_t UserDefaultUILanguage() override { return kLangEnUs; }
};

class FuzzUi final : public IUpdateUi {
public:
    std::u16string packagePath;
    int successes = 0;
    int failures = 0;

    void SetTitle(const std::u16string&) override {}
    int ShowMessage(const std::u16string& text, MessageButtons buttons) override
    {
        if (buttons == MessageButtons::Ok) {
            successes += text.find(LoadText(TextId::Success)) != std::u16string::npos;
            failures += text.find(LoadText(TextId::Failure)) != std::u16string::npos;
        }
        return kIdOk;
    }
    void SetProgress(int) override {}
    void EnableUpdateButton(bool) override {}
    void ShowDoneLabel() override {}
    bool ChooseFile(const FileOpenRequest&, std::u16string& path) override
    {
        path = packagePath;
        return true;
    }
    std::u16string CurrentDirectory() override { return u"/"; }
};

// A one-record package written once per process, in the temporary folder.
inline std::u16string FuzzPackage(const std::string& tag, const PackageRecordSpec& record)
{
    const std::string path = "/tmp/updater_fuzz_" + std::to_string(::getpid()) + "_" + tag + ".dat";
    const std::u16string wide = Utf8ToUtf16(path);
    WritePackageFile(wide, std::vector<PackageRecordSpec>{record});
    return wide;
}

// One controller on its own bus; the session is made after the bus, so it
// closes its link first.
struct FuzzRig {
    explicit FuzzRig(SimDeviceConfig device, ProtocolDrivers drivers = StandardProtocolDrivers())
    {
        SetUiLanguage(&language);
        bus.Plug(std::move(device));
        session = std::make_unique<UpdateSession>(bus, clock, ui, std::move(drivers));
    }
    ~FuzzRig()
    {
        session.reset();
        SetUiLanguage(nullptr);
    }
    FuzzRig(const FuzzRig&) = delete;
    FuzzRig& operator=(const FuzzRig&) = delete;

    FuzzEnglish language;
    FakeClock fake;
    GuardClock clock{fake};
    VirtualHidBus bus{clock};
    FuzzUi ui;
    std::unique_ptr<UpdateSession> session;
};
