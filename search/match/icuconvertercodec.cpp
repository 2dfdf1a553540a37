#include "icuconvertercodec.h"

#include <QHash>

#include <cstring>
#include <mutex>
#include <unicode/ucnv.h>

namespace {

// Qt's ConverterState destructor calls the function stored in state_data when
// the FreeFunction flag is set, as Qt's own ICU codecs do.
void closeConverter(QTextCodec::ConverterState *state)
{
    ucnv_close(static_cast<UConverter *>(state->d));
    state->d = nullptr;
}

UConverter *openConverter(const QByteArray &name)
{
    UErrorCode error = U_ZERO_ERROR;
    UConverter *converter = ucnv_open(name.constData(), &error);
    return U_SUCCESS(error) ? converter : nullptr;
}

QByteArray unclaimedName(const char *converterName)
{
    UErrorCode error = U_ZERO_ERROR;
    const int count = ucnv_countAliases(converterName, &error);
    for (int i = 1; i < count; ++i) {
        error = U_ZERO_ERROR;
        const char *alias = ucnv_getAlias(converterName, uint16_t(i), &error);
        if (U_SUCCESS(error) && alias && !QTextCodec::codecForName(alias))
            return QByteArray(alias);
    }
    return QByteArray(converterName);
}

// Runs one ICU conversion step into the free room of `out` until it needs no
// more, doubling `out` whenever it fills up; `out` ends at what was written.
template<typename Unit, typename Buffer, typename Step> void convertWithRoom(Buffer &out, Step step)
{
    int written = 0;
    for (;;) {
        Unit *const begin = reinterpret_cast<Unit *>(out.data());
        Unit *target = begin + written;
        UErrorCode error = U_ZERO_ERROR;
        step(&target, begin + out.size(), &error);
        written = int(target - begin);
        if (error != U_BUFFER_OVERFLOW_ERROR)
            break;
        out.resize(out.size() * 2);
    }
    out.resize(written);
}

}  // namespace

IcuConverterCodec::IcuConverterCodec(const QByteArray &converterName, const QByteArray &shownName)
    : converterName(converterName), shownName(shownName)
{
}

QTextCodec *IcuConverterCodec::forConverter(const char *converterName)
{
    static std::mutex guard;
    static QHash<QByteArray, QTextCodec *> made;
    const std::lock_guard<std::mutex> lock(guard);
    const QByteArray key(converterName);
    const auto found = made.constFind(key);
    if (found != made.constEnd())
        return *found;
    QTextCodec *codec = nullptr;
    if (UConverter *probe = openConverter(key)) {
        ucnv_close(probe);
        codec = new IcuConverterCodec(key, unclaimedName(converterName));  // owned by Qt's registry
    }
    made.insert(key, codec);
    return codec;
}

UConverter *IcuConverterCodec::converterFor(ConverterState *state) const
{
    if (!state)
        return openConverter(converterName);
    if (!state->d) {
        state->d = openConverter(converterName);
        if (state->d) {
            void (*const freeFunction)(ConverterState *) = closeConverter;
            static_assert(sizeof freeFunction <= sizeof state->state_data, "room for the pointer");
            std::memcpy(state->state_data, &freeFunction, sizeof freeFunction);
            state->flags |= FreeFunction;
        }
    }
    return static_cast<UConverter *>(state->d);
}

QString IcuConverterCodec::convertToUnicode(const char *in, int length, ConverterState *state) const
{
    UConverter *converter = converterFor(state);
    if (!converter)
        return QString();
    QString out(length + 2, Qt::Uninitialized);
    const char *source = in;
    convertWithRoom<UChar>(out, [&](UChar **target, UChar *end, UErrorCode *error) {
        ucnv_toUnicode(converter, target, end, &source, in + length, nullptr, !state, error);
    });
    if (!state)
        ucnv_close(converter);
    return out;
}

QByteArray IcuConverterCodec::convertFromUnicode(const QChar *in, int length,
                                                 ConverterState *state) const
{
    UConverter *converter = converterFor(state);
    if (!converter)
        return QByteArray();
    QByteArray out(length * 4 + 8, Qt::Uninitialized);
    const UChar *source = reinterpret_cast<const UChar *>(in);
    const UChar *const sourceEnd = source + length;
    convertWithRoom<char>(out, [&](char **target, char *end, UErrorCode *error) {
        ucnv_fromUnicode(converter, target, end, &source, sourceEnd, nullptr, !state, error);
    });
    if (!state)
        ucnv_close(converter);
    return out;
}
