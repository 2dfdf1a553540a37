#include "membermatcher.h"

#include "contentmatcher.h"
#include "documentsearch.h"
#include "namefilter.h"

MemberMatcher::MemberMatcher(const ContentMatcher &matcher, std::shared_ptr<const NameFilter> names,
                             bool documents)
    : matcher(matcher), names(std::move(names)), documents(documents)
{
}

bool MemberMatcher::isCancelled() const
{
    return matcher.isCancelled();
}

bool MemberMatcher::searchesContent() const
{
    return !matcher.grepText.isEmpty();
}

bool MemberMatcher::wantsMember(const QString &name) const
{
    return names && names->acceptsText(name);
}

void MemberMatcher::searchMember(const ByteSource::Reader &read, HitSink &hits,
                                 const QString &hitName) const
{
    if (documents && isDocumentName(hitName)) {
        searchDocumentMember(matcher, read, hits, hitName);
        return;
    }
    ByteSource source(read, block);
    matcher.searchStream(source, hits, hitName);
}
