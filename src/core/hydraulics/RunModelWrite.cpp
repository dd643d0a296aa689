#include "hydraulics/RunModel.h"

#include "base/NativeSql.h"
#include "base/Sql.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// Writing the run's model back to the calculation file: only what differs from
// the file, in one transaction.

namespace zurm::run {

namespace {

// No number that is not finite reaches the file: the run stops with an error
// before it would write one, and should one get here it is written as Null
// (bindNumber).

// Equal, with NaN equal to NaN: an unchanged NaN is no change to write.
bool sameValue(const Value& a, const Value& b)
{
    if (!a || !b)
        return !a && !b;
    return *a == *b || (std::isnan(*a) && std::isnan(*b));
}

// A value as kept for comparing with it later, in eight bytes: its bits, and
// Null as a signalling NaN, which neither the file nor arithmetic gives.
constexpr quint64 kNullBits = 0x7ff0'dead'beef'0001;

quint64 keptBits(const Value& value)
{
    if (!value)
        return kNullBits;
    quint64 bits;
    std::memcpy(&bits, &*value, sizeof bits);
    return bits;
}

bool sameAsKept(const Value& value, quint64 kept)
{
    if (!value || kept == kNullBits)
        return !value && kept == kNullBits;
    double number;
    std::memcpy(&number, &kept, sizeof number);
    return sameValue(value, number);
}

bool sameValues(const RecordValues& a, const RecordValues& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!sameValue(a[i], b[i]))
            return false;
    return true;
}

// A number as writeBack binds it: one that is not finite is written as Null.
Value boundNumber(const Value& value) { return value && std::isfinite(*value) ? value : std::nullopt; }

void bindNumber(NativeStatement& q, int index, const Value& value)
{
    if (value && std::isfinite(*value))
        q.bindReal(index, *value);
    else
        q.bindNull(index);
}

void bindEndNodeField(NativeStatement& q, int index, const EndNodeField& field, const EndNodeRow& e)
{
    switch (field.kind) {
    case EndNodeField::Kind::Number:
        bindNumber(q, index, e.*field.number);
        break;
    case EndNodeField::Kind::Flag:
        q.bindInteger(index, e.*field.flag ? 1 : 0);
        break;
    case EndNodeField::Kind::Node:
        if (const std::optional<qint16>& node = e.*field.node)
            q.bindInteger(index, *node);
        else
            q.bindNull(index);
        break;
    }
}

// Two rows bind the same values to the column.
bool sameEndNodeField(const EndNodeField& field, const EndNodeRow& a, const EndNodeRow& b)
{
    switch (field.kind) {
    case EndNodeField::Kind::Number:
        return boundNumber(a.*field.number) == boundNumber(b.*field.number);
    case EndNodeField::Kind::Flag:
        return a.*field.flag == b.*field.flag;
    case EndNodeField::Kind::Node:
        return a.*field.node == b.*field.node;
    }
    return false;
}

} // namespace

void RunModel::keepSegmentsInFile() const
{
    const size_t width = size_t(segmentColumns.size());
    segmentsInFile_.resize(segments.size() * width);
    auto out = segmentsInFile_.begin();
    for (const SegmentRecord& segment : segments)
        out = std::transform(segment.values.begin(), segment.values.begin() + qsizetype(width), out, keptBits);
}

