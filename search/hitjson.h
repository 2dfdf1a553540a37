#ifndef HITJSON_H
#define HITJSON_H

#include "tfileinfo.h"

#include <QByteArray>
#include <QString>

// Hits as JSON objects, one a line, as velto-find --json writes them and the
// window exports them: {"dir": ..., "file": ..., "line": N, "text": ...}, with
// "dir_bytes" and "file_bytes" (base64 of the exact bytes) after "dir" and
// "file" only where a name holds bytes that do not decode.

// The "dir" member (and "dir_bytes") of the objects of folder `dirName`,
// made once for all its hits.
QByteArray jsonDirField(const QString &dirName);

// Appends the object of `hit` in the folder of `dirField`, and a line feed.
void appendHitJson(QByteArray &out, const QByteArray &dirField, const TFileInfo &hit);

// Appends `"key": "text"` for the path `path`, and `, "key_bytes": "base64"`
// behind it when the path holds bytes that did not decode.
void appendJsonPath(QByteArray &out, const char *key, const QString &path);

// Appends `text` as a JSON string literal in UTF-8: quotes, backslashes and
// control characters escaped, other characters as they are; a lone surrogate
// becomes U+FFFD so the output is always valid UTF-8.
void appendJsonString(QByteArray &out, const QString &text);

#endif  // HITJSON_H
