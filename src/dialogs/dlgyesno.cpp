#include "dialogs/dlgyesno.h"

#include "platform/programinfo.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include <algorithm>

namespace {

const QSize kBaseSize(222, 94);

QFont dialogFont()
{
    QFont font;
    font.setFamilies({ QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans") });
    // 8 points on the 96 dpi screen the layout was made for.
    font.setPixelSize(11);
    return font;
}

QPixmap newPicture()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QPixmap TFDlgYesNo::questionPicture()
{
    QPixmap pixmap = newPicture();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // Bubble with its tail pointing down-left.
    QPainterPath bubble;
    bubble.addEllipse(QRectF(2.5, 1.5, 27, 22));
    QPainterPath tail;
    tail.moveTo(7, 18);
    tail.lineTo(4, 29.5);
    tail.lineTo(15, 22);
    tail.closeSubpath();
    bubble = bubble.united(tail);
    p.setPen(QPen(QColor(40, 40, 40), 1.2));
    p.setBrush(Qt::white);
    p.drawPath(bubble);

    // The question mark: an open hook, a short stem and the dot.
    const QColor blue(0, 70, 200);
    QPen pen(blue, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath mark;
    mark.moveTo(12, 9.5);
    mark.cubicTo(12, 5, 20, 5, 20, 9.5);
    mark.cubicTo(20, 12.5, 16, 12.5, 16, 15.5);
    p.drawPath(mark);
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawEllipse(QPointF(16, 19.5), 1.9, 1.9);
    return pixmap;
}

QPixmap TFDlgYesNo::warningPicture()
{
    QPixmap pixmap = newPicture();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath triangle;
    triangle.moveTo(16, 2);
    triangle.lineTo(30.5, 29);
    triangle.lineTo(1.5, 29);
    triangle.closeSubpath();
    p.setPen(QPen(QColor(60, 50, 0), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 210, 0));
    p.drawPath(triangle);

    p.setPen(QPen(Qt::black, 3.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 11), QPointF(16, 19.5));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(16, 24.5), 2, 2);
    return pixmap;
}

TFDlgYesNo::TFDlgYesNo(QWidget *parent)
    : QDialog(parent,
        Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
            | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint)
    , Label1(new QLabel(QStringLiteral("?"), this))
    , Icon(new QLabel(this))
    , Icon2(new QLabel(this))
    , OKBtn(new QPushButton(QStringLiteral("Ja"), this))
    , CancelBtn(new QPushButton(QStringLiteral("Nein"), this))
{
    setObjectName(QStringLiteral("FDlgYesNo"));
    setWindowTitle(ProgramInfo::title());
    setFont(dialogFont());
    setFixedSize(kBaseSize);
    setSizeGripEnabled(false);

    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(40, 6, 169, 49);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);

    Icon->setObjectName(QStringLiteral("Icon"));
    Icon->setGeometry(4, 14, 32, 32);
    Icon->setPixmap(questionPicture());
    Icon2->setObjectName(QStringLiteral("Icon2"));
    Icon2->setGeometry(4, 14, 32, 32);
    Icon2->setPixmap(warningPicture());
    Icon2->hide();

    // Created in focus order: "Ja" first. Neither is a default button, so the focus alone
    // decides what Enter and Space answer.
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(39, 60, 75, 25);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(135, 60, 75, 25);
    for (QPushButton *button : { OKBtn, CancelBtn }) {
        button->setAutoDefault(true);
        button->setDefault(false);
    }
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(kYes); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { done(kCancel); });
}

void TFDlgYesNo::SetQuestion(const QString &text, Focus focus)
{
    m_focus = focus;
    Label1->setText(text);
    // The label's own size holds a short question; a longer text widens the box up to
    // twice its width and then makes it taller, the buttons staying below the text.
    const QRect base(40, 6, 169, 49);
    const QFontMetrics metrics(Label1->font());
    const auto needed = [&](int width) {
        return metrics.boundingRect(QRect(0, 0, width, 100000), Qt::AlignCenter | Qt::TextWordWrap, text)
            .size();
    };
    int width = base.width();
    while (needed(width).height() > base.height() && width < 2 * base.width())
        width += 20;
    width = std::max(width, needed(width).width());
    const int height = std::max(base.height(), needed(width).height());
    const int grownWidth = width - base.width();
    const int grownHeight = height - base.height();
    setFixedSize(kBaseSize.width() + grownWidth, kBaseSize.height() + grownHeight);
    Label1->setGeometry(base.left(), base.top(), width, height);
    Icon->move(4, 14 + grownHeight / 2);
    Icon2->move(4, 14 + grownHeight / 2);
    OKBtn->move(39 + grownWidth / 2, 60 + grownHeight);
    CancelBtn->move(135 + grownWidth / 2, 60 + grownHeight);
    const bool question = text.contains(u'?');
    Icon->setVisible(question);
    Icon2->setVisible(!question);
}

void TFDlgYesNo::done(int result)
{
    m_focusAtClose = focusWidget();
    QDialog::done(result);
}

// Esc and the close box both end up here.
void TFDlgYesNo::reject()
{
    done(kCancel);
}

void TFDlgYesNo::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    QWidget *target = m_focus == FocusOnNo ? CancelBtn : m_focusAtClose ? m_focusAtClose.data() : OKBtn;
    target->setFocus(Qt::OtherFocusReason);
}
