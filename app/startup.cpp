#include "startup.h"

#include "codecs.h"
#include "nofollowwrite.h"
#include "pathcodec.h"
#include "searchrequest.h"

#include <QApplication>
#include <QDir>
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
    if (!file.passedOver.isEmpty())
        std::fprintf(stderr, "%s: %s %s; the hand-over file is %s\n",
                     qPrintable(QCoreApplication::applicationName()),
                     qPrintable(QDir::toNativeSeparators(file.passedOver)), qPrintable(file.why),
                     qPrintable(QDir::toNativeSeparators(file.path)));
    writeShowNowFile(file.path, when);
}

QStringList startFolders(int argc, const char *const argv[])
{
    QStringList folders;
    for (int i = 1; i < argc; ++i)
        folders << decodePath(QByteArray(argv[i]));
    return folders;
}

QString unusableStartFolder(const QStringList &folders)
{
    for (const QString &folder : folders) {
        if (!isExistingFolder(folder))
            return folder;
    }
    return QString();
}

namespace {

// A start's message: this line, then each folder as its length (32 bits,
// big-endian) and its bytes.
const QByteArray startMessageHeader("velto start 1\n");

}  // namespace

QByteArray startFoldersMessage(const QStringList &folders)
{
    QByteArray message = startMessageHeader;
    for (const QString &folder : folders) {
        const QByteArray bytes = encodePath(folder);
        const quint32 size = quint32(bytes.size());
        for (int shift = 24; shift >= 0; shift -= 8)
            message += char((size >> shift) & 0xFF);
        message += bytes;
    }
    return message;
}

QStringList startFoldersInMessage(const QByteArray &message)
{
    QStringList folders;
    if (!message.startsWith(startMessageHeader))
        return folders;
    for (int at = startMessageHeader.size(); at < message.size();) {
        if (message.size() - at < 4)
            return {};
        quint32 size = 0;
        for (int i = 0; i < 4; ++i)
            size = (size << 8) | quint8(message.at(at + i));
        at += 4;
        if (size > quint32(message.size() - at))
            return {};
        folders << decodePath(message.mid(at, int(size)));
        at += int(size);
    }
    return folders;
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
