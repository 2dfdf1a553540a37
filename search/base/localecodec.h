#ifndef LOCALECODEC_H
#define LOCALECODEC_H

class QTextCodec;

// The codec the program calls "system": the toolkit's "system" codec where it
// exists, else the codec for the locale, which start-up sets to localeCodec().
// Never null.
QTextCodec *systemCodec();

// The codec of the encoding the C library's locale names (nl_langinfo
// CODESET), where Qt knows it; Qt's own locale codec otherwise, and also
// under an ASCII locale such as "C", where Qt reads names as UTF-8 on purpose.
// Qt 5.15 says UTF-8 under GBK, Shift_JIS or CP1251 locales. On Windows,
// Qt's answer: the ANSI code page.
QTextCodec *localeCodec();

#endif  // LOCALECODEC_H
