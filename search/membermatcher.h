#ifndef MEMBERMATCHER_H
#define MEMBERMATCHER_H

#include "membersearch.h"

#include <memory>
#include <vector>

class ContentMatcher;
class NameFilter;

// The search's answers to the archive room: members are wanted by the name
// filter of the request, and a wanted member's bytes go to the content
// matcher, as a file's do. One per worker, like its matcher.
class MemberMatcher : public MemberSearch
{
public:
    // `names` null: no pattern was given, and no member is wanted.
    // `documents`: a member that is a document is searched by its text.
    MemberMatcher(const ContentMatcher &matcher, std::shared_ptr<const NameFilter> names,
                  bool documents = false);

    bool isCancelled() const override;
    bool searchesContent() const override;
    bool wantsMember(const QString &name) const override;
    void searchMember(const ByteSource::Reader &read, HitSink &hits,
                      const QString &hitName) const override;

private:
    const ContentMatcher &matcher;
    const std::shared_ptr<const NameFilter> names;
    const bool documents;
    // The read buffer of members, kept across them. Members are read one at
    // a time: a nested archive reads its outer member without a buffer of
    // this kind.
    mutable std::vector<char> block;
};

#endif  // MEMBERMATCHER_H
