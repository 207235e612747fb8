// The main window's creation, messages, layout and destruction. The converter page is in
// MainForm_Converter.cpp, the glossary in MainForm_Glossary.cpp.
#include "MainForm.h"
#include "ui_MainForm.h"

#include "CatalogueFiles.h"
#include "MakerLinks.h"
#include "PopupHelp.h"
#include "ReferenceUnit.h"
#include "Version.h"
#include "kestmsgdlg.h"
#include "lrgfonts.h"
#include "prefs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

// The resources live in the window library; a static library needs them named once.
static void InitResources()
{
    Q_INIT_RESOURCE(morvex);
}

namespace {

constexpr const char* kCaptionPrefix = "Morvex Tools - ";

// The window is designed for this client area at 96 pixels per inch.
constexpr QSize kDesignedClient(611, 297);
// Its designed outer minimum is 619 x 343; of the height, 46 pixels were caption, menu and
// frame, which a Qt window does not count (its menu bar is measured separately).
constexpr int kDesignedMinimumWidth = 611;
constexpr int kDesignedMinimumHeightBase = 273;
constexpr int kDesignedNonClientHeight = 343 - 297;

} // namespace

TMainForm::TMainForm(const QString& dataFolder, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>())
{
    InitResources();
    ui->setupUi(this);
    ConnectHandlers();
    ConnectCommands();
    FormCreate(dataFolder, arguments);
}

TMainForm::~TMainForm()
{
    // The preferences dialog saves the settings when it goes, which needs the whole window:
    // it must go first, also when its owner forgot to free it.
    delete findChild<TPrefsForm*>(QString(), Qt::FindDirectChildrenOnly);
    FormDestroy();
}

TConvCategories& TMainForm::Catalogue()
{
    return *FCatalogue;
}

TFormatSettings TMainForm::FormatSettings() const
{
    TFormatSettings settings;
    settings.NumberFormat = NumberFormat;
    settings.Precision = Precision;
    settings.Separators = SystemSeparators();
    return settings;
}

void TMainForm::FormCreate(const QString& dataFolder, const QStringList& arguments)
{
    setWindowTitle(QLatin1String(kCaptionPrefix) + MakerLinks::WebSite());

    // 1. Every data file lives beside the program.
    const QString folder = dataFolder.isEmpty() ? QCoreApplication::applicationDirPath() : dataFolder;
    FDataFolder = QDir::fromNativeSeparators(folder);
    if (!FDataFolder.endsWith(QLatin1Char('/')))
        FDataFolder += QLatin1Char('/');
    // 2.-3. Help files; the help itself is opened by the commands.
    SetPopupHelpFile(FDataFolder + QStringLiteral("morvexhints.hlp"));
    FHtmlHelpPath = FDataFolder + QStringLiteral("morvextools.qch");
    // 4.
    NumberFormat = 0;
    UpdateCheck = 1;
    // 5.
    const QSize client = ScaledClientSize(kDesignedClient, ScreenScaleX(), ScreenScaleY());
    ResizeClient(client.width(), client.height());
    // 6.
    ReadVersionInfo();
    // 7.
    FReadOnly = false;
    DetectReadOnly(arguments);
    // 8.
    FLogoPicture = ui->ImgLogo->pixmap();
    // 9.
    FCatalogue = std::make_unique<TConvCategories>();
    // 10. Changes of the value boxes during start-up run no conversion; the first
    // conversion clears the guard.
    FromUnit = nullptr;
    ToUnit = nullptr;
    CategoryFilter = nullptr;
    Precision = 15;
    Updating = true;
    NoSearch = false;
    // 11. The glossary first; without it nothing else is loaded.
    if (LoadTerms()) {
        FillTermList();
        ReloadCatalogue();
    }
    // 12. The logo area.
    ui->PBoxBrand->hide();
    ui->ImgLogo2->setPixmap(FLogoPicture);
    int minimumHeight = kDesignedMinimumHeightBase;
    if (!ui->PBoxBrand->isHidden())
        minimumHeight += ui->PBoxBrand->height();
    if (!ui->ImgLogo->isHidden())
        minimumHeight += ui->ImgLogo->pixmap().height();
    const int menuHeight = menuWidget() != nullptr ? menuWidget()->sizeHint().height() : 0;
    setMinimumSize(kDesignedMinimumWidth, minimumHeight - kDesignedNonClientHeight + menuHeight);
    // 13.
    ui->PageControl->setCurrentWidget(ui->SheetUnits);
}

