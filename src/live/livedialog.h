#pragma once

#include <QDialog>

class LiveService;
class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

// "Live-Ergebnisse": switches the server on and off, with its port and whether only this
// computer or the local network reaches it; while it is on, the pages' addresses as links and
// a QR code of the phone page.
class LiveDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LiveDialog(LiveService &service, QWidget *parent = nullptr);

    // The items under their names, for the operator's manual and the tests.
    QCheckBox *cbOn = nullptr;
    QSpinBox *sePort = nullptr;
    QRadioButton *rbThisComputer = nullptr;
    QRadioButton *rbNetwork = nullptr;
    QLabel *lbError = nullptr;
    QLabel *lbLinks = nullptr;
    QLabel *lbQrCode = nullptr;
    QLabel *lbHint = nullptr;
    QPushButton *bClose = nullptr;

    // Fills the items from the server's state (port and scope from the last choice).
    void showState(int port, bool network);

signals:
    // The operator's choice, once the server started or stopped as asked.
    void chosen(bool on, int port, bool network);

private:
    void switched(bool on);
    void refresh();

    LiveService &m_service;
};
