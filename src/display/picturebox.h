#pragma once

#include "display/pictures.h"

#include <QWidget>

// A picture item: draws its picture into its own rectangle by one fitting rule. The
// scaled copy is made when the picture or the size changes, never while painting.
class PictureBox : public QWidget
{
    Q_OBJECT
public:
    explicit PictureBox(PictureFit fit, QWidget *parent = nullptr);

    // Repaints only when what is drawn changes.
    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_fitted.picture(); }

    // Moves and sizes the item and refits the picture at once, also while hidden (a hidden
    // widget gets its resize event only when it is shown).
    void place(const QRect &bounds);

    // A colour for the part of the item that the picture leaves free; the item then covers
    // everything below it, which needs no painting. Invalid (the default): that part shows
    // what lies below.
    void setMatte(const QColor &colour);

    // Where the picture is drawn, in the item's coordinates; empty when nothing is drawn.
    QRect pictureRect() const { return m_fitted.target(); }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void refit();

    FittedPicture m_fitted;
    QColor m_matte;
};
