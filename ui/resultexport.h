#ifndef RESULTEXPORT_H
#define RESULTEXPORT_H

#include <QList>
#include <QString>

class ResultModel;

// The rows of the result table written to a file, in the order the table
// shows them: as CSV (UTF-8 with a byte-order mark, so spreadsheet programs
// read Chinese text right; a header line, then `columns` of each row as they
// read in the table) or as JSON lines with the fields of velto-find --json.
// The file is replaced only once it is written whole. Returns an empty
// string on success, else the reason in words.
QString exportCsv(const ResultModel &model, const QList<int> &columns, const QString &path);
QString exportJsonLines(const ResultModel &model, const QString &path);

#endif  // RESULTEXPORT_H
