#include "app/closequery.h"

#include "dialogs/dlgyesno.h"

bool confirmClose(TFDlgYesNo &dialog)
{
    dialog.SetQuestion(QStringLiteral("Beenden?"));
    return dialog.exec() == TFDlgYesNo::kYes;
}
