#include "app/mainwindow.h"
#include "dialogs/finfo.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(TFormInfo::programIcon());
    TForm1 form;
    form.show();
    QTimer::singleShot(0, &form, [&form] { form.offerRecovery(); });
    return app.exec();
}
