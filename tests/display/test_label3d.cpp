#include "display/label3d.h"
#include "display/label3dgeometry.h"
#include "display/scoreboard.h"
#include "display/textblock.h"
#include "tvreference.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {

const QColor kBackground(128, 128, 128);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

QFont testFont(int pixels)
{
    QFont font;
    font.setFamilies({ QStringLiteral("Liberation Sans") });
    font.setBold(true);
    font.setPixelSize(pixels);
    return font;
}

// A transparent white label with a black drop shadow, left and top aligned.
void setUpLabel(TLabel3D &label, const QString &caption, QSize size = { 90, 60 })
{
    label.resize(size);
    label.setFont(testFont(36));
    label.setCaption(caption);
    label.setTransparent(true);
    label.setFontColor(kWhite);
    label.setShadowColor(kBlack);
    label.setHighLightColor(Qt::blue);
    label.setBevel(blShadow);
    label.setShadowSize(2);
    label.setShadowNapr(1);
}

QImage render(const TLabel3D &label, const QColor &background = kBackground)
{
    QImage image(label.size(), QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    label.Paint(painter);
    return image;
}

QColor pixel(const QImage &image, QPoint p)
{
    return image.rect().contains(p) ? image.pixelColor(p) : kBackground;
}

// Anti-aliasing leaves a glyph's inside a unit or two short of full coverage.
bool near(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3
        && std::abs(a.blue() - b.blue()) <= 3;
}

// Checks `layered` against the text drawn alone: full text pixels stay text, pixels
// that only a copy covers fully take the copy's colour, pixels no copy touches stay
// background. Returns how many copy pixels were seen.
int expectCopies(const QImage &alone, const QImage &layered, const QColor &text, const QColor &copy,
    const QList<QPoint> &offsets)
{
    int copyPixels = 0;
    int wrong = 0;
    for (int y = 0; y < alone.height(); ++y) {
        for (int x = 0; x < alone.width(); ++x) {
            const QPoint p(x, y);
            const QColor own = pixel(alone, p);
            bool covered = false;
            bool touched = false;
            for (const QPoint &o : offsets) {
                covered |= pixel(alone, p - o) == text;
                touched |= pixel(alone, p - o) != kBackground;
            }
            const QColor got = pixel(layered, p);
            QColor expected;
            if (own == text)
                expected = text;
            else if (own == kBackground && covered)
                expected = copy;
            else if (own == kBackground && !touched)
                expected = kBackground;
            else
                continue; // blended edges
            if (expected == copy && near(got, copy))
                ++copyPixels;
            if (!near(got, expected) && ++wrong <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << got.name().toStdString()
                              << ", expected " << expected.name().toStdString();
        }
    }
    return copyPixels;
}

TEST(Label3DPaint, BlackCopyTwoPixelsRightAndDown)
{
    TLabel3D label;
    setUpLabel(label, QStringLiteral("H4"));
    label.setShadowNapr(0);
    const QImage alone = render(label);
    label.setShadowNapr(1);
    const QImage layered = render(label);
    EXPECT_GT(expectCopies(alone, layered, kWhite, kBlack, { { 2, 2 } }), 40);
}

TEST(Label3DPaint, ShadowSizeZeroPutsEveryCopyUnderTheText)
{
    TLabel3D label;
    setUpLabel(label, QStringLiteral("H4"));
    label.setShadowNapr(0);
    const QImage alone = render(label);
    label.setShadowSize(0);
    label.setShadowNapr(255);
    const QImage layered = render(label);
    EXPECT_EQ(expectCopies(alone, layered, kWhite, kBlack, { { 0, 0 } }), 0);
    // The copies show only where the text's edges let them through.
    int darkerEdges = 0;
    for (int y = 0; y < alone.height(); ++y) {
        for (int x = 0; x < alone.width(); ++x) {
            const QColor a = alone.pixelColor(x, y);
            if (a != kWhite && a != kBackground && layered.pixelColor(x, y).red() < a.red())
                ++darkerEdges;
        }
    }
    EXPECT_GT(darkerEdges, 10);
}

TEST(Label3DPaint, AllDirectionsGiveAnOutline)
{
    TLabel3D label;
    setUpLabel(label, QStringLiteral("H4"));
    label.move(0, 0);
    label.setAlignment(taCenter);
    label.setShadowNapr(0);
    const QImage alone = render(label);
    label.setShadowNapr(255);
    const QImage layered = render(label);
    const QList<QPoint> all { { 2, 2 }, { -2, 2 }, { -2, -2 }, { 2, -2 }, { 2, 0 }, { 0, 2 }, { -2, 0 },
        { 0, -2 } };
    EXPECT_GT(expectCopies(alone, layered, kWhite, kBlack, all), 100);
    // Left of the H's first stem the outline shows too, not only below and right.
    int leftOutline = 0;
    for (int y = 0; y < alone.height(); ++y) {
        int x = 0;
        while (x < alone.width() && alone.pixelColor(x, y) == kBackground)
            ++x;
        if (x < alone.width() && x >= 2 && alone.pixelColor(x + 1, y) == kWhite)
            leftOutline += layered.pixelColor(x - 1, y) == kBlack;
    }
    EXPECT_GT(leftOutline, 10);
}

TEST(Label3DPaint, DisabledLabelDrawsNoFirstLayerAndGreyedText)
{
    TLabel3D label;
    setUpLabel(label, QStringLiteral("H4"));
    const QColor greyed(0, 160, 0);
    QPalette palette = label.palette();
    palette.setColor(QPalette::Disabled, QPalette::WindowText, greyed);
    label.setPalette(palette);
    label.setEnabled(false);
    label.setShadowNapr(0);
    const QImage alone = render(label); // the greyed text by itself
    label.setBevel(blRaised);
    label.setShadowNapr(1);
    const QImage disabled = render(label);
    label.setEnabled(true);
    const QImage enabled = render(label);

    const auto bluePixels = [](const QImage &image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += c.blue() > c.red() + 40 && c.blue() > c.green() + 40;
            }
        }
        return count;
    };
    EXPECT_GT(bluePixels(enabled), 20); // the highlight copy at (-2, -2)
    EXPECT_EQ(bluePixels(disabled), 0);
    EXPECT_GT(expectCopies(alone, disabled, greyed, kBlack, { { 2, 2 } }), 40);
}

