#include "compacttext.h"

#include <algorithm>
#include <cstring>

namespace {

bool fitsLatin1(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
}

QString toQString(QLatin1String text)
{
    return QString(text);
}

QString toQString(QStringView text)
{
    return text.toString();
}

}  // namespace

CompactTextPool::Ref CompactTextPool::add(QStringView text)
{
    if (text.size() > kMaxLength)
        text = text.left(kMaxLength);
    if (text.isEmpty())
        return 0;
    const bool wide = !fitsLatin1(text);
    const qsizetype bytes = text.size() * (wide ? 2 : 1);
    quint64 block = 0;
    quint64 offset = 0;
    char *at = reserve(bytes, block, offset);
    if (wide) {
        std::memcpy(at, text.data(), size_t(bytes));
    } else {
        for (const QChar c : text)
            *at++ = char(c.unicode());
    }
    return block << blockShift | offset << offsetShift | (wide ? wideBit : 0) | Ref(text.size());
}

char *CompactTextPool::reserve(qsizetype bytes, quint64 &block, quint64 &offset)
{
    // A text larger than a block gets one of its own; the block being filled stays.
    if (bytes > blockSize) {
        blocks.emplace_back(new char[size_t(bytes)]);
        block = blocks.size() - 1;
        offset = 0;
        return blocks.back().get();
    }
    const qsizetype start = (used + 1) & ~qsizetype(1);  // UTF-16 wants even offsets
    if (lastOrdinary < 0 || start + bytes > blockSize) {
        blocks.emplace_back(new char[size_t(blockSize)]);
        lastOrdinary = int(blocks.size() - 1);
        used = 0;
        return reserve(bytes, block, offset);
    }
    used = start + bytes;
    block = quint64(lastOrdinary);
    offset = quint64(start);
    return blocks[size_t(lastOrdinary)].get() + start;
}

const char *CompactTextPool::location(Ref ref) const
{
    if (length(ref) == 0)
        return nullptr;
    const quint64 offset = (ref >> offsetShift) & ((quint64(1) << (blockShift - offsetShift)) - 1);
    return blocks[size_t(ref >> blockShift)].get() + offset;
}

bool CompactTextPool::isPlainAscii(Ref ref) const
{
    if (isWide(ref))
        return false;
    const char *at = location(ref);
    const int size = length(ref);
    if (size > 0 && (at[0] == ' ' || at[size - 1] == ' '))
        return false;
    return std::all_of(at, at + size, [](char c) { return c >= 0x20 && c < 0x7F; });
}

QString CompactTextPool::text(Ref ref) const
{
    return visit(ref, [](auto stored) { return toQString(stored); });
}

bool CompactTextPool::equals(Ref ref, QStringView text) const
{
    if (length(ref) != text.size())
        return false;
    return visit(ref, [text](auto stored) { return stored.compare(text) == 0; });
}

int CompactTextPool::compare(Ref a, Ref b) const
{
    if (!isWide(a) && !isWide(b)) {
        // Latin-1 bytes compare as their characters do, unsigned.
        const int common = std::min(length(a), length(b));
        const int bytes = common == 0 ? 0 : std::memcmp(location(a), location(b), size_t(common));
        return bytes != 0 ? bytes : length(a) - length(b);
    }
    return visit(a, [this, b](auto first) {
        return visit(b, [first](auto second) { return first.compare(second); });
    });
}
