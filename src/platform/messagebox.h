#pragma once

#include <QMessageBox>
#include <QString>

#include <optional>

class QWidget;

// All message boxes of the program go through here, so that tests can answer a box
// without showing it (setNextAnswer) and see what it said (lastText).
namespace MessageBox {

// The standard error box: the failure's text, followed by "." unless it already ends
// in "." or in a character that sorts below "."; caption the program title; one OK.
void showError(const QString &text, QWidget *parent = nullptr);

// A plain box with an OK button, for the runtime's own messages.
void showMessage(const QString &text, QWidget *parent = nullptr);

// A note for the operator after a command that worked: the information icon, one OK.
void showInformation(const QString &text, QWidget *parent = nullptr);

// The runtime's own error message, as it stands, with the error icon and an OK button.
void showRuntimeError(const QString &text, QWidget *parent = nullptr);

// The runtime's error message with a second button beside OK, labelled secondCaption.
// Returns QMessageBox::Save when that button was pressed (the answer the test seams give
// for it), QMessageBox::Ok otherwise.
QMessageBox::StandardButton showRuntimeErrorOr(
    const QString &text, const QString &secondCaption, QWidget *parent = nullptr);

// The text the standard error box shows for a failure text.
QString errorText(const QString &text);

// A warning with Yes and No, No the default, under the given caption.
QMessageBox::StandardButton askYesNo(const QString &caption, const QString &text, QWidget *parent = nullptr);

// Test seam: the next box is not shown and returns this answer.
void setNextAnswer(QMessageBox::StandardButton answer);
// Test seam: every box is answered without being shown until switched off again.
void setAutoAnswer(std::optional<QMessageBox::StandardButton> answer);
QString lastText();
QMessageBox::Icon lastIcon();
int shownCount();

} // namespace MessageBox
