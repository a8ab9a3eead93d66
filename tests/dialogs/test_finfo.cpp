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

TEST_F(FormInfoTest, CentredOnTheMainWindow)
{
    runModal([&] { EXPECT_EQ(info->geometry().center(), owner.geometry().center()); });
}

TEST_F(FormInfoTest, EscTheButtonAndTheWindowManagersCloseBoxClose)
{
    EXPECT_TRUE(runModal([&] { QTest::keyClick(info.get(), Qt::Key_Escape); }));
    EXPECT_EQ(info->result(), QDialog::Rejected);
    EXPECT_TRUE(runModal([&] { QTest::mouseClick(info->sOK, Qt::LeftButton); }));
    // The close box that a window manager may draw anyway, or its Alt+F4: as Esc.
    EXPECT_TRUE(runModal([&] { info->windowHandle()->close(); }));
    EXPECT_EQ(info->result(), QDialog::Rejected);
}

TEST_F(FormInfoTest, NothingElseCloses)
{
    EXPECT_FALSE(runModal([&] { QTest::mouseClick(info->Lab, Qt::LeftButton); }));
    EXPECT_FALSE(runModal([&] { QTest::mouseClick(info.get(), Qt::LeftButton, {}, QPoint(128, 200)); }));
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
