#include "dialogs/spinedit.h"

#include <QLineEdit>

namespace {

// Enough digits for any whole number a person types; more cannot be a judge count.
constexpr int kMaxTypedDigits = 6;

bool isDigits(const QString &text)
{
    if (text.isEmpty() || text.size() > kMaxTypedDigits)
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace

SpinEdit::SpinEdit(QWidget *parent)
    : QSpinBox(parent)
{
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

int SpinEdit::currentValue() const
{
    return valueFromTyped(cleanText(), minimum(), maximum());
}

int SpinEdit::valueFromTyped(const QString &text, int minimum, int maximum)
{
    const QString trimmed = text.trimmed();
    if (!isDigits(trimmed))
        return minimum;
    return qBound(minimum, trimmed.toInt(), maximum);
}

QValidator::State SpinEdit::validate(QString &input, int &pos) const
{
    const QValidator::State state = QSpinBox::validate(input, pos);
    if (state == QValidator::Acceptable)
        return state;
    const QString trimmed = input.trimmed();
    return trimmed.isEmpty() || isDigits(trimmed) ? QValidator::Intermediate : QValidator::Invalid;
}

void SpinEdit::fixup(QString &input) const
{
    input = textFromValue(valueFromTyped(input, minimum(), maximum()));
}
