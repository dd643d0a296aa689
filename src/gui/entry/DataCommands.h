#pragma once

#include "document/DataModule.h"

#include <QObject>

class QAction;
class QMenu;
class QToolBar;

namespace zurm::gui {

class CommandHost;
class ParametersDialog;
class RepeatedEntryDialog;

// Commands of the "Данные" menu that work on the open calculation: its
// parameters and the two sorts of the segment rows.
class DataCommands : public QObject {
    Q_OBJECT
public:
    explicit DataCommands(CommandHost& host);
    ~DataCommands() override;

    // "Параметры расчета", created on first use and reused.
    ParametersDialog* parametersDialog();
    void parameters();

    // "Ввод повторяющихся данных", created on first use and reused.
    RepeatedEntryDialog* repeatedEntryDialog();
    void repeatedEntry();

    // "Загрузить данные из Microsoft Excel".
    void loadFromSpreadsheet();

    // "Наладочный расчет": after a run, the window of the inputs' adjustment.
    void adjustment();

    // The two sorts: radio items in the menu, a grouped pair of check buttons
    // on the toolbar; the command keeps the two in agreement.
    void addSortCommands(QMenu* menu, QToolBar* toolbar);
    void showSortChoice(SegmentSort sort);

private:
    // The preamble of a command that edits the input data: refused with the
    // viewing message for a file open for viewing; the typed fields taken and
    // every pending edit saved. False when the command is not to go on.
    bool editableWithEditsSaved();

    void chooseSort(SegmentSort sort);

    CommandHost& host_;
    ParametersDialog* parametersDialog_ = nullptr;
    RepeatedEntryDialog* repeatedEntryDialog_ = nullptr;
    QAction* miSortByNodes_ = nullptr;
    QAction* miSortById_ = nullptr;
    QAction* tbSortByNodes_ = nullptr;
    QAction* tbSortById_ = nullptr;
};

} // namespace zurm::gui
