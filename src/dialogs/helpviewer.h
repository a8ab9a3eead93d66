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

// The help window: the table of contents beside the page, with back and forward.
class THelpViewer : public QWidget
{
    Q_OBJECT
public:
    explicit THelpViewer(QWidget *parent = nullptr);
    ~THelpViewer() override;

    // Takes the file, fills the contents and opens its first page.
    void showContents(std::unique_ptr<ChmFile> file);

    QTreeWidget *Contents = nullptr;
    HelpBrowser *Browser = nullptr;
    QToolButton *bBack = nullptr;
    QToolButton *bForward = nullptr;

private:
    void openTopic(QTreeWidgetItem *item);
    void linkClicked(const QUrl &url);
    void pageShown(const QUrl &url);

    std::unique_ptr<ChmFile> m_file;
};
