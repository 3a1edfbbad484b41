#include "mac/ui/AboutBox.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "mac/ui/NSTextFieldClickable.h"
#include "mac/ui/PanelPlacement.h"
#include "mac/ui/PanelText.h"
#include "mac/core/PropertyList.h"
#include "mac/core/SettingParams.h"

namespace {

// The logo's frame: the shipped picture's 3:1 shape.
constexpr int kLogoWidth = 360;
constexpr int kLogoHeight = 120;

} // namespace

AboutBox::AboutBox(QWidget *parent)
    : QDialog(parent)
    , m_openUrl([](const QUrl &url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("mAboutDlg"));
    setModal(true);
    auto named = [](auto *widget, const char *name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    compareLogImageView = named(new QLabel(this), "compareLogImageView");
    compareLogImageView->setFixedSize(kLogoWidth, kLogoHeight);
    compareLogImageView->setAlignment(Qt::AlignCenter);
    // The texts of the panel until the information list has been read.
    lProduceNameTextFiled =
        named(new QLabel(QStringLiteral("Varnolet"), this), "lProduceNameTextFiled");
    QFont productFont = lProduceNameTextFiled->font();
    productFont.setBold(true);
    productFont.setPointSizeF(productFont.pointSizeF() * 1.3);
    lProduceNameTextFiled->setFont(productFont);
    compareNameTextField = named(new QLabel(this), "compareNameTextField");
    hyperlinkTextField = named(new NSTextFieldClickable(this), "hyperlinkTextField");
    QPalette linkPalette = hyperlinkTextField->palette();
    linkPalette.setColor(QPalette::WindowText, linkPalette.color(QPalette::Link));
    hyperlinkTextField->setPalette(linkPalette);
    QFont linkFont = hyperlinkTextField->font();
    linkFont.setUnderline(true);
    hyperlinkTextField->setFont(linkFont);
    lCopyRightTextField = named(new QLabel(this), "lCopyRightTextField");
    lVersionTextField = named(new QLabel(this), "lVersionTextField");
    mSureButtonForAboutDlg =
        named(new QPushButton(QStringLiteral("Ok"), this), "mSureButtonForAboutDlg");
    mSureButtonForAboutDlg->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(compareLogImageView, 0, Qt::AlignHCenter);
    for (QLabel *field : {lProduceNameTextFiled, lVersionTextField, compareNameTextField,
                          static_cast<QLabel *>(hyperlinkTextField), lCopyRightTextField}) {
        field->setAlignment(Qt::AlignHCenter);
        layout->addWidget(field);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(mSureButtonForAboutDlg);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    connect(mSureButtonForAboutDlg, &QPushButton::clicked, this, &AboutBox::sureAboutOk);
    connect(hyperlinkTextField, &NSTextFieldClickable::clicked, this, &AboutBox::openUrl);
}

void AboutBox::initAboutDlg(const varnolet::SystemPaths &paths)
{
    initAboutDlg(SettingParams::getBundlePath(paths) + "/Contents/info.plist");
}

void AboutBox::initAboutDlg(const std::string &infoPlistPath)
{
    const PropertyList info = PropertyList::readFile(infoPlistPath);
    if (!info.isDictionary())
        return;
    const auto maker = PropertyList::stringValue(info.item("Oem Compare Name"));
    const auto product = PropertyList::stringValue(info.item("Oem Produce Name"));
    const auto copyright = PropertyList::stringValue(info.item("Oem Copyright"));
    const auto version = PropertyList::stringValue(info.item("Oem Version"));
    if (!maker || !product || !copyright || !version)
        return;
    const auto website = PropertyList::stringValue(info.item("Oem Compare Wibsite"));
    lProduceNameTextFiled->setText(PanelText::q(*product));
    compareNameTextField->setText(PanelText::q(*maker));
    hyperlinkTextField->setText(PanelText::q(website.value_or(std::string())));
    lCopyRightTextField->setText(PanelText::q(*copyright));
    lVersionTextField->setText(PanelText::q(*version));
}

void AboutBox::initLogImage(const varnolet::SystemPaths &paths)
{
    initLogImage(SettingParams::getBundleResourcesPath(paths) + "/log.jpg");
}

void AboutBox::initLogImage(const std::string &picturePath)
{
    const QPixmap picture(PanelText::q(picturePath));
    if (picture.isNull())
        return;
    mLogImage = picture.scaled(compareLogImageView->size(), Qt::IgnoreAspectRatio,
                               Qt::SmoothTransformation);
    compareLogImageView->setPixmap(mLogImage);
}

void AboutBox::about(const QWidget *mainWindow)
{
    // Placed once shown, when its frame has its final size.
    show();
    PanelPlacement::setWindowPositionInCenterOfMainWindow(this, mainWindow);
    raise();
    exec();
}

void AboutBox::sureAboutOk()
{
    QDialog::reject();
}

void AboutBox::reject()
{
    sureAboutOk();
}

void AboutBox::openUrl()
{
    const QString address = hyperlinkTextField->text();
    if (address.isEmpty())
        return;
    m_openUrl(QUrl::fromUserInput(address));
}

void AboutBox::retitle(const std::string &okTitle, const std::string &panelTitle)
{
    mSureButtonForAboutDlg->setText(PanelText::q(okTitle));
    setWindowTitle(PanelText::q(panelTitle));
}
