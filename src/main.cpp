#include "scoring/placeholderwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    PlaceholderWindow window;
    window.show();
    return app.exec();
}
