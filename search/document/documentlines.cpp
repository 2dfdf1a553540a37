#include "documentlines.h"

namespace {

// The Latin ligatures of the Alphabetic Presentation Forms, by their letters.
const char *ligatureLetters(char16_t c)
{
    switch (c) {
    case 0xFB00:
        return "ff";
    case 0xFB01:
        return "fi";
    case 0xFB02:
        return "fl";
    case 0xFB03:
        return "ffi";
    case 0xFB04:
        return "ffl";
    case 0xFB05:
        return "st";
    case 0xFB06:
        return "st";
    default:
        return nullptr;
    }
}

bool hasVisibleText(const QString &text)
{
    for (const QChar c : text) {
        if (!c.isSpace())
            return true;
    }
    return false;
}

}  // namespace

DocumentLines::DocumentLines(const DocumentLineConsumer &consumer, const std::atomic_bool *stop)
    : consumer(consumer), stop(stop)
{
}

void DocumentLines::setPlace(const DocumentPlace &place)
{
    endLine();
    current.place = place;
}

void DocumentLines::append(QStringView text)
{
    // Most text needs no care: it goes in at once.
    bool plain = current.text.size() + text.size() < kMaxLineChars;
    for (int i = 0; plain && i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        plain = (u >= 0x20 || u == '\t') && u != 0xAD && (u < 0xFB00 || u > 0xFB06);
    }
    if (plain) {
        current.text.append(text);
        return;
    }
    for (const QChar c : text)
        append(c);
}

void DocumentLines::append(QChar c)
{
    const char16_t u = c.unicode();
    if (u == 0xAD)  // a soft hyphen only shows where a word is broken
        return;
    if (u >= 0xFB00 && u <= 0xFB06) {
        current.text.append(QLatin1String(ligatureLetters(u)));
    } else if (u < 0x20 && u != '\t') {
        current.text.append(QLatin1Char(' '));
    } else {
        current.text.append(c);
    }
    if (current.text.size() >= kMaxLineChars)
        deliver();
}

void DocumentLines::endLine()
{
    deliver();
    continuing = false;
}

bool DocumentLines::stopped() const
{
    return declined || (stop && stop->load(std::memory_order_relaxed));
}

void DocumentLines::deliver()
{
    if (!hasVisibleText(current.text)) {
        current.text.clear();
        return;
    }
    if (!continuing)
        current.number = ++delivered;
    continuing = true;
    if (!stopped() && !consumer(current))
        declined = true;
    current.text.clear();
}
