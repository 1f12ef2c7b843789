#include "engine/update_session.h"

#include "block/block_worker.h"
#include "stream/stream_worker.h"

UpdateSession::UpdateSession(IHidBackend& backend, IClock& clock, IUpdateUi& ui)
    : HidLink(backend), m_Clock(clock), m_Ui(ui)
{
}

UpdateSession::~UpdateSession() { packageFile.Close(); }

void UpdateSession::Attach() { AttachDevice(*this); }

bool UpdateSession::PrepareUpdate()
{
    if (!HidLink.OpenHid())
        return false;
    StopFlag = 0;
    imageSent = false;
    updatePlan.reset();
    updating = true;
    return true;
}

void UpdateSession::RunUpdate()
{
    if (HidLink.ProtocolVariant == kProtocolBlock)
        BlockUpdateThread(*this);
    else
        Usb_UpdateThread(*this);
    updating = false;
}

bool UpdateSession::Pause(std::uint32_t ms) { return m_Clock.SleepMs(ms, m_Stop); }

void UpdateSession::StopTransfer()
{
    packageFile.Close();
    StopFlag = 1;
}

void UpdateSession::RefreshUpdateButton() { m_Ui.EnableUpdateButton(HidLink.ProbeHid() != 0); }

int UpdateSession::ShowMessage(const std::u16string& text, MessageButtons buttons)
{
    return m_Ui.ShowMessage(text, buttons);
}
