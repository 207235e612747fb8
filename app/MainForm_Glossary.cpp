// The glossary page of the main window: terms.dat, the term list, the search box and the
// definition pane.
#include "MainForm.h"
#include "ui_MainForm.h"

#include "kestmsgdlg.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QListWidget>

#include <algorithm>
#include <vector>

bool TMainForm::LoadTerms()
{
    FTerms.Clear();
    QFile file(FDataFolder + QStringLiteral("terms.dat"));
    if (!file.open(QIODevice::ReadOnly)) {
        BeepMessageDlg(QLatin1String(kUnableToOpenTerms), TMsgDlgType::mtError, QMessageBox::Ok, 0, this);
        RequestTerminate(kExitDataFile);
        return false;
    }
    try {
        ReadTerms(file, FTerms);
    } catch (const ETermsFormatError& error) {
        // A malformed number: the file is damaged, and the program ends as for a missing
        // file, naming the fault.
        FTerms.Clear();
        BeepMessageDlg(QLatin1String(kUnableToOpenTerms) + QLatin1Char('\r') + QString::fromUtf8(error.what()),
                       TMsgDlgType::mtError, QMessageBox::Ok, 0, this);
        RequestTerminate(kExitDataFile);
        return false;
    }
    return true;
}

void TMainForm::StoreTerm(quint64 number, const QString& term, const QString& definition)
{
    FTerms.StoreTerm(number, term, definition);
}

void TMainForm::ReloadTerms()
{
    if (LoadTerms()) {
        FillTermList();
    } else {
        // Nothing may show a term of the table that is gone.
        FSelecting = true;
        ui->LstTerms->clear();
        FTermRows.clear();
        FSelecting = false;
    }
}

void TMainForm::FillTermList()
{
    std::vector<TNamedRow> rows;
    rows.reserve(FTerms.Entries().size());
    for (const auto& [number, term] : FTerms.Entries()) {
        if (!term.Name.isEmpty())
            rows.push_back({term.Name, number});
    }
    SortRows(rows);
    QStringList names;
    names.reserve(qsizetype(rows.size()));
    FTermRows.clear();
    FTermRows.reserve(rows.size());
    for (const TNamedRow& row : rows) {
        names.append(row.Name);
        FTermRows.push_back(row.Value);
    }
    QListWidget* list = ui->LstTerms;
    FSelecting = true;
    list->clear();
    list->addItems(names);
    list->setCurrentRow(rows.empty() ? -1 : 0);
    FSelecting = false;
    LstTermsClick();
}

void TMainForm::LstTermsClick()
{
    const int row = SelectedRow(ui->LstTerms);
    const quint64 number = row >= 0 && size_t(row) < FTermRows.size() ? FTermRows[size_t(row)] : 0;
    if (number > 0) {
        const TTerm term = FTerms.Term(number);
        ui->LblTerm->setText(term.Name);
        ui->LblTerm->setCursorPosition(0);
        ui->LblTerm->show();
        ui->MemoTerm->clear();
        // A CR LF in the file is a line break.
        QString definition = term.Definition;
        definition.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        ui->MemoTerm->setPlainText(definition);
    } else {
        ui->LblTerm->hide();
    }
}

void TMainForm::LstTermsDblClick()
{
    // The click before it has shown the term.
}

void TMainForm::EditTermChange()
{
    const QString text = ui->EditTerm->text();
    QListWidget* list = ui->LstTerms;
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().startsWith(text, Qt::CaseInsensitive)) {
            FSelecting = true;
            list->setCurrentRow(row);
            FSelecting = false;
            list->scrollToItem(list->item(row), QAbstractItemView::PositionAtTop);
            LstTermsClick();
            return;
        }
    }
}

bool TMainForm::SelectTerm(qint64 number)
{
    QListWidget* list = ui->LstTerms;
    for (int row = 0; row < list->count(); ++row) {
        if (size_t(row) < FTermRows.size() && qint64(FTermRows[size_t(row)]) == number) {
            FSelecting = true;
            list->setCurrentRow(row);
            FSelecting = false;
            LstTermsClick();
            return true;
        }
    }
    return false;
}

std::optional<quint64> TMainForm::SelectedTermNumber() const
{
    const int row = SelectedRow(ui->LstTerms);
    if (row < 0 || size_t(row) >= FTermRows.size())
        return std::nullopt;
    return FTermRows[size_t(row)];
}

void TMainForm::CopyTerm()
{
    const QString crlf = QStringLiteral("\r\n");
    QString text = ui->LblTerm->text() + QLatin1Char(':') + crlf + crlf;
    // The definition's lines as the box shows them, each ended by a line break; a final
    // line break does not start another line.
    QString definition = ui->MemoTerm->toPlainText();
    if (!definition.isEmpty()) {
        if (definition.endsWith(QLatin1Char('\n')))
            definition.chop(1);
        const QStringList lines = definition.split(QLatin1Char('\n'));
        for (const QString& line : lines)
            text += line + crlf;
    }
    QGuiApplication::clipboard()->setText(text);
}
