#pragma once

// What the filled reports share: the definition file looked up beside the
// program, numbers written with the report precision, a table row as the
// template's fields. Only core sources include this header (mstch is the
// core's private dependency).

#include "document/DataModule.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <mstch/mstch.hpp>
#include <string>

namespace zurm {

inline std::string utf8(const QString& text)
{
    return text.toStdString();
}

// Numbers in report text: reals with `digits` decimals in the program's own
// format (decimal point ".", whatever the user's locale), no thousands
// separator; Null empty; anything else as its text.
class Formatter {
public:
    explicit Formatter(int digits) : digits_(digits) {}

    std::string operator()(const QVariant& value) const;

private:
    int digits_;
};

// Every field of the query's current row by its name.
mstch::map rowFields(const QSqlRecord& record, const QSqlQuery& query, const Formatter& format);

// Where the report definition `name` is read from: the program folder (a
// user's copy of the program's files may hold edited definitions), else the
// folder the program runs from.
QString reportDefinitionPath(const DataModule& data, const QString& name);

// The text of a definition file. Throws Failure when it is missing or unreadable.
QString readDefinition(const QString& path);

} // namespace zurm
