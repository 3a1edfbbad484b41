#include "QtMessagePresenter.h"

#include <QMessageBox>
#include <QString>

namespace varnolet {

MessageResult QtMessagePresenter::present(const MessageRequest &request)
{
    QMessageBox::Icon icon = QMessageBox::Warning;
    switch (request.icon) {
    case MessageIcon::Warning:
        icon = QMessageBox::Warning;
        break;
    case MessageIcon::Question:
        icon = QMessageBox::Question;
        break;
    case MessageIcon::Information:
        icon = QMessageBox::Information;
        break;
    case MessageIcon::Error:
        icon = QMessageBox::Critical;
        break;
    }
    QMessageBox::StandardButtons buttons = request.buttons == MessageButtons::OkCancel
                                               ? (QMessageBox::Ok | QMessageBox::Cancel)
                                               : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(icon, QString::fromStdString(request.caption),
                    QString::fromStdString(request.text), buttons);
    return box.exec() == QMessageBox::Cancel ? MessageResult::Cancel : MessageResult::Ok;
}

} // namespace varnolet
