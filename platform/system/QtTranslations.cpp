#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace varnolet {

namespace {

struct State
{
    std::unique_ptr<QTranslator> translator;
    std::string locale;
};

State &state()
{
    static State s;
    return s;
}

} // namespace

bool QtTranslations::use(const std::string &localeName, const std::string &catalogues)
{
    State &s = state();
    if (s.translator && s.locale == localeName)
        return true;
    if (s.translator) {
        QCoreApplication::removeTranslator(s.translator.get());
        s.translator.reset();
        s.locale.clear();
    }
    if (localeName.empty() || localeName == "en" || !QCoreApplication::instance())
        return false;
    const QString folder = catalogues.empty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath)
                                              : QString::fromStdString(catalogues);
    auto translator = std::make_unique<QTranslator>();
    // "qt_de" gathers every Qt module's catalogue; "qtbase_de" alone when it is missing.
    const QLocale locale(QString::fromStdString(localeName));
    if (!translator->load(locale, QStringLiteral("qt"), QStringLiteral("_"), folder) &&
        !translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
        return false;
    if (!QCoreApplication::installTranslator(translator.get()))
        return false;
    s.translator = std::move(translator);
    s.locale = localeName;
    return true;
}

std::string QtTranslations::installedLocale()
{
    return state().locale;
}

} // namespace varnolet
