#pragma once

#include "exchange/filedialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

// Chooses the entry for the name's extension (the last one that lists it: "Text file" for
// ".txt", "MS Excel" for ".xls"), types the name into the real file dialog and accepts it.
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
        const QString pattern = QStringLiteral("*.") + QFileInfo(path).suffix().toLower();
        for (const QString &filter : dialog.nameFilters()) {
            const QString patterns = filter.section(u'(', -1).section(u')', 0, 0);
            if (patterns.split(u';').contains(pattern))
                dialog.selectNameFilter(filter);
        }
        // With the focus in the name field, as when an operator types, Qt drops the list's
        // selection of a file proposed earlier.
        dialog.activateWindow();
        [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(&dialog);
        edit->setFocus();
        edit->clear();
        QTest::keyClicks(edit, QFileInfo(path).fileName());
        QTest::keyClick(edit, Qt::Key_Return);
        if (dialog.isVisible())
            dialog.reject();
    };
}
