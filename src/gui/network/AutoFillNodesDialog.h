#pragma once

#include <QDialog>
#include <memory>

class QAction;
class QCheckBox;
class QLineEdit;
class QMenuBar;
class QStatusBar;

namespace zurm {
class DocumentSession;
} // namespace zurm

namespace zurm::gui {

class StatusBarProgress;

// "Автозаполнение таблицы "Узлы теплосети"" (TAutoZapolUzTSForm): one
// geodetic height for a range of nodes, optionally adding the missing nodes.
// Modal; stays open after writing so that several ranges can be filled in
// turn; its fields keep their contents between uses. What it writes is an
// input change of the document (the editor's grids re-read from it).
//
// The editor's command: prepareAddMissing(manual-fill mode), then exec().
class AutoFillNodesDialog : public QDialog {
    Q_OBJECT
public:
    explicit AutoFillNodesDialog(DocumentSession& session, QWidget* parent = nullptr);
    ~AutoFillNodesDialog() override;

    // Clears "Добавить отсутствующие узлы" and enables it only in the
    // editor's manual-fill mode (nodes are then typed, not drawn).
    void prepareAddMissing(bool manualFillMode);

    // "Записать".
    void save();

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setWriting(bool writing);

    DocumentSession& session_;
    QMenuBar* menu_ = nullptr;
    QLineEdit* edNomNachUz_ = nullptr;
    QLineEdit* edNomKonUz_ = nullptr;
    QLineEdit* edGeodVis_ = nullptr;
    QCheckBox* cbDobOtsutUz_ = nullptr;
    QStatusBar* status_ = nullptr;
    std::unique_ptr<StatusBarProgress> progress_;
    bool writing_ = false;
    bool addMissingWasEnabled_ = false;
};

} // namespace zurm::gui
