#pragma once

class TFDlgYesNo;

// The main window's close query: asks "Beenden?", or with marks not saved yet
// "Ergebnisse nicht gespeichert. Trotzdem beenden?" with the focus on "Nein", and gives
// true only for "Ja". Any other end of the dialog ("Nein", Esc, the close box) keeps the
// program running.
bool confirmClose(TFDlgYesNo &dialog, bool unsaved = false);
