#include "app/mainwindow.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TForm1 form;
    form.show();
    QTimer::singleShot(0, &form, [&form] { form.offerRecovery(); });
    return app.exec();
}
