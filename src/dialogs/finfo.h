#pragma once

#include <QDialog>
#include <QIcon>
#include <QUrl>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;

// The information window: the program's name and version and the maker's contact.
// Esc and its button close it; it asks for no close box, but where a window manager draws
// one anyway, that closes it as Esc does.
class TFormInfo : public QDialog
{
    Q_OBJECT
public:
    explicit TFormInfo(QWidget *parent = nullptr);

    // The maker's web address, empty while there is none (platform/maker.h).
    static QUrl defaultContactUrl();
    // Where the logo and the address lead: the contact page, which the window stays over;
    // without one, the installed manual through openManual, after the window closed (a
    // window of the manual would wait behind it).
    QUrl contactUrl() const { return m_contactUrl; }
    void setContactUrl(const QUrl &url);
    std::function<void()> openManual;
    // The program's own icon, for the application to carry.
    static QIcon programIcon();

    QLabel *Image1 = nullptr;
    QFrame *Panel1 = nullptr;
    QLabel *ImageICON = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *LabelVer = nullptr;
    QPushButton *sOK = nullptr;
    QLabel *Lab = nullptr;
    QLabel *Label2 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    void contactClicked();

    QUrl m_contactUrl;
};
