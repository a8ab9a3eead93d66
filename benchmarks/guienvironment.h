#pragma once

#include <QFile>
#include <QTemporaryDir>

// What a benchmark that paints widgets needs before its application object exists:
// the offscreen platform unless another is asked for, and private runtime, data and
// settings folders (the main window keeps its recovery file in the data folder, Qt's
// file dialog writes its state to the settings folder).
class GuiBenchmarkEnvironment
{
public:
    GuiBenchmarkEnvironment()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && m_runtime.isValid()) {
            QFile::setPermissions(
                m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        }
        if (m_data.isValid())
            qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
        if (m_settings.isValid())
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_settings.path()));
    }

private:
    QTemporaryDir m_runtime;
    QTemporaryDir m_data;
    QTemporaryDir m_settings;
};
