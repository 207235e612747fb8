#pragma once

// The program's HTML help: the pages compiled into morvextools.qch, shown in a help window of
// the program. Topics are asked for by name ("AContents", "APrefs", "APrefsCustom",
// "APrefsUpdate"); a name the help file does not know shows its contents page, and a help
// file without a contents page shows its index.

#include <QPointer>
#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

#include <memory>

class QHelpEngine;
class QHelpEngineCore;
struct QHelpLink;
class QTabWidget;
class QTemporaryDir;

// Shown, as an error, when the help file or the help engine cannot be used. The wording is
// the one users of the program have always seen for missing help; each carriage return
// starts a new line in the message box.
inline constexpr const char* kUnableToFindHtmlHelp = "Unable to find the required hhctrl.ocx library.\r"
                                                     "Please update your system to Internet Explorer 4.0 (or better)\r"
                                                     "or download the HTML Help Update from Microsoft's website.";

// Page shown when a topic is not found.
inline constexpr const char* kHelpContentsPage = "contents.htm";

// Where a topic leads: a page of the help file, or (Url empty) the index.
struct THelpTarget
{
    QUrl Url;
    bool ShowIndex() const { return Url.isEmpty(); }
};

// Looks a topic up in the documentation registered with the engine: the page whose keyword
// identifier or keyword is the topic, else the contents page, else the index.
THelpTarget FindHelpTopic(QHelpEngineCore& engine, const QString& topic);

// Text browser that reads the pages from the help engine and hands links outside the help
// (web and mail addresses) to the system.
class THelpBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    THelpBrowser(QHelpEngineCore* engine, QWidget* parent = nullptr);
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void LinkClicked(const QUrl& link);

    QHelpEngineCore* FEngine;
};

// The help window: contents and index on the left, the page on the right. One exists at a
// time; it belongs to the window that asked for help, like the owned window of HTML help.
class THelpWindow : public QWidget
{
    Q_OBJECT

public:
    explicit THelpWindow(QWidget* parent = nullptr);
    ~THelpWindow() override;

    // Registers helpFile with a fresh help engine; false when the file or the engine
    // cannot be used.
    bool Load(const QString& helpFile);
    QString HelpFile() const { return FHelpFile; }

    // Shows the topic's page, or the index when the help file has neither the topic nor a
    // contents page.
    void ShowTopic(const QString& topic);

    QHelpEngine* Engine() const { return FEngine; }
    QUrl CurrentPage() const;
    bool IndexShown() const;

private:
    void OpenLink(const QUrl& link);
    void OpenDocuments(const QList<QHelpLink>& documents);
    void SyncContents();

    std::unique_ptr<QTemporaryDir> FCollectionDir;
    QHelpEngine* FEngine = nullptr;
    QString FHelpFile;
    QTabWidget* FTabs = nullptr;
    THelpBrowser* FBrowser = nullptr;
};

// Opens the help file at a topic in the program's help window, owned by owner's window (the
// active window when none is given). Shows kUnableToFindHtmlHelp and returns false when the
// help file or the help engine cannot be used.
bool ShowHelpTopic(const QString& helpFile, const QString& topic, QWidget* owner = nullptr);

// The help window of the last successful ShowHelpTopic while it is open.
THelpWindow* CurrentHelpWindow();
