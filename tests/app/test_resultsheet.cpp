#include "app/mainwindow.h"
#include "exchange/filedialog.h"
#include "grid/sortgrid.h"
#include "platform/messagebox.h"
#include "platform/monitors.h"
#include "support/filedialogdriver.h"
#include "support/pdfprinters.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Couples whose names and clubs are as long as a regional championship brings.
QList<QStringList> longCouples()
{
    const QStringList gentlemen { "Maximilian-Alexander von Hohenberg", "Jörg Schäfer",
        "Konstantin Weißenfels", "Friedrich Wilhelm zu Löwenstein-Wertheim", "Ben Ott",
        "Hans-Jürgen Großkopf" };
    const QStringList ladies { "Anna-Katharina Müller-Lüdenscheidt", "Eva Kühn", "Mareike Oberndorfer-Strauß",
        "Lea Pohl" };
    const QStringList clubs { "Tanzsportclub Blau-Gold Rot-Weiß Mönchengladbach e.V.", "TSC Casino Dresden",
        "Tanzsportgemeinschaft Schwarz-Silber im Turn- und Sportverein 1887 Bad Kreuznach", "TC Hansa" };
    QList<QStringList> couples;
    for (int i = 0; i < 24; ++i) {
        QStringList row { QString::number(101 + i),
            gentlemen[i % gentlemen.size()] + QStringLiteral(" / ") + ladies[i % ladies.size()],
            clubs[i % clubs.size()] };
        for (int judge = 0; judge < 7; ++judge)
            row.append(QString::number(4 + (i + judge) % 6));
        couples.append(row);
    }
    return couples;
}

class ResultSheet : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    FixedMonitorList monitors { { QRect(0, 0, 1920, 1080) } };
    std::unique_ptr<TForm1> form;

    void SetUp() override
    {
        // Seven judges, as the settings of the last run left them.
        const QString settings = dir.filePath(QStringLiteral("Scorelane.ini"));
        QSettings stored(settings, QSettings::IniFormat);
        for (const auto &[key, value] :
            { std::pair { "Left", 313 }, { "Top", 129 }, { "KeepAR", 1 }, { "Monitor", 0 }, { "ColSUD", 7 } })
            stored.setValue(QString::fromLatin1(key), value);
        stored.sync();
        form = std::make_unique<TForm1>(TForm1::Environment { settings, &monitors });
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QApplication::setActiveWindow(form.get());
        form->SortGrid1->setFocus();
    }
    void TearDown() override
    {
        FileDialog::setDriverForTests(nullptr);
        MessageBox::setAutoAnswer(std::nullopt);
    }
};

// A laptop without a printer saves the sheet as PDF; every name and club is printed whole.
TEST_F(ResultSheet, TwentyFourLongCouplesPrintWholeWithHeading)
{
    const QList<QStringList> couples = longCouples();
    const QString list = dir.filePath(QStringLiteral("Landesmeisterschaft Standard.txt"));
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (const QStringList &row : couples)
        file.write((row.join(u'\t') + QStringLiteral("\r\n")).toLatin1()); // Windows-1252 for these
    file.close();
    FileDialog::setDriverForTests(typePath(list));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(form->SortGrid1->RowCount(), 25) << MessageBox::lastText().toStdString();
    ASSERT_EQ(form->SortGrid1->ColWidths(9), form->SortGrid1->DefaultColWidth()); // J.7 shown

    // Made in the test's own folder: ctest runs this test alone and within the whole binary
    // at the same time.
    const QString pdf = dir.filePath(QStringLiteral("resultsheet.pdf"));
    form->SortGrid1->setPrinterProvider(std::make_shared<PdfPrinters>(QStringList(), QString()));
    FileDialog::setDriverForTests(typePath(pdf));
    MessageBox::setNextAnswer(QMessageBox::Save); // "Als PDF speichern..."
    QApplication::setActiveWindow(form.get());
    const QDateTime before = QDateTime::currentDateTime();
    QTest::keyClick(form.get(), Qt::Key_P, Qt::ControlModifier);
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_TRUE(QFile::exists(pdf)) << MessageBox::lastText().toStdString();

    const QString text = pdfText(pdf);
    for (const QStringList &row : couples) {
        EXPECT_TRUE(text.contains(row[1])) << "name cut: " << row[1].toStdString();
        EXPECT_TRUE(text.contains(row[2])) << "club cut: " << row[2].toStdString();
    }
    EXPECT_TRUE(text.contains(QStringLiteral("Landesmeisterschaft Standard")));
    const QString format = QStringLiteral("'Gedruckt am 'dd.MM.yyyy' um 'HH:mm' Uhr'");
    EXPECT_TRUE(text.contains(before.toString(format)) || text.contains(after.toString(format)))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Seite 1 von "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("J.7")));

    const QString png = dir.filePath(QStringLiteral("resultsheet-page1"));
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
        { QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-singlefile"),
            QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"), pdf, png });
    ASSERT_TRUE(render.waitForFinished(30000));
    const QImage page(png + QStringLiteral(".png"));
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(page.width(), page.height()); // seven judges beside these names: landscape
    // The first page as a picture beside the test's other output, to be looked at.
    const QString kept = QDir::current().filePath(QStringLiteral("resultsheet-page1.png"));
    QFile::remove(kept);
    QFile::copy(png + QStringLiteral(".png"), kept);
}

} // namespace
