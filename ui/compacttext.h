#ifndef COMPACTTEXT_H
#define COMPACTTEXT_H

#include <QLatin1String>
#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

// The texts of the result table, back to back in blocks of 1 MiB: one byte a
// character where every character of a text fits in Latin-1 (names and lines
// are mostly ASCII), two (UTF-16) otherwise, so a text of any characters,
// lone surrogates included, comes back exactly. A million hits hold one
// allocation a megabyte instead of several per hit. Texts are only added;
// they go with the pool.
class CompactTextPool
{
public:
    // Names a text of the pool; 0 is the empty text.
    using Ref = quint64;

    CompactTextPool() = default;
    CompactTextPool(const CompactTextPool &) = delete;
    CompactTextPool &operator=(const CompactTextPool &) = delete;
    CompactTextPool(CompactTextPool &&) = default;
    CompactTextPool &operator=(CompactTextPool &&) = default;

    // Keeps `text` and names it. Texts longer than kMaxLength characters
    // are cut there (no name or line comes near it).
    Ref add(QStringView text);

    QString text(Ref ref) const;
    bool equals(Ref ref, QStringView text) const;
    // The order of QString::compare (UTF-16 code units, case-sensitive).
    int compare(Ref a, Ref b) const;
    static int length(Ref ref) { return int(ref & lengthMask); }
    // True for a text of printable ASCII (no control, no blank at either end).
    bool isPlainAscii(Ref ref) const;

    // Calls `f` with the text as a QLatin1String or as a QStringView.
    template<typename F> auto visit(Ref ref, F &&f) const
    {
        const char *at = location(ref);
        const int size = length(ref);
        return isWide(ref) ? f(QStringView(reinterpret_cast<const QChar *>(at), size))
                           : f(QLatin1String(at, size));
    }

    static constexpr int kMaxLength = (1 << 20) - 1;

private:
    static constexpr int lengthBits = 20;
    static constexpr Ref lengthMask = (Ref(1) << lengthBits) - 1;
    static constexpr Ref wideBit = Ref(1) << lengthBits;
    static constexpr int offsetShift = lengthBits + 1;
    static constexpr int blockShift = offsetShift + 20;
    static constexpr qsizetype blockSize = qsizetype(1) << 20;

    static bool isWide(Ref ref) { return (ref & wideBit) != 0; }
    const char *location(Ref ref) const;
    // Room for `bytes` bytes, aligned for UTF-16; the block and offset.
    char *reserve(qsizetype bytes, quint64 &block, quint64 &offset);

    std::vector<std::unique_ptr<char[]>> blocks;
    qsizetype used = blockSize;  // bytes taken in the last ordinary block
    int lastOrdinary = -1;       // index of the block being filled, -1 for none
};

#endif  // COMPACTTEXT_H
