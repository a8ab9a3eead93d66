#include "display/picturebox.h"

#include <QPaintEvent>
#include <QPainter>

PictureBox::PictureBox(PictureFit fit, QWidget *parent)
    : QWidget(parent)
    , m_fitted(fit)
{
    // A stretched picture covers the whole item, so nothing below needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent, fit == PictureFit::Stretch);
}

void PictureBox::setPicture(const QImage &picture)
{
    if (m_fitted.setPicture(picture))
        update();
}

void PictureBox::setMatte(const QColor &colour)
{
    if (colour == m_matte)
        return;
    m_matte = colour;
    setAttribute(Qt::WA_OpaquePaintEvent, m_fitted.fit() == PictureFit::Stretch || m_matte.isValid());
    update();
}

void PictureBox::place(const QRect &bounds)
{
    setGeometry(bounds);
    refit();
}

void PictureBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    refit();
}

void PictureBox::refit()
{
    if (m_fitted.setAreaSize(size()))
        update();
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (m_matte.isValid()) {
        for (const QRect &free : event->region() - m_fitted.target())
            painter.fillRect(free, m_matte);
    } else if (testAttribute(Qt::WA_OpaquePaintEvent) && m_fitted.scaled().isNull()) {
        painter.fillRect(event->rect(), Qt::black);
    }
    // Piece by piece: within one clip rectangle the picture is a plain copy; through a clip
    // of several it is drawn span by span, several times slower.
    const QRect target = m_fitted.target();
    for (const QRect &piece : event->region() & target) {
        painter.setClipRect(piece);
        m_fitted.paint(painter);
    }
}
