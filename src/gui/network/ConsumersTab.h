#pragma once

#include "network/ConsumerTableModel.h"

#include <QWidget>

class QLineEdit;
class QSplitter;

namespace zurm {
struct FontSizes;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

class CalculationGrid;

// The tab "Потребители" of the network editor: the three values of the
// pressure regime above the consumers at the end nodes, in a key grid of the
// end node (DGPotrKonUz) beside the grid of their values (DGPotr).
class ConsumersTab : public QWidget {
    Q_OBJECT
public:
    ConsumersTab(DataModule& data, UserDialogs& dialogs, QWidget* parent = nullptr);

    ConsumerTableModel* model() const { return model_; }
    CalculationGrid* grid() const { return grid_; }

    // Reads the consumers and the header values again. In a one-pipe network
    // only the name and the building height of a consumer matter: the other
    // columns serve the adjustment of two-pipe inputs. Throws Failure.
    void select(bool twoPipe);
    void applyFontSizes(const FontSizes& sizes);
    // Applies a value still being typed in the grid or in a header field.
    void finishEditing();

private:
    void applyLimit(ConsumerTableModel::Limit limit);
    void showLimits();
    void sizeColumns();
    QLineEdit* field(ConsumerTableModel::Limit limit) const;

    DataModule& data_;
    ConsumerTableModel* model_ = nullptr;
    QSplitter* pair_ = nullptr;
    CalculationGrid* keyGrid_ = nullptr;
    CalculationGrid* grid_ = nullptr;
    QLineEdit* edStatNapor_ = nullptr;
    QLineEdit* edDopDavl_ = nullptr;
    QLineEdit* edZapasKip_ = nullptr;
    double fontScale_ = 1.0;
};

} // namespace zurm::gui
