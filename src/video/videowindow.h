#pragma once

#include <QWidget>

// The native child window that the renderer draws the live picture into. While a renderer
// draws, Qt must not paint it: the window's black fill would flicker over the picture.
class TVideoWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TVideoWindow(QWidget *parent = nullptr);

    void setStreaming(bool streaming);
    bool streaming() const { return m_streaming; }

    QPaintEngine *paintEngine() const override;

signals:
    void resized(const QSize &size);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    bool m_streaming = false;
};
