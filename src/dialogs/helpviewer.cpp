#include "dialogs/helpviewer.h"

#include "dialogs/helpcontents.h"
#include "platform/chmfile.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QSplitter>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

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
