#pragma once

#include <QDialog>
#include <QPixmap>
#include <QPointer>

class QLabel;
class QPushButton;

// The program's own yes/no question box. One instance lives for the whole run and is
// reused; exec() gives kYes for "Ja" and kCancel for "Nein", Esc and the close box.
class TFDlgYesNo : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kYes = 6;
    static constexpr int kCancel = 2;

    // Caption: the program title, taken once here. Centred on the parent when shown.
    explicit TFDlgYesNo(QWidget *parent = nullptr);

    enum Focus
    {
        FocusAsLastTime, // the button that had the focus when the dialog last closed, at first "Ja"
        FocusOnNo, // "Nein", for a question whose "Ja" cannot be undone
    };

    // A text with a "?" anywhere is a question (speech bubble), any other a statement
    // (triangle). The box keeps its size for a text that fits and grows to show a longer one.
    void SetQuestion(const QString &text, Focus focus = FocusAsLastTime);

    void done(int result) override;
    void reject() override;

    QLabel *Label1;
    QLabel *Icon;
    QLabel *Icon2;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    // 32 x 32 with transparent background.
    static QPixmap questionPicture();
    static QPixmap warningPicture();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The button that had the focus when the dialog last closed gets it back on the next showing.
    QPointer<QWidget> m_focusAtClose;
    Focus m_focus = FocusAsLastTime;
};
