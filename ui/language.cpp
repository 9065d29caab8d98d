#include "ui/language.h"

#include "ui/langtexts.h"
#include "ui/settings.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

#include <memory>

namespace kvt::ui {

int LanguageOfLocale(const QString& Locale, const QString& LanguageList)
{
    const QString base = Locale.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    if (base.isEmpty() || base == QLatin1String("C") || base == QLatin1String("POSIX"))
        return LangCzech;
    QString first = LanguageList.section(QLatin1Char(':'), 0, 0);
    if (first.isEmpty())
        first = base;
    return first.section(QLatin1Char('_'), 0, 0) == QLatin1String("en") ? LangEnglish : LangCzech;
}

int SystemLanguage()
{
    QString locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = qEnvironmentVariable(name);
        if (!locale.isEmpty())
            break;
    }
    return LanguageOfLocale(locale, qEnvironmentVariable("LANGUAGE"));
}

int StartLanguage()
{
    return TProgramSettings::Language().value_or(SystemLanguage());
}

void UseQtTranslations(int Lang)
{
    // Every connect applies the language again; only a change reloads the translation.
    static int current = -1;
    if (Lang == current)
        return;
    current = Lang;
    static std::unique_ptr<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    if (Lang != LangCzech)
        return;
    auto t = std::make_unique<QTranslator>();
    if (t->load(QStringLiteral("qtbase_cs"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(t.get());
        installed = std::move(t);
    }
}

} // namespace kvt::ui
