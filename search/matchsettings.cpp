#include "matchsettings.h"

#include "contentmatcher.h"
#include "localecodec.h"
#include "namefilter.h"
#include "searchthread.h"

#include <QDataStream>
#include <QTextCodec>

namespace {

QByteArray codecName(QTextCodec *codec)
{
    return codec ? codec->name() : QByteArray();
}

QTextCodec *codecNamed(const QByteArray &name)
{
    return name.isEmpty() ? nullptr : QTextCodec::codecForName(name);
}

}  // namespace

void MatchSettings::configure(ContentMatcher &matcher) const
{
    matcher.grepText = request.text;
    matcher.caseSensitivity = request.caseSensitivity;
    matcher.exactMatch = request.exact;
    matcher.deepSearch = request.deep;
    matcher.followLinks = request.links == WalkRules::Links::All;
    matcher.localeCodec = systemCodec();
    matcher.codecPatterns
            = request.deep ? searchThread::buildCodecPatterns(request.text) : QList<CodecPattern>();
    if (!fromRequest) {
        matcher.textQuery = TextQuery();
        matcher.requiredTexts.clear();
        matcher.excludedTexts.clear();
        matcher.binaryFiles = ContentMatcher::BinaryFiles::Text;
        matcher.limits = HitLimits();
        return;
    }
    matcher.textQuery = request.lineQuery();
    matcher.requiredTexts = request.requiredQueries();
    matcher.excludedTexts = request.excludedQueries();
    matcher.binaryFiles = request.skipBinary ? ContentMatcher::BinaryFiles::WithoutMatch
                                             : ContentMatcher::BinaryFiles::Text;
    matcher.limits = request.limits;
    // An expression's codecs are those that can hold the text every match holds.
    if (request.deep && !matcher.textQuery.isLiteral())
        matcher.codecPatterns = searchThread::buildCodecPatterns(matcher.textQuery.anchorText());
}

std::shared_ptr<const NameFilter> MatchSettings::memberNames() const
{
    return memberFilters.isEmpty() ? nullptr : std::make_shared<const NameFilter>(memberFilters);
}

ArchiveNameRules MatchSettings::archiveNames() const
{
    ArchiveNameRules rules;
    rules.forcedCodec = request.archiveNameCodec;
    return rules;
}

// The locale's codec goes by name: a reader process sets it as its own, so
// that the matcher and the member names read alike on both sides.
QByteArray MatchSettings::encode() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    const HitLimits &limits = request.limits;
    out << request.text << request.moreTexts << quint8(request.caseSensitivity) << request.exact
        << request.deep << request.regex << request.wholeWords << request.requiredTexts
        << request.excludedTexts << request.skipBinary << request.documents << limits.maxCount
        << limits.before << limits.after << limits.countOnly << codecName(request.archiveNameCodec)
        << fromRequest << memberFilters << codecName(systemCodec()) << quint8(request.links);
    return bytes;
}

bool MatchSettings::decode(const QByteArray &bytes, MatchSettings *settings)
{
    QDataStream in(bytes);
    SearchRequest &request = settings->request;
    HitLimits &limits = request.limits;
    quint8 cs = 0;
    QByteArray archiveCodec;
    QByteArray locale;
    quint8 links = 0;
    in >> request.text >> request.moreTexts >> cs >> request.exact >> request.deep >> request.regex
            >> request.wholeWords >> request.requiredTexts >> request.excludedTexts
            >> request.skipBinary >> request.documents >> limits.maxCount >> limits.before
            >> limits.after >> limits.countOnly >> archiveCodec >> settings->fromRequest
            >> settings->memberFilters >> locale >> links;
    request.caseSensitivity = cs ? Qt::CaseSensitive : Qt::CaseInsensitive;
    request.archiveNameCodec = codecNamed(archiveCodec);
    request.links = WalkRules::Links(links);
    if (QTextCodec *codec = codecNamed(locale))
        QTextCodec::setCodecForLocale(codec);
    return in.status() == QDataStream::Ok;
}
