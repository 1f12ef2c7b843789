#pragma once
// One unit's update on the station: its own session, attached fresh, left
// alone when it already runs the package's version, otherwise updated with
// the confirmation answered. Nothing is shared with another unit's run.
#include <cstdint>
#include <functional>
#include <string>

#include "base/clock.h"
#include "engine/update_session.h"
#include "engine/update_ui.h"
#include "hid/hid_backend.h"
#include "station/unit_packages.h"
#include "station/unit_record.h"

class UnitRun final : private IUpdateUi {
public:
    // Called on the run's thread with the unit's id and percent.
    using ProgressCallback = std::function<void(int id, int percent)>;

    // verify: block units read their image back before finishing.
    UnitRun(IHidBackend& backend, IClock& clock, UnitRecord record, IUnitPackages& packages, bool verify,
            ProgressCallback progress);
    UnitRun(const UnitRun&) = delete;
    UnitRun& operator=(const UnitRun&) = delete;

    // Runs the whole unit on the calling thread; the finished record. Bounded
    // by the engine's time-outs. Once.
    UnitRecord Run();
    // Ends the run at its next safe point. Any thread.
    void RequestStop() { m_Session.RequestStop(); }

private:
    // IUpdateUi: the station asks nothing and shows nothing.
    void SetTitle(const std::u16string&) override {}
    int ShowMessage(const std::u16string& text, MessageButtons buttons) override;
    void SetProgress(int position) override;
    void EnableUpdateButton(bool) override {}
    void ShowDoneLabel() override {}
    bool ChooseFile(const FileOpenRequest& request, std::u16string& path) override;
    std::u16string CurrentDirectory() override { return {}; }

    // The unit's package, once the controller is read; false after Finish.
    bool TakePackage();
    void Update();
    void Judge(const UpdateResult& result);
    void Finish(UnitOutcome outcome, std::string reason, std::u16string message = {});

    UnitRecord m_Record;
    IUnitPackages& m_Packages;
    bool m_Verify;
    UnitPackage m_Package;
    ProgressCallback m_Progress;
    UpdateSession m_Session;
};
