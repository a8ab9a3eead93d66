// Writes the sample files that the package installs under share/doc/scorelane/examples:
//   make_examples OUTDIR
// a start list of 24 couples, the finished protocol of the same couples (five judges,
// with shared places) and three logos, all through the program's own writers.
#include "exchange/biffwriter.h"
#include "exchange/textresultfile.h"
#include "exchange/workbookwriter.h"
#include "exchange/xlsxworkbookwriter.h"
#include "grid/sortgridcore.h"
#include "platform/fileio.h"
#include "platform/jpegencoder.h"
#include "scoring/resulttable.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

struct Couple
{
    const char *number, *name, *club;
    int marks[5];
};

// Invented couples. 112 and 117 reach the same net and raw totals and share their place,
// as do 104 and 121.
const Couple kCouples[] = {
    { "101", "Jürgen Köhler / Anneliese Müller", "TSC Grün-Gold Süd", { 8, 7, 9, 8, 8 } },
    { "102", "Sören Weiß / Brigitte Schäfer", "Tanzclub Blau-Weiß", { 7, 7, 6, 8, 7 } },
    { "103", "Lukas Öztürk / Hanna Groß", "TSV Rot-Gold Nord", { 9, 9, 8, 9, 10 } },
    { "104", "Björn Jäger / Käthe Bäumer", "TSC Grün-Gold Süd", { 6, 7, 7, 8, 7 } },
    { "105", "Matthias Krüger / Zoë Lührs", "Tanzsportclub Hansa", { 8, 8, 8, 7, 9 } },
    { "106", "Ömer Yıldız / Lea Brückner", "TC Blau-Orange", { 5, 6, 6, 7, 6 } },
    { "107", "Felix Görres / Mia Fröhlich", "Tanzclub Blau-Weiß", { 9, 8, 8, 9, 8 } },
    { "108", "Jonas Häußler / Lena Dürr", "TSV Rot-Gold Nord", { 7, 6, 7, 7, 8 } },
    { "109", "Niklas Pöhlmann / Sophie Kühn", "Tanzsportclub Hansa", { 10, 9, 9, 10, 9 } },
    { "110", "Tobias Rößler / Emma Bär", "TC Blau-Orange", { 6, 6, 5, 6, 7 } },
    { "111", "Νίκος Παπαδόπουλος / Ελένη Γεωργίου", "Χορευτικός Όμιλος Αθηνών", { 8, 9, 8, 8, 9 } },
    { "112", "Paul Meißner / Clara Sänger", "TSC Grün-Gold Süd", { 7, 8, 8, 7, 9 } },
    { "113", "Max Schütz / Johanna Völker", "Tanzclub Blau-Weiß", { 6, 5, 6, 6, 5 } },
    { "114", "Leon Wünsche / Marie Höfer", "TSV Rot-Gold Nord", { 9, 10, 9, 9, 10 } },
    { "115", "Erik Blümel / Nele Ständer", "Tanzsportclub Hansa", { 7, 7, 7, 6, 7 } },
    { "116", "David Kränzle / Ida Münch", "TC Blau-Orange", { 8, 7, 8, 8, 7 } },
    { "117", "Elias Fuß / Amélie Lößner", "TSC Grün-Gold Süd", { 8, 7, 9, 7, 8 } },
    { "118", "Noah Käfer / Greta Schön", "Tanzclub Blau-Weiß", { 5, 5, 6, 4, 5 } },
    { "119", "Anton Grün / Frieda Hübner", "TSV Rot-Gold Nord", { 9, 9, 9, 8, 9 } },
    { "120", "Moritz Jürß / Luise Rühl", "Tanzsportclub Hansa", { 6, 7, 6, 6, 6 } },
    { "121", "Henri Bößel / Ella Ködel", "TC Blau-Orange", { 7, 6, 7, 8, 7 } },
    { "122", "Oskar Löw / Pia Tränkle", "TSC Grün-Gold Süd", { 10, 10, 9, 10, 10 } },
    { "123", "Karl Müßig / Romy Ährens", "Tanzclub Blau-Weiß", { 7, 8, 7, 7, 7 } },
    { "124", "Emil Schäuble / Maja Dölle", "TSV Rot-Gold Nord", { 8, 8, 7, 8, 8 } },
};

void fillTable(SortGridCore &grid)
{
    grid.setRowCount(int(std::size(kCouples)) + 1);
    int row = 1;
    for (const Couple &c : kCouples) {
        grid.setCells(ResultTable::ColNumber, row, QString::fromUtf8(c.number));
        grid.setCells(ResultTable::ColName, row, QString::fromUtf8(c.name));
        grid.setCells(ResultTable::ColClub, row, QString::fromUtf8(c.club));
        for (int judge = 1; judge <= 5; ++judge)
            grid.setCells(ResultTable::markColumn(judge), row, QString::number(c.marks[judge - 1]));
        ++row;
    }
}

