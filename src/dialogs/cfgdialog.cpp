#include "dialogs/cfgdialog.h"

#include "dialogs/spinedit.h"
#include "platform/monitors.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TCfgDialog::TCfgDialog(const MonitorList &monitors, QWidget *parent)
    : QDialog(parent)
    , m_monitors(monitors)
{
    setWindowTitle(QStringLiteral("Einstellungen"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    LabMonitor = new QLabel(QStringLiteral("TV/Beamer:"), this);
    LabMonitor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cbMonitor = new QComboBox(this);
    cbMonitor->setEditable(false);
    cbMonitor->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbMonitor->setMinimumContentsLength(18);

    Label1 = new QLabel(QStringLiteral("Anzahl der Richter:"), this);
    seSUD = new SpinEdit(this);
    seSUD->setRange(kMinJudges, kMaxJudges);
    seSUD->setSingleStep(1);
    seSUD->setValue(5);
    seSUD->setMinimumWidth(64);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(kResultOK); });
    connect(CancelBtn, &QPushButton::clicked, this, &TCfgDialog::reject);

    auto *fields = new QGridLayout;
    fields->setHorizontalSpacing(10);
    fields->addWidget(LabMonitor, 0, 0);
    fields->addWidget(cbMonitor, 0, 1);
    fields->addWidget(Label1, 1, 0);
    fields->addWidget(seSUD, 1, 1, Qt::AlignLeft);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto *page = new QVBoxLayout(this);
    page->addLayout(fields);
    page->addSpacing(12);
    page->addLayout(buttons);
    page->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(CancelBtn, seSUD);
    setTabOrder(seSUD, cbMonitor);
    setTabOrder(cbMonitor, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
}

std::optional<TCfgDialog::Choice> TCfgDialog::edit(int judgeCount, int monitor)
{
    setJudgeCount(judgeCount);
    setMonitor(monitor);
    if (exec() != kResultOK)
        return std::nullopt;
    return Choice { this->monitor(), this->judgeCount() };
}

void TCfgDialog::setJudgeCount(int judgeCount)
{
    seSUD->setValue(qBound(kMinJudges, judgeCount, kMaxJudges));
}

void TCfgDialog::setMonitor(int monitor)
{
    m_monitor = monitor;
}

int TCfgDialog::monitor() const
{
    return std::max(0, cbMonitor->currentIndex());
}

int TCfgDialog::judgeCount() const
{
    // Text typed and confirmed at once has not been corrected by leaving the field.
    return seSUD->currentValue();
}

void TCfgDialog::reject()
{
    done(kResultCancel);
}

void TCfgDialog::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
    // Set before the dialog settles its focus, or it would move to the default button.
    // The monitor list when there is a choice, else the judge count: every showing alike.
    QWidget *focus = cbMonitor->isEnabled() ? static_cast<QWidget *>(cbMonitor) : seSUD;
    focus->setFocus(Qt::OtherFocusReason);
}

void TCfgDialog::FormShow()
{
    const int count = m_monitors.count();
    cbMonitor->setEnabled(count > 1);
    cbMonitor->clear();
    if (count > 1) {
        for (int i = 0; i < count; ++i) {
            const QRect r = m_monitors.rect(i);
            cbMonitor->addItem(QString::asprintf("%d=(%dx%d)", i + 1, r.width(), r.height()));
        }
        cbMonitor->setCurrentIndex(m_monitor >= 0 && m_monitor < count ? m_monitor : 0);
    } else {
        cbMonitor->addItem(QStringLiteral("nicht angeschlossen"));
        cbMonitor->setCurrentIndex(0);
    }
}
