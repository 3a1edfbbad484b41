#include "platform/system/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QFile>

#include <gtest/gtest.h>

using varnolet::QtTranslations;

namespace {

QString qtText(const char *context, const char *source)
{
    return QCoreApplication::translate(context, source);
}

bool catalogueInstalled(const char *name)
{
    return QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/" + name);
}

} // namespace

TEST(QtTranslationsTest, QtsOwnTextsFollowTheLanguageAndSwapAtAChange)
{
    if (!catalogueInstalled("qtbase_de.qm") || !catalogueInstalled("qtbase_ja.qm"))
        GTEST_SKIP() << "Qt's catalogues are not installed (qt6-translations-l10n)";
    ASSERT_EQ(qtText("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));

    ASSERT_TRUE(QtTranslations::use("de"));
    EXPECT_EQ(QtTranslations::installedLocale(), "de");
    EXPECT_EQ(qtText("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));

    // A language change swaps the catalogue: no German left behind.
    ASSERT_TRUE(QtTranslations::use("ja"));
    const QString japanese = qtText("QPlatformTheme", "Cancel");
    EXPECT_NE(japanese, QStringLiteral("Abbrechen"));
    EXPECT_NE(japanese, QStringLiteral("Cancel"));

    ASSERT_TRUE(QtTranslations::use("zh_TW"));
    EXPECT_NE(qtText("QPlatformTheme", "Cancel"), japanese);

    // English: Qt's built-in texts again.
    EXPECT_FALSE(QtTranslations::use("en"));
    EXPECT_EQ(QtTranslations::installedLocale(), "");
    EXPECT_EQ(qtText("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}

TEST(QtTranslationsTest, AMissingCatalogueLeavesEnglish)
{
    EXPECT_FALSE(QtTranslations::use("fr", "/nonexistent"));
    EXPECT_EQ(QtTranslations::installedLocale(), "");
    EXPECT_EQ(qtText("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}
