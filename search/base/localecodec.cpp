#include "localecodec.h"

#include <QByteArray>
#include <QTextCodec>

#ifndef Q_OS_WIN
#include <langinfo.h>
#endif

QTextCodec *localeCodec()
{
    QTextCodec *const qtCodec = QTextCodec::codecForLocale();
#ifdef Q_OS_WIN
    return qtCodec;  // the ANSI code page
#else
    const QByteArray codeset(nl_langinfo(CODESET));
    QTextCodec *const named = codeset.isEmpty() ? nullptr : QTextCodec::codecForName(codeset);
    if (!named || named->mibEnum() == 3)  // US-ASCII: the "C" locale
        return qtCodec;
    return named;
#endif
}

QTextCodec *systemCodec()
{
    // Asked once: a lookup by name takes Qt's codec lock, and every path the
    // walk and the printer convert comes here. Only Windows has "system".
    static QTextCodec *const system = QTextCodec::codecForName("system");
    return system ? system : QTextCodec::codecForLocale();
}
