#pragma once

#include "indicators/IndicatorCatalogue.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace zurm {

// The indicator dependency pairs (referring name, referred name) of one stage.
// Kept in memory: the pairs are only needed while the order is being built.
class IndicatorDependencies {
public:
    void clear();
    // Adds the pair unless it is held already (exact comparison of both names).
    void add(const QString& shortName, const QString& dependsOn);
    bool hasAny(const QString& shortName) const;
    // The names `shortName` refers to, each once, in the order first recorded.
    const QStringList& of(const QString& shortName) const;
    qsizetype pairCount() const { return pairCount_; }

private:
    struct Entry {
        QStringList names;
        QSet<QString> seen;
    };
    QHash<QString, Entry> byName_;
    qsizetype pairCount_ = 0;
};

// Records every complete reference "<X>" of a formula (comments already
// removed) as the pair (shortName, X); a "<" without a closing ">" records nothing.
void RecordDependencies(IndicatorDependencies& dependencies, const QString& shortName, const QString& formula);

enum class OrderStage { Header, Supply, ReturnAndTotal };
QString orderTableName(OrderStage stage); // ПриорЗ, ПриорП, ПриорОИ

// One row of an order table; no position stands for an indicator whose ВводПольз is empty.
struct OrderRow {
    QString indicator;
    std::optional<int> position;
    bool operator==(const OrderRow&) const = default;
};

struct StageOrder {
    OrderStage stage = OrderStage::Header;
    QList<OrderRow> rows; // in table order: the fixed rows, then the members
    QString message;      // empty when every member got a position
};

struct CalculationOrder {
    QList<StageOrder> stages; // the stages that ran, header first
    QString message;          // the message of the stage that failed, empty on success
};

// One stage: the fixed rows at 0, the members in catalogue order, then the
// positions of the computed members by the resolution passes.
StageOrder computeStageOrder(const IndicatorCatalogue& catalogue, OrderStage stage);
// Header, supply and (two-pipe only) return and total stages, stopping after the
// first stage that fails.
CalculationOrder computeCalculationOrder(const IndicatorCatalogue& catalogue);
// Replaces the rows of the order tables of the stages that ran, in one transaction.
void writeCalculationOrder(const QSqlDatabase& calculation, const CalculationOrder& order);

// Computes and writes the calculation order; returns the message of a failed
// stage, empty on success. A one-pipe network leaves ПриорОИ as it was.
QString BuildCalculationOrder(const QSqlDatabase& calculation, const IndicatorCatalogue& catalogue);

} // namespace zurm
