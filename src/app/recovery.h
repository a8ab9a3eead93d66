#pragma once

#include "exchange/recoverywriter.h"

#include <QObject>
#include <QString>

class TForm1;

// The main window's recovery file: every change of the table that the operator would
// not want to type again is written (coalesced, on the writer's thread), a modal
// dialog never opens over an unwritten change, and the start offers what a session
// that did not end normally left behind.
class SessionRecovery : public QObject
{
    Q_OBJECT

public:
    static QString question();

    // Takes the grid's change and sort events. A file left by an earlier session is
    // kept untouched until offerRestore() has dealt with it.
    SessionRecovery(TForm1 &form, RecoveryWriter::Lock lock);
    ~SessionRecovery() override;

    // A change of the table, its captions, the judge count or the file name. It is
    // taken once the event that made it is handled, so that a placing is recorded with
    // its places and a load with its caption.
    void changed();
    // At start, with the main window shown: asks whether to restore a readable file
    // ("Nein" sets it aside); a corrupt one is set aside without a word.
    void offerRestore();
    // The normal end.
    void remove();
    // An end with changes not saved: the file is brought up to date and left for the
    // next start.
    void keep();

    QString filePath() const { return m_writer.filePath(); }
    void setInterval(int milliseconds) { m_writer.setInterval(milliseconds); }
    // Waits until the writes handed over so far are on the disk.
    void waitForWrites() { m_writer.flush(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void takeChange();
    void restore(const RecoverySnapshot &snapshot);
    void setAside();

    TForm1 &m_form;
    RecoveryWriter m_writer;
    bool m_holding = false; // an earlier session's file waits for offerRestore()
    bool m_changedWhileHolding = false;
    bool m_changeQueued = false;
    bool m_off = false;
};
