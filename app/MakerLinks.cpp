#include "MakerLinks.h"

#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>

void OpenLink(const QUrl& url)
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    QDesktopServices::openUrl(url);
    QGuiApplication::restoreOverrideCursor();
}
