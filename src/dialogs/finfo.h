#pragma once

#include <QDialog>
#include <QIcon>
#include <QUrl>

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

    static const QUrl kContactUrl;
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
};
