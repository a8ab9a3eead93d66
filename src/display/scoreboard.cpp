#include "display/scoreboard.h"

#include "display/label3d.h"
#include "scoring/resulttable.h"

#include <QWidget>

namespace {

const char *const kItemNames[kScoreboardItemCount] = { "LabNum", "LabName", "Lab1", "Lab2", "Lab3", "Lab4",
    "Lab5", "Lab6", "Lab7", "LabGesamt", "LabPlatz", "xLab1", "xLab2" };

bool isStrikeMark(ScoreboardItem item)
{
    return item == ScoreboardItem::xLab1 || item == ScoreboardItem::xLab2;
}

TLabel3D *createItem(QWidget *parent, ScoreboardItem item, ScoreboardWindow window)
{
    const ScoreboardLook look = scoreboardLook(item, window);
    auto *label = new TLabel3D(parent);
    label->setObjectName(QString::fromLatin1(kItemNames[int(item)]));
    QFont font = label->font();
    font.setFamilies(look.families);
    font.setBold(look.bold);
    font.setItalic(false);
    font.setPixelSize(look.charHeight);
    label->setFont(font);
    label->setFontColor(look.color);
    label->setAlignment(look.alignment);
    label->setWordWrap(look.wordWrap);
    label->setLayout(tlCenter);
    label->setTransparent(true);
    label->setBevel(blShadow);
    label->setShadowSize(2);
    label->setShadowNapr(1);
    label->setShadowColor(Qt::black);
    label->setHighLightColor(Qt::black);
    label->setFillGradient(false);
    label->setBorderStyle(lbNone);
    // Names and clubs are shown as written: "Anna & Max" keeps its ampersand.
    label->setShowAccelChar(false);
    if (isStrikeMark(item)) {
        label->setCaption(QStringLiteral("X"));
        label->hide();
    }
    return label;
}

} // namespace

Scoreboard::Scoreboard(QWidget *parent, ScoreboardWindow window)
{
    Q_ASSERT(parent);
    for (int i = 0; i < kScoreboardItemCount; ++i)
        m_items[size_t(i)] = createItem(parent, ScoreboardItem(i), window);
}

Scoreboard::~Scoreboard()
{
    connectTable(nullptr);
    attachMirror(nullptr);
    if (m_source)
        m_source->m_mirror = nullptr;
}

void Scoreboard::placeAtMainWindowPositions()
{
    for (int i = 0; i < kScoreboardItemCount; ++i)
        m_items[size_t(i)]->setGeometry(mainWindowItemBounds(ScoreboardItem(i)));
}

void Scoreboard::connectTable(ResultTable *table)
{
    for (const QMetaObject::Connection &connection : m_connections)
        QObject::disconnect(connection);
    m_connections.clear();
    m_table = table;
    if (!m_table)
        return;
    QWidget *context = LabNum();
    m_connections = {
        QObject::connect(m_table, &ResultTable::judgeCountChanged, context,
            [this](int judges) { showMarkLabels(judges); }),
        QObject::connect(m_table, &ResultTable::coupleShown, context,
            [this](const QStringList &texts) { showCouple(texts); }),
        QObject::connect(m_table, &ResultTable::scoreboardCleared, context, [this] { clear(); }),
    };
}

void Scoreboard::attachMirror(Scoreboard *second)
{
    if (second == this)
        return;
    if (m_mirror)
        m_mirror->m_source = nullptr;
    m_mirror = second;
    if (!m_mirror)
        return;
    if (m_mirror->m_source)
        m_mirror->m_source->m_mirror = nullptr;
    m_mirror->m_source = this;
}

bool Scoreboard::shown(const TLabel3D *label)
{
    return label->isVisibleTo(label->parentWidget());
}

void Scoreboard::showCouple(const QStringList &rowTexts)
{
    const auto text = [&rowTexts](int col) { return rowTexts.value(col); };
    const int judges = markLabelCount(m_table ? m_table->judgeCount() : kScoreboardMarks);
    for (int judge = 1; judge <= kScoreboardMarks; ++judge)
        Lab(judge)->setCaption(judge <= judges ? text(ResultTable::markColumn(judge)) : QString());
    LabNum()->setCaption(text(ResultTable::ColNumber));
    LabName()->setCaption(text(ResultTable::ColName) + QStringLiteral("\r\n") + text(ResultTable::ColClub));
    LabGesamt()->setCaption(text(ResultTable::ColTotal));
    LabPlatz()->setCaption(text(ResultTable::ColPlace));
    if (m_mirror) {
        for (int i = 0; i < kScoreboardItemCount; ++i) {
            if (!isStrikeMark(ScoreboardItem(i)))
                m_mirror->m_items[size_t(i)]->setCaption(m_items[size_t(i)]->Caption());
        }
    }
    showStrikeMarks(judges);
}

void Scoreboard::showStrikeMarks(int judges)
{
    QStringList captions;
    for (int judge = 1; judge <= judges; ++judge)
        captions.append(Lab(judge)->Caption());
    const StrikeMarks marks = chooseStrikeMarks(captions);

    LabGesamt()->setCaption(marks.total);
    strike(marks.lowestLabel, marks.highestLabel);

    if (m_mirror) {
        m_mirror->LabGesamt()->setCaption(LabGesamt()->Caption());
        // Its own mark labels: the second window is laid out at its own size.
        m_mirror->strike(marks.lowestLabel, marks.highestLabel);
    }
}

void Scoreboard::strike(int lowest, int highest)
{
    m_struck = { lowest, highest };
    placeStrikeMarks();
    xLab1()->setVisible(lowest > 0);
    xLab2()->setVisible(highest > 0);
}

void Scoreboard::placeStrikeMarks()
{
    TLabel3D *const marks[2] = { xLab1(), xLab2() };
    for (size_t i = 0; i < 2; ++i) {
        if (m_struck[i] > 0)
            marks[i]->setGeometry(Lab(m_struck[i])->geometry());
        else
            marks[i]->hide();
    }
}

void Scoreboard::clearItems()
{
    m_struck = {};
    for (int i = 0; i < kScoreboardItemCount; ++i) {
        const auto item = ScoreboardItem(i);
        if (isStrikeMark(item))
            m_items[size_t(i)]->hide();
        else
            m_items[size_t(i)]->setCaption(QString());
    }
}

void Scoreboard::clear()
{
    clearItems();
    if (m_mirror)
        m_mirror->clearItems();
}

void Scoreboard::showMarkLabels(int judgeCount)
{
    for (int judge = 3; judge <= kScoreboardMarks; ++judge) {
        Lab(judge)->setVisible(markLabelVisible(judge, judgeCount));
        if (m_mirror)
            m_mirror->Lab(judge)->setVisible(shown(Lab(judge)));
    }
}
