#include "startup.h"

#include "codecs.h"
#include "nofollowwrite.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStyle>
#include <QStyleFactory>
#include <QTextCodec>
#include <QTranslator>

#include <cstdio>

QString showNowStamp(const QDateTime &when)
{
    // The C locale keeps the digits ASCII whatever the user's locale.
    return QLocale::c().toString(when, QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz"));
}

bool writeShowNowFile(const QString &path, const QDateTime &when)
{
    // A read-only location or a link: nothing to hand over, nothing to report.
    return writeFileWithoutFollowingLinks(path, showNowStamp(when).toLocal8Bit());
}

void stampHandOverFile(const HandOverFile &file, const QDateTime &when)
{
    if (!file.passedOverLink.isEmpty())
        std::fprintf(stderr, "%s: %s is a link and is not followed; the hand-over file is %s\n",
                     qPrintable(QCoreApplication::applicationName()),
                     qPrintable(QDir::toNativeSeparators(file.passedOverLink)),
                     qPrintable(QDir::toNativeSeparators(file.path)));
    writeShowNowFile(file.path, when);
}

QString initialDirectoryList(const QString &argument, const QString &allDrives)
{
    return QFileInfo(argument).isDir() ? argument : allDrives;
}

QTranslator *installQtTranslations(const QString &folder)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    // Debian's qttranslations5-l10n: Qt's widget and dialog texts.
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), folder)
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

void installStyleAndCodecs()
{
    QStyle *style = QStyleFactory::create(QStringLiteral("cleanlooks"));
    if (!style)
        style = QStyleFactory::create(QStringLiteral("Fusion"));
    if (style)
        QApplication::setStyle(style);  // the application takes ownership
    QTextCodec::setCodecForLocale(localeCodec());
}
