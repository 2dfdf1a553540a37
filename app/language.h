#ifndef LANGUAGE_H
#define LANGUAGE_H

#include <QLibraryInfo>
#include <QProcessEnvironment>
#include <QString>

// The window's texts are written in Chinese; an English translation (Qt
// Linguist, translations/velto_en.ts, built into the program) serves everyone
// else.
enum class UiLanguage { Chinese, English };

// The language for a user with `environment`: LANGUAGE's list first (its
// first Chinese or English entry; ignored under the C locale, as gettext
// does), else the first of LC_ALL, LC_MESSAGES and LANG that is set: Chinese
// for zh_*, English for anything else.
UiLanguage uiLanguageFor(const QProcessEnvironment &environment);

// Installs the texts of `language`: for Chinese, Qt's own dialog texts in
// Chinese from `qtFolder` (the program's are Chinese already); for English,
// the program's English translation. Returns false when a translation could
// not be loaded (its texts then stay as they are written).
bool installTranslations(UiLanguage language,
                         const QString &qtFolder
                         = QLibraryInfo::location(QLibraryInfo::TranslationsPath));

#endif  // LANGUAGE_H
