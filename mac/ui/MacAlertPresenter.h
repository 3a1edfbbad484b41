#pragma once

#include <functional>
#include <string>

#include "platform/system/MessageBox.h"

class QWidget;

// The program's modal alerts: the text, caption "Varnolet", and buttons titled through the
// string lookup ("ui_alert_ok", and "ui_alert_cancel" before it for a question, which is
// also the question's default button). An alert belongs to the panel running modally when
// there is one, else to the parent window.
class MacAlertPresenter final : public varnolet::MessagePresenter
{
public:
    using Lookup = std::function<std::string(const std::string &key, const std::string &fallback)>;

    explicit MacAlertPresenter(Lookup lookup = {});
    void setLookup(Lookup lookup) { m_lookup = std::move(lookup); }
    void setParentWindow(QWidget *window) { m_parent = window; }

    varnolet::MessageResult present(const varnolet::MessageRequest &request) override;

private:
    std::string text(const std::string &key, const std::string &fallback) const;
    QWidget *ownerWindow() const;

    Lookup m_lookup;
    QWidget *m_parent = nullptr;
};
