#pragma once

#include <QWidget>

class CResourcesBrowserDlg;

// The view that hosts the thumbnail panel in the main window's left splitter and keeps it
// at its own size.
class CResourceBrowserView final : public QWidget
{
    Q_OBJECT

public:
    explicit CResourceBrowserView(QWidget *parent = nullptr);
    ~CResourceBrowserView() override;

    CResourcesBrowserDlg *Panel() const { return m_panel; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    CResourcesBrowserDlg *m_panel = nullptr; // child, destroyed with the view
};
