#pragma once

#include <functional>

#include <QDialog>
#include <QString>
#include <QUrl>

#include "platform/system/MessageBox.h"

class CPictureBox;
class QLabel;
class QPushButton;

// The five product strings the about box shows.
struct AboutTexts
{
    QString productName;
    QString companyName;
    QString webSite;
    QString copyright;
    QString version;
};

class AppServices;
class CSettingParams;

// The modal about box: the logo and the product strings of the [oem] section.
class CAboutDlg final : public QDialog
{
public:
    enum ControlId {
        IDC_LOGO = 1045,
        IDC_PRODUCT_NAME = 1094,
        IDC_COMPANY_NAME = 1095,
        IDC_WEB_SITE = 1082,
        IDC_COPYRIGHT = 1107,
        IDC_VERSION = 1108,
        IDC_OK = 1071,
    };

    // The texts default to the [oem] strings of the settings of services, which also give
    // the captions' language and outlive the box. messages: where a language file that
    // cannot be loaded for the captions is told.
    explicit CAboutDlg(const AppServices &services, varnolet::MessageBox messages,
                       QWidget *parent = nullptr);
    CAboutDlg(const AppServices &services, varnolet::MessageBox messages, const AboutTexts &texts,
              QWidget *parent);

    // The [oem] strings the settings store loaded.
    static AboutTexts OemTexts(const CSettingParams &settings);

    // How a link is opened (the system's default handler unless a test puts another).
    void SetLinkOpener(std::function<void(const QUrl &)> opener) { m_openLink = std::move(opener); }
    void OpenWebSite();

    void RetitleTexts();

    CPictureBox *Logo() const { return m_logo; }
    QLabel *ProductName() const { return m_productName; }
    QLabel *CompanyName() const { return m_companyName; }
    QLabel *WebSite() const { return m_webSite; }
    QLabel *Copyright() const { return m_copyright; }
    QLabel *Version() const { return m_version; }
    QPushButton *OkButton() const { return m_ok; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    const AppServices &m_services;
    const varnolet::MessageBox m_messages;
    AboutTexts m_texts;
    CPictureBox *m_logo;
    QLabel *m_productName;
    QLabel *m_companyName;
    QLabel *m_webSite;
    QLabel *m_copyright;
    QLabel *m_version;
    QPushButton *m_ok;
    std::function<void(const QUrl &)> m_openLink;
};
