#pragma once

#include <QDialog>
#include <array>

class QLineEdit;

namespace zurm {
class DataModule;
class SchemaData;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

// TSelUzForm: nine fields for node numbers; "Выделить узлы" selects the
// existing nodes among them (and their bounding rectangle) in the work
// database's selection tables. The fields keep their contents between uses.
class SelectNodesDialog : public QDialog {
    Q_OBJECT
public:
    SelectNodesDialog(DataModule& data, QWidget* parent = nullptr);

    // Shows the dialog modally with the caller's caption; true on "Выделить
    // узлы", false on "Закрыть" or when the window is closed otherwise.
    bool run(const QString& caption, const SchemaData& schema, UserDialogs& dialogs);

private:
    void selectNodes(); // miSelUzClick

    DataModule& data_;
    std::array<QLineEdit*, 9> fields_{};
    const SchemaData* schema_ = nullptr;
    UserDialogs* dialogs_ = nullptr;
};

} // namespace zurm::gui
