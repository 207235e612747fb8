#pragma once

// The maker's addresses: the web site, the program's page on it and the information mail
// address. Every caption, link, mail and page of the program takes them from here.

#include <QString>
#include <QUrl>

namespace MakerLinks {
// Home page, as shown in captions and hints.
inline QString WebSite()
{
    return QStringLiteral("https://www.morvex.example/");
}

// The program's page on the web site.
inline QString ProgramPage()
{
    return WebSite() + QStringLiteral("tips/toolsapp/");
}

inline QString InfoMail()
{
    return QStringLiteral("support@morvex.example");
}

// "Send to a Friend": a new mail without recipient recommending the program.
inline QUrl SendToFriendUrl()
{
    const QString text = QStringLiteral("mailto:?subject=Engineering%20Tools%20Utility&body=") +
                         QStringLiteral("%0D%0A%0D%0ADownload%20a%20useful%20conversion%20calculator%20and%20"
                                        "terminology%20application%20at%20") +
                         ProgramPage();
    return QUrl::fromEncoded(text.toLatin1());
}

// "Send Feedback": a new mail to the maker's information address.
inline QUrl FeedbackUrl()
{
    const QString text = QStringLiteral("mailto:") + InfoMail() + QStringLiteral("?subject=Morvex%20Tools%20Feedback");
    return QUrl::fromEncoded(text.toLatin1());
}
} // namespace MakerLinks

// Opens a web address or mail link with the system's handler, showing the wait cursor while
// the request is handed over. A failure is not reported: there is nothing the user could do.
void OpenLink(const QUrl& url);