// A start list as an organiser writes one: number, name and club, nothing for the marks
// (the program's own save writes a blank into every empty cell). UTF-8 with a byte-order
// mark: Windows-1252 has no Greek.
void writeStartList(const QString &fileName)
{
    QByteArray bytes("\xEF\xBB\xBFNr.\tName\tVerein\r\n");
    for (const Couple &c : kCouples)
        bytes += QByteArray(c.number) + '\t' + c.name + '\t' + c.club + "\r\n";
    FileIo::writeFileAtomically(fileName, bytes);
}

void writeProtocol(const QString &fileName)
{
    SortGridCore grid;
    ResultTable table(grid);
    table.setUpGrid();
    table.writeHeader();
    table.SetJudgeCount(5);
    fillTable(grid);
    table.AssignPlaces();
    SaveTextFile(grid, fileName);
}

// The start list as the program saves it as a workbook, in both formats.
void writeStartListWorkbooks(const QDir &out)
{
    SortGridCore grid;
    ResultTable table(grid);
    table.setUpGrid();
    table.writeHeader();
    table.SetJudgeCount(5);
    grid.setRowCount(int(std::size(kCouples)) + 1);
    for (int i = 0; i < int(std::size(kCouples)); ++i) {
        grid.setCells(ResultTable::ColNumber, i + 1, QString::fromUtf8(kCouples[i].number));
        grid.setCells(ResultTable::ColName, i + 1, QString::fromUtf8(kCouples[i].name));
        grid.setCells(ResultTable::ColClub, i + 1, QString::fromUtf8(kCouples[i].club));
    }
    // Named as the installed program names its sheets, not after this tool.
    const WorkbookLayout layout = WorkbookWriter::layoutOf(grid, QStringLiteral("Scorelane"));
    FileIo::writeFileAtomically(out.filePath(QStringLiteral("Starterliste.xls")), biffWorkbookBytes(layout));
    FileIo::writeFileAtomically(out.filePath(QStringLiteral("Starterliste.xlsx")), xlsxWorkbookBytes(layout));
}

// A club logo of our own: a coloured band, a ring and the club's name, 16:9.
QImage logo(const QString &name, const QColor &from, const QColor &to, int rings)
{
    QImage image(1280, 720, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient ground(0, 0, 1280, 720);
    ground.setColorAt(0, from);
    ground.setColorAt(1, to);
    painter.fillRect(image.rect(), ground);
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < rings; ++i) {
        painter.setPen(QPen(QColor(255, 255, 255, 200 - 50 * i), 14));
        painter.drawEllipse(QPoint(640, 290), 150 + 40 * i, 150 + 40 * i);
    }
    // Two figures of a couple, as simple strokes.
    painter.setPen(QPen(QColor(242, 194, 48), 18, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath couple;
    couple.moveTo(590, 400);
    couple.cubicTo(600, 300, 610, 240, 620, 200);
    couple.moveTo(690, 400);
    couple.cubicTo(680, 320, 670, 260, 660, 210);
    couple.moveTo(560, 250);
    couple.lineTo(720, 230);
    painter.drawPath(couple);
    painter.setBrush(QColor(242, 194, 48));
    painter.drawEllipse(QPoint(622, 172), 22, 22);
    painter.drawEllipse(QPoint(664, 182), 20, 20);

    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(84);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 520, 1280, 140), Qt::AlignCenter, name);
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_examples OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    try {
        writeStartList(out.filePath(QStringLiteral("Starterliste.txt")));
        writeProtocol(out.filePath(QStringLiteral("Protokoll.txt")));
        writeStartListWorkbooks(out);
        const struct
        {
            const char *file, *name;
            QColor from, to;
            int rings;
        } logos[] = {
            { "TV-Logo.jpg", "Frühjahrspokal 2025", QColor(20, 40, 110), QColor(8, 14, 40), 1 },
            { "TV-Logo1.jpg", "TSC Grün-Gold Süd", QColor(10, 100, 60), QColor(4, 30, 20), 2 },
            { "TV-Logo2.jpg", "Tanzclub Blau-Weiß", QColor(30, 90, 170), QColor(230, 236, 245), 3 },
        };
        for (const auto &l : logos) {
            FileIo::writeFileAtomically(out.filePath(QLatin1String(l.file)),
                Jpeg::encode(logo(QString::fromUtf8(l.name), l.from, l.to, l.rings)));
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "make_examples: %s\n", error.what());
        return 1;
    }
    return 0;
}
