#pragma once

#include <QSpinBox>

// A number field with arrows that steps by 1 within its range. Any whole number can be
// typed; one outside the range becomes the nearest bound when the field is left, and text
// that is no number counts as the minimum.
class SpinEdit : public QSpinBox
{
    Q_OBJECT

public:
    explicit SpinEdit(QWidget *parent = nullptr);

    // The value the field's text gives right now, typed text included, within the range.
    int currentValue() const;

    // What typed text counts as within minimum .. maximum.
    static int valueFromTyped(const QString &text, int minimum, int maximum);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
};
