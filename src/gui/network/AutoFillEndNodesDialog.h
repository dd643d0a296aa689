#pragma once

#include <QDialog>

namespace zurm {
class DocumentSession;
} // namespace zurm

namespace zurm::gui {

// "Автозаполнение таблицы "Конечные узлы теплосети"": the given heads and the
// temperature difference for a range of end-node rows.
// Modal; stays open after writing so that several ranges can be filled in
// turn; its fields keep their contents between uses. What it writes is an
// input change of the document (the editor's grids re-read from it).
class AutoFillEndNodesDialog : public QDialog {
    Q_OBJECT
public:
    explicit AutoFillEndNodesDialog(DocumentSession& session, QWidget* parent = nullptr);
    ~AutoFillEndNodesDialog() override;

private:
    DocumentSession& session_;
};

} // namespace zurm::gui
