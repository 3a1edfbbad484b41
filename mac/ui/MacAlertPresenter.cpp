#include "MacAlertPresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

MacAlertPresenter::MacAlertPresenter(Lookup lookup)
    : m_lookup(std::move(lookup))
{
}

std::string MacAlertPresenter::text(const std::string &key, const std::string &fallback) const
{
    return m_lookup ? m_lookup(key, fallback) : fallback;
}

QWidget *MacAlertPresenter::ownerWindow() const
{
    // An alert raised by a panel that runs modally belongs to that panel: owned by the main
    // window instead, it would bring the main window up over the panel.
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return m_parent;
}

varnolet::MessageResult MacAlertPresenter::present(const varnolet::MessageRequest &request)
{
    QWidget *owner = ownerWindow();
    QMessageBox box(owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(QString::fromStdString(request.caption));
    box.setText(QString::fromStdString(request.text));
    box.setIcon(request.icon == varnolet::MessageIcon::Question ? QMessageBox::Question
                                                                : QMessageBox::Warning);
    QPushButton *cancel = nullptr;
    if (request.buttons == varnolet::MessageButtons::OkCancel)
        cancel = box.addButton(QString::fromStdString(text("ui_alert_cancel", "Cancel")),
                               QMessageBox::RejectRole);
    QPushButton *ok =
        box.addButton(QString::fromStdString(text("ui_alert_ok", "Ok")), QMessageBox::AcceptRole);
    // A question is answered by a deliberate choice: Return and Escape both take Cancel.
    box.setDefaultButton(cancel ? cancel : ok);
    if (cancel)
        box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == ok ? varnolet::MessageResult::Ok
                                     : varnolet::MessageResult::Cancel;
}
