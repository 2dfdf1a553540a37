#include "language.h"

#include "startup.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTranslator>

namespace {

bool isCLocale(const QString &name)
{
    return name == QLatin1String("C") || name == QLatin1String("POSIX")
            || name.startsWith(QLatin1String("C."));
}

}  // namespace

UiLanguage uiLanguageFor(const QProcessEnvironment &environment)
{
    QString locale;
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment.value(QLatin1String(name));
        if (!locale.isEmpty())
            break;
    }
    const QString languages = environment.value(QStringLiteral("LANGUAGE"));
    if (!languages.isEmpty() && !isCLocale(locale)) {
        for (const QString &entry : languages.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
            if (entry.startsWith(QLatin1String("zh")))
                return UiLanguage::Chinese;
            if (entry.startsWith(QLatin1String("en")))
                return UiLanguage::English;
        }
    }
    return locale.startsWith(QLatin1String("zh")) ? UiLanguage::Chinese : UiLanguage::English;
}

bool installTranslations(UiLanguage language, const QString &qtFolder)
{
    // The translation lives in a static library: make sure it is linked in.
    Q_INIT_RESOURCE(i18n);
    if (language == UiLanguage::Chinese)
        return installQtTranslations(qtFolder) != nullptr;
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral(":/i18n/velto_en.qm"))
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}
