#include "dialogs/finfo.h"
#include "platform/maker.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Stands in for the desktop's web browser.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

class FormInfoTest : public ::testing::Test
{
protected:
    QWidget owner;
    std::unique_ptr<TFormInfo> info;
    UrlCatcher catcher;

    void SetUp() override
    {
        QApplication::setWindowIcon(TFormInfo::programIcon());
        owner.setGeometry(300, 200, 900, 525);
        owner.show();
        info = std::make_unique<TFormInfo>(&owner);
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    }
    void TearDown() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

    // Shows the window modally, as the program does, and runs `inside` while it is up;
    // true when the window closed by itself afterwards.
    bool runModal(const std::function<void()> &inside)
    {
        bool closed = false;
        QTimer::singleShot(0, info.get(), [&] {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(info.get()));
            inside();
            QApplication::processEvents();
            closed = !info->isVisible();
            if (!closed)
                info->done(QDialog::Rejected); // the test's own way out
        });
        info->exec();
        return closed;
    }
};

} // namespace

TEST_F(FormInfoTest, TextsAndPlaces)
{
    EXPECT_EQ(info->windowTitle(), QStringLiteral("Information"));
    EXPECT_EQ(info->size(), QSize(256, 426));
    EXPECT_EQ(info->palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_FALSE(info->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(info->windowFlags() & Qt::WindowSystemMenuHint);

    EXPECT_EQ(info->Image1->geometry(), QRect(10, 4, 238, 65));
    EXPECT_EQ(info->Image1->pixmap().size(), QSize(238, 65));
    EXPECT_EQ(info->Panel1->geometry(), QRect(8, 60, 38, 38));
    EXPECT_EQ(info->ImageICON->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(info->ImageICON->pixmap().toImage(), TFormInfo::programIcon().pixmap(32, 32).toImage());

    EXPECT_EQ(info->Label1->text(), QStringLiteral("Scorelane"));
    EXPECT_EQ(info->Label1->geometry().right() + 1, 246);
    EXPECT_EQ(info->Label1->y(), 64);
    EXPECT_TRUE(info->Label1->font().bold());
    EXPECT_TRUE(info->Label1->font().underline());
    EXPECT_EQ(info->Label1->font().pixelSize(), 24);
    EXPECT_EQ(info->Label1->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    EXPECT_TRUE(info->Label1->alignment() & Qt::AlignRight);

    EXPECT_EQ(info->LabelVer->text(), QStringLiteral("Version 1.6 (18.03.2018)"));
    EXPECT_EQ(info->LabelVer->geometry().right() + 1, 245);
    EXPECT_EQ(info->LabelVer->y(), 95);
    EXPECT_EQ(info->LabelVer->font().pixelSize(), 15);

    EXPECT_EQ(info->sOK->text(), QStringLiteral("Einverstanden"));
    EXPECT_EQ(info->sOK->geometry(), QRect(56, 347, 145, 28));
    EXPECT_TRUE(info->sOK->font().bold());
    EXPECT_FALSE(info->sOK->icon().isNull());

    EXPECT_EQ(info->Lab->geometry(), QRect(8, 377, 238, 30));
    EXPECT_EQ(info->Lab->text(),
        QStringLiteral("Lob und Kritik, Verbesserungsvorschläge,\n"
                       "Fragen und Bestellungen bitte schriftlich über"));
    EXPECT_EQ(info->Label2->x(), 55);
    EXPECT_EQ(info->Label2->y(), 408);
    EXPECT_EQ(info->Label2->width(), 137);
    EXPECT_EQ(info->Label2->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_TRUE(info->Label2->font().underline());
    EXPECT_EQ(info->Label2->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(info->Image1->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(FormInfoTest, CentredOnTheMainWindow)
{
    runModal([&] { EXPECT_EQ(info->geometry().center(), owner.geometry().center()); });
}

TEST_F(FormInfoTest, EscAndTheButtonClose)
{
    EXPECT_TRUE(runModal([&] { QTest::keyClick(info.get(), Qt::Key_Escape); }));
    EXPECT_TRUE(runModal([&] { QTest::mouseClick(info->sOK, Qt::LeftButton); }));
}

TEST_F(FormInfoTest, NothingElseCloses)
{
    EXPECT_FALSE(runModal([&] { QTest::mouseClick(info->Lab, Qt::LeftButton); }));
    EXPECT_FALSE(runModal([&] { QTest::mouseClick(info.get(), Qt::LeftButton, {}, QPoint(128, 200)); }));
    // The window manager's close request, as from its menu or Alt+F4.
    EXPECT_FALSE(runModal([&] { info->windowHandle()->close(); }));
    EXPECT_TRUE(catcher.opened.isEmpty());
}

TEST_F(FormInfoTest, WithAWebAddressTheLogoAndTheAddressOpenItAndTheWindowStays)
{
    const QUrl page(QStringLiteral("https://tanzsport.invalid/scorelane"));
    info->setContactUrl(page);
    EXPECT_EQ(info->Label2->text(), QStringLiteral("tanzsport.invalid/scorelane"));
    EXPECT_FALSE(runModal([&] { QTest::mouseClick(info->Image1, Qt::LeftButton); }));
    EXPECT_FALSE(runModal([&] { QTest::mouseClick(info->Label2, Qt::LeftButton); }));
    EXPECT_EQ(catcher.opened, QList<QUrl>({ page, page }));
}

// No web address is set yet: nothing links to a placeholder; the link opens the manual.
TEST_F(FormInfoTest, WithoutAWebAddressTheLinkOpensTheManual)
{
    info->setContactUrl(QUrl());
    EXPECT_EQ(info->Label2->text(), QString::fromUtf8(Maker::kEmail));
    info->grab().save(QStringLiteral("finfo_without_web_address.png")); // to look at
    int manuals = 0;
    info->openManual = [&] { ++manuals; };
    EXPECT_TRUE(runModal([&] { QTest::mouseClick(info->Label2, Qt::LeftButton); }));
    QApplication::processEvents();
    EXPECT_EQ(manuals, 1);
    EXPECT_TRUE(runModal([&] { QTest::mouseClick(info->Image1, Qt::LeftButton); }));
    QApplication::processEvents();
    EXPECT_EQ(manuals, 2);
    EXPECT_TRUE(catcher.opened.isEmpty());
}

#include "test_finfo.moc"
