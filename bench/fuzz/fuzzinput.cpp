#include "fuzzinput.h"

#include "diagnostics.h"
#include "membermatcher.h"
#include "namefilter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextCodec>

namespace {

const QString &privateDir()
{
    static const QString dir = [] {
        const QString path = QDir::tempPath()
                + QStringLiteral("/velto-fuzz-%1").arg(QCoreApplication::applicationPid());
        QDir().mkpath(path);
        setDiagnosticStream(std::fopen("/dev/null", "w"));
        return path;
    }();
    return dir;
}

}  // namespace

QByteArray writeFuzzInput(const uint8_t *data, size_t size, const char *fileName)
{
    const QString path = privateDir() + QLatin1Char('/') + QLatin1String(fileName);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    return QFile::encodeName(path);
}

ContentMatcher fuzzMatcher(const QString &text)
{
    ContentMatcher matcher;
    matcher.grepText = text;
    matcher.localeCodec = QTextCodec::codecForLocale();
    return matcher;
}

const MemberSearch &fuzzArchiveSearch(bool content)
{
    static const ContentMatcher matchers[2]
            = {fuzzMatcher(QString()), fuzzMatcher(QStringLiteral("a"))};
    static const auto everyName = std::make_shared<const NameFilter>(QStringList {"*"});
    static const MemberMatcher searches[2]
            = {MemberMatcher(matchers[0], everyName), MemberMatcher(matchers[1], everyName)};
    return searches[content ? 1 : 0];
}
