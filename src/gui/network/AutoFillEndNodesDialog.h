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

// "Автозаполнение таблицы "Конечные узлы теплосети"" (TAutoZapolKonUzForm):
// the given heads and the temperature difference for a range of end-node rows.
// Modal; stays open after writing so that several ranges can be filled in
// turn; its fields keep their contents between uses. What it writes is an
// input change of the document (the editor's grids re-read from it).
//
// The editor calls prepare() each time it opens and exec() from its command.
class AutoFillEndNodesDialog : public QDialog {
    Q_OBJECT
public:
    explicit AutoFillEndNodesDialog(DocumentSession& session, QWidget* parent = nullptr);
    ~AutoFillEndNodesDialog() override;

    // The three check boxes cleared, each enabled only when the editor shows
    // its column of КонМаг (ПНапЗПод, РНапЗ, ДельтаТ); the value fields
    // emptied and disabled; "Записать" disabled.
    void prepare(bool supplyHeadShown, bool availableHeadShown, bool temperatureDifferenceShown);

    // "Записать".
    void save();

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Value {
        QCheckBox* box = nullptr;
        QLineEdit* field = nullptr;
        bool boxWasEnabled = false;
    };
    void boxClicked();
    void setWriting(bool writing);

    DocumentSession& session_;
    QMenuBar* menu_ = nullptr;
    QAction* miSave_ = nullptr;
    QLineEdit* edNomNachStr_ = nullptr;
    QLineEdit* edNomKonStr_ = nullptr;
    Value values_[3]; // ПНапЗПод, РНапЗ, ДельтаТ
    QStatusBar* status_ = nullptr;
    std::unique_ptr<StatusBarProgress> progress_;
    bool writing_ = false;
};

} // namespace zurm::gui
