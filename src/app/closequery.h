#pragma once

class TFDlgYesNo;

// The main window's close query: asks "Beenden?" and gives true only for "Ja". Any other end
// of the dialog ("Nein", Esc, the close box) keeps the program running.
bool confirmClose(TFDlgYesNo &dialog);
