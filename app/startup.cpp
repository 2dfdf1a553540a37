#include "startup.h"

#include "codecs.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStyle>
#include <QStyleFactory>
#include <QTextCodec>
#include <QTranslator>

QString showNowStamp(const QDateTime &when)
{
    // The C locale keeps the digits ASCII whatever the user's locale.
    return QLocale::c().toString(when, QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz"));
}

void writeShowNowFile(const QString &path, const QDateTime &when)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return;  // read-only location: nothing to hand over, nothing to report
    file.write(showNowStamp(when).toLocal8Bit());
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
    QTextCodec::setCodecForLocale(systemCodec());
}
