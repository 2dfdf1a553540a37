#ifndef MATCHSETTINGS_H
#define MATCHSETTINGS_H

#include "archivescope.h"
#include "searchrequest.h"

#include <QByteArray>
#include <QStringList>

#include <memory>

class ContentMatcher;
class NameFilter;

// What a search's content matcher and its archive member filter are made of,
// kept so that a reader process can make the same ones: the request's
// content fields, the name filters and the codecs in force.
struct MatchSettings
{
    // The content fields of the request; folders, names and workers unused.
    SearchRequest request;
    // False for a search set up from the text alone: no expressions, no
    // conditions, no limits.
    bool fromRequest = false;
    // The wildcards of the name filter; none: no archive member is wanted.
    QStringList memberFilters;

    // Sets every field of `matcher` the settings say; the cancel flag stays.
    void configure(ContentMatcher &matcher) const;
    // The filter archive members are taken by; null when none is wanted.
    std::shared_ptr<const NameFilter> memberNames() const;
    ArchiveNameRules archiveNames() const;

    QByteArray encode() const;
    // False when `bytes` do not read as settings.
    static bool decode(const QByteArray &bytes, MatchSettings *settings);
};

#endif  // MATCHSETTINGS_H
