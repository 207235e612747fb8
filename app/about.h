#pragma once

// The about box and the about page of the main window's third tab.

#include <QDialog>
#include <QPixmap>
#include <QString>

#include <memory>

class QTextBrowser;

namespace Ui {
class TAboutForm;
}

class TAboutForm : public QDialog
{
    Q_OBJECT

public:
    // The version strings are the program's (ProductVersion and FileVersion); the logo and
    // its hint are the main window's when it has one, our own picture and the web site
    // otherwise.
    explicit TAboutForm(QWidget* parent = nullptr);
    TAboutForm(const QString& productVersion, const QString& fileVersion, QWidget* parent = nullptr);
    ~TAboutForm() override;

    // Gives ImgLogo the main window's logo picture and hint; a click opens the hint's address.
    void SetLogo(const QPixmap& picture, const QString& hint);

    QString VersionText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate(const QString& productVersion, const QString& fileVersion);
    void ImgLogoClick();

    std::unique_ptr<Ui::TAboutForm> ui;
};

// "Version: 1.4 (1.4.4.0)".
QString AboutVersionLine(const QString& productVersion, const QString& fileVersion);

// Shows the about box modally over parent and frees it when it closes.
void ShowAboutBox(QWidget* parent, const QPixmap& logo = QPixmap(), const QString& logoHint = QString());

// The first time it is called for a browser, loads the program's about page into it (links
// open in the system's browser); later calls leave the page as the user left it. Returns
// whether the page was loaded by this call.
bool ShowAboutPage(QTextBrowser* browser);
