// The language the window starts in, and Qt's own texts (dialog buttons, the save dialog) in the
// language in force.
#pragma once

#include <QString>

namespace kvt::ui {

// The language of the user's messages as the system sets it, read afresh from the environment
// the way programs of the platform read it (LC_ALL, then LC_MESSAGES, then LANG; LANGUAGE
// first unless the locale is C): LangEnglish for English, LangCzech for anything else.
int SystemLanguage();
// The same rule for one locale name (en_GB.UTF-8, cs_CZ, C) and LANGUAGE list.
int LanguageOfLocale(const QString& Locale, const QString& LanguageList = {});

// The saved choice, or the system's language when the user has made none.
int StartLanguage();

// Installs Qt's own translation for Lang where the system has it (Czech), or removes it.
void UseQtTranslations(int Lang);

} // namespace kvt::ui