TEST(Label3DPaint, InnerBorderOfWidthTwo)
{
    const QColor dark(200, 0, 0);
    const QColor light(0, 0, 220);
    const QColor face(200, 200, 0);
    TLabel3D label;
    setUpLabel(label, QString(), { 60, 40 });
    QPalette palette = label.palette();
    palette.setColor(QPalette::Active, QPalette::Dark, dark);
    palette.setColor(QPalette::Active, QPalette::Light, light);
    label.setPalette(palette);
    label.setTransparent(false);
    label.setColor(face);
    label.setBorderStyle(lbInn);
    label.setBorderWidth(2);
    const QImage image = render(label);

    // Outside in: lowered (dark top-left, light bottom-right) twice, then raised twice.
    const QColor fromLeft[] = { dark, dark, light, light, face };
    const QColor fromRight[] = { light, light, dark, dark, face };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(image.pixelColor(i, 20), fromLeft[i]) << "left " << i;
        EXPECT_EQ(image.pixelColor(30, i), fromLeft[i]) << "top " << i;
        EXPECT_EQ(image.pixelColor(59 - i, 20), fromRight[i]) << "right " << i;
        EXPECT_EQ(image.pixelColor(30, 39 - i), fromRight[i]) << "bottom " << i;
    }
    // Corners: top-left belongs to the top-left edges, the other three to the bottom-right ones.
    EXPECT_EQ(image.pixelColor(0, 0), dark);
    EXPECT_EQ(image.pixelColor(59, 0), light);
    EXPECT_EQ(image.pixelColor(0, 39), light);
    EXPECT_EQ(image.pixelColor(2, 37), dark);

    // The text area is the inside: 4 pixels in on every side.
    label.setCaption(QStringLiteral("H4"));
    const QImage framed = render(label);
    TLabel3D plain;
    setUpLabel(plain, QStringLiteral("H4"), { 52, 32 });
    plain.setTransparent(false);
    plain.setColor(face);
    const QImage inner = render(plain);
    EXPECT_EQ(framed.copy(4, 4, 52, 32), inner);
}

