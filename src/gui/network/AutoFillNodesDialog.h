#pragma once

#include <QDialog>

namespace zurm {
class DocumentSession;
} // namespace zurm

namespace zurm::gui {

// "Автозаполнение таблицы "Узлы теплосети"": one geodetic height for a range of
// nodes, optionally adding the missing nodes.
// Modal; stays open after writing so that several ranges can be filled in
// turn; its fields keep their contents between uses. What it writes is an
// input change of the document (the editor's grids re-read from it).
class AutoFillNodesDialog : public QDialog {
    Q_OBJECT
public:
    explicit AutoFillNodesDialog(DocumentSession& session, QWidget* parent = nullptr);
    ~AutoFillNodesDialog() override;

private:
    DocumentSession& session_;
};

} // namespace zurm::gui
