#include "app/mainwindow.h"
#include "dialogs/finfo.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(TFormInfo::programIcon());
    TForm1 form;
    form.show();
    return app.exec();
}
