#include "hydraulics/RunModel.h"

#include "base/Failure.h"
#include "base/NativeSql.h"
#include "base/Sql.h"
#include "document/CalculationRow.h"
#include "document/NodeNumbers.h"
#include "hydraulics/TopologyCheck.h"
#include "indicators/IndicatorCatalogue.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <limits>

namespace zurm::run {

namespace {

const QString kFieldError = QStringLiteral("FieldError");
constexpr int kNodeSlots = 65536; // node numbers are 16-bit


QString valueText(double value) { return QString::number(value); }

// A stored number as the run reads it: a value that is no number reads as NaN.
// `shown` is the value as a message shows it.
Value storedNumber(const QVariant& value, QString& shown)
{
    if (value.isNull() || !value.isValid())
        return std::nullopt;
    bool ok = false;
    const double number = value.toDouble(&ok);
    shown = ok ? valueText(number) : value.toString();
    return ok ? number : std::numeric_limits<double>::quiet_NaN();
}

bool flagOf(const QVariant& value) { return !value.isNull() && value.toInt() != 0; }

// Columns of the current row of a native statement, converted as the same
// conversions of the QVariant the Qt driver gives would convert them; only
// texts and blobs take that detour.
using Kind = NativeStatement::Kind;

Value numberAt(const NativeStatement& q, int column)
{
    switch (q.kind(column)) {
    case Kind::Null:
        return std::nullopt;
    case Kind::Integer:
        return double(q.integer(column));
    case Kind::Real:
        return q.real(column);
    default:
        return recordValueOf(q.value(column));
    }
}

int intAt(const NativeStatement& q, int column)
{
    switch (q.kind(column)) {
    case Kind::Null:
        return 0;
    case Kind::Integer:
        return int(q.integer(column));
    default:
        return q.value(column).toInt();
    }
}

bool flagAt(const NativeStatement& q, int column)
{
    switch (q.kind(column)) {
    case Kind::Null:
        return false;
    case Kind::Integer:
        return int(q.integer(column)) != 0;
    default:
        return flagOf(q.value(column));
    }
}

void readEndNodeField(const NativeStatement& q, int column, const EndNodeField& field, EndNodeRow& e)
{
    switch (field.kind) {
    case EndNodeField::Kind::Number:
        e.*field.number = numberAt(q, column);
        break;
    case EndNodeField::Kind::Flag:
        e.*field.flag = flagAt(q, column);
        break;
    case EndNodeField::Kind::Node:
        e.*field.node = q.kind(column) == Kind::Null ? std::nullopt : std::optional<qint16>(qint16(intAt(q, column)));
        break;
    }
}

// Positions of rows given in stored order, in walk order: id_m ascending,
// NппУчВМ descending, ties in stored order. Rows come grouped by a counting
// pass over id_m; a main's rows, stored as the check writes them (NппУчВМ
// ascending), only need reversing.
std::vector<int> walkOrder(const std::vector<MainRow>& rows)
{
    std::vector<int> order(rows.size());
    if (rows.empty())
        return order;
    const auto [low, high] = std::minmax_element(rows.begin(), rows.end(),
                                                 [](const MainRow& x, const MainRow& y) { return x.idM < y.idM; });
    const qint64 span = qint64(high->idM) - low->idM + 1;
    auto byNpp = [&rows](int x, int y) { return rows[size_t(x)].npp > rows[size_t(y)].npp; };
    if (span > 4 * qint64(rows.size()) + 1024) {
        for (size_t k = 0; k < rows.size(); ++k)
            order[k] = int(k);
        std::stable_sort(order.begin(), order.end(), [&rows, &byNpp](int x, int y) {
            const int a = rows[size_t(x)].idM;
            const int b = rows[size_t(y)].idM;
            return a != b ? a < b : byNpp(x, y);
        });
        return order;
    }
    const int base = low->idM;
    std::vector<int> first(size_t(span) + 1, 0);
    for (const MainRow& row : rows)
        ++first[size_t(row.idM - base) + 1];
    for (size_t i = 1; i < first.size(); ++i)
        first[i] += first[i - 1];
    std::vector<int> next(first.begin(), first.end() - 1);
    for (size_t k = 0; k < rows.size(); ++k)
        order[size_t(next[size_t(rows[k].idM - base)]++)] = int(k);
    for (size_t g = 0; g + 1 < first.size(); ++g) {
        const auto from = order.begin() + first[g];
        const auto to = order.begin() + first[g + 1];
        const bool ascending = std::adjacent_find(from, to, [&rows](int x, int y) {
                                   return rows[size_t(x)].npp >= rows[size_t(y)].npp;
                               }) == to;
        if (ascending)
            std::reverse(from, to);
        else
            std::stable_sort(from, to, byNpp);
    }
    return order;
}

std::vector<OrderedIndicator> readOrder(const QSqlDatabase& db, const QString& table, IndicatorVariant variant,
                                        const RecordColumns& headerColumns, const RecordColumns& segmentColumns)
{
    std::vector<OrderedIndicator> order;
    QSqlQuery rows = selectSql(db, QStringLiteral("SELECT [Показатель], [Nприоритета] FROM ") + quoteName(table)
                                       + QStringLiteral(" ORDER BY [Nприоритета] ASC, rowid ASC"));
    while (rows.next()) {
        OrderedIndicator indicator;
        indicator.shortName = rows.value(0).toString();
        indicator.position = rows.value(1).isNull() ? 0 : rows.value(1).toInt();
        const LookedUpFormula formula = lookUpFormula(db, indicator.shortName);
        indicator.fullName = formula.fullName;
        indicator.column = variant == IndicatorVariant::Header ? headerColumns.indexOf(indicator.shortName)
                                                               : segmentColumns.indexOf(indicator.shortName);
        if (indicator.position > 0)
            indicator.compiled =
                compileIndicator(indicator.shortName, formula.formula, headerColumns, segmentColumns, variant);
        order.push_back(std::move(indicator));
    }
    return order;
}

} // namespace

const std::vector<EndNodeField>& endNodeFields()
{
    auto number = [](const char* name, Value EndNodeRow::*member) {
        EndNodeField field{QString::fromUtf8(name), EndNodeField::Kind::Number};
        field.number = member;
        return field;
    };
    auto flag = [](const char* name, bool EndNodeRow::*member) {
        EndNodeField field{QString::fromUtf8(name), EndNodeField::Kind::Flag};
        field.flag = member;
        return field;
    };
    auto node = [](const char* name, std::optional<qint16> EndNodeRow::*member) {
        EndNodeField field{QString::fromUtf8(name), EndNodeField::Kind::Node};
        field.node = member;
        return field;
    };
    static const std::vector<EndNodeField> fields = {
        flag("РВПод", &EndNodeRow::doneSupply),
        node("РНачСУзПод", &EndNodeRow::branchStartSupply),
        number("ДлМагПод", &EndNodeRow::lengthSupply),
        number("ПотНОтИПод", &EndNodeRow::lossSupply),
        number("ПНапПод", &EndNodeRow::headSupply),
        number("ПНапЗПод", &EndNodeRow::givenHeadSupply),
        number("ПНапЗБИПод", &EndNodeRow::givenHeadSupplyBare),
        number("УПНВМагПод", &EndNodeRow::allowedLossSupply),
        flag("РВОбр", &EndNodeRow::doneReturn),
        node("РНачСУзОбр", &EndNodeRow::branchStartReturn),
        number("ДлМагОбр", &EndNodeRow::lengthReturn),
        number("ДлМагСум", &EndNodeRow::lengthTotal),
        number("ПотНОтИОбр", &EndNodeRow::lossReturn),
        number("ПНапОбр", &EndNodeRow::headReturn),
        number("РНап", &EndNodeRow::availableHead),
        number("РНапЗ", &EndNodeRow::givenAvailableHead),
        number("ПНапЗОбр", &EndNodeRow::givenHeadReturn),
        number("ПНапЗБИОбр", &EndNodeRow::givenHeadReturnBare),
        number("УПНВМагОбр", &EndNodeRow::allowedLossReturn),
        number("ДельтаТ", &EndNodeRow::deltaT),
    };
    return fields;
}

int RunModel::segmentColumn(const QString& name) const
{
    const int column = segmentColumns.indexOf(name);
    if (column < 0)
        throw Failure(kFieldError, QStringLiteral("Поле \"") + name + QStringLiteral("\" не найдено в таблице \"Табл\"."));
    return column;
}

int RunModel::headerColumn(const QString& name) const
{
    const int column = headerColumns.indexOf(name);
    if (column < 0)
        throw Failure(kFieldError, QStringLiteral("Поле \"") + name + QStringLiteral("\" не найдено в таблице \"Заг\"."));
    return column;
}

RunModel RunModel::load(const QSqlDatabase& db, WrittenMains* writtenMains)
{
    RunModel m;
    {
        const QVariantList row = CalculationRow(db).read(
            {CalculationRow::kNetworkType, CalculationRow::kDesignMode, CalculationRow::kDistributeFlows,
             CalculationRow::kStartNode, CalculationRow::kSupplyHeadNode, CalculationRow::kAvailableHeadNode});
        if (!row.isEmpty()) {
            m.networkType = row[0].toInt();
            m.designMode = flagOf(row[1]);
            m.distributeFlows = flagOf(row[2]);
            m.startNode = qint16(row[3].toInt());
            m.supplyHeadNode = qint16(row[4].toInt());
            m.availableHeadNode = qint16(row[5].toInt());
        }
    }
    // Short name -> entered by the user; the first row of a name counts, and a
    // Формулы row before a predefined one, as the look-up of a formula does.
    QHash<QString, bool> entered;
    {
        QSqlQuery q = selectSql(db, QStringLiteral("SELECT [НаимПокСокр], [ТипПок], [ВводПольз] FROM [Формулы] "
                                                   "ORDER BY [Nпп], rowid"));
        while (q.next()) {
            const UserIndicatorRow row{q.value(0).toString(), q.value(1).toString().toUpper() == kHeaderType,
                                       flagOf(q.value(2))};
            if (!entered.contains(row.shortName))
                entered.insert(row.shortName, row.enteredByUser);
            m.userIndicators.push_back(row);
        }
    }
    {
        QSqlQuery q = selectSql(db, QStringLiteral("SELECT [НаимПокСокр], [ВводПольз] FROM [ФлыПредопрПок] ORDER BY rowid"));
        QSet<QString> seen;
        while (q.next()) {
            const QString name = q.value(0).toString();
            if (seen.contains(name))
                continue;
            seen.insert(name);
            if (name == QStringLiteral("ДлНаУчОбр"))
                m.returnLengthEntered = flagOf(q.value(1));
            else if (name == QStringLiteral("РасхОбр"))
                m.returnFlowEntered = flagOf(q.value(1));
            if (!entered.contains(name))
                entered.insert(name, flagOf(q.value(1)));
        }
    }

    m.headerColumns = RecordColumns::numericColumnsOf(db, QStringLiteral("Заг"));
    m.segmentColumns = RecordColumns::numericColumnsOf(db, QStringLiteral("Табл"));
    std::vector<UnreadableValue> unreadable;
    m.header = readHeaderRecord(db, m.headerColumns, &unreadable);
    m.segments = readSegmentRecords(db, m.segmentColumns, &unreadable);
    for (int i = 0; i < m.headerColumns.size(); ++i)
        if (entered.value(m.headerColumns.names().at(i), false))
            m.headerInputColumns.push_back(i);
    for (int i = 0; i < m.segmentColumns.size(); ++i)
        if (entered.value(m.segmentColumns.names().at(i), false))
            m.segmentInputColumns.push_back(i);
    // A value that is no number is an input error (see checkInputValues) when
    // the user enters it; first met in any other column, it stops the run here.
    if (!unreadable.empty()) {
        const UnreadableValue& first = unreadable.front();
        const std::vector<int>& inputs = first.record < 0 ? m.headerInputColumns : m.segmentInputColumns;
        if (std::find(inputs.begin(), inputs.end(), first.column) == inputs.end())
            throw Failure(QStringLiteral("ConversionError"),
                          QStringLiteral("\"") + first.text + QStringLiteral("\" не является числом."));
    }
    for (const UnreadableValue& value : unreadable)
        m.storedTexts_.insert({value.record, value.column}, value.text);

    // Return-pipe columns exist in two-pipe calculations only.
    const bool two = m.twoPipe();
    SegmentColumns& c = m.col;
    auto s = [&m](const char* name) { return m.segmentColumn(QString::fromUtf8(name)); };
    auto r = [&m, two](const char* name) {
        return two ? m.segmentColumn(QString::fromUtf8(name)) : m.segmentColumns.indexOf(QString::fromUtf8(name));
    };
    c.startHeight = s("ГеодВысНач");
    c.endHeight = s("ГеодВысКон");
    c.lengthSupply = s("ДлНаУчПод");
    c.lengthReturn = r("ДлНаУчОбр");
    c.flowSupply = s("РасхПод");
    c.flowReturn = r("РасхОбр");
    c.lengthStartSupply = s("ДлНачПод");
    c.lengthEndSupply = s("ДлКонПод");
    c.lengthStartReturn = r("ДлНачОбр");
    c.lengthEndReturn = r("ДлКонОбр");
    c.tempStartSupply = s("ТВодыНачПод");
    c.tempEndSupply = s("ТВодыКонПод");
    c.tempStartReturn = r("ТВодыНачОбр");
    c.tempEndReturn = r("ТВодыКонОбр");
    c.lossStartSupply = s("ПотНОтИНачПод");
    c.lossEndSupply = s("ПотНОтИКонПод");
    c.lossStartReturn = r("ПотНОтИНачОбр");
    c.lossEndReturn = r("ПотНОтИКонОбр");
    c.headStartSupply = s("ПНапНачПод");
    c.headEndSupply = s("ПНапКонПод");
    c.headStartReturn = r("ПНапНачОбр");
    c.headEndReturn = r("ПНапКонОбр");
    c.availableStart = r("РНапНач");
    c.availableEnd = r("РНапКон");
    c.branchLossSupply = m.segmentColumns.indexOf(QStringLiteral("УПНВВПод"));
    c.branchLossReturn = m.segmentColumns.indexOf(QStringLiteral("УПНВВОбр"));

    HeaderColumns& h = m.hcol;
    auto hc = [&m](const char* name) { return m.headerColumn(QString::fromUtf8(name)); };
    auto hr = [&m, two](const char* name) {
        return two ? m.headerColumn(QString::fromUtf8(name)) : m.headerColumns.indexOf(QString::fromUtf8(name));
    };
    h.supplyHead = hc("ПНапНаУзПод");
    h.availableHead = hr("РНапНаУз");
    h.minHeight = hc("МинГеодВысТС");
    h.maxHeight = hc("МаксГеодВысТС");
    h.maxLengthSupply = hc("МаксДлПод");
    h.maxLengthReturn = hr("МаксДлОбр");
    h.maxLengthTotal = hr("МаксСумДлПодОбр");
    h.minTemperature = hc("МинТВоды");
    h.maxTemperature = hc("МаксТВоды");

    {
        // КонМаг holds only the columns of its network type and mode.
        QSet<QString> present;
        for (const ColumnInfo& column : tableColumns(db, QStringLiteral("КонМаг")))
            present.insert(column.name);
        m.endNodeColumns_.clear();
        for (const EndNodeField& field : endNodeFields())
            if (present.contains(field.name))
                m.endNodeColumns_.push_back(&field);
        QString sql = QStringLiteral("SELECT rowid, [id_m], [КонУзел]");
        for (const EndNodeField* field : m.endNodeColumns_)
            sql += QStringLiteral(", ") + quoteName(field->name);
        // Read in storage order and sorted here by id_m (ties in storage
        // order) while every id_m is a whole number; otherwise SQLite sorts.
        bool sortedHere = true;
        auto readRows = [&m, &sortedHere](NativeStatement& q) {
            while (q.step()) {
                EndNodeRow e;
                e.rowid = q.integer(0);
                sortedHere = sortedHere && q.kind(1) == Kind::Integer;
                e.idM = intAt(q, 1);
                e.endNode = qint16(intAt(q, 2));
                for (size_t i = 0; i < m.endNodeColumns_.size(); ++i)
                    readEndNodeField(q, 3 + int(i), *m.endNodeColumns_[i], e);
                m.endNodes.push_back(e);
            }
        };
        {
            NativeStatement q(db, sql + QStringLiteral(" FROM [КонМаг] ORDER BY rowid ASC"));
            readRows(q);
        }
        if (sortedHere) {
            std::stable_sort(m.endNodes.begin(), m.endNodes.end(),
                             [](const EndNodeRow& x, const EndNodeRow& y) { return x.idM < y.idM; });
        } else {
            m.endNodes.clear();
            NativeStatement q(db, sql + QStringLiteral(" FROM [КонМаг] ORDER BY [id_m] ASC, rowid ASC"));
            readRows(q);
        }
    }
    {
        // Read in stored order and put in walk order ("id_m ASC, NппУчВМ
        // DESC", ties by rowid) here: SQLite would sort a million rows
        // through a temporary b-tree.
        const qint64 count = selectValue(db, QStringLiteral("SELECT count(*) FROM [МагистралиТС]")).toLongLong();
        std::vector<MainRow> stored;
        if (writtenMains && qint64(writtenMains->rows.size()) == count) {
            // The run starts with no flows, as the check writes the rows;
            // those it left in the table are what the file holds.
            stored.reserve(writtenMains->rows.size());
            for (const WrittenMainRow& row : writtenMains->rows)
                stored.push_back({row.rowid, row.idM, row.npp, row.startNode, row.endNode, int(stored.size())});
            std::vector<WrittenMainRow>().swap(writtenMains->rows);
            m.flowsInFile_.swap(writtenMains->flowsLeft);
            m.runStartsWithFileFlows_ = false;
        } else {
            stored.reserve(size_t(count));
            bool anyFlow = false;
            NativeStatement q(db, QStringLiteral("SELECT rowid, [id_m], [NппУчВМ], [НачУзел], [КонУзел], [РасхПод], "
                                                 "[РасхОбр] FROM [МагистралиТС] ORDER BY rowid"));
            while (q.step()) {
                stored.push_back({q.integer(0), intAt(q, 1), intAt(q, 2), qint16(intAt(q, 3)), qint16(intAt(q, 4)),
                                  int(stored.size())});
                const Value supply = numberAt(q, 5);
                const Value ret = numberAt(q, 6);
                if (!anyFlow && (supply || ret)) {
                    anyFlow = true;
                    m.flowsInFile_.reserve(size_t(count));
                    m.flowsInFile_.resize(stored.size() - 1);
                }
                if (anyFlow)
                    m.flowsInFile_.emplace_back(supply, ret);
            }
        }
        m.mains.reserve(stored.size());
        for (const int k : walkOrder(stored))
            m.mains.push_back(stored[size_t(k)]);
        m.walkOfStored_.resize(m.mains.size());
        for (size_t r = 0; r < m.mains.size(); ++r)
            m.walkOfStored_[size_t(m.mains[r].stored)] = int(r);
    }
    {
        m.hasHeight_.assign(kNodeSlots, 0);
        m.heights_.assign(kNodeSlots, std::nullopt);
        NativeStatement q(db, QStringLiteral("SELECT [Nуз], [ГеодВыс] FROM [УзлыТС] ORDER BY rowid"));
        while (q.step()) {
            const qint16 node = qint16(intAt(q, 0));
            QString shown;
            Value height;
            const Kind kind = q.kind(1);
            if (kind == Kind::Integer || kind == Kind::Real) {
                height = kind == Kind::Integer ? double(q.integer(1)) : q.real(1);
                if (!std::isfinite(*height))
                    shown = valueText(*height);
            } else if (kind != Kind::Null) {
                height = storedNumber(q.value(1), shown);
            }
            if (height && !std::isfinite(*height) && !m.badHeight)
                m.badHeight = BadInputRow{QString::number(node), QStringLiteral("ГеодВыс"), shown};
            if (!m.hasHeight_[quint16(node)]) {
                m.hasHeight_[quint16(node)] = 1;
                m.heights_[quint16(node)] = height;
            }
        }
    }
    {
        QSqlQuery q = selectSql(db, QStringLiteral("SELECT [Nуз], [ТрПр], [ИзмПНап] FROM [ИзмПНапВУзлахТС] ORDER BY rowid"));
        QString problem, shown;
        while (q.next()) {
            const std::optional<qint16> stored = storedNodeNumber(q.value(0), problem);
            const double change = storedNumber(q.value(2), shown).value_or(0.0);
            if (!m.badHeadChange) {
                if (!stored)
                    m.badHeadChange = BadInputRow{storedValueText(q.value(0)), QStringLiteral("Nуз"), problem};
                else if (!std::isfinite(change))
                    m.badHeadChange = BadInputRow{QString::number(*stored), QStringLiteral("ИзмПНап"), shown};
            }
            if (!stored || !std::isfinite(change))
                continue;
            const qint16 node = *stored;
            const int pipe = flagOf(q.value(1)) ? 1 : 0;
            if (m.changeSum_[pipe].empty()) { // most networks have no head changes
                m.firstChange_[pipe].assign(kNodeSlots, 0.0);
                m.hasFirstChange_[pipe].assign(kNodeSlots, 0);
                m.changeSum_[pipe].assign(kNodeSlots, 0.0);
            }
            if (!m.hasFirstChange_[pipe][quint16(node)]) {
                m.hasFirstChange_[pipe][quint16(node)] = 1;
                m.firstChange_[pipe][quint16(node)] = change;
            }
            m.changeSum_[pipe][quint16(node)] += change;
            m.headChanges_.push_back({node, pipe == 1, change});
        }
    }
    m.buildIndexes();
    for (int pipe = 0; pipe < 2; ++pipe) {
        m.mainFlows_[pipe].assign(m.endNodes.size(), std::nullopt);
    }
    m.headerInFile_ = m.header.values;
    m.endNodesInFile_ = m.endNodes;
    m.keepSegmentsInFile();
    return m;
}

void RunModel::loadOrder(const QSqlDatabase& db)
{
    headerOrder = readOrder(db, QStringLiteral("ПриорЗ"), IndicatorVariant::Header, headerColumns, segmentColumns);
    supplyOrder = readOrder(db, QStringLiteral("ПриорП"), IndicatorVariant::Segment, headerColumns, segmentColumns);
    if (twoPipe())
        returnOrder = readOrder(db, QStringLiteral("ПриорОИ"), IndicatorVariant::Segment, headerColumns, segmentColumns);
}

void RunModel::buildIndexes()
{
    visitedSegment_.assign(segments.size(), 0);
    byEndNode_.assign(kNodeSlots, -1);
    byStartNode_.assign(kNodeSlots, -1);
    for (int i = 0; i < int(segments.size()); ++i) {
        const SegmentRecord& s = segments[size_t(i)];
        // Only pairs that the first segment ending at their end node does not
        // answer (see segmentByNodes) need the map.
        const int ending = byEndNode_[quint16(s.endNode)];
        if (ending >= 0 && segments[size_t(ending)].startNode != s.startNode
            && !bySegmentNodes_.contains(nodePairKey(s.startNode, s.endNode)))
            bySegmentNodes_.insert(nodePairKey(s.startNode, s.endNode), i);
        if (ending < 0)
            byEndNode_[quint16(s.endNode)] = i;
        if (byStartNode_[quint16(s.startNode)] < 0)
            byStartNode_[quint16(s.startNode)] = i;
    }
    for (int i = 0; i < int(mains.size()); ++i) {
        auto [it, inserted] = mainRange_.try_emplace(mains[size_t(i)].idM, i, i + 1);
        if (!inserted)
            it->second.second = i + 1;
    }
}

QString RunModel::valueAsStored(int record, int column) const
{
    const auto text = storedTexts_.constFind({record, column});
    if (text != storedTexts_.cend())
        return *text;
    const Value& value = record < 0 ? header.values[size_t(column)] : segments[size_t(record)].values[size_t(column)];
    return value ? valueText(*value) : QString();
}

std::pair<int, int> RunModel::mainRows(int idM) const
{
    const auto it = mainRange_.find(idM);
    return it == mainRange_.end() ? std::pair<int, int>{0, 0} : it->second;
}

double RunModel::firstHeadChange(qint16 node, bool returnPipe) const
{
    const std::vector<double>& first = firstChange_[returnPipe ? 1 : 0];
    return first.empty() ? 0.0 : first[quint16(node)];
}

double RunModel::headChangeSum(qint16 node, bool returnPipe) const
{
    const std::vector<double>& sum = changeSum_[returnPipe ? 1 : 0];
    return sum.empty() ? 0.0 : sum[quint16(node)];
}

std::optional<Value> RunModel::nodeHeight(qint16 node) const
{
    if (hasHeight_.empty() || !hasHeight_[quint16(node)])
        return std::nullopt;
    return heights_[quint16(node)];
}

void RunModel::clearVisited()
{
    for (const auto& [a, b] : visitedList)
        if (const int segment = segmentByNodes(a, b); segment >= 0)
            visitedSegment_[size_t(segment)] = 0;
    visitedElsewhere_.clear();
    visitedList.clear();
}

void RunModel::visit(qint16 a, qint16 b)
{
    if (isVisited(a, b))
        return;
    if (const int segment = segmentByNodes(a, b); segment >= 0)
        visitedSegment_[size_t(segment)] = 1;
    else
        visitedElsewhere_.insert(nodePairKey(a, b));
    visitedList.emplace_back(a, b);
}

} // namespace zurm::run
