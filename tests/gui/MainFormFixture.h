#pragma once

// Small data folders for the main window's tests, written into a temporary folder, and a
// recorder that answers the program's messages instead of showing them.

#include "CatUnits.h"
#include "MainForm.h"
#include "kestmsgdlg.h"

#include <QBuffer>
#include <QByteArray>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>
#include <vector>

namespace Fixture {

struct TUnitRow
{
    const char* Category;
    const char* Name;
    double Factor;
};

// Factors are the number of the unit in one base unit of the category.
inline std::vector<TUnitRow> StandardUnits()
{
    return {
        {"Length", "Metres", 1.0},
        {"Length", "Kilometres", 0.001},
        {"Length", "Feet", 1.0 / 0.3048},
        {"Length", "Millimetres", 1000.0},
        {"Mass", "Kilograms", 1.0},
        {"Mass", "Grams", 1000.0},
        {"Mass", "Pounds", 1.0 / 0.45359237},
        {"Mass", "Metric tonnes", 0.001},
        {"Temperature", "Degrees Celsius", 1.0},
        {"Temperature", "Degrees Fahrenheit", 1.0},
        {"Temperature", "Degrees Kelvin", 1.0},
        {"Temperature", "Degrees Rankine", 1.0},
        {"Time", "Seconds", 1.0},
        {"Time", "Minutes", 1.0 / 60.0},
        {"Time", "Hours", 1.0 / 3600.0},
    };
}

// A unit data file in the current layout.
inline QByteArray UnitsFile(const std::vector<TUnitRow>& rows, bool custom = false)
{
    TConvCategories catalogue;
    for (const TUnitRow& row : rows) {
        TConvCategory* category = catalogue.FindCategory(QLatin1String(row.Category));
        if (category == nullptr)
            category = catalogue.AddCategory(QLatin1String(row.Category));
        category->AddUnit(QLatin1String(row.Name), custom, row.Factor);
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    buffer.write("11");
    catalogue.SaveToStream(buffer, custom ? TUnitFilter::ufCustom : TUnitFilter::ufAll);
    return buffer.data();
}

struct TTermRow
{
    QByteArray Number;
    QByteArray Term;
    QByteArray Definition;
};

// A glossary file: each field ended by the byte 0x01.
inline QByteArray TermsFile(const std::vector<TTermRow>& rows)
{
    QByteArray bytes;
    for (const TTermRow& row : rows)
        bytes += row.Number + '\x01' + row.Term + '\x01' + row.Definition + '\x01';
    return bytes;
}

inline QByteArray StandardTerms()
{
    return TermsFile({{"1", "Torque", "A turning force."},
                      {"2", "Beam", "A structural member carrying loads across a span."},
                      {"3", "Bending moment", "The moment that bends a beam at a section."},
                      {"4", "Viscosity", "A fluid's resistance to shear.\r\nMeasured in pascal seconds."}});
}

inline void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// A data folder with the standard units and terms.
inline void WriteStandardData(const QString& folder)
{
    WriteFile(folder + QStringLiteral("/units.dat"), UnitsFile(StandardUnits()));
    WriteFile(folder + QStringLiteral("/terms.dat"), StandardTerms());
}

struct TMessage
{
    QString Text;
    TMsgDlgType Type;
};

// Answers every message with OK and remembers it, for the life of the object.
class TMessageRecorder
{
public:
    TMessageRecorder()
    {
        SetMessageDlgHook([this](const QString& text, TMsgDlgType type) {
            Messages.push_back({text, type});
            return QMessageBox::Ok;
        });
    }
    ~TMessageRecorder() { SetMessageDlgHook({}); }
    TMessageRecorder(const TMessageRecorder&) = delete;
    TMessageRecorder& operator=(const TMessageRecorder&) = delete;

    std::vector<TMessage> Messages;
};

// The settings of the program are kept in a folder of this object while it lives, so that
// tests neither see nor change the user's own and every test can start without any.
class TSettingsSandbox
{
public:
    TSettingsSandbox() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, FDir.path()); }
    TSettingsSandbox(const TSettingsSandbox&) = delete;
    TSettingsSandbox& operator=(const TSettingsSandbox&) = delete;
    // The file the program's settings are written to.
    QString FileName() const { return FDir.filePath(QStringLiteral("Morvex/Tools.conf")); }

private:
    QTemporaryDir FDir;
};

// The window as the program starts it: created, the settings applied, shown.
inline std::unique_ptr<TMainForm> StartForm(const QString& folder, const QStringList& arguments = {})
{
    auto form = std::make_unique<TMainForm>(folder, arguments);
    if (!form->TerminateRequested()) {
        form->RestoreSettings();
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("window not exposed");
    }
    return form;
}

template <typename T> T* Child(const TMainForm& form, const char* name)
{
    T* child = form.findChild<T*>(QLatin1String(name));
    if (child == nullptr)
        qFatal("no control %s", name);
    return child;
}

inline QStringList ItemTexts(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

inline QStringList ItemTexts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

inline QString SelectedText(const QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

// Clicks the item of that text with the mouse (the list must be on screen).
inline void ClickItem(QListWidget* list, const QString& text)
{
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    list->scrollToItem(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
}

} // namespace Fixture
