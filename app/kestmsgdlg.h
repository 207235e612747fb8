#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Every message of the program goes through here: the sound of the dialog type, then the
// message box with the type's icon and the given buttons. Returns the button pressed.
// helpContext is the pop-up help number of the message, 0 for none.
QMessageBox::StandardButton BeepMessageDlg(const QString& text, TMsgDlgType type,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                           int helpContext = 0, QWidget* parent = nullptr);
