#pragma once

#include "platform/messagebox.h"

#include <exception>
#include <stdexcept>
#include <utility>

class QWidget;

// A failure of a command, with the text the standard error box shows.
class CommandError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
    explicit CommandError(const QString &text)
        : std::runtime_error(text.toStdString())
    { }
    QString text() const { return QString::fromStdString(what()); }
};

// Runs a command or event handler; a failure ends it and shows the standard error
// box, and the program goes on in the state it reached. No exception leaves here.
template <class Function> void runGuarded(Function &&function, QWidget *parent = nullptr)
{
    try {
        std::forward<Function>(function)();
    } catch (const std::exception &e) {
        MessageBox::showError(QString::fromUtf8(e.what()), parent);
    } catch (...) {
        MessageBox::showError(QStringLiteral("Unknown error"), parent);
    }
}
