#ifndef SEARCHREQUEST_H
#define SEARCHREQUEST_H

#include "filehits.h"
#include "textquery.h"
#include "walkrules.h"

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>

class QTextCodec;

// Why a request cannot be searched. The front ends word each kind in their
// own language; the kinds are checked in the order they are listed.
struct RequestError
{
    enum class Kind {
        None,
        NothingToSearch,     // neither a name pattern nor a content text
        InvalidNamePattern,  // a wildcard that cannot be compiled matches no name
        LineBreakInText,     // lines are searched without their line feeds
        InvalidExpression,   // a content text that does not compile as an expression
        InvalidExclusion,    // a wildcard of names or folders to leave out that cannot be compiled
        InvalidSize,         // a size condition that cannot be read
        InvalidTime,         // a date or duration that cannot be read
        MissingFolder,       // a start folder that does not exist
    };

    Kind kind = Kind::None;
    // The offending pattern, text or folder, as split; empty for the others.
    QString part;
    // An invalid expression: the library's message and where in `part` it
    // gave up (UTF-16 units).
    QString detail = QString();
    int offset = -1;

    bool isError() const { return kind != Kind::None; }
};

// One search as the user asked for it: the texts as typed into the window's
// form or given to velto-find, and the switches. Both front ends fill one,
// ask it once whether it can be searched (check()), word a refusal in their
// own language and hand it to searchThread::setParameters.
//
// A new option is a field here; a check it needs goes into check() as a new
// kind of RequestError. Each front end words every kind in a switch without
// a default, so the build names a front end that has no words for a new one.
class SearchRequest
{
public:
    // The start-folder field: trimmed as a whole, native separators, split at
    // ";" keeping empty parts. Parts are not trimmed one by one: a blank after
    // ";" belongs to the next path, and an empty part is the current directory.
    static QStringList foldersOfField(const QString &field);
    // A field of several texts (the name patterns, the texts a file must or
    // must not hold): its parts between ";", trimmed, empty ones dropped.
    static QStringList partsOfField(const QString &field);

    // The first reason this request cannot be searched, or kind None.
    RequestError check() const;

    // The name patterns: the parts of `names` between ";", trimmed, empty
    // ones dropped; "*" when there are none and a content text is given.
    QStringList namePatterns() const;

    // The start folders in order; the current directory when none is given.
    QList<QDir> startFolders() const;

    // What picks the lines shown: `text` and `moreTexts` as the switches
    // say. Of a request that passed its check.
    TextQuery lineQuery() const;
    // The texts the file must also hold, and those it must not, each read
    // as the switches say.
    QList<TextQuery> requiredQueries() const;
    QList<TextQuery> excludedQueries() const;
    // What the walk takes in, times read against the current time. Of a
    // request that passed its check.
    WalkRules walkRules() const;

    QString names;  // file-name patterns separated by ";"
    QString text;   // the content text, untrimmed; empty: a name search
    // Start folders, each a path as given (see foldersOfField), in the exact
    // bytes pathcodec.h keeps.
    QStringList folders;
    Qt::CaseSensitivity caseSensitivity = Qt::CaseSensitive;  // of the content text
    bool recursive = true;                                    // into subfolders
    bool exact = false;                                       // patterns match whole names as typed
    bool deep = false;                                        // the content text in every codec
    // Further content texts: a line holding any of the texts is shown.
    QStringList moreTexts;
    bool regex = false;         // the content texts are PCRE2 expressions
    bool wholeWords = false;    // a match's neighbours are no letters, digits or "_"
    QStringList requiredTexts;  // the file must also hold each of these, anywhere
    QStringList excludedTexts;  // the file must hold none of these
    bool skipBinary = false;    // files with a NUL among their first bytes are passed over
    bool documents = true;      // PDF, Office, OpenDocument, EPUB, RTF files: their text
    HitLimits limits;           // per file: a limit, lines around hits, counts only
    // What the walk takes in (WalkRules): hidden names, links, names and
    // folders left out (wildcards as the name patterns, matching whole
    // names), levels below a start folder (0: all), size conditions
    // ("+10M", "-1k"; all must hold) and the times of modification after and
    // before which entries pass (a date or a duration back from now; empty:
    // any).
    bool hidden = false;
    bool ignoreFiles = false;  // .gitignore and .ignore files honoured
    WalkRules::Links links = WalkRules::Links::FoldersOnly;
    QStringList excludedNames;
    QStringList excludedFolders;
    int maxDepth = 0;
    QStringList sizes;
    QString newer;
    QString older;
    // Code page of archive member names that say nothing of their encoding;
    // null: the one of the locale's language.
    QTextCodec *archiveNameCodec = nullptr;
    int workers = 0;  // files searched at once; 0: one per core
};

// True when `part` (a start folder as given, in the exact bytes pathcodec.h
// keeps) names an existing folder, as the search will open it; an empty part
// is the current one.
bool isExistingFolder(const QString &part);

// The folder `part` names, for the search: absolute (a relative name taken
// below the current directory, an empty one the current directory itself)
// and clean, in the part's exact bytes, which QDir would otherwise pass
// through the locale's codec on the way to an absolute path.
QDir startFolder(const QString &part);

// The wildcards the walk matches names against: the patterns as given with
// exact match, else each trimmed one wrapped in "*" so that it matches any
// name containing it.
QStringList nameFilters(const QStringList &patterns, bool exact);

#endif  // SEARCHREQUEST_H
