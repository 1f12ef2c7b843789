#include "engine/outcome_messages.h"

#include "engine/update_session.h"
#include "text/text_table.h"
#include "text/wformat.h"

void ShowSuccess(UpdateSession& session)
{
    if (!session.StopRequested())
        session.ShowMessage(WFormat(u"\n %s \n", LoadText(TextId::Success)));
    session.Ui().ShowDoneLabel();
    session.Ui().SetProgress(0);
}

void ShowFailure(UpdateSession& session)
{
    if (!session.StopRequested())
        session.ShowMessage(WFormat(u"%s\n", LoadText(TextId::Failure)));
}
