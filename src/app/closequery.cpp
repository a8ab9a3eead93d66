#include "app/closequery.h"

#include "dialogs/dlgyesno.h"

bool confirmClose(TFDlgYesNo &dialog, bool unsaved)
{
    if (unsaved)
        dialog.SetQuestion(
            QStringLiteral("Ergebnisse nicht gespeichert. Trotzdem beenden?"), TFDlgYesNo::FocusOnNo);
    else
        dialog.SetQuestion(QStringLiteral("Beenden?"));
    return dialog.exec() == TFDlgYesNo::kYes;
}
