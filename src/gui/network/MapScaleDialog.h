#pragma once

#include <QDialog>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace zurm {
class DataModule;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

// TKartaScaleForm "Масштаб карты": the length of 100 map points in metres
// (edM), whether segment lengths are computed from it (cbVDl) and a preview
// of the scale bar over a blank map (imKarta). "ОК" stores both; "Отмена"
// stores nothing.
class MapScaleDialog : public QDialog {
    Q_OBJECT
public:
    MapScaleDialog(DataModule& data, UserDialogs& dialogs, QWidget* parent = nullptr);

    // Fills the fields from the calculation, draws the preview and shows the
    // dialog modally; true when the values were stored.
    bool run();

    // The preview as drawn last.
    QImage preview() const;

private:
    // The typed scale, or the message with the field selected and focused.
    std::optional<double> typedScale();
    void repaintPreview(); // miRepaintClick
    void store();          // miOKClick
    void drawPreview(const QVariant& scale);

    DataModule& data_;
    UserDialogs& dialogs_;
    QLineEdit* edM_ = nullptr;
    QCheckBox* cbVDl_ = nullptr;
    QLabel* imKarta_ = nullptr;
};

} // namespace zurm::gui
