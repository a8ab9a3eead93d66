#pragma once

#include <QString>

#include <stdexcept>

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
