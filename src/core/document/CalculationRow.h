#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

namespace zurm {

// The calculation's own row (table НазвРасч): its name, the network
// parameters, the nodes of the given heads, the network status and the
// calculation-done flag. Every read and write of that row goes through here.
// A file holds one such row; where a damaged one holds more, the first
// (lowest rowid) is the calculation's.
class CalculationRow {
public:
    explicit CalculationRow(QSqlDatabase db) : db_(std::move(db)) {}

    // The columns of the row.
    static inline const QString kName = QStringLiteral("НазвРасч");
    static inline const QString kNetworkType = QStringLiteral("ТипСети");
    static inline const QString kDesignMode = QStringLiteral("ОпрД");
    static inline const QString kDistributeFlows = QStringLiteral("РасчРасх");
    static inline const QString kStartNode = QStringLiteral("NНачУз");
    static inline const QString kSupplyHeadNode = QStringLiteral("NузПНапПод");
    static inline const QString kAvailableHeadNode = QStringLiteral("NузРНап");
    static inline const QString kNetworkStatus = QStringLiteral("ПарТСКорр");
    static inline const QString kNetworkStatusText = QStringLiteral("ПарТСОш");
    static inline const QString kCalculationDone = QStringLiteral("РВ");
    static inline const QString kMap = QStringLiteral("Карта");
    static inline const QString kMapScale = QStringLiteral("МасштабКарты");
    static inline const QString kLengthsFromMapScale = QStringLiteral("ВычДлПоМасш");

    // The values of the columns in the row, in the order asked; empty when the
    // table has no row. Throws Failure.
    QVariantList read(const QStringList& columns) const;
    // One value; invalid when the table has no row.
    QVariant value(const QString& column) const;
    // Writes the values into the row (nothing when there is none). Throws Failure.
    void write(const QStringList& columns, const QVariantList& values) const;
    void setValue(const QString& column, const QVariant& value) const;

    // The network type as stored (null, or not 0 or 1, in a damaged file) and
    // whether the diameters are determined; defaults when there is no row.
    struct NetworkParameters {
        QVariant networkType;
        bool designMode = false;
        int type() const { return networkType.toInt(); }
    };
    NetworkParameters networkParameters() const;

    // The calculation name; an empty name is stored as Null. Writes nothing
    // when the stored name is the same.
    void storeName(const QString& name) const;

    // Design mode gives the heads at the start node: both head-node columns
    // take the start node. Returns the start node as stored (null when not
    // set); does nothing and returns an invalid value outside design mode.
    QVariant placeGivenHeadsAtStartNode() const;

private:
    QSqlDatabase db_;
};

} // namespace zurm