TEST(Label3DPaint, NoHorizontalGradientUnderTwoPixels)
{
    TLabel3D label;
    setUpLabel(label, QString(), { 1, 10 });
    label.setFillGradient(true);
    label.setFirstColor(kBlack);
    label.setLastColor(QColor(200, 100, 40));
    const QImage narrow = render(label);
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(narrow.pixelColor(0, y), kBackground) << y;

    label.resize(5, 10);
    const QImage wide = render(label);
    const QColor expected[]
        = { { 0, 0, 0 }, { 50, 25, 10 }, { 100, 50, 20 }, { 150, 75, 30 }, { 200, 100, 40 } };
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(wide.pixelColor(x, 0), expected[x]) << x;
        EXPECT_EQ(wide.pixelColor(x, 9), expected[x]) << x;
    }
}

TEST(Label3DPaint, TallCaptionMovesUpByHalfTheOverflow)
{
    const QFont font = testFont(40);
    const int lineHeight = QFontMetrics(font).height();
    const int height = 20;
    const int shift = (lineHeight - height) / 2;
    ASSERT_GT(shift, 5);

    TLabel3D top;
    setUpLabel(top, QStringLiteral("Hg"), { 80, lineHeight + 10 });
    top.setFont(font);
    TLabel3D centred;
    setUpLabel(centred, QStringLiteral("Hg"), { 80, height });
    centred.setFont(font);
    centred.setLayout(tlCenter);
    EXPECT_EQ(render(centred), render(top).copy(0, shift, 80, height));

    // A caption that fits is centred the ordinary way.
    TLabel3D roomy;
    setUpLabel(roomy, QStringLiteral("Hg"), { 80, lineHeight + 10 });
    roomy.setFont(font);
    roomy.setLayout(tlCenter);
    EXPECT_EQ(render(roomy).copy(0, 5, 80, lineHeight), render(top).copy(0, 0, 80, lineHeight));
}

TEST(Label3DPaint, WrappedCaptionRightJustifiedAtTheBottom)
{
    const QFont font = testFont(22);
    const int line = QFontMetrics(font).height();
    const QString caption = QStringLiteral("Anna Berg\r\nTSC Rot-Weiss Neustadt");
    const auto label = [&](TextLayout layout) {
        auto l = std::make_unique<TLabel3D>();
        setUpLabel(*l, caption, { 160, 100 });
        l->setFont(font);
        l->setShadowNapr(0);
        l->setAlignment(taRightJustify);
        l->setWordWrap(true);
        l->setLayout(layout);
        return l;
    };
    const QImage top = render(*label(tlTop));
    // Three lines: the break, then the club wrapped once at 160 pixels.
    const int spare = 100 - 3 * line;
    ASSERT_GT(spare, 10);
    EXPECT_EQ(render(*label(tlBottom)).copy(0, spare, 160, 3 * line), top.copy(0, 0, 160, 3 * line));
    for (int i = 0; i < 3; ++i) {
        int right = -1;
        for (int y = i * line; y < (i + 1) * line; ++y) {
            for (int x = 0; x < top.width(); ++x) {
                if (top.pixelColor(x, y) != kBackground)
                    right = std::max(right, x);
            }
        }
        EXPECT_GE(right, 160 - 4) << "line " << i;
    }
}

