#include "kestmsgdlg.h"

#include <QApplication>

namespace {
TMessageDlgHook& Hook()
{
    static TMessageDlgHook hook;
    return hook;
}
} // namespace

void SetMessageDlgHook(TMessageDlgHook hook)
{
    Hook() = std::move(hook);
}

QMessageBox::StandardButton BeepMessageDlg(const QString& text, TMsgDlgType type, QMessageBox::StandardButtons buttons,
                                           int helpContext, QWidget* parent)
{
    // Linux has no per-type system sounds; the bell is the one sound every desktop plays.
    QApplication::beep();
    if (Hook())
        return Hook()(text, type);

    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (type) {
    case TMsgDlgType::mtWarning:
        icon = QMessageBox::Warning;
        break;
    case TMsgDlgType::mtError:
        icon = QMessageBox::Critical;
        break;
    case TMsgDlgType::mtInformation:
        icon = QMessageBox::Information;
        break;
    case TMsgDlgType::mtConfirmation:
        icon = QMessageBox::Question;
        break;
    case TMsgDlgType::mtCustom:
        break;
    }
    // The program's messages separate their lines with a carriage return; Qt's message box
    // breaks lines only at a line feed.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(icon, QString::fromLatin1(kAppTitle), shown, buttons, parent);
    if (helpContext != 0)
        box.setProperty("helpContext", helpContext);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
