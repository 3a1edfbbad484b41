#pragma once

#include <functional>
#include <string>

#include <QDialog>
#include <QPixmap>
#include <QUrl>

class NSTextFieldClickable;
class QLabel;
class QPushButton;

// The about panel: logo, product and maker's names, web address, rights notice and
// version, filled once at start-up from the bundle's information list; run modally over
// the main window and closed by OK or its close box.
namespace varnolet {
class SystemPaths;
} // namespace varnolet

class AboutBox final : public QDialog
{
    Q_OBJECT

public:
    explicit AboutBox(QWidget *parent = nullptr);

    // Fills the fields from the bundle's Contents/info.plist. Without a readable list that
    // has the maker's and product names, the rights notice and the version, the fields keep
    // their built-in texts.
    void initAboutDlg(const varnolet::SystemPaths &paths);
    void initAboutDlg(const std::string &infoPlistPath);
    // Loads the logo ("log.jpg" of the bundle's resources) scaled to the image view; a
    // missing picture leaves the logo empty.
    void initLogImage(const varnolet::SystemPaths &paths);
    void initLogImage(const std::string &picturePath);

    // The About button: place the panel over the main window and run it modally.
    void about(const QWidget *mainWindow);
    // OK (and the close box): end the modal loop and hide the panel.
    void sureAboutOk();
    // A click on the web address: open it with the desktop's handler.
    void openUrl();

    // The texts of the language in force: the OK button and the panel's title.
    void retitle(const std::string &okTitle, const std::string &panelTitle);

    // How a link is opened (the desktop's default handler unless a test puts another).
    void setUrlOpener(std::function<void(const QUrl &)> opener) { m_openUrl = std::move(opener); }

    // Outlets.
    QLabel *compareNameTextField;
    QLabel *lProduceNameTextFiled;
    NSTextFieldClickable *hyperlinkTextField;
    QLabel *lCopyRightTextField;
    QLabel *lVersionTextField;
    QLabel *compareLogImageView;
    QPushButton *mSureButtonForAboutDlg;
    QPixmap mLogImage;

public slots:
    void reject() override;

private:
    std::function<void(const QUrl &)> m_openUrl;
};
