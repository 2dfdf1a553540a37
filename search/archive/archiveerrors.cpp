#include "archiveerrors.h"

#include "archivemember.h"
#include "diagnostics.h"
#include "pathcodec.h"
#include "temporaryspace.h"

namespace {

const char *pathOf(const ArchiveScope &scope)
{
    return scope.displayPath.constData();
}

// A member as diagnostics quote it: the bytes its name decodes from.
QByteArray quoted(const QString &member)
{
    return '"' + encodePath(member) + '"';
}

void markUnread(const ArchiveScope &scope)
{
    if (scope.outcome)
        scope.outcome->readInFull = false;
}

// Past its expansion limit an archive's reads end early on purpose: what
// that looks like to its walkers (a cut member, a damaged archive inside) is
// not reported; the limit was, once.
bool passedOver(const ArchiveScope &scope)
{
    return scope.outcome && scope.outcome->expansionStopped;
}

}  // namespace

void reportCannotOpen(const ArchiveScope &scope)
{
    if (passedOver(scope))
        return;
    markUnread(scope);
    diagnostic("%s: cannot be opened", pathOf(scope));
}

void reportNotArchive(const ArchiveScope &scope, const char *formatName)
{
    if (passedOver(scope))
        return;
    markUnread(scope);
    diagnostic("%s: not a %s archive, or damaged at its start", pathOf(scope), formatName);
}

void reportDamaged(const ArchiveScope &scope, const QString &lastMember)
{
    if (passedOver(scope))
        return;
    markUnread(scope);
    if (lastMember.isNull())
        diagnostic("%s: damaged before its first member; nothing could be read", pathOf(scope));
    else
        diagnostic("%s: damaged after member %s; the members after it could not be read",
                   pathOf(scope), quoted(lastMember).constData());
}

void reportNoCentralDirectory(const ArchiveScope &scope, const QString &lastMember)
{
    if (passedOver(scope))
        return;
    markUnread(scope);
    diagnostic("%s: damaged ZIP archive (its table of contents is missing); read up to member %s",
               pathOf(scope), quoted(lastMember).constData());
}

void reportDamagedMember(const ArchiveScope &scope, const QString &member)
{
    if (passedOver(scope))
        return;
    markUnread(scope);
    diagnostic("%s: member %s is damaged; it was searched up to the damage", pathOf(scope),
               quoted(member).constData());
}

void reportChecksumMismatch(const ArchiveScope &scope, const QString &member)
{
    if (passedOver(scope))
        return;
    markUnread(scope);
    diagnostic("%s: member %s does not match its checksum; its data is damaged", pathOf(scope),
               quoted(member).constData());
}

void reportEncrypted(const ArchiveScope &scope, int members)
{
    if (passedOver(scope))
        return;
    markUnread(scope);
    diagnostic("%s: encrypted; %d %s could not be read without a password", pathOf(scope), members,
               members == 1 ? "member" : "members");
}

void reportEncryptedNames(const ArchiveScope &scope)
{
    if (passedOver(scope))
        return;
    markUnread(scope);
    diagnostic("%s: encrypted, names included; nothing could be read without a password",
               pathOf(scope));
}

void reportMissingVolume(const ArchiveScope &scope, const QString &member,
                         const QByteArray &volumePath)
{
    if (passedOver(scope))
        return;
    markUnread(scope);
    diagnostic("%s: member %s goes on in volume %s, which is missing", pathOf(scope),
               quoted(member).constData(), volumePath.constData());
}

void reportMissingPiece(const ArchiveScope &scope, const QByteArray &piecePath,
                        const QString &lastMember)
{
    if (passedOver(scope))
        return;
    markUnread(scope);
    if (lastMember.isNull())
        diagnostic("%s: piece %s is missing; nothing could be read", pathOf(scope),
                   piecePath.constData());
    else
        diagnostic("%s: piece %s is missing; read up to member %s", pathOf(scope),
                   piecePath.constData(), quoted(lastMember).constData());
}

void reportNextVolume(const QByteArray &volumePath)
{
    diagnostic("  ... volume %s", volumePath.constData());
}

void reportNoMemory(const ArchiveScope &scope)
{
    if (passedOver(scope))
        return;
    markUnread(scope);
    diagnostic("%s: not enough memory to read it", pathOf(scope));
}

void reportTooLarge(const ArchiveScope &scope)
{
    if (passedOver(scope))
        return;
    diagnostic("%s: not looked into: reading it needs a copy, and copies would take more than"
               " the %lld MiB of temporary space a search may use",
               pathOf(scope), static_cast<long long>(TemporarySpace::kBudget >> 20));
}

void reportTooDeep(const ArchiveScope &scope, const QString &member)
{
    if (passedOver(scope))
        return;
    diagnostic("%s/%s: not looked into: more than %d archives deep", pathOf(scope),
               encodePath(member).constData(), kMaxArchiveDepth);
}

void reportOverlap(const ArchiveScope &scope)
{
    if (passedOver(scope))
        return;
    diagnostic("%s: entries overlap; data already read is not expanded again", pathOf(scope));
}

void reportExpansionLimit(const ArchiveScope &scope)
{
    diagnostic("%s: searched no further: its members expand to more than %lld times its size",
               scope.outcome->displayPath.constData(), static_cast<long long>(kMaxExpansionRatio));
}
