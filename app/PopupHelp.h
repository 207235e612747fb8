#pragma once

// Pop-up help: a short text per help context number, shown where the user asked for it
// ("What's This?"). The texts live in the pop-up help file beside the program,
// "morvexhints.hlp", an INI file whose group [Topics] maps numbers to texts.

#include <QPoint>
#include <QString>

#include <functional>

class QWidget;

// The application's pop-up help file; until set, "morvexhints.hlp" in the program's folder.
void SetPopupHelpFile(const QString& fileName);
QString PopupHelpFile();

// The text of a help context number; empty when the file or the number has none.
QString PopupHelpText(int contextNumber);

// Shows the text of a help context number at a global position. Nothing is shown for a
// number without a text.
void ShowPopupHelp(int contextNumber, const QPoint& globalPosition);

// Gives every widget with a help number (the dynamic property "helpContext") under root
// its text as "What's This?" text, so that the title bar's context-help button shows it.
void ApplyWhatsThisTexts(QWidget* root);

// Tests see which number was asked for instead of a pop-up being shown. Pass {} to remove.
using TPopupHelpHook = std::function<void(int contextNumber, const QPoint& globalPosition)>;
void SetPopupHelpHook(TPopupHelpHook hook);
