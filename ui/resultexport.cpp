#include "resultexport.h"

#include "hitjson.h"
#include "resultmodel.h"

#include <QSaveFile>

#include <functional>

namespace {

// The buffer is written out whenever it holds this much.
constexpr int flushBytes = 1 << 20;

// A field quoted where it must be: with a comma, a quote or a line break.
void appendCsvField(QByteArray &out, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n')
        && !bytes.contains('\r')) {
        out += bytes;
        return;
    }
    out += '"';
    for (const char c : bytes) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

// Writes what `fill` appends to its buffer, piece by piece, to `path`.
QString writeFile(const QString &path, const std::function<bool(QByteArray &)> &fill)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QByteArray buffer;
    buffer.reserve(flushBytes + 64 * 1024);
    bool more = true;
    while (more) {
        more = fill(buffer);
        if (file.write(buffer) != buffer.size())
            return file.errorString();
        buffer.resize(0);
    }
    if (!file.commit())
        return file.errorString();
    return QString();
}

}  // namespace

QString exportCsv(const ResultModel &model, const QList<int> &columns, const QString &path)
{
    int row = -1;  // -1: the byte-order mark and the header line
    return writeFile(path, [&](QByteArray &out) {
        if (row < 0) {
            out += "\xEF\xBB\xBF";
            for (int c = 0; c < columns.size(); ++c) {
                if (c > 0)
                    out += ',';
                appendCsvField(out, model.headerData(columns.at(c), Qt::Horizontal).toString());
            }
            out += "\r\n";
            row = 0;
        }
        for (; row < model.rowCount() && out.size() < flushBytes; ++row) {
            for (int c = 0; c < columns.size(); ++c) {
                if (c > 0)
                    out += ',';
                appendCsvField(out, model.index(row, columns.at(c)).data().toString());
            }
            out += "\r\n";
        }
        return row < model.rowCount();
    });
}

QString exportJsonLines(const ResultModel &model, const QString &path)
{
    int row = 0;
    QString lastDir;
    QByteArray dirField;
    return writeFile(path, [&](QByteArray &out) {
        for (; row < model.rowCount() && out.size() < flushBytes; ++row) {
            const QString dir = model.dirName(row);
            if (dirField.isEmpty() || dir != lastDir) {
                lastDir = dir;
                dirField = jsonDirField(dir);
            }
            TFileInfo hit;
            hit.fileName = model.fileName(row);
            hit.lineNo = model.lineNo(row);
            hit.lineText = model.lineText(row);
            appendHitJson(out, dirField, hit);
        }
        return row < model.rowCount();
    });
}