void TMainForm::FormDestroy()
{
    // The lists hold pointers into the catalogue: empty them before it goes.
    ClearUnitLists();
    FCatalogue.reset();
    FLogoPicture = QPixmap();
}

void TMainForm::ConnectHandlers()
{
    const QString website = MakerLinks::WebSite();
    ui->ImgLogo->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));
    ui->ImgLogo->setToolTip(website);
    // The address as people write it, without the scheme and the final slash.
    QString shown = website;
    shown.remove(QRegularExpression(QStringLiteral("^[a-z]+://"))).remove(QRegularExpression(QStringLiteral("/$")));
    const QString link = QStringLiteral("<a href=\"%1\">%2</a>").arg(website, shown.toHtmlEscaped());
    ui->LblFooter1->setText(link);
    ui->LblTermFooter2->setText(link);
    ui->ImgLogo2->setToolTip(website);

    // The combo's own completion would fight the type-ahead of the page.
    ui->CmbFromUnit->setCompleter(nullptr);

    connect(ui->CmbCats, &QComboBox::currentIndexChanged, this, [this] {
        if (!FSelecting)
            CmbCatsChange();
    });
    connect(ui->LstFromUnits, &QListWidget::itemSelectionChanged, this, [this] {
        if (!FSelecting)
            LstFromUnitsClick();
    });
    connect(ui->LstToUnits, &QListWidget::itemSelectionChanged, this, [this] {
        if (!FSelecting)
            LstToUnitsClick();
    });
    connect(ui->LstTerms, &QListWidget::itemSelectionChanged, this, [this] {
        if (!FSelecting)
            LstTermsClick();
    });
    connect(ui->LstTerms, &QListWidget::itemDoubleClicked, this, [this] { LstTermsDblClick(); });
    connect(ui->CmbFromUnit, &QComboBox::editTextChanged, this, [this] {
        if (!FRecentUpdating)
            CmbFromUnitChange();
    });
    connect(ui->EditToUnit, &QLineEdit::textChanged, this, [this] { EditToUnitChange(); });
    connect(ui->EditFromValue, &QLineEdit::textChanged, this, [this] { EditFromValueChange(); });
    connect(ui->EditToValue, &QLineEdit::textChanged, this, [this] { EditToValueChange(); });
    connect(ui->EditTerm, &QLineEdit::textChanged, this, [this] { EditTermChange(); });

    ui->BoxConversion->installEventFilter(this);
    ui->CmbFromUnit->installEventFilter(this);
    if (ui->CmbFromUnit->lineEdit() != nullptr)
        ui->CmbFromUnit->lineEdit()->installEventFilter(this);
    ui->EditToUnit->installEventFilter(this);
    ui->EditFromValue->installEventFilter(this);
    ui->EditToValue->installEventFilter(this);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == ui->BoxConversion)
            FormResize();
        break;
    case QEvent::ToolTip:
        for (QListWidget* list : {ui->LstFromUnits, ui->LstToUnits}) {
            if (watched == list->viewport() && ShowListItemHint(list, static_cast<QHelpEvent*>(event)))
                return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if ((watched == ui->ImgLogo || watched == ui->ImgLogo2) &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            ImgLogoClick();
        break;
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool unitBox =
            watched == ui->CmbFromUnit || watched == ui->CmbFromUnit->lineEdit() || watched == ui->EditToUnit;
        // The combo passes its keys on to its line edit: count each key once.
        if (unitBox && watched != ui->CmbFromUnit->lineEdit())
            EditToUnitKeyDown(key->key());
        if ((watched == ui->EditFromValue || watched == ui->EditToValue) &&
            EditFromValueKeyPress(key->text(), key->modifiers()))
            return true;
        break;
    }
    case QEvent::FocusOut:
        if (watched == ui->CmbFromUnit) {
            // Opening the drop-down or switching to another program does not leave the box.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                CmbFromUnitExit();
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::ReadVersionInfo()
{
    FProductVersion = QStringLiteral(MORVEX_PRODUCT_VERSION);
    FFileVersion = QStringLiteral(MORVEX_FILE_VERSION);
}

namespace {

// The file's read-only attribute: the user may not write it, or nobody may (a file without
// any write permission counts as read-only even for an administrator, who could write it
// anyway). A file that does not exist counts as read-only too.
bool IsReadOnlyFile(const QString& path)
{
    const QFileInfo info(path);
    // WriteUser is left out: it tells what the current user may do, which for an
    // administrator is everything.
    constexpr QFile::Permissions anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return !info.exists() || !info.isWritable() || (info.permissions() & anyWrite) == 0;
}

} // namespace

void TMainForm::DetectReadOnly(const QStringList& arguments)
{
    // A folder without units.dat counts as read-only; its loading reports the missing file.
    const QString custom = FDataFolder + QStringLiteral("custom.dat");
    if (QFileInfo::exists(custom))
        FReadOnly = IsReadOnlyFile(custom);
    else
        FReadOnly = IsReadOnlyFile(FDataFolder + QStringLiteral("units.dat"));
    for (const QString& argument : arguments) {
        if (argument.toLower() == QLatin1String("/readonly"))
            FReadOnly = true;
    }
}

void TMainForm::ResizeClient(int width, int height)
{
    // Qt's layouts keep the controls in place, so only the size changes here. The client
    // area is the window without its menu bar.
    const int menuHeight = menuWidget() != nullptr && !menuWidget()->isHidden() ? menuWidget()->sizeHint().height() : 0;
    resize(width, height + menuHeight);
}

void TMainForm::FormResize()
{
    const int width = ui->BoxConversion->width();
    const int half = width / 2;
    QRect from = ui->EditFromValue->geometry();
    from.setWidth(half - 20);
    ui->EditFromValue->setGeometry(from);
    QRect to = ui->EditToValue->geometry();
    to.moveLeft(half + 10);
    to.setWidth(width - to.left() - 10);
    ui->EditToValue->setGeometry(to);
    QRect toLabel = ui->LblToUnit->geometry();
    toLabel.moveLeft(to.left() + 6);
    toLabel.setWidth(to.width() - 6);
    ui->LblToUnit->setGeometry(toLabel);

    // The rest of the box follows the same columns.
    QRect fromLabel = ui->LblFromUnit->geometry();
    fromLabel.setWidth(std::max(0, from.right() - fromLabel.left() + 1));
    ui->LblFromUnit->setGeometry(fromLabel);
    QRect equals = ui->LblEquals->geometry();
    equals.moveLeft(from.right() + 1 + (to.left() - from.right() - 1 - equals.width()) / 2);
    ui->LblEquals->setGeometry(equals);
    for (QWidget* line : {static_cast<QWidget*>(ui->LblCategory), static_cast<QWidget*>(ui->EditFactor)}) {
        QRect r = line->geometry();
        r.setWidth(std::max(0, width - r.left() - 10));
        line->setGeometry(r);
    }
}

void TMainForm::RequestTerminate(int exitCode)
{
    // A data-file failure keeps its exit code even when a quit request follows.
    if (!FTerminateRequested || FTerminateExitCode == 0)
        FTerminateExitCode = exitCode;
    FTerminateRequested = true;
    // Queued, so that a request made before the message loop runs ends it as soon as it
    // starts; QCoreApplication::exit alone would be lost then.
    const int code = FTerminateExitCode;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

void TMainForm::HandleRegisteredMessage(quint32 wParam)
{
    if (wParam == 1)
        RequestTerminate();
}

bool TMainForm::LoadCatalogue()
{
    const TLoadResult result = LoadCatalogueFiles(*FCatalogue, FDataFolder, FReadOnly);
    if (result.Ok)
        return true;
    BeepMessageDlg(result.Message, TMsgDlgType::mtError, QMessageBox::Ok, 0, this);
    RequestTerminate(kExitDataFile);
    return false;
}

void TMainForm::ReloadCatalogue()
{
    // The reload destroys every unit and category: nothing may point at them any more.
    FromUnit = nullptr;
    ToUnit = nullptr;
    CategoryFilter = nullptr;
    RememberSelection();
    ClearUnitLists();
    const bool loaded = LoadCatalogue();
    FillCategories();
    if (loaded)
        FillFromUnits();
}

void TMainForm::SaveCustomUnits()
{
    ::SaveCustomUnits(*FCatalogue, FDataFolder);
}

void TMainForm::SortRows(std::vector<TNamedRow>& rows)
{
    // Most names compare by their case-folded text as the catalogue's comparison does, and
    // that text compares many times faster: sort by it, check the order with the
    // catalogue's comparison in one pass, and sort by that only when the check fails. The
    // folded names share one buffer, so that thousands of names cost one allocation; each
    // key carries its first eight folded characters as two numbers, which settles most
    // comparisons without reading the buffer. Equal names keep their order.
    std::u16string folded;
    qsizetype total = 0;
    for (const TNamedRow& row : rows)
        total += row.Name.size();
    folded.reserve(size_t(total));
    struct TKey
    {
        quint64 High;
        quint64 Low;
        size_t Start;
        size_t Length;
        size_t Row;
    };
    std::vector<TKey> keys;
    keys.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const size_t start = folded.size();
        for (const QChar c : rows[i].Name) {
            const char16_t u = c.unicode();
            folded.push_back(u < 0x80 ? (u >= u'A' && u <= u'Z' ? char16_t(u + 32) : u) : c.toCaseFolded().unicode());
        }
        const size_t length = folded.size() - start;
        quint64 high = 0;
        quint64 low = 0;
        for (size_t k = 0; k < 4; ++k) {
            high = (high << 16) | (k < length ? quint64(folded[start + k]) : 0);
            low = (low << 16) | (k + 4 < length ? quint64(folded[start + k + 4]) : 0);
        }
        keys.push_back({high, low, start, length, i});
    }
    const std::u16string_view all(folded);
    std::sort(keys.begin(), keys.end(), [all](const TKey& a, const TKey& b) {
        if (a.High != b.High)
            return a.High < b.High;
        if (a.Low != b.Low)
            return a.Low < b.Low;
        const int c = all.substr(a.Start, a.Length).compare(all.substr(b.Start, b.Length));
        return c != 0 ? c < 0 : a.Row < b.Row;
    });
    std::vector<TNamedRow> sorted;
    sorted.reserve(rows.size());
    for (const TKey& key : keys)
        sorted.push_back(std::move(rows[key.Row]));
    rows = std::move(sorted);
    for (size_t i = 1; i < rows.size(); ++i) {
        if (CompareNames(rows[i - 1].Name, rows[i].Name) > 0) {
            std::stable_sort(rows.begin(), rows.end(),
                             [](const TNamedRow& a, const TNamedRow& b) { return CompareNames(a.Name, b.Name) < 0; });
            return;
        }
    }
}

TConvUnit* TMainForm::FindReferenceUnit(TConvCategory* category, bool includeCustom) const
{
    return category != nullptr ? ::FindReferenceUnit(*category, includeCustom) : nullptr;
}

void TMainForm::CheckForUpdates()
{
    // The update wizard is not part of the program yet.
}
