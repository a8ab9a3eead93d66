#include "exchange/xlsreaderprocess.h"
#include "platform/ondemandmodule.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#ifdef SCORELANE_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

#include <cstring>
#include <memory>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            return RUN_ALL_TESTS();
    }

    // Never touch the operator's settings, data (the recovery file) or runtime folder.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 2;
    QDir(scratch.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(scratch.filePath(QStringLiteral("runtime")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", scratch.filePath(QStringLiteral("runtime")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", scratch.filePath(QStringLiteral("data")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    TestApplication app(argc, argv);
    Workbook::setXlsReaderProgram(QStringLiteral(SCORELANE_XLS_READER));
    videoModule().setPath(QStringLiteral(SCORELANE_VIDEO_MODULE));
    liveModule().setPath(QStringLiteral(SCORELANE_LIVE_MODULE));
    return RUN_ALL_TESTS();
}
