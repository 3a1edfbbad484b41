#include "MacAlertPresenter.h"

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

varnolet::MessageResult MacAlertPresenter::present(const varnolet::MessageRequest &request)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(QString::fromStdString(request.caption));
    box.setText(QString::fromStdString(request.text));
    box.setIcon(request.icon == varnolet::MessageIcon::Question ? QMessageBox::Question
                                                                : QMessageBox::Warning);
    if (request.buttons == varnolet::MessageButtons::OkCancel)
        box.addButton(QString::fromStdString(text("ui_alert_cancel", "Cancel")),
                      QMessageBox::RejectRole);
    QPushButton *ok =
        box.addButton(QString::fromStdString(text("ui_alert_ok", "Ok")), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.exec();
    return box.clickedButton() == ok ? varnolet::MessageResult::Ok
                                     : varnolet::MessageResult::Cancel;
}
