#pragma once

#include <QTextBrowser>
#include <QWidget>

#include <memory>

class ChmFile;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// Shows the pages and pictures of a compiled help file, straight from the file.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    using QTextBrowser::QTextBrowser;
    void setFile(const ChmFile *file) { m_file = file; }
    QVariant loadResource(int type, const QUrl &name) override;

    // Pages inside the help file have addresses of this scheme.
    static QUrl pageUrl(const QString &local);

private:
    const ChmFile *m_file = nullptr;
};

// Where the help window goes: centred on its owner's frame and wholly inside `area` (the
// owner's monitor's work area), frame included; a window larger than the area is made
// smaller. Returns the client rectangle.
QRect helpWindowBounds(QSize client, const QMargins &frame, const QRect &ownerFrame, const QRect &area);

// The help window: the table of contents beside the page, with back and forward.
class THelpViewer : public QWidget
{
    Q_OBJECT
public:
    explicit THelpViewer(QWidget *parent = nullptr);
    ~THelpViewer() override;

    // On the owner's monitor, wholly on it (helpWindowBounds).
    void placeOn(const QWidget &owner);

    // Takes the file, fills the contents and opens its first page.
    void showContents(std::unique_ptr<ChmFile> file);

    QTreeWidget *Contents = nullptr;
    HelpBrowser *Browser = nullptr;
    QToolButton *bBack = nullptr;
    QToolButton *bForward = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeWithin(const QMargins &frame);
    void openTopic(QTreeWidgetItem *item);
    void linkClicked(const QUrl &url);
    void pageShown(const QUrl &url);

    std::unique_ptr<ChmFile> m_file;
    // Where placeOn() put the window, until its own frame is known.
    QRect m_area;
    QRect m_ownerFrame;
};
