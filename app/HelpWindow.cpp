#include "HelpWindow.h"

#include "kestmsgdlg.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace {
QPointer<THelpWindow>& TheHelpWindow()
{
    static QPointer<THelpWindow> window;
    return window;
}

QUrl ContentsPage(QHelpEngineCore& engine)
{
    const QString contents = QString::fromLatin1(kHelpContentsPage);
    for (const QString& ns : engine.registeredDocumentations()) {
        for (const QUrl& file : engine.files(ns, QString(), QStringLiteral("htm"))) {
            if (file.fileName().compare(contents, Qt::CaseInsensitive) == 0)
                return file;
        }
    }
    return {};
}
} // namespace

THelpTarget FindHelpTopic(QHelpEngineCore& engine, const QString& topic)
{
    if (!topic.isEmpty()) {
        // The program's topic names are the keywords' identifiers; a keyword's own name is
        // accepted too, as the index shows it.
        QList<QHelpLink> documents = engine.documentsForIdentifier(topic);
        if (documents.isEmpty())
            documents = engine.documentsForKeyword(topic);
        if (!documents.isEmpty())
            return {documents.first().url};
    }
    return {ContentsPage(engine)};
}

THelpBrowser::THelpBrowser(QHelpEngineCore* engine, QWidget* parent) : QTextBrowser(parent), FEngine(engine)
{
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &THelpBrowser::LinkClicked);
}

QVariant THelpBrowser::loadResource(int type, const QUrl& name)
{
    if (name.scheme() == QLatin1String("qthelp"))
        return FEngine->fileData(name);
    return QTextBrowser::loadResource(type, name);
}

void THelpBrowser::LinkClicked(const QUrl& link)
{
    const QUrl target = source().resolved(link);
    if (target.scheme() == QLatin1String("qthelp"))
        setSource(target);
    else
        QDesktopServices::openUrl(target);
}

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Morvex Tools Help"));
    resize(820, 560);
}

THelpWindow::~THelpWindow() = default;

bool THelpWindow::Load(const QString& helpFile)
{
    if (!QFileInfo(helpFile).isFile())
        return false;
    // The engine needs a collection file of its own; a temporary one serves, since the help
    // file is registered afresh whenever the window is created.
    FCollectionDir = std::make_unique<QTemporaryDir>();
    if (!FCollectionDir->isValid())
        return false;
    FEngine = new QHelpEngine(FCollectionDir->filePath(QStringLiteral("morvextools.qhc")), this);
    FEngine->setReadOnly(false);
    if (!FEngine->setupData())
        return false;
    if (!FEngine->registerDocumentation(helpFile) || FEngine->registeredDocumentations().isEmpty())
        return false;
    FHelpFile = helpFile;

    FTabs = new QTabWidget(this);
    FTabs->addTab(FEngine->contentWidget(), QStringLiteral("&Contents"));
    FTabs->addTab(FEngine->indexWidget(), QStringLiteral("&Index"));
    FBrowser = new THelpBrowser(FEngine, this);
    FBrowser->setObjectName(QStringLiteral("HelpBrowser"));

    auto* splitter = new QSplitter(this);
    splitter->addWidget(FTabs);
    splitter->addWidget(FBrowser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 600});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    connect(FEngine->contentWidget(), &QHelpContentWidget::linkActivated, this, &THelpWindow::OpenLink);
    // The contents are few: show them all, and the page being read, once they are built.
    connect(FEngine->contentModel(), &QHelpContentModel::contentsCreated, this, [this] {
        FEngine->contentWidget()->expandAll();
        SyncContents();
    });
    connect(FBrowser, &QTextBrowser::sourceChanged, this, &THelpWindow::SyncContents);
    connect(FEngine->indexWidget(), &QHelpIndexWidget::documentActivated, this,
            [this](const QHelpLink& document, const QString&) { OpenLink(document.url); });
    connect(FEngine->indexWidget(), &QHelpIndexWidget::documentsActivated, this,
            [this](const QList<QHelpLink>& documents, const QString&) { OpenDocuments(documents); });
    return true;
}

void THelpWindow::ShowTopic(const QString& topic)
{
    const THelpTarget target = FindHelpTopic(*FEngine, topic);
    if (target.ShowIndex()) {
        FTabs->setCurrentWidget(FEngine->indexWidget());
        FEngine->indexWidget()->setFocus();
    } else {
        FTabs->setCurrentWidget(FEngine->contentWidget());
        OpenLink(target.Url);
    }
}

QUrl THelpWindow::CurrentPage() const
{
    return FBrowser ? FBrowser->source() : QUrl();
}

bool THelpWindow::IndexShown() const
{
    return FTabs && FTabs->currentWidget() == FEngine->indexWidget();
}

void THelpWindow::OpenLink(const QUrl& link)
{
    FBrowser->setSource(link);
}

void THelpWindow::SyncContents()
{
    const QModelIndex index = FEngine->contentWidget()->indexOf(FBrowser->source());
    if (index.isValid())
        FEngine->contentWidget()->setCurrentIndex(index);
}

void THelpWindow::OpenDocuments(const QList<QHelpLink>& documents)
{
    if (!documents.isEmpty())
        OpenLink(documents.first().url);
}

bool ShowHelpTopic(const QString& helpFile, const QString& topic, QWidget* owner)
{
    QWidget* ownerWindow = owner ? owner->window() : QApplication::activeWindow();
    QPointer<THelpWindow>& window = TheHelpWindow();
    if (window && window->HelpFile() != helpFile)
        delete window.data();
    if (!window) {
        auto created = std::make_unique<THelpWindow>(ownerWindow);
        if (!created->Load(helpFile)) {
            BeepMessageDlg(QString::fromLatin1(kUnableToFindHtmlHelp), TMsgDlgType::mtError, QMessageBox::Ok, 0,
                           ownerWindow);
            return false;
        }
        window = created.release();
    } else if (window->parentWidget() != ownerWindow) {
        // A help window owned by a window that is now blocked by a modal dialog could not be
        // used; it moves to the window that asked.
        const QRect geometry = window->geometry();
        window->setParent(ownerWindow, Qt::Window);
        window->setGeometry(geometry);
    }
    window->ShowTopic(topic);
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

THelpWindow* CurrentHelpWindow()
{
    return TheHelpWindow().data();
}
