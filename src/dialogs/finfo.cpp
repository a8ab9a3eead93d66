#include "dialogs/finfo.h"

#include "platform/maker.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

static void initInfoResources()
{
    Q_INIT_RESOURCE(info);
}

namespace {

constexpr int kClientWidth = 256;
constexpr int kClientHeight = 426;

QFont arial(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The button's picture: a green tick.
QIcon tickIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(0, 128, 0), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.drawPolyline(QPolygonF({ QPointF(6, 17), QPointF(13, 24), QPointF(26, 8) }));
    return QIcon(pixmap);
}

} // namespace

QUrl TFormInfo::defaultContactUrl()
{
    return QUrl(QString::fromUtf8(Maker::kUrl));
}

QIcon TFormInfo::programIcon()
{
    initInfoResources();
    // Read by Qt's own PNG reader: a reader left to detect the format first asks every image
    // plugin whether the file is theirs, and loads each one to ask, at every start.
    QImageReader reader(QStringLiteral(":/scorelane-icon.png"), "png");
    reader.setAutoDetectImageFormat(false);
    return QIcon(QPixmap::fromImage(reader.read()));
}

TFormInfo::TFormInfo(QWidget *parent)
    : QDialog(
        parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    initInfoResources();
    setObjectName(QStringLiteral("FormInfo"));
    setWindowTitle(QStringLiteral("Information"));
    setFixedSize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(silver);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(10, 4, 238, 65);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(QPixmap(QStringLiteral(":/makerlogo.png")));
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->installEventFilter(this);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 60, 38, 38);
    Panel1->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    ImageICON = new QLabel(Panel1);
    ImageICON->setObjectName(QStringLiteral("ImageICON"));
    ImageICON->setGeometry(3, 3, 32, 32);

    Label1 = new QLabel(QStringLiteral("Scorelane"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont titleFont = arial(24, true);
    titleFont.setUnderline(true);
    Label1->setFont(titleFont);
    QPalette maroon = Label1->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    Label1->setPalette(maroon);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignTop);
    const int titleHeight = QFontMetrics(titleFont).height();
    Label1->setGeometry(50, 64, 246 - 50, titleHeight);

    LabelVer = new QLabel(QStringLiteral("Version 1.6 (18.03.2018)"), this);
    LabelVer->setObjectName(QStringLiteral("LabelVer"));
    LabelVer->setFont(arial(15));
    LabelVer->setAlignment(Qt::AlignRight | Qt::AlignTop);
    LabelVer->setGeometry(50, 95, 245 - 50, QFontMetrics(LabelVer->font()).height());

    sOK = new QPushButton(QStringLiteral("Einverstanden"), this);
    sOK->setObjectName(QStringLiteral("sOK"));
    sOK->setGeometry(56, 347, 145, 28);
    sOK->setFont(arial(15, true));
    sOK->setIcon(tickIcon());
    sOK->setIconSize(QSize(18, 18));
    connect(sOK, &QPushButton::clicked, this, &QDialog::accept);

    Lab = new QLabel(this);
    Lab->setObjectName(QStringLiteral("Lab"));
    Lab->setGeometry(8, 377, 238, 30);
    Lab->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Lab->setWordWrap(true);
    Lab->setFont(arial(11));

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    QFont linkFont = arial(11);
    linkFont.setUnderline(true);
    Label2->setFont(linkFont);
    QPalette blue = Label2->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    Label2->setPalette(blue);
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label2->setGeometry(55, 408, 137, QFontMetrics(linkFont).height());
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->installEventFilter(this);
    setContactUrl(defaultContactUrl());

    FormCreate();
}

void TFormInfo::FormCreate()
{
    ImageICON->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    Lab->setText(QStringLiteral("Lob und Kritik, Verbesserungsvorschläge,\n"
                                "Fragen und Bestellungen bitte schriftlich über"));
}

void TFormInfo::setContactUrl(const QUrl &url)
{
    m_contactUrl = url;
    // "... schriftlich über" the web address, else the e-mail address; the link then
    // opens the manual, which tells how to reach the maker.
    if (url.isEmpty()) {
        Label2->setText(QString::fromUtf8(Maker::kEmail));
        Label2->setToolTip(QStringLiteral("Handbuch öffnen"));
    } else {
        Label2->setText(url.toString(QUrl::RemoveScheme | QUrl::StripTrailingSlash).mid(2));
        Label2->setToolTip(url.toString());
    }
    Image1->setToolTip(QString::fromUtf8(Maker::kName) + QStringLiteral(": ") + Label2->toolTip());
}

void TFormInfo::contactClicked()
{
    if (!m_contactUrl.isEmpty()) {
        QDesktopServices::openUrl(m_contactUrl);
        return;
    }
    accept();
    if (openManual)
        QTimer::singleShot(0, this, openManual);
}

bool TFormInfo::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == Image1 || watched == Label2) && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        contactClicked();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormInfo::showEvent(QShowEvent *event)
{
    if (const QWidget *owner = parentWidget()) {
        QRect placed(QPoint(), size());
        placed.moveCenter(owner->geometry().center());
        // move() places the frame; the client area is to be centred.
        move(placed.topLeft() - (geometry().topLeft() - pos()));
    }
    QDialog::showEvent(event);
}