TEST(Label3DText, Measuring)
{
    const QFont font = testFont(20);
    const QFontMetrics metrics(font);
    const int line = metrics.height();
    struct Case
    {
        const char *caption;
        TLabel3DBevel bevel;
        bool wordWrap, accel;
        unsigned flags;
        int width; // of the rectangle
        int lines;
        const char *widthOf; // expected text width: this text's advance; nullptr: not checked
    };
    const Case cases[] = {
        { "Abcd\r\nA", blShadow, false, true, tfLeft, 200, 2, "Abcd" },
        { "Ab\nCd\rEf", blShadow, false, true, tfLeft, 200, 3, nullptr },
        { "", blShadow, false, true, tfLeft, 200, 1, " " },
        { "&", blShadow, false, true, tfLeft, 200, 1, " " },
        { "aaaa bbbb", blShadow, true, true, tfWordBreak, 70, 2, "bbbb" },
        { "aaaa bbbb", blShadow, false, true, tfWordBreak, 70, 1, "aaaa bbbb" },
        { "aaaa bbbb", blNone, false, true, tfWordBreak, 70, 2, "bbbb" }, // flags stand without a bevel
        { "&Ab", blShadow, false, true, tfLeft, 200, 1, "Ab" },
        { "&Ab", blShadow, false, false, tfLeft, 200, 1, "&Ab" },
        { "A&&b", blShadow, false, true, tfLeft, 200, 1, "A&b" },
        { "Hier ist ein sehr langes Wort", blShadow, true, true, tfCenter, 20, 6, nullptr },
    };
    for (const Case &c : cases) {
        TLabel3D label;
        label.setFont(font);
        label.setCaption(QString::fromUtf8(c.caption));
        label.setBevel(c.bevel);
        label.setWordWrap(c.wordWrap);
        label.setShowAccelChar(c.accel);
        QImage image(10, 10, QImage::Format_RGB32);
        QPainter painter(&image);
        QRect r(5, 7, c.width, 10);
        label.DrawLayeredText(painter, r, c.flags | tfCalcRect);
        EXPECT_EQ(r.topLeft(), QPoint(5, 7)) << c.caption;
        EXPECT_EQ(r.height(), c.lines * line) << c.caption;
        if (c.widthOf) {
            EXPECT_NEAR(r.width(), metrics.horizontalAdvance(QString::fromUtf8(c.widthOf)), 1) << c.caption;
        }
    }
}

TEST(Label3DText, AcceleratorIsUnderlined)
{
    TLabel3D plain;
    setUpLabel(plain, QStringLiteral("Ab"), { 80, 60 });
    plain.setShadowNapr(0);
    TLabel3D accel;
    setUpLabel(accel, QStringLiteral("&Ab"), { 80, 60 });
    accel.setShadowNapr(0);
    const QImage a = render(plain);
    const QImage b = render(accel);
    ASSERT_NE(a, b);
    // Only below the baseline, under the A, does anything change.
    const int baseline = QFontMetrics(plain.font()).ascent();
    const int aWidth = QFontMetrics(plain.font()).horizontalAdvance(u'A');
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixelColor(x, y) != b.pixelColor(x, y)) {
                EXPECT_GE(y, baseline - 1) << x << "," << y;
                EXPECT_LE(x, aWidth + 1) << x << "," << y;
            }
        }
    }
    accel.setShowAccelChar(false);
    EXPECT_NE(render(accel), b);
}

QFont narrowFont(int pixels)
{
    QFont font;
    font.setFamilies({ QStringLiteral("Liberation Sans Narrow") });
    font.setBold(true);
    font.setPixelSize(pixels);
    return font;
}

