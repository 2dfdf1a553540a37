#ifndef PATHDISPLAY_H
#define PATHDISPLAY_H

#include <QLocale>
#include <QString>

class QTextCodec;

// How the result table shows a path whose bytes do not all decode in the
// locale's encoding (pathcodec.h); the table keeps the exact text beside it
// for the actions on its rows.

// The code page Windows uses for the language of `locale` (GBK for Chinese
// of the mainland, Big5 for Chinese in traditional script, Shift_JIS for
// Japanese, windows-1252 for Western languages...): the encoding a name
// copied from such a system keeps. Null for the C locale.
QTextCodec *legacyCodePage(const QLocale &locale);

// The text shown for `path`: a part between separators that holds odd
// bytes reads in the legacy code page of `locale` where all of it decodes
// there, else with U+FFFD for each odd byte. Other parts are unchanged but
// for characters that would hide or turn text: controls read as their
// control pictures (visiblecontrols.h; a tab as "<U+0009>"), bidirectional
// controls such as U+202E and the other invisible format characters as
// "<U+202E>".
QString displayPath(const QString &path, const QLocale &locale = QLocale());

#endif  // PATHDISPLAY_H
