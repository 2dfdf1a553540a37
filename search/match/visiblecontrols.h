#ifndef VISIBLECONTROLS_H
#define VISIBLECONTROLS_H

#include <QString>

// `text` with its control characters shown instead of obeyed: C0 controls
// (all but the tab) and DEL as their Unicode control pictures (ESC as
// U+241B), C1 controls as "\x9B" and the like. What a binary file's "line"
// or a hostile file name holds can then neither fill a table cell with
// boxes nor move a terminal's cursor, set its title or its clipboard.
QString withVisibleControls(const QString &text);

// True for a code unit that withVisibleControls shows as something else.
inline bool isShownControl(ushort u)
{
    return (u < 0x20 && u != '\t') || (u >= 0x7f && u <= 0x9f);
}

#endif  // VISIBLECONTROLS_H