// Digits of Liberation Sans Narrow are 0.456 em wide, a line is 1.117 em high
// (ascent 0.905, descent 0.212, each rounded to whole pixels).
TEST(Label3DFit, SmallerFontThenCut)
{
    const unsigned oneLine = tfCenter;
    const unsigned wrapped = tfLeft | tfWordBreak;
    // 3 x 0.456 x 80 = 109 of 171.
    EXPECT_EQ(fitText(QStringLiteral("117"), narrowFont(80), { 171, 119 }, oneLine), TextFit {});
    EXPECT_EQ(fitText(QString(), narrowFont(80), { 1, 1 }, oneLine), TextFit {});

    // 4 x 0.456 x s <= 167: s = 91 at most; and nothing larger fits.
    const TextFit number = fitText(QStringLiteral("1024"), narrowFont(119), { 167, 119 }, oneLine);
    EXPECT_NEAR(number.pixelSize, 91, 2);
    EXPECT_EQ(number.maxLines, 0);
    EXPECT_LE(QFontMetrics(narrowFont(number.pixelSize)).horizontalAdvance(QStringLiteral("1024")), 167);
    EXPECT_GT(QFontMetrics(narrowFont(number.pixelSize + 1)).horizontalAdvance(QStringLiteral("1024")), 167);

    // Three lines in 119: 39 a line at most, 32 + 7 at 35 (36 gives 33 + 8).
    const QString threeLines = QStringLiteral("Anna Berg\r\nMax Weber\r\nTSC Rostock");
    const TextFit name = fitText(threeLines, narrowFont(51), { 1511, 119 }, wrapped);
    EXPECT_NEAR(name.pixelSize, 35, 1);
    EXPECT_EQ(name.maxLines, 0);
    EXPECT_LE(3 * QFontMetrics(narrowFont(name.pixelSize)).height(), 119);
    EXPECT_GT(3 * QFontMetrics(narrowFont(name.pixelSize + 1)).height(), 119);

    // Below half the size nothing fits: 10 digits need 22 pixels or less.
    EXPECT_EQ(
        fitText(QStringLiteral("1234567890"), narrowFont(100), { 100, 100 }, oneLine), (TextFit { 50, 1 }));
    // Six lines at 26 pixels (29 or 30 a line): three of them in 100.
    EXPECT_EQ(fitText(QStringLiteral("A\nB\nC\nD\nE\nF"), narrowFont(51), { 1511, 100 }, wrapped),
        (TextFit { 26, 3 }));
}

TEST(Label3DFit, CutTextEndsInAnEllipsis)
{
    const QChar ellipsis(0x2026);
    const TextBlock number(QStringLiteral("1234567890"), narrowFont(50), 100, tfCenter, 1);
    EXPECT_EQ(number.lineCount(), 1);
    EXPECT_LE(number.size().width(), 100);
    EXPECT_TRUE(number.displayText().endsWith(ellipsis)) << number.displayText().toStdString();

    // Wrapped words: the third line takes the rest and is cut at the width.
    QString words;
    for (int i = 0; i < 40; ++i)
        words += QStringLiteral("Wort%1 ").arg(i);
    const TextBlock cut(words, narrowFont(20), 200, tfWordBreak, 3);
    EXPECT_EQ(cut.lineCount(), 3);
    EXPECT_LE(cut.size().width(), 200);
    EXPECT_TRUE(cut.displayText().startsWith(QStringLiteral("Wort0 Wort1")));
    EXPECT_TRUE(cut.displayText().endsWith(ellipsis)) << cut.displayText().toStdString();

    // A text that fits stays whole.
    const TextBlock whole(QStringLiteral("A\nB"), narrowFont(20), 200, tfLeft, 3);
    EXPECT_EQ(whole.displayText(), QStringLiteral("A\u2028B"));
}

