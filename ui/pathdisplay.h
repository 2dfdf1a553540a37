#ifndef PATHDISPLAY_H
#define PATHDISPLAY_H

#include <QLocale>
#include <QString>

class QStandardItem;
class QTextCodec;

// How the result table shows a path whose bytes do not all decode in the
// locale's encoding (pathcodec.h), and how its rows keep the exact text for
// the actions on them.

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

// A cell showing `shown` that keeps `exact` beside it when the two differ
// by more than blanks at the ends (odd bytes, blanks that belong to the name).
QStandardItem *pathCell(const QString &shown, const QString &exact);
// The exact text of a cell made by pathCell: the kept text, else the cell's
// text trimmed. Empty for no cell.
QString exactPath(const QStandardItem *cell);

#endif  // PATHDISPLAY_H
