#include "CAboutDlg.h"

#include "win/common/AppServices.h"

#include "win/app/AppText.h"
#include "win/app/CPictureBox.h"
#include "win/common/OemInfo.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *makeLabel(QWidget *parent, int id, Qt::Alignment alignment)
{
    auto *label = new QLabel(parent);
    label->setProperty("controlId", id);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setWordWrap(true);
    return label;
}

} // namespace

AboutTexts CAboutDlg::OemTexts(const CSettingParams &settings)
{
    const OemInfo oem = settings.GetOemInfo();
    return AboutTexts{QString::fromStdString(oem.productName),
                      QString::fromStdString(oem.companyName), QString::fromStdString(oem.webSite),
                      QString::fromStdString(oem.copyright), QString::fromStdString(oem.version)};
}

CAboutDlg::CAboutDlg(const AppServices &services, varnolet::MessageBox messages, QWidget *parent)
    : CAboutDlg(services, std::move(messages), OemTexts(services.Settings()), parent)
{
}

CAboutDlg::CAboutDlg(const AppServices &services, varnolet::MessageBox messages,
                     const AboutTexts &texts, QWidget *parent)
    : QDialog(parent)
    , m_services(services)
    , m_messages(std::move(messages))
    , m_texts(texts)
    , m_logo(new CPictureBox(this))
    , m_productName(makeLabel(this, IDC_PRODUCT_NAME, Qt::AlignHCenter))
    , m_companyName(makeLabel(this, IDC_COMPANY_NAME, Qt::AlignHCenter))
    , m_webSite(makeLabel(this, IDC_WEB_SITE, Qt::AlignHCenter))
    , m_copyright(makeLabel(this, IDC_COPYRIGHT, Qt::AlignLeft))
    , m_version(makeLabel(this, IDC_VERSION, Qt::AlignRight))
    , m_ok(new QPushButton(this))
    , m_openLink([](const QUrl &url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("aboutDialog"));
    m_logo->setProperty("controlId", IDC_LOGO);
    m_logo->setFixedSize(360, 120);
    m_ok->setProperty("controlId", IDC_OK);
    // Enter never closes the box: only the button (or Escape, as a cancel) does.
    m_ok->setAutoDefault(false);
    m_ok->setDefault(false);
    m_ok->setMinimumWidth(90);

    QFont nameFont = m_productName->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.3);
    nameFont.setBold(true);
    m_productName->setFont(nameFont);

    m_webSite->setTextFormat(Qt::RichText);
    m_webSite->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_webSite->setOpenExternalLinks(false);
    connect(m_webSite, &QLabel::linkActivated, this, [this](const QString &) { OpenWebSite(); });
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(8);
    layout->addWidget(m_logo, 0, Qt::AlignHCenter);
    layout->addSpacing(4);
    layout->addWidget(m_productName);
    layout->addWidget(m_companyName);
    layout->addWidget(m_webSite);
    layout->addSpacing(4);
    layout->addWidget(m_copyright);
    layout->addWidget(m_version);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    layout->addLayout(buttons);
    setFixedWidth(400);

    // The logo comes from the program folder; a missing file leaves the box white.
    m_logo->LoadFile(ShippedFilePath(m_services.Paths(), QStringLiteral("Resource/image/log.bmp")));
    RetitleTexts();
}

void CAboutDlg::RetitleTexts()
{
    setWindowTitle(LanguageText(m_services, "ui_dlg_about", "About", m_messages));
    m_productName->setText(m_texts.productName);
    m_companyName->setText(m_texts.companyName);
    const QString site = m_texts.webSite.toHtmlEscaped();
    m_webSite->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(site));
    m_copyright->setText(m_texts.copyright);
    m_version->setText(m_texts.version);
    m_ok->setText(LanguageText(m_services, "ui_alert_ok", "确定", m_messages));
}

void CAboutDlg::OpenWebSite()
{
    QUrl url = QUrl::fromUserInput(m_texts.webSite);
    if (url.isValid() && m_openLink)
        m_openLink(url);
}

void CAboutDlg::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
