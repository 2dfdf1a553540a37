#ifndef ARCHIVESCOPE_H
#define ARCHIVESCOPE_H

#include "hitsink.h"

#include <QByteArray>
#include <QString>

class MemberSearch;
class QTextCodec;

// How member names that carry no encoding of their own are read.
struct ArchiveNameRules
{
    // A code page the user forced (velto-find --name-encoding); null: the rules.
    QTextCodec *forcedCodec = nullptr;
    // The locale whose language picks the code page ("zh_CN.UTF-8");
    // empty: LC_ALL, LC_CTYPE or LANG of the environment.
    QByteArray localeName;
};

// What became of one archive on disk, its nested archives included.
struct ArchiveOutcome
{
    bool readInFull = true;  // false once a part of it could not be read
};

// One archive being walked, on disk or nested in another: what the search
// wants of it, where its hits go and what they and its diagnostics are called.
struct ArchiveScope
{
    const MemberSearch &search;
    HitSink &hits;
    const ArchiveNameRules &names;
    QString name;            // its own name, decoded: a compressed file's member is named after it
    QString hitPrefix;       // the archive's hit name and a separator
    QByteArray displayPath;  // the archive as diagnostics name it
    int depth = 1;           // 1 for an archive on disk, 2 for one inside it, ...
    ArchiveOutcome *outcome = nullptr;  // that of the archive on disk, shared by those inside
};

#endif  // ARCHIVESCOPE_H
