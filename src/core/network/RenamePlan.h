#pragma once

#include <QAbstractTableModel>
#include <QVariant>
#include <vector>

namespace zurm {

class DataModule;

// The renaming plan (ПереимУз of the work database) as the renaming dialog
// shows it: "Номер узла", "Новый номер узла", "Результат переименования".
// Only the new number is typed; it is written to the plan at once, and the
// stored value is what the renaming checks. No rows are added here.
class RenamePlanModel : public QAbstractTableModel {
    Q_OBJECT
public:
    RenamePlanModel(DataModule& data, QObject* parent = nullptr);

    // Reads the plan again. Throws Failure.
    void select();
    // Empties the plan (the dialog closes). Throws Failure.
    void clear();
    // After a run with an error the new numbers can no longer be typed.
    void setReadOnly(bool readOnly);
    bool readOnly() const { return readOnly_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Throws Failure when the plan cannot be written.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    struct Row {
        int node = 0;
        QVariant newNumber;
        QString result;
    };
    DataModule& data_;
    std::vector<Row> rows_;
    bool readOnly_ = false;
};

} // namespace zurm
