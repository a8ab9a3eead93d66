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
    if (m_fitted.fit() == PictureFit::Stretch && m_fitted.scaled().isNull())
        painter.fillRect(event->rect(), Qt::black);
    m_fitted.paint(painter);
}