// The TV window's number and name labels at 1920 x 1080 (from the reference layout) and
// the number at 1024 x 768 (49, 28, 91 x 85; font 85).
TEST(Label3DFit, TVNumberAndNameAreNotCut)
{
    const QString fourLines = QStringLiteral(
        "Anna-Katharina Schmidt-L\u00fcdenscheidt und Maximilian Alexander von "
        "Hohenberg-Schillingsf\u00fcrst "
        "mit Friederike Sophie M\u00fcller-Wachtendonk\r\nTanzsportclub Blau-Gold im Turn- und Sportverein "
        "Rostock-Warnem\u00fcnde von 1898 e. V.");
    const QRect num = kTVReference[9].bounds;
    const QRect name = kTVReference[10].bounds;
    ASSERT_EQ(kTVReference[10].item, ScoreboardItem::LabName);
    struct Case
    {
        ScoreboardItem item;
        QSize size;
        int font;
        QString caption;
        int digits; // 0: the name, whose lines are counted instead
    };
    const Case cases[] = {
        { ScoreboardItem::LabNum, num.size(), kTVReference[9].charHeight, QStringLiteral("1024"), 4 },
        { ScoreboardItem::LabNum, { 91, 85 }, 85, QStringLiteral("117"), 3 },
        { ScoreboardItem::LabName, name.size(), kTVReference[10].charHeight, fourLines, 0 },
    };
    for (const Case &c : cases) {
        QWidget window;
        window.resize(1920, 1080);
        Scoreboard board(&window, ScoreboardWindow::TV);
        TLabel3D *label = board.item(c.item);
        label->resize(c.size);
        QFont font = label->font();
        font.setPixelSize(c.font);
        label->setFont(font);
        label->setCaption(c.caption);
        window.show();
        QApplication::processEvents();
        const QImage image = render(*label);
        const QColor text = label->FontColor();

        // Columns with ink, and runs of columns (rows for the name) with the text colour, which
        // the black shadow leaves apart: one a digit or a line.
        int left = image.width(), right = -1, digits = 0, lines = 0;
        QList<bool> textRows(image.height());
        bool inRun = false;
        for (int x = 0; x < image.width(); ++x) {
            bool textColumn = false;
            for (int y = 0; y < image.height(); ++y) {
                const QColor p = image.pixelColor(x, y);
                if (p != kBackground) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
                textColumn |= near(p, text);
                textRows[y] = textRows[y] || near(p, text);
            }
            digits += textColumn && !inRun;
            inRun = textColumn;
        }
        for (int y = 0; y < image.height(); ++y)
            lines += textRows[y] && (y == 0 || !textRows[y - 1]);
        const std::string what = c.caption.left(20).toStdString();
        if (c.digits) {
            EXPECT_GT(left, 0) << what;
            EXPECT_LT(right, image.width() - 1) << what;
            EXPECT_EQ(digits, c.digits) << what;
        } else {
            // Even at half the size the couple takes two lines and the club one; the first
            // and the last line are whole, not cut by the edges.
            EXPECT_GE(lines, 3) << what;
            EXPECT_FALSE(textRows.first()) << what;
            EXPECT_FALSE(textRows.last()) << what;
        }
    }
}

class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST(Label3DProperties, SettersRepaintOnlyOnChange)
{
    TLabel3D label;
    label.resize(60, 30);
    PaintCounter counter;
    label.installEventFilter(&counter);
    label.show();
    for (int i = 0; i < 5 && counter.paints == 0; ++i)
        QApplication::processEvents();
    ASSERT_GT(counter.paints, 0) << "the offscreen platform does not paint";

