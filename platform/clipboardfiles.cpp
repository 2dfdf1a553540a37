#include "clipboardfiles.h"

#include <QtEndian>

#ifdef Q_OS_WIN
#include <windows.h>

#include <cstring>
#else
#include "nativepath.h"
#include "pathcodec.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>
#endif

namespace {

constexpr int dropFilesHeaderSize = 20;
constexpr quint32 dropFilesListOffset = 20;
constexpr quint32 dropFilesWide = 1;
// Behind the room of `length` units: guarantees the zero unit that ends the list.
constexpr int dropFilesTailSize = 8;

qint32 usableLength(const char *paths, qint32 length)
{
    return (paths && length > 0) ? length : 0;
}

void writeDropFilesHeader(char *block)
{
    const quint32 header[] = {dropFilesListOffset, 0, 0, 0, dropFilesWide};
    for (int i = 0; i < 5; ++i)
        qToLittleEndian(header[i], block + 4 * i);
}

#ifndef Q_OS_WIN
// Splits the path bytes at their zero bytes and decodes each path, keeping
// the bytes that do not decode; bytes after the last zero still make a path.
QStringList pathsFromBytes(const char *paths, qint32 length)
{
    QStringList result;
    qint32 start = 0;
    for (qint32 i = 0; i < length; ++i) {
        if (paths[i] == '\0') {
            result << decodePath(paths + start, i - start);
            start = i + 1;
        }
    }
    if (start < length)
        result << decodePath(paths + start, length - start);
    return result;
}
#endif

}  // namespace

QByteArray buildDropFilesBlock(const char *paths, qint32 length)
{
    length = usableLength(paths, length);
    QByteArray block(2 * length + dropFilesHeaderSize + dropFilesTailSize, '\0');
    writeDropFilesHeader(block.data());
    if (length == 0)
        return block;
#ifdef Q_OS_WIN
    MultiByteToWideChar(CP_ACP, MB_COMPOSITE, paths, length,
                        reinterpret_cast<LPWSTR>(block.data() + dropFilesHeaderSize), length);
#else
    // Every path keeps its zero unit; a local encoding never needs more units
    // than bytes, and the room of `length` units is never overrun.
    char *out = block.data() + dropFilesHeaderSize;
    qint32 written = 0;
    for (const QString &path : pathsFromBytes(paths, length)) {
        QString unitsWithEnd = path;
        unitsWithEnd.append(QChar(0));
        for (const QChar unit : qAsConst(unitsWithEnd)) {
            if (written == length)
                return block;
            qToLittleEndian(unit.unicode(), out + 2 * written);
            ++written;
        }
    }
#endif
    return block;
}

#ifdef Q_OS_WIN

namespace {
constexpr UINT sharedMovableZeroed = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE;
constexpr DWORD dropEffectCopy = 1;
constexpr DWORD dropEffectMove = 2;

HGLOBAL globalBlockWith(const void *bytes, SIZE_T size)
{
    HGLOBAL handle = GlobalAlloc(sharedMovableZeroed, size);
    if (!handle)
        return nullptr;
    void *target = GlobalLock(handle);
    if (!target) {
        GlobalFree(handle);
        return nullptr;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(handle);
    return handle;
}
}  // namespace

void setClipboardFiles(const char *paths, qint32 length, int copy)
{
    const UINT effectFormat = RegisterClipboardFormatW(L"Preferred DropEffect");
    const DWORD effectValue = copy ? dropEffectCopy : dropEffectMove;
    const QByteArray dropFiles = buildDropFilesBlock(paths, length);

    HGLOBAL effect = globalBlockWith(&effectValue, sizeof effectValue);
    HGLOBAL drop = globalBlockWith(dropFiles.constData(), SIZE_T(dropFiles.size()));
    // Both blocks are complete before the clipboard is opened; a block the
    // clipboard did not take stays ours and is freed.
    if (!effect || !drop || !OpenClipboard(nullptr)) {
        if (effect)
            GlobalFree(effect);
        if (drop)
            GlobalFree(drop);
        return;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_HDROP, drop))
        GlobalFree(drop);
    if (!SetClipboardData(effectFormat, effect))
        GlobalFree(effect);
    CloseClipboard();
}

#else

void setClipboardFiles(const char *paths, qint32 length, int copy)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    const QStringList files = pathsFromBytes(paths, usableLength(paths, length));

    // The formats file managers read: GNOME's list with its effect line, KDE's
    // cut mark beside the standard URI list, and the paths as plain text.
    // The URIs carry the exact bytes of each path.
    QByteArray uriList;
    QByteArray gnomeList = copy ? "copy" : "cut";
    QStringList texts;
    for (const QString &file : files) {
        const QByteArray url = localFileUrl(file).toEncoded();
        uriList += url + "\r\n";
        gnomeList += '\n' + url;
        texts << pathAsText(file);
    }
    auto *mime = new QMimeData;  // the clipboard takes it over
    mime->setData(QStringLiteral("text/uri-list"), uriList);
    mime->setData(QStringLiteral("x-special/gnome-copied-files"), gnomeList);
    mime->setData(QStringLiteral("application/x-kde-cutselection"), copy ? "0" : "1");
    mime->setText(texts.join(QLatin1Char('\n')));
    QGuiApplication::clipboard()->setMimeData(mime, QClipboard::Clipboard);
}

#endif
