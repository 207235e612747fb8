#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// The caption of every message box and of the error reports. Set as the window caption
// itself, not as Qt's application display name, which Qt would append to every title.
inline constexpr const char* kAppTitle = "Morvex Tools";

enum class TMsgDlgType
{
    mtWarning,
    mtError,
    mtInformation,
    mtConfirmation,
    mtCustom
};

// Every message of the program goes through here: the sound of the dialog type, then the
// message box with the type's icon and the given buttons. Returns the button pressed.
// helpContext is the pop-up help number of the message, 0 for none.
QMessageBox::StandardButton BeepMessageDlg(const QString& text, TMsgDlgType type,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok, int helpContext = 0,
                                           QWidget* parent = nullptr);

// Tests answer messages without showing a modal box: while a hook is set, BeepMessageDlg
// beeps, passes the text and type to it and returns its answer. Pass {} to remove it.
using TMessageDlgHook = std::function<QMessageBox::StandardButton(const QString& text, TMsgDlgType type)>;
void SetMessageDlgHook(TMessageDlgHook hook);
