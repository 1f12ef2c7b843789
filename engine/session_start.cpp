#include "engine/session_start.h"

#include "engine/update_session.h"
#include "text/text_table.h"

bool StartSession(UpdateSession& session, const SessionStart& start)
{
    session.device.cur_devVersion = VersionProbeSentinel;
    bool present = true;
    if (start.controller) {
        session.HidLink.PinDevice(start.controller->path, start.controller->variant);
    } else {
        present = session.HidLink.ProbeHid() != 0;
    }
    session.Ui().EnableUpdateButton(present);
    if (present)
        session.Attach();
    if (start.idle == StartIdle::AsAfterImage)
        session.EnterIdle();
    session.Ui().SetTitle(LoadText(TextId::Title));
    return present;
}
