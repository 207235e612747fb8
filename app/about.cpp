#include "about.h"

#include "MakerLinks.h"
#include "Version.h"
#include "ui_about.h"

#include <QFile>
#include <QMouseEvent>
#include <QTextBrowser>

// The page is compiled into the window library, a static library: its resources are
// registered only when asked for. (Outside any namespace, as the resource macro requires.)
static void InitAboutPageResources()
{
    Q_INIT_RESOURCE(aboutpage);
}

namespace {
// The browser property that records that the about page has been loaded into it.
constexpr const char* kAboutPageLoaded = "aboutPageLoaded";

QString AboutPageHtml()
{
    InitAboutPageResources();
    QFile page(QStringLiteral(":/aboutpage/about.htm"));
    if (!page.open(QIODevice::ReadOnly))
        return {};
    QString html = QString::fromUtf8(page.readAll());
    html.replace(QStringLiteral("%WEBSITE%"), MakerLinks::WebSite().toHtmlEscaped());
    html.replace(QStringLiteral("%PROGRAMPAGE%"), MakerLinks::ProgramPage().toHtmlEscaped());
    html.replace(QStringLiteral("%FEEDBACK%"),
                 QString::fromLatin1(MakerLinks::FeedbackUrl().toEncoded()).toHtmlEscaped());
    return html;
}
} // namespace

QString AboutVersionLine(const QString& productVersion, const QString& fileVersion)
{
    return QStringLiteral("Version: ") + productVersion + QStringLiteral(" (") + fileVersion + QStringLiteral(")");
}

TAboutForm::TAboutForm(QWidget* parent)
    : TAboutForm(QStringLiteral(MORVEX_PRODUCT_VERSION), QStringLiteral(MORVEX_FILE_VERSION), parent)
{}

TAboutForm::TAboutForm(const QString& productVersion, const QString& fileVersion, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TAboutForm>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    FormCreate(productVersion, fileVersion);
}

TAboutForm::~TAboutForm() = default;

void TAboutForm::FormCreate(const QString& productVersion, const QString& fileVersion)
{
    ui->LblVersion->setText(AboutVersionLine(productVersion, fileVersion));
    InitAboutPageResources();
    SetLogo(QPixmap(QStringLiteral(":/aboutpage/logo.png")), MakerLinks::WebSite());
    ui->LblWebsite->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                                .arg(MakerLinks::WebSite().toHtmlEscaped(), MakerLinks::WebSite().toHtmlEscaped()));
    connect(ui->LblWebsite, &QLabel::linkActivated, this, [](const QString& link) { OpenLink(QUrl(link)); });
    ui->ImgLogo->installEventFilter(this);
    // Close is both the default button and, through Escape, the cancel button.
    connect(ui->BtnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutForm::SetLogo(const QPixmap& picture, const QString& hint)
{
    if (!picture.isNull())
        ui->ImgLogo->setPixmap(picture);
    if (!hint.isEmpty())
        ui->ImgLogo->setToolTip(hint);
}

QString TAboutForm::VersionText() const
{
    return ui->LblVersion->text();
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->ImgLogo && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        ImgLogoClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutForm::ImgLogoClick()
{
    OpenLink(QUrl(ui->ImgLogo->toolTip()));
}

void ShowAboutBox(QWidget* parent, const QPixmap& logo, const QString& logoHint)
{
    TAboutForm form(parent);
    form.SetLogo(logo, logoHint);
    form.exec();
}

bool ShowAboutPage(QTextBrowser* browser)
{
    if (browser->property(kAboutPageLoaded).toBool())
        return false;
    browser->setProperty(kAboutPageLoaded, true);
    browser->setOpenExternalLinks(true);
    browser->setHtml(AboutPageHtml());
    return true;
}
