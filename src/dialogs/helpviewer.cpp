#include "dialogs/helpviewer.h"

#include "dialogs/helpcontents.h"
#include "platform/chmfile.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QScreen>
#include <QSplitter>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace {

const QString kScheme = QStringLiteral("chm");

// The page part of an address, the way the contents name it: "sub/page.htm".
QString pageOf(const QUrl &url)
{
    QString path = url.path(QUrl::FullyDecoded);
    while (path.startsWith(u'/'))
        path.remove(0, 1);
    return path;
}

} // namespace

QUrl HelpBrowser::pageUrl(const QString &local)
{
    QUrl url(QStringLiteral("chm:///") + local);
    if (!url.isValid())
        url = QUrl(QStringLiteral("chm:///"));
    return url;
}

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (url.scheme() != kScheme || !m_file)
        return QVariant(); // nothing from outside the help file
    const std::optional<QByteArray> bytes = m_file->object(QLatin1Char('/') + pageOf(url));
    if (!bytes)
        return QVariant();
    // Pages are decoded by the document by their own charset; pictures by QImage.
    Q_UNUSED(type);
    return *bytes;
}

QRect helpWindowBounds(QSize client, const QMargins &frame, const QRect &ownerFrame, const QRect &area)
{
    const QSize room = area.size().shrunkBy(frame);
    client = client.boundedTo(room).expandedTo(QSize(1, 1));
    QRect outer(QPoint(), client.grownBy(frame));
    outer.moveCenter(ownerFrame.center());
    // Into the area: the right and bottom edges first, so that the top-left corner wins when
    // the window only just fits.
    outer.moveRight(std::min(outer.right(), area.right()));
    outer.moveBottom(std::min(outer.bottom(), area.bottom()));
    outer.moveLeft(std::max(outer.left(), area.left()));
    outer.moveTop(std::max(outer.top(), area.top()));
    return outer.marginsRemoved(frame);
}

THelpViewer::THelpViewer(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Hilfe"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *buttons = new QHBoxLayout;
    bBack = new QToolButton(this);
    bBack->setObjectName(QStringLiteral("bBack"));
    bBack->setText(QStringLiteral("Zurück"));
    bBack->setArrowType(Qt::LeftArrow);
    bBack->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bForward = new QToolButton(this);
    bForward->setObjectName(QStringLiteral("bForward"));
    bForward->setText(QStringLiteral("Vorwärts"));
    bForward->setArrowType(Qt::RightArrow);
    bForward->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    buttons->addWidget(bBack);
    buttons->addWidget(bForward);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    auto *splitter = new QSplitter(this);
    Contents = new QTreeWidget(splitter);
    Contents->setObjectName(QStringLiteral("Contents"));
    Contents->setHeaderHidden(true);
    Browser = new HelpBrowser(splitter);
    Browser->setObjectName(QStringLiteral("Browser"));
    Browser->setOpenLinks(false);
    splitter->addWidget(Contents);
    splitter->addWidget(Browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({ 220, 540 });
    layout->addWidget(splitter, 1);

    bBack->setEnabled(false);
    bForward->setEnabled(false);
    connect(bBack, &QToolButton::clicked, Browser, &QTextBrowser::backward);
    connect(bForward, &QToolButton::clicked, Browser, &QTextBrowser::forward);
    connect(Browser, &QTextBrowser::backwardAvailable, bBack, &QToolButton::setEnabled);
    connect(Browser, &QTextBrowser::forwardAvailable, bForward, &QToolButton::setEnabled);
    connect(Browser, &QTextBrowser::anchorClicked, this, &THelpViewer::linkClicked);
    connect(Browser, &QTextBrowser::sourceChanged, this, &THelpViewer::pageShown);
    connect(
        Contents, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) { openTopic(item); });
    connect(Contents, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { openTopic(item); });
}

THelpViewer::~THelpViewer() = default;

namespace {

QMargins frameMargins(const QWidget &window)
{
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
        outer.bottom() - inner.bottom());
}

} // namespace

void THelpViewer::placeOn(const QWidget &owner)
{
    const QScreen *screen = owner.screen();
    if (!screen)
        return;
    m_area = screen->availableGeometry();
    m_ownerFrame = owner.frameGeometry();
    // The window manager's frame is known only once a window is on the screen: until then,
    // the one it draws around the owner. The window may get a larger one (a resize handle):
    // once shown, it is placed again with its own.
    placeWithin(frameMargins(owner));
}

void THelpViewer::placeWithin(const QMargins &frame)
{
    setGeometry(helpWindowBounds(size(), frame, m_ownerFrame, m_area));
}

void THelpViewer::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_area.isValid() && windowHandle())
        windowHandle()->installEventFilter(this);
}

bool THelpViewer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
        windowHandle()->removeEventFilter(this);
        if (m_area.isValid() && !m_area.contains(frameGeometry()))
            placeWithin(frameMargins(*this));
        m_area = QRect();
    }
    return QWidget::eventFilter(watched, event);
}

void THelpViewer::showContents(std::unique_ptr<ChmFile> file)
{
    // The browser must never hold a page of the file that goes.
    Browser->setFile(file.get());
    m_file = std::move(file);
    setWindowTitle(m_file->title().isEmpty() ? QStringLiteral("Hilfe") : m_file->title());

    const QSignalBlocker blocker(Contents);
    Contents->clear();
    const QList<HelpTopic> topics
        = parseHelpContents(m_file->object(QLatin1Char('/') + m_file->contentsPath()).value_or(QByteArray()));
    QList<QTreeWidgetItem *> items;
    QString first;
    for (const HelpTopic &topic : topics) {
        QTreeWidgetItem *parent = topic.parent >= 0 ? items[topic.parent] : nullptr;
        auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(Contents);
        item->setText(0, topic.name.isEmpty() ? topic.local : topic.name);
        item->setData(0, Qt::UserRole, topic.local);
        items.append(item);
        if (first.isEmpty())
            first = topic.local;
    }
    Contents->expandAll();

    const QString start = m_file->defaultTopic().isEmpty() ? first : m_file->defaultTopic();
    Browser->clear();
    Browser->clearHistory();
    Browser->setSource(HelpBrowser::pageUrl(start), QTextDocument::HtmlResource);
    Browser->clearHistory();
}

void THelpViewer::openTopic(QTreeWidgetItem *item)
{
    if (!item)
        return;
    const QString local = item->data(0, Qt::UserRole).toString();
    if (!local.isEmpty() && HelpBrowser::pageUrl(local) != Browser->source())
        Browser->setSource(HelpBrowser::pageUrl(local), QTextDocument::HtmlResource);
}

void THelpViewer::linkClicked(const QUrl &url)
{
    const QUrl target = url.isRelative() ? Browser->source().resolved(url) : url;
    if (target.scheme() == kScheme) {
        Browser->setSource(target, QTextDocument::HtmlResource);
        return;
    }
    // Only web and mail addresses leave the help window.
    if (target.scheme() == u"https" || target.scheme() == u"http" || target.scheme() == u"mailto")
        QDesktopServices::openUrl(target);
}

void THelpViewer::pageShown(const QUrl &url)
{
    // The contents follow the page, also after a link or back and forward.
    const QString page = pageOf(url);
    const QSignalBlocker blocker(Contents);
    for (QTreeWidgetItemIterator it(Contents); *it; ++it) {
        if (QUrl(HelpBrowser::pageUrl((*it)->data(0, Qt::UserRole).toString())).path() == url.path()
            && !page.isEmpty()) {
            Contents->setCurrentItem(*it);
            return;
        }
    }
}
