#include "PopupHelp.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QWhatsThis>
#include <QWidget>

namespace {
QString& HelpFile()
{
    static QString file;
    return file;
}

TPopupHelpHook& Hook()
{
    static TPopupHelpHook hook;
    return hook;
}
} // namespace

void SetPopupHelpFile(const QString& fileName)
{
    HelpFile() = fileName;
}

QString PopupHelpFile()
{
    if (HelpFile().isEmpty())
        return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("morvexhints.hlp"));
    return HelpFile();
}

QString PopupHelpText(int contextNumber)
{
    if (contextNumber <= 0)
        return {};
    // Read on every request: the file is small and is opened only inside this one operation.
    QSettings hints(PopupHelpFile(), QSettings::IniFormat);
    hints.beginGroup(QStringLiteral("Topics"));
    const QVariant text = hints.value(QString::number(contextNumber));
    // A text with an unquoted comma comes back as a list; it is still the text.
    if (text.metaType().id() == QMetaType::QStringList)
        return text.toStringList().join(QStringLiteral(", "));
    return text.toString();
}

void ShowPopupHelp(int contextNumber, const QPoint& globalPosition)
{
    if (Hook()) {
        Hook()(contextNumber, globalPosition);
        return;
    }
    const QString text = PopupHelpText(contextNumber);
    if (!text.isEmpty())
        QWhatsThis::showText(globalPosition, text);
}

void ApplyWhatsThisTexts(QWidget* root)
{
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* widget : widgets) {
        const int number = widget->property("helpContext").toInt();
        if (number > 0)
            widget->setWhatsThis(PopupHelpText(number));
    }
}

void SetPopupHelpHook(TPopupHelpHook hook)
{
    Hook() = std::move(hook);
}
