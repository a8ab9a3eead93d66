#include "app/firstpaintprobe.h"
#include "app/mainwindow.h"
#include "dialogs/finfo.h"
#include "platform/qttranslations.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QtTranslations::install(app);
    QApplication::setWindowIcon(TFormInfo::programIcon());
    TForm1 form;
    FirstPaintProbe probe;
    if (qEnvironmentVariableIsSet("SCORELANE_BENCHMARK_FIRST_PAINT"))
        form.installEventFilter(&probe);
    form.show();
    QTimer::singleShot(0, &form, [&form] { form.offerRecovery(); });
    return app.exec();
}
