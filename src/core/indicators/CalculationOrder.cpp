#include "indicators/CalculationOrder.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "document/NetworkKinds.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <functional>
#include <queue>
#include <utility>
#include <vector>

namespace zurm {

namespace {

QStringList fixedRows(const IndicatorCatalogue& catalogue, OrderStage stage)
{
    const bool twoPipe = catalogue.networkType() == kTwoPipe;
    QStringList rows;
    switch (stage) {
    case OrderStage::Header:
        rows = {QStringLiteral("МаксГеодВысТС"), QStringLiteral("МинГеодВысТС"), QStringLiteral("ПНапНаУзПод"),
                QStringLiteral("МаксДлПод"),     QStringLiteral("МаксТВоды"),    QStringLiteral("МинТВоды")};
        if (twoPipe)
            rows << QStringLiteral("РНапНаУз") << QStringLiteral("МаксДлОбр") << QStringLiteral("МаксСумДлПодОбр");
        break;
    case OrderStage::Supply:
        rows = {QStringLiteral("ГеодВысНач"),  QStringLiteral("ГеодВысКон"),  QStringLiteral("ПотНОтИНачПод"),
                QStringLiteral("РасхПод"),     QStringLiteral("ДлНаУчПод"),   QStringLiteral("ДлНачПод"),
                QStringLiteral("ДлКонПод"),    QStringLiteral("ТВодыНачПод"), QStringLiteral("ТВодыКонПод")};
        if (catalogue.designMode())
            rows << QStringLiteral("УПНВВПод");
        break;
    case OrderStage::ReturnAndTotal:
        rows = {QStringLiteral("ПотНОтИНачОбр"), QStringLiteral("РасхОбр"),     QStringLiteral("ДлНаУчОбр"),
                QStringLiteral("ДлНачОбр"),      QStringLiteral("ДлКонОбр"),    QStringLiteral("ТВодыНачОбр"),
                QStringLiteral("ТВодыКонОбр")};
        if (catalogue.designMode())
            rows << QStringLiteral("УПНВВОбр");
        break;
    }
    return rows;
}

bool isMemberType(OrderStage stage, const QString& type)
{
    switch (stage) {
    case OrderStage::Header: return type == kHeaderType;
    case OrderStage::Supply: return type == kSupplyType;
    case OrderStage::ReturnAndTotal: return type == kReturnType || type == kTotalType;
    }
    return false;
}

QString unorderedStageMessage(OrderStage stage)
{
    switch (stage) {
    case OrderStage::Header:
        return QStringLiteral("Невозможно определить последовательность расчета заголовочных показателей.");
    case OrderStage::Supply:
        return QStringLiteral("Невозможно определить последовательность расчета показателей подающего трубопровода.");
    case OrderStage::ReturnAndTotal:
        return QStringLiteral("Невозможно определить последовательность расчета показателей обратного трубопровода "
                              "и итоговых показателей.");
    }
    return {};
}

enum class MemberKind { Computed, Entered, Undetermined };

struct Member {
    QString name;
    MemberKind kind;
    QString formula;
};

// How a referred name D stands for one stage: satisfied from the start, never
// satisfied, or satisfied once some row of the stage's own table named D has a
// position above -1.
enum class Reference { Satisfied, Never, OwnStage };

Reference classify(const IndicatorCatalogue& catalogue, OrderStage stage, const QString& name)
{
    if (stage == OrderStage::Header)
        return Reference::OwnStage;
    const IndicatorCatalogue::Found found = catalogue.find(name);
    if (!found)
        return Reference::Never;
    const QString& type = found.record->type;
    if (stage == OrderStage::Supply) {
        if (type == kHeaderType)
            return Reference::Satisfied;
        return type == kSupplyType ? Reference::OwnStage : Reference::Never;
    }
    return type == kReturnType || type == kTotalType ? Reference::OwnStage : Reference::Satisfied;
}

} // namespace

void IndicatorDependencies::clear()
{
    byName_.clear();
    pairCount_ = 0;
}

void IndicatorDependencies::add(const QString& shortName, const QString& dependsOn)
{
    Entry& entry = byName_[shortName];
    if (entry.seen.contains(dependsOn))
        return;
    entry.seen.insert(dependsOn);
    entry.names.append(dependsOn);
    ++pairCount_;
}

bool IndicatorDependencies::hasAny(const QString& shortName) const
{
    const auto it = byName_.constFind(shortName);
    return it != byName_.cend() && !it->names.isEmpty();
}

const QStringList& IndicatorDependencies::of(const QString& shortName) const
{
    static const QStringList none;
    const auto it = byName_.constFind(shortName);
    return it == byName_.cend() ? none : it->names;
}

void RecordDependencies(IndicatorDependencies& dependencies, const QString& shortName, const QString& formula)
{
    for (qsizetype i = 0; i < formula.size(); ++i) {
        if (formula.at(i) != u'<')
            continue;
        const qsizetype close = formula.indexOf(u'>', i + 1);
        if (close < 0)
            return;
        dependencies.add(shortName, formula.mid(i + 1, close - i - 1));
        i = close;
    }
}

QString orderTableName(OrderStage stage)
{
    switch (stage) {
    case OrderStage::Header: return QStringLiteral("ПриорЗ");
    case OrderStage::Supply: return QStringLiteral("ПриорП");
    case OrderStage::ReturnAndTotal: return QStringLiteral("ПриорОИ");
    }
    return {};
}

StageOrder computeStageOrder(const IndicatorCatalogue& catalogue, OrderStage stage)
{
    StageOrder order;
    order.stage = stage;

    QList<Member> members;
    if (stage == OrderStage::Supply || stage == OrderStage::ReturnAndTotal) {
        const QString& name = stage == OrderStage::Supply ? kSupplyLossToEnd : kReturnLossToEnd;
        const IndicatorRecord* record = catalogue.findPredefined(name);
        members.append({name, MemberKind::Computed, record ? record->formula : QString()});
    }
    for (const IndicatorRecord& record : catalogue.user()) {
        if (!isMemberType(stage, record.type))
            continue;
        const MemberKind kind = !record.enteredByUser ? MemberKind::Undetermined
            : *record.enteredByUser                   ? MemberKind::Entered
                                                      : MemberKind::Computed;
        members.append({record.shortName, kind, record.formula});
    }

    IndicatorDependencies dependencies;
    for (const Member& member : members) {
        if (member.kind == MemberKind::Computed)
            RecordDependencies(dependencies, member.name, StripFormulaComments(member.formula));
    }

    for (const QString& name : fixedRows(catalogue, stage))
        order.rows.append({name, 0});

    // Names with some row at a position above -1: what an own-stage reference waits for.
    QSet<QString> available;
    for (const OrderRow& row : order.rows)
        available.insert(row.indicator);

    int counter = 1;
    std::vector<int> pending; // rows left at -1, in table order
    for (const Member& member : members) {
        OrderRow row{member.name, std::nullopt};
        switch (member.kind) {
        case MemberKind::Computed:
            if (dependencies.hasAny(member.name)) {
                row.position = -1;
                pending.push_back(int(order.rows.size()));
            } else {
                row.position = counter++;
                available.insert(member.name);
            }
            break;
        case MemberKind::Entered:
            row.position = 0;
            available.insert(member.name);
            break;
        case MemberKind::Undetermined:
            break;
        }
        order.rows.append(row);
    }

    // The resolution passes walk the table again and again, giving the next
    // position to every -1 row whose references are all satisfied, until a pass
    // changes nothing. The same numbering comes from events: a row becomes ready
    // when its last unsatisfied reference is resolved; it is then resolved later
    // in the same pass if it stands below the resolving row, otherwise in the
    // next pass. Rows are resolved in (pass, row) order.
    using Event = std::pair<int, int>; // pass, row
    std::priority_queue<Event, std::vector<Event>, std::greater<Event>> ready;
    QHash<int, int> unsatisfied;                // row -> number of references still waited for
    QHash<QString, std::vector<int>> waiting;   // name -> rows waiting for it
    QHash<QString, Reference> classification;
    for (const int row : pending) {
        const QStringList& references = dependencies.of(order.rows[row].indicator);
        bool never = false;
        QStringList waitedFor;
        for (const QString& reference : references) {
            auto it = classification.constFind(reference);
            if (it == classification.cend())
                it = classification.insert(reference, classify(catalogue, stage, reference));
            if (*it == Reference::Never) {
                never = true;
                break;
            }
            if (*it == Reference::OwnStage && !available.contains(reference))
                waitedFor.append(reference);
        }
        if (never)
            continue;
        if (waitedFor.isEmpty()) {
            ready.push({1, row});
            continue;
        }
        unsatisfied.insert(row, int(waitedFor.size()));
        for (const QString& reference : waitedFor)
            waiting[reference].push_back(row);
    }

    while (!ready.empty()) {
        const auto [pass, row] = ready.top();
        ready.pop();
        order.rows[row].position = counter++;
        const QString& name = order.rows[row].indicator;
        if (available.contains(name))
            continue;
        available.insert(name);
        const auto it = waiting.find(name);
        if (it == waiting.end())
            continue;
        for (const int waiter : *it) {
            if (--unsatisfied[waiter] == 0)
                ready.push({waiter > row ? pass : pass + 1, waiter});
        }
        waiting.erase(it);
    }

    bool unresolved = false;
    bool withoutPosition = false;
    QStringList failed;
    for (const OrderRow& row : order.rows) {
        if (row.position && *row.position < 0)
            unresolved = true;
        if (!row.position || *row.position < 0) {
            withoutPosition = true;
            failed.append(row.indicator);
        }
    }
    if (unresolved)
        order.message = QStringLiteral("Ошибка в формулах показателей. Показатели, которые не могут быть вычислены:\r")
            + failed.join(QStringLiteral(", ")) + QLatin1Char('.');
    else if (withoutPosition)
        order.message = unorderedStageMessage(stage);
    return order;
}

CalculationOrder computeCalculationOrder(const IndicatorCatalogue& catalogue)
{
    CalculationOrder order;
    QList<OrderStage> stages{OrderStage::Header, OrderStage::Supply};
    if (catalogue.networkType() == kTwoPipe)
        stages.append(OrderStage::ReturnAndTotal);
    for (const OrderStage stage : stages) {
        order.stages.append(computeStageOrder(catalogue, stage));
        if (!order.stages.last().message.isEmpty()) {
            order.message = order.stages.last().message;
            break;
        }
    }
    return order;
}

namespace {

// The rows an order table holds, in table order.
QList<OrderRow> storedOrder(const QSqlDatabase& calculation, OrderStage stage)
{
    QList<OrderRow> rows;
    QSqlQuery query = selectSql(calculation, QStringLiteral("SELECT [Показатель], [Nприоритета] FROM ")
                                                 + quoteName(orderTableName(stage)) + QStringLiteral(" ORDER BY rowid"));
    while (query.next())
        rows.append({query.value(0).toString(),
                     query.value(1).isNull() ? std::nullopt : std::optional<int>(query.value(1).toInt())});
    return rows;
}

} // namespace

void writeCalculationOrder(const QSqlDatabase& calculation, const CalculationOrder& order)
{
    // An order that is already stored is not written again: opening a file
    // changes nothing in it. A file open for viewing only keeps the order it
    // has; the order is built afresh at every open, and such a file is not run.
    const bool stored = std::all_of(order.stages.begin(), order.stages.end(), [&](const StageOrder& stage) {
        return storedOrder(calculation, stage.stage) == stage.rows;
    });
    if (stored || calculation.connectOptions().contains(QStringLiteral("QSQLITE_OPEN_READONLY")))
        return;
    Transaction transaction(calculation);
    for (const StageOrder& stage : order.stages) {
        const QString table = quoteName(orderTableName(stage.stage));
        execSql(calculation, QStringLiteral("DELETE FROM ") + table);
        QSqlQuery insert = prepareSql(calculation, QStringLiteral("INSERT INTO ") + table
                                                       + QStringLiteral(" ([Показатель], [Nприоритета]) VALUES (?, ?)"));
        for (const OrderRow& row : stage.rows) {
            insert.bindValue(0, row.indicator);
            insert.bindValue(1, row.position ? QVariant(*row.position) : QVariant(QMetaType(QMetaType::Int)));
            execPrepared(insert);
        }
    }
    transaction.commit();
}

QString BuildCalculationOrder(const QSqlDatabase& calculation, const IndicatorCatalogue& catalogue)
{
    const CalculationOrder order = computeCalculationOrder(catalogue);
    writeCalculationOrder(calculation, order);
    return order.message;
}

} // namespace zurm
