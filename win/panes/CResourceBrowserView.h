#pragma once

#include <QWidget>

#include "platform/system/MessageBox.h"
#include "platform/widgets/ShellOpener.h"

class CResourcesBrowserDlg;

class AppServices;

// The view that hosts the thumbnail panel in the main window's left splitter and keeps it
// at its own size.
class CResourceBrowserView final : public QWidget
{
    Q_OBJECT

public:
    // opener: how the panel opens files (the desktop when empty); messages: where the panel
    // tells what went wrong.
    explicit CResourceBrowserView(const AppServices &services, varnolet::MessageBox messages,
                                  QWidget *parent = nullptr, ShellOpener::Handler opener = {});
    ~CResourceBrowserView() override;

    CResourcesBrowserDlg *Panel() const { return m_panel; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    CResourcesBrowserDlg *m_panel = nullptr; // child, destroyed with the view
};
