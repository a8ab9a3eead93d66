#include "video/videowindow.h"

#include <QResizeEvent>

TVideoWindow::TVideoWindow(QWidget *parent)
    : QWidget(parent)
{
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
}

void TVideoWindow::setStreaming(bool streaming)
{
    if (streaming == m_streaming)
        return;
    m_streaming = streaming;
    setAttribute(Qt::WA_PaintOnScreen, streaming);
    setAttribute(Qt::WA_NoSystemBackground, streaming);
    setAutoFillBackground(!streaming);
}

QPaintEngine *TVideoWindow::paintEngine() const
{
    return m_streaming ? nullptr : QWidget::paintEngine();
}

void TVideoWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit resized(event->size());
}
