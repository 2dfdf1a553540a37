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

// Members of an archive on disk, those of the archives inside it included,
// may give this many times the archive's own size, and at least
// kFreeExpansion bytes, before the rest of it is passed over: a
// thousand to one is about the most one level of deflate reaches, so only
// nesting or long runs of one byte go past it.
constexpr qint64 kMaxExpansionRatio = 1000;
constexpr qint64 kFreeExpansion = qint64(256) << 20;

// What became of one archive on disk, its nested archives included.
struct ArchiveOutcome
{
    bool readInFull = true;         // false once a part of it could not be read
    QByteArray displayPath;         // the archive on disk as diagnostics name it
    qint64 storedSize = 0;          // its size on disk
    qint64 expanded = 0;            // bytes read out of its members so far, at every level
    bool expansionStopped = false;  // it went past its expansion limit: read no further

    // Counts `bytes` more read out of a member; false once past the limit.
    bool expand(qint64 bytes)
    {
        expanded += bytes;
        if (expanded > qMax(kFreeExpansion, storedSize * kMaxExpansionRatio))
            expansionStopped = true;
        return !expansionStopped;
    }
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
    // Its own time: its file's on disk, or its member's inside another archive.
    qint64 modified = TFileInfo::kNoTime;

    // True once the walk must end: the search stopped, or the archive on
    // disk went past its expansion limit.
    bool ended() const;

    // The time of a compressed file's one member: the time its header keeps
    // (gzip and lzop keep one, often left out), else the compressed file's.
    qint64 compressedMemberTime(qint64 kept) const
    {
        return kept != TFileInfo::kNoTime ? kept : modified;
    }
};

#endif  // ARCHIVESCOPE_H
