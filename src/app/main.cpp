#include "app/firstpaintprobe.h"
#include "app/mainwindow.h"
#include "app/toolbarglyphs.h"
#include "dialogs/finfo.h"
#include "platform/fontwarmup.h"
#include "platform/qttranslations.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

int main(int argc, char *argv[])
{
    FontWarmUp fonts;
    QApplication app(argc, argv);
    // The per-user data folder (the recovery file) must not follow the name the program was
    // started under: the "scorelane" link of the menu and "Scorelane" are one program.
    QCoreApplication::setApplicationName(QStringLiteral("Scorelane"));
    QtTranslations::install(app);
    QApplication::setWindowIcon(TFormInfo::programIcon());
    // Drawn while fontconfig may still be setting itself up on the other core.
    drawToolbarGlyphsAhead(qRound(kToolbarGlyphSize * app.devicePixelRatio()));
    fonts.finish();
    TForm1 form;
    FirstPaintProbe probe;
    if (qEnvironmentVariableIsSet("SCORELANE_BENCHMARK_FIRST_PAINT"))
        form.installEventFilter(&probe);
    form.show();
    // Without a window manager nothing would take the keys until a window is clicked.
    form.activateWindow();
    QTimer::singleShot(0, &form, [&form] { form.offerRecovery(); });
    return app.exec();
}
