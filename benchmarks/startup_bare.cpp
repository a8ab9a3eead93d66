// The start-up benchmark's baseline: a bare QWidget of the main window's size, shown
// as the program shows its window, printing the monotonic clock at its first paint.
#include "app/firstpaintprobe.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Scorelane 1.6"));
    window.setFixedSize(900, 525);
    FirstPaintProbe probe;
    window.installEventFilter(&probe);
    window.show();
    return app.exec();
}
