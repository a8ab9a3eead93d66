#include "platform/messagebox.h"

#include "platform/programinfo.h"

#include <QPushButton>

namespace MessageBox {

namespace {
std::optional<QMessageBox::StandardButton> g_nextAnswer;
std::optional<QMessageBox::StandardButton> g_autoAnswer;
QString g_lastText;
QMessageBox::Icon g_lastIcon = QMessageBox::NoIcon;
int g_shownCount = 0;

QMessageBox::StandardButton run(QMessageBox::Icon icon, const QString &text, QWidget *parent,
    const QString &caption = ProgramInfo::title(), QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton, const QString &saveCaption = {})
{
    g_lastText = text;
    g_lastIcon = icon;
    ++g_shownCount;
    if (g_nextAnswer) {
        const QMessageBox::StandardButton answer = *g_nextAnswer;
        g_nextAnswer.reset();
        return answer;
    }
    if (g_autoAnswer)
        return *g_autoAnswer;
    QMessageBox box(icon, caption, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    if (!saveCaption.isEmpty())
        box.button(QMessageBox::Save)->setText(saveCaption);
    return QMessageBox::StandardButton(box.exec());
}
} // namespace

QString errorText(const QString &text)
{
    if (!text.isEmpty() && text.back() <= u'.')
        return text;
    return text + u'.';
}

void showError(const QString &text, QWidget *parent)
{
    run(QMessageBox::Critical, errorText(text), parent);
}

void showMessage(const QString &text, QWidget *parent)
{
    run(QMessageBox::NoIcon, text, parent);
}

void showInformation(const QString &text, QWidget *parent)
{
    run(QMessageBox::Information, text, parent);
}

void showRuntimeError(const QString &text, QWidget *parent)
{
    run(QMessageBox::Critical, text, parent);
}

QMessageBox::StandardButton showRuntimeErrorOr(
    const QString &text, const QString &secondCaption, QWidget *parent)
{
    const QMessageBox::StandardButton answer = run(QMessageBox::Critical, text, parent, ProgramInfo::title(),
        QMessageBox::Ok | QMessageBox::Save, QMessageBox::Ok, secondCaption);
    return answer == QMessageBox::Save ? QMessageBox::Save : QMessageBox::Ok;
}

QMessageBox::StandardButton askYesNo(const QString &caption, const QString &text, QWidget *parent)
{
    return run(
        QMessageBox::Warning, text, parent, caption, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
}

void setNextAnswer(QMessageBox::StandardButton answer)
{
    g_nextAnswer = answer;
}

void setAutoAnswer(std::optional<QMessageBox::StandardButton> answer)
{
    g_autoAnswer = answer;
}

QString lastText()
{
    return g_lastText;
}

QMessageBox::Icon lastIcon()
{
    return g_lastIcon;
}

int shownCount()
{
    return g_shownCount;
}

} // namespace MessageBox