void RunModel::writeBack(const QSqlDatabase& db) const
{
    Transaction transaction(db);
    if (headerColumns.size() > 0 && !sameValues(headerInFile_, header.values)) {
        QString sql = QStringLiteral("UPDATE [Заг] SET ");
        for (int i = 0; i < headerColumns.size(); ++i)
            sql += (i ? QStringLiteral(", ") : QString()) + quoteName(headerColumns.names().at(i)) + QStringLiteral("=?");
        sql += QStringLiteral(" WHERE rowid = (SELECT rowid FROM [Заг] ORDER BY rowid LIMIT 1)");
        NativeStatement q(db, sql);
        for (int i = 0; i < headerColumns.size(); ++i)
            bindNumber(q, i + 1, header.values[size_t(i)]);
        q.run();
    }
    {
        std::vector<int> written;
        QString sql = QStringLiteral("UPDATE [Табл] SET ");
        for (int i = 0; i < segmentColumns.size(); ++i) {
            const QString& name = segmentColumns.names().at(i);
            if (name == QStringLiteral("id") || name == QStringLiteral("НачУзел") || name == QStringLiteral("КонУзел"))
                continue;
            sql += (written.empty() ? QString() : QStringLiteral(", ")) + quoteName(name) + QStringLiteral("=?");
            written.push_back(i);
        }
        sql += QStringLiteral(" WHERE [id]=?");
        std::optional<NativeStatement> q;
        for (size_t r = 0; r < segments.size() && !written.empty(); ++r) {
            const SegmentRecord& s = segments[r];
            const size_t width = size_t(segmentColumns.size());
            if ((r + 1) * width <= segmentsInFile_.size() && s.values.size() == width
                && std::equal(s.values.begin(), s.values.end(), segmentsInFile_.begin() + qsizetype(r * width), sameAsKept))
                continue;
            if (!q)
                q.emplace(db, sql);
            for (size_t i = 0; i < written.size(); ++i)
                bindNumber(*q, int(i) + 1, s.values[size_t(written[i])]);
            q->bindInteger(int(written.size()) + 1, s.id);
            q->run();
        }
    }
    if (!endNodeColumns_.empty()) {
        QString sql = QStringLiteral("UPDATE [КонМаг] SET ");
        for (size_t i = 0; i < endNodeColumns_.size(); ++i)
            sql += (i ? QStringLiteral(", ") : QString()) + quoteName(endNodeColumns_[i]->name) + QStringLiteral("=?");
        sql += QStringLiteral(" WHERE rowid=?");
        std::optional<NativeStatement> q;
        for (size_t r = 0; r < endNodes.size(); ++r) {
            const EndNodeRow& e = endNodes[r];
            if (r < endNodesInFile_.size()
                && std::all_of(endNodeColumns_.begin(), endNodeColumns_.end(), [&](const EndNodeField* field) {
                       return sameEndNodeField(*field, endNodesInFile_[r], e);
                   }))
                continue;
            if (!q)
                q.emplace(db, sql);
            for (size_t i = 0; i < endNodeColumns_.size(); ++i)
                bindEndNodeField(*q, int(i) + 1, *endNodeColumns_[i], e);
            q->bindInteger(int(endNodeColumns_.size()) + 1, e.rowid);
            q->run();
        }
    }
    writeMainFlows(db);
    // The list is rewritten only when it differs from what the file holds
    // (which is read once, on the first write).
    if (!visitedInFile_)
        visitedInFile_ = selectValue(db, QStringLiteral("SELECT count(*) FROM [СписокРасчУчастков]")).toLongLong() == 0
            ? std::optional<std::vector<std::pair<qint16, qint16>>>(std::vector<std::pair<qint16, qint16>>())
            : std::nullopt;
    if (!visitedInFile_ || *visitedInFile_ != visitedList) {
        execSql(db, QStringLiteral("DELETE FROM [СписокРасчУчастков]"));
        if (!visitedList.empty()) {
            NativeStatement q(db, QStringLiteral("INSERT INTO [СписокРасчУчастков] ([НачУзел], [КонУзел]) VALUES (?, ?)"));
            for (const auto& [a, b] : visitedList)
                q.run({a, b});
        }
    }
    transaction.commit();
    visitedInFile_ = visitedList;
    headerInFile_ = header.values;
    endNodesInFile_ = endNodes;
    keepSegmentsInFile();
    // What the file now holds: the run's flows.
    const bool anyFlow = std::any_of(mains.begin(), mains.end(), [this](const MainRow& row) {
        return rowFlow(row, false) || rowFlow(row, true);
    });
    if (!anyFlow)
        flowsInFile_.clear();
    else if (flowsInFile_.empty())
        flowsInFile_.resize(mains.size());
    // Row by row in place: the flow of a row reads only its own entry.
    for (size_t r = 0; anyFlow && r < mains.size(); ++r)
        flowsInFile_[size_t(mains[r].stored)] = {rowFlow(mains[r], false), rowFlow(mains[r], true)};
}

