#pragma once

#include "exchange/filedialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

// Chooses the text file entry, types the name into the real file dialog and accepts it.
// A dialog it cannot type into is cancelled, which leaves the table as it was.
inline FileDialog::Driver typePath(const QString &path)
{
    return [path](QFileDialog &dialog) {
        auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!edit) {
            dialog.reject();
            return;
        }
        dialog.setDirectory(QFileInfo(path).absolutePath());
        for (const QString &filter : dialog.nameFilters()) {
            if (filter.contains(QStringLiteral("*.txt")))
                dialog.selectNameFilter(filter); // the text file entry
        }
        dialog.activateWindow();
        edit->setFocus();
        edit->clear();
        QTest::keyClicks(edit, QFileInfo(path).fileName());
        QTest::keyClick(edit, Qt::Key_Return);
        if (dialog.isVisible())
            dialog.reject();
    };
}
