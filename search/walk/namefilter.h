#ifndef NAMEFILTER_H
#define NAMEFILTER_H

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QStringList>

// QDir's name-filter test: an entry passes when its whole name matches one
// wildcard pattern, ignoring case; a "*" among the patterns or no pattern at
// all lets every name pass. ASCII names against plain patterns (letters and
// "*" only) are tested on their bytes; every other name goes through the
// same regular expressions QDir builds.
class NameFilter
{
public:
    explicit NameFilter(const QStringList &patterns);

    // True when `pattern` compiles as a wildcard; one that does not matches
    // no name.
    static bool isValidPattern(const QString &pattern);

    bool acceptsAll() const { return all; }
    // `bytes` is the name as the file system holds it; `decoded` is filled
    // (when still empty) with its decoding if the test needs one.
    bool accepts(const QByteArray &bytes, QString &decoded) const;

private:
    struct Plain
    {
        QList<QByteArray> pieces;  // lower-case text between the stars
        bool anchoredStart = true;
        bool anchoredEnd = true;
    };
    static bool plainMatches(const Plain &plain, const char *name, int length);

    bool all = false;
    bool allPlain = true;
    QList<Plain> plain;
    QList<QRegularExpression> regexps;
};

#endif  // NAMEFILTER_H