void RunModel::setMainFlow(int idM, bool returnPipe, Value flow)
{
    const size_t index = size_t(idM) - 1;
    const int pipe = returnPipe ? 1 : 0;
    if (idM < 1 || index >= mainFlows_[pipe].size())
        return;
    mainFlows_[pipe][index] = flow;
}

Value RunModel::startFlow(const MainRow& row, bool returnPipe) const
{
    if (!runStartsWithFileFlows_ || flowsInFile_.empty())
        return std::nullopt;
    const std::pair<Value, Value>& flows = flowsInFile_[size_t(row.stored)];
    return returnPipe ? flows.second : flows.first;
}

Value RunModel::rowFlow(const MainRow& row, bool returnPipe) const
{
    const size_t index = size_t(row.idM) - 1;
    const int pipe = returnPipe ? 1 : 0;
    if (row.idM >= 1 && index < mainFlows_[pipe].size() && mainFlows_[pipe][index])
        return *mainFlows_[pipe][index];
    return startFlow(row, returnPipe);
}

void RunModel::writeMainFlows(const QSqlDatabase& db) const
{
    // The flow distribution gives every row of a main the same flows: such a
    // main is written by one row of a scratch table and one UPDATE for all;
    // the rest row by row. Only rows that differ from the file are written.
    auto flowsOf = [this](const MainRow& row) { return std::make_pair(rowFlow(row, false), rowFlow(row, true)); };
    std::vector<char> changed(mains.size(), 0);
    for (size_t r = 0; r < mains.size(); ++r)
        changed[r] = flowsOf(mains[r])
            != (flowsInFile_.empty() ? std::pair<Value, Value>() : flowsInFile_[size_t(mains[r].stored)]);
    std::vector<size_t> byMain; // first row of each uniform main
    std::vector<char> viaMain(mains.size(), 0);
    for (size_t first = 0; first < mains.size();) {
        size_t last = first + 1;
        bool same = true;
        bool any = changed[first];
        while (last < mains.size() && mains[last].idM == mains[first].idM) {
            same = same && flowsOf(mains[last]) == flowsOf(mains[first]);
            any = any || changed[last];
            ++last;
        }
        // A main's rows are contiguous in walk order, and no other run of rows has its id_m.
        if (same && any && last - first > 1 && mains[first].idM != 0) {
            byMain.push_back(first);
            std::fill(viaMain.begin() + qsizetype(first), viaMain.begin() + qsizetype(last), 1);
        }
        first = last;
    }
    if (!byMain.empty()) {
        execSql(db, QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS [zurm_main_flows] "
                                   "([id_m] INTEGER PRIMARY KEY, [supply] REAL, [return] REAL)"));
        execSql(db, QStringLiteral("DELETE FROM temp.[zurm_main_flows]"));
        {
            NativeStatement insert(db, QStringLiteral("INSERT INTO temp.[zurm_main_flows] VALUES (?, ?, ?)"));
            for (size_t first : byMain) {
                insert.bindInteger(1, mains[first].idM);
                bindNumber(insert, 2, rowFlow(mains[first], false));
                bindNumber(insert, 3, rowFlow(mains[first], true));
                insert.run();
            }
        }
        execSql(db, QStringLiteral("UPDATE [МагистралиТС] SET [РасхПод] = f.[supply], [РасхОбр] = f.[return] "
                                   "FROM temp.[zurm_main_flows] f WHERE [МагистралиТС].[id_m] = f.[id_m]"));
        execSql(db, QStringLiteral("DELETE FROM temp.[zurm_main_flows]"));
    }
    std::optional<NativeStatement> q;
    for (size_t r = 0; r < mains.size(); ++r) {
        if (!changed[r] || viaMain[r])
            continue;
        if (!q)
            q.emplace(db, QStringLiteral("UPDATE [МагистралиТС] SET [РасхПод]=?, [РасхОбр]=? WHERE rowid=?"));
        bindNumber(*q, 1, rowFlow(mains[r], false));
        bindNumber(*q, 2, rowFlow(mains[r], true));
        q->bindInteger(3, mains[r].rowid);
        q->run();
    }
}

} // namespace zurm::run
