#include "membermatcher.h"

#include "contentmatcher.h"
#include "namefilter.h"

MemberMatcher::MemberMatcher(const ContentMatcher &matcher, std::shared_ptr<const NameFilter> names)
    : matcher(matcher), names(std::move(names))
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
    ByteSource source(read, block);
    matcher.searchStream(source, hits, hitName);
}
