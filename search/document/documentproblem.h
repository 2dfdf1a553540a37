#ifndef DOCUMENTPROBLEM_H
#define DOCUMENTPROBLEM_H

#include <QString>

// Why a reader could not give all of a document's text.
struct DocumentProblem
{
    enum class Kind { None, Encrypted, Damaged };

    Kind kind = Kind::None;
    QString detail;  // for damage: what is wrong, in words ("word/document.xml ends early")

    static DocumentProblem encrypted() { return {Kind::Encrypted, QString()}; }
    static DocumentProblem damaged(const QString &detail) { return {Kind::Damaged, detail}; }
    bool isNone() const { return kind == Kind::None; }
};

#endif  // DOCUMENTPROBLEM_H