    struct Setter
    {
        const char *name;
        std::function<void()> same, other;
    };
    // The unchanged values of properties without a getter call are the values when created.
    TLabel3D *l = &label;
    const Setter setters[] = {
        { "Caption", [=] { l->setCaption(l->Caption()); }, [=] { l->setCaption("x"); } },
        { "FontColor", [=] { l->setFontColor(l->FontColor()); }, [=] { l->setFontColor(Qt::red); } },
        { "Color", [=] { l->setColor(l->Color()); }, [=] { l->setColor(Qt::red); } },
        { "Alignment", [=] { l->setAlignment(taLeftJustify); }, [=] { l->setAlignment(taCenter); } },
        { "Layout", [=] { l->setLayout(tlTop); }, [=] { l->setLayout(tlBottom); } },
        { "WordWrap", [=] { l->setWordWrap(false); }, [=] { l->setWordWrap(true); } },
        { "Transparent", [=] { l->setTransparent(false); }, [=] { l->setTransparent(true); } },
        { "ShowAccelChar", [=] { l->setShowAccelChar(true); }, [=] { l->setShowAccelChar(false); } },
        { "FirstColor", [=] { l->setFirstColor(Qt::white); }, [=] { l->setFirstColor(Qt::red); } },
        { "LastColor", [=] { l->setLastColor(QColor(0, 128, 128)); }, [=] { l->setLastColor(Qt::red); } },
        { "FillGradient", [=] { l->setFillGradient(false); }, [=] { l->setFillGradient(true); } },
        { "GradientOrientation", [=] { l->setGradientOrientation(goHorizontal); },
            [=] { l->setGradientOrientation(goVertical2); } },
        { "HighLightColor", [=] { l->setHighLightColor(l->HighLightColor()); },
            [=] { l->setHighLightColor(QColor(1, 2, 3)); } },
        { "ShadowColor", [=] { l->setShadowColor(l->ShadowColor()); },
            [=] { l->setShadowColor(QColor(1, 2, 3)); } },
        { "Bevel", [=] { l->setBevel(blRaised); }, [=] { l->setBevel(blShadow); } },
        { "ShadowSize", [=] { l->setShadowSize(1); }, [=] { l->setShadowSize(2); } },
        { "ShadowNapr", [=] { l->setShadowNapr(1); }, [=] { l->setShadowNapr(255); } },
        { "BorderColor", [=] { l->setBorderColor(Qt::black); }, [=] { l->setBorderColor(Qt::red); } },
        { "BorderWidth", [=] { l->setBorderWidth(1); }, [=] { l->setBorderWidth(3); } },
        { "BorderStyle", [=] { l->setBorderStyle(lbNone); }, [=] { l->setBorderStyle(lbOut); } },
    };
    for (const Setter &setter : setters) {
        QApplication::processEvents();
        counter.paints = 0;
        setter.same();
        QApplication::processEvents();
        EXPECT_EQ(counter.paints, 0) << setter.name << " unchanged";
        setter.other();
        QApplication::processEvents();
        EXPECT_GT(counter.paints, 0) << setter.name << " changed";
    }
}

// Large text is painted from a kept picture; every change must show as Paint() draws it.
TEST(Label3DProperties, LargeTextShowsEveryChange)
{
    TLabel3D label;
    setUpLabel(label, QStringLiteral("12"), { 260, 150 });
    label.setFont(testFont(110));
    const auto shown = [&label] {
        QImage image(label.size(), QImage::Format_RGB32);
        image.fill(kBackground);
        label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    };
    const auto expectAsPainted = [&](const char *step) {
        const QImage expected = render(label);
        const QImage actual = shown();
        ASSERT_EQ(actual.size(), expected.size()) << step;
        int differing = 0;
        for (int y = 0; y < expected.height(); ++y) {
            for (int x = 0; x < expected.width(); ++x)
                differing += !near(actual.pixelColor(x, y), expected.pixelColor(x, y));
        }
        EXPECT_EQ(differing, 0) << step;
    };
    const struct
    {
        const char *name;
        std::function<void()> change;
    } steps[] = {
        { "first paint", [] {} },
        { "caption", [&] { label.setCaption(QStringLiteral("47")); } },
        { "font", [&] { label.setFont(testFont(130)); } },
        { "colour", [&] { label.setFontColor(Qt::yellow); } },
        { "shadow", [&] { label.setShadowSize(6); } },
        { "size", [&] { label.resize(200, 170); } },
        { "disabled", [&] { label.setEnabled(false); } },
    };
    for (const auto &step : steps) {
        step.change();
        expectAsPainted(step.name);
    }
}

} // namespace
