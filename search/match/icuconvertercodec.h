#ifndef ICUCONVERTERCODEC_H
#define ICUCONVERTERCODEC_H

#include <QByteArray>
#include <QTextCodec>

struct UConverter;

// A QTextCodec on one of ICU's converters that Qt's codec layer does not
// offer (converters without a MIME or IANA name, such as EUC-TW or the
// EBCDIC code pages with swapped line ends). Qt's registry owns it once made.
class IcuConverterCodec : public QTextCodec
{
public:
    // The codec for ICU's converter `converterName`, made once; null when
    // ICU cannot open it. Safe from any thread.
    static QTextCodec *forConverter(const char *converterName);

    QByteArray name() const override { return shownName; }
    QList<QByteArray> aliases() const override { return {converterName}; }
    int mibEnum() const override { return 0; }

protected:
    QString convertToUnicode(const char *in, int length, ConverterState *state) const override;
    QByteArray convertFromUnicode(const QChar *in, int length,
                                  ConverterState *state) const override;

private:
    IcuConverterCodec(const QByteArray &converterName, const QByteArray &shownName);
    // The converter kept in `state` (opened on first use), or a fresh one the
    // caller closes when `state` is null.
    UConverter *converterFor(ConverterState *state) const;

    const QByteArray converterName;  // ICU's canonical name
    const QByteArray shownName;      // the first alias no other codec answers to
};

#endif  // ICUCONVERTERCODEC_H
