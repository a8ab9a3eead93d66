#pragma once

#include "platform/commanderror.h"
#include "platform/messagebox.h"

#include <exception>
#include <utility>

class QWidget;

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
