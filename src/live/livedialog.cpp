#include "live/livedialog.h"

#include "live/liveservice.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

LiveDialog::LiveDialog(LiveService &service, QWidget *parent)
    : QDialog(parent)
    , m_service(service)
{
    setObjectName(QStringLiteral("LiveDialog"));
    setWindowTitle(QStringLiteral("Live-Ergebnisse"));

    cbOn = new QCheckBox(QStringLiteral("Live-Ergebnisse im Browser zeigen"), this);
    cbOn->setObjectName(QStringLiteral("cbOn"));
    sePort = new QSpinBox(this);
    sePort->setObjectName(QStringLiteral("sePort"));
    sePort->setRange(1024, 65535);
    sePort->setValue(LiveService::kDefaultPort);
    rbThisComputer = new QRadioButton(QStringLiteral("nur dieser Computer"), this);
    rbThisComputer->setObjectName(QStringLiteral("rbThisComputer"));
    rbNetwork = new QRadioButton(QStringLiteral("im lokalen Netz"), this);
    rbNetwork->setObjectName(QStringLiteral("rbNetwork"));
    auto *scope = new QButtonGroup(this);
    scope->addButton(rbThisComputer);
    scope->addButton(rbNetwork);
    rbThisComputer->setChecked(true);

    lbError = new QLabel(this);
    lbError->setObjectName(QStringLiteral("lbError"));
    lbError->setWordWrap(true);
    lbError->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold;"));
    lbLinks = new QLabel(this);
    lbLinks->setObjectName(QStringLiteral("lbLinks"));
    lbLinks->setTextFormat(Qt::RichText);
    lbLinks->setOpenExternalLinks(true);
    lbLinks->setTextInteractionFlags(Qt::TextBrowserInteraction);
    lbLinks->setWordWrap(true);
    lbQrCode = new QLabel(this);
    lbQrCode->setObjectName(QStringLiteral("lbQrCode"));
    lbQrCode->setAlignment(Qt::AlignCenter);
    lbHint = new QLabel(this);
    lbHint->setObjectName(QStringLiteral("lbHint"));
    lbHint->setWordWrap(true);
    bClose = new QPushButton(QStringLiteral("Schließen"), this);
    bClose->setObjectName(QStringLiteral("bClose"));
    bClose->setDefault(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Port:"), sePort);
    auto *scopeRow = new QVBoxLayout;
    scopeRow->addWidget(rbThisComputer);
    scopeRow->addWidget(rbNetwork);
    form->addRow(QStringLiteral("Erreichbar für:"), scopeRow);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(cbOn);
    layout->addLayout(form);
    layout->addWidget(lbError);
    layout->addWidget(lbLinks);
    layout->addWidget(lbQrCode);
    layout->addWidget(lbHint);
    layout->addLayout(buttons);
    setMinimumWidth(440);

    connect(cbOn, &QCheckBox::toggled, this, &LiveDialog::switched);
    connect(bClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(&m_service, &LiveService::stateChanged, this, &LiveDialog::refresh);
}

void LiveDialog::showState(int port, bool network)
{
    const QSignalBlocker blocker(cbOn);
    cbOn->setChecked(m_service.isRunning());
    sePort->setValue(port);
    (network ? rbNetwork : rbThisComputer)->setChecked(true);
    lbError->clear();
    refresh();
}

void LiveDialog::switched(bool on)
{
    lbError->clear();
    const bool network = rbNetwork->isChecked();
    if (on) {
        const QString error
            = m_service.start(sePort->value(), network ? LiveScope::LocalNetwork : LiveScope::ThisComputer);
        if (!error.isEmpty()) {
            const QSignalBlocker blocker(cbOn);
            cbOn->setChecked(false);
            lbError->setText(error);
            refresh();
            return;
        }
    } else {
        m_service.stop();
    }
    refresh();
    emit chosen(on, sePort->value(), network);
}

void LiveDialog::refresh()
{
    lbError->setVisible(!lbError->text().isEmpty());
    const bool running = m_service.isRunning();
    sePort->setEnabled(!running);
    rbThisComputer->setEnabled(!running);
    rbNetwork->setEnabled(!running);
    lbLinks->setVisible(running);
    lbQrCode->setVisible(running);
    lbHint->setVisible(running);
    if (!running) {
        lbLinks->clear();
        lbQrCode->clear();
        lbHint->clear();
        adjustSize();
        return;
    }
    const QStringList hosts = m_service.hosts();
    QStringList lines;
    for (const QString &host : hosts) {
        const QString base = QStringLiteral("http://%1:%2").arg(host).arg(m_service.port());
        lines.append(QStringLiteral(
            "Für Handys und Laptops: <a href=\"%1/\">%1/</a><br>"
            "Einblendung für die Streaming-Software (1920 × 1080): <a href=\"%1/overlay\">%1/overlay</a>")
                         .arg(base));
    }
    lbLinks->setText(lines.join(QStringLiteral("<br><br>")));
    const QString phonePage = QStringLiteral("http://%1:%2/").arg(hosts.first()).arg(m_service.port());
    lbQrCode->setPixmap(QPixmap::fromImage(m_service.qrCode(phonePage, 5)));
    lbQrCode->setToolTip(phonePage);
    lbHint->setText(m_service.scope() == LiveScope::ThisComputer
            ? QStringLiteral("Nur Browser auf diesem Computer erreichen die Seiten. Für Handys im Saal "
                             "„im lokalen Netz“ wählen.")
            : QStringLiteral("Handys im selben Netz scannen den Code. Zuschauer verbunden: %1")
                  .arg(m_service.viewers()));
    adjustSize();
}
