#pragma once

#include "document/Consumers.h"
#include "document/DataModule.h"

#include <QAbstractTableModel>
#include <QList>
#include <QVariantList>
#include <functional>

namespace zurm {

class UserDialogs;

// The consumers of the network as the editor's tab shows them: one row per
// end node of КонМаг (in its id_m order) with what Потребители holds for it.
// A consumer stored for a node that is no longer an end node stays in the
// file and is not shown. Every accepted edit of a cell or of a pressure-regime
// value is written at once, after DataModule::noteInputChanged: these values
// are no part of the network's rows, so there is no row to post later. The
// first value of a node creates its consumer row (and the tables when the
// file has none); a row whose values were all cleared stays.
class ConsumerTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Node, Name, Scheme, SystemLoss, BuildingHeight, MixedTemperature, RequiredHead, ColumnCount };

    ConsumerTableModel(DataModule& data, UserDialogs& dialogs, QObject* parent = nullptr);

    static const QStringList& captions();
    // The field of Потребители behind each column, in column order.
    static const QStringList& fields();

    // Reads the end nodes, their consumers and the pressure-regime values
    // again. Throws Failure.
    void select();

    int node(int row) const { return rows_.value(row).value(Node).toInt(); }
    QVariant value(int row, int column) const { return rows_.value(row).value(column); }

    // The header values as stored (defaults when the file has none).
    const PressureLimits& pressureLimits() const { return limits_; }
    enum class Limit { StaticHead, AllowedPressure, BoilingReserve };
    // Takes typed text for one header value: a number as the grids read it;
    // empty clears the static head and gives the others their default.
    // Refused text is explained and changes nothing. True when the text was
    // taken (also when it equals the stored value).
    bool setPressureLimit(Limit limit, const QString& text);

    // Called with a message when a value cannot go into a cell; without it
    // the message goes to the dialogs.
    std::function<void(const QString&)> refusedInput;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Numbers come as numbers or as typed text; the scheme as its name
    // (letter case ignored) or code; a Null value empties the cell.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void refuse(const QString& message);
    // The value as stored for the column, or nullopt (explained) when refused.
    std::optional<QVariant> storedValue(int column, const QVariant& value);
    QVariant typedNull(int column) const;

    DataModule& data_;
    UserDialogs& dialogs_;
    QList<QVariantList> rows_;
    PressureLimits limits_;
};

// The message for a scheme that is neither one of the four names nor a code.
QString unknownConnectionSchemeMessage(const QString& text);

} // namespace zurm
