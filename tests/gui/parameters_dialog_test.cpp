// The calculation parameters on the sample calculation: the command from the
// main window with its check and table rebuild, deleting user indicators and
// where the cursor lands, the options stored on closing, the editor of the
// predefined indicators, and the edits written as they are made. The modal
// dialogs are driven from a timer; every question is answered by a script.
#include "base/Sql.h"
#include "entry/IndicatorTableModel.h"
#include "gui/entry/CalculationGrid.h"
#include "gui/entry/MainWindow.h"
#include "gui/entry/ParametersDialog.h"
#include "gui/entry/PredefinedIndicatorDialog.h"
#include "session/DocumentSession.h"
#include "support/SampleWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QHelpEvent>
#include <QtTest/QtTest>
#include <algorithm>
#include <functional>
#include <memory>

using zurm::IndicatorTableModel;
using zurm::gui::MainWindow;
using zurm::gui::ParametersDialog;
using zurm::gui::PredefinedIndicatorDialog;
using zurm::test::FileAccess;
using zurm::test::SampleWindow;
using zurm::test::child;

namespace {

const QString kClosing = QStringLiteral("\r\rДля исправления ошибки выполните команду:\rДанные / Параметры расчета");

// Runs "Данные / Параметры расчета"; `inside` works on the open dialog, which is
// closed afterwards in any case (by its menu item) so that no test can hang.
void runParametersCommand(MainWindow& window, const std::function<void(ParametersDialog&)>& inside)
{
    bool opened = false;
    QTimer::singleShot(0, &window, [&] {
        auto* dialog = window.findChild<ParametersDialog*>(QStringLiteral("TParRForm"));
        if (!dialog || !dialog->isVisible())
            return;
        opened = true;
        inside(*dialog);
        if (dialog->isVisible())
            dialog->findChild<QAction*>(QStringLiteral("miSaveAndClose"))->trigger();
    });
    window.findChild<QAction*>(QStringLiteral("miDataParR"))->trigger();
    QVERIFY2(opened, "the parameters dialog was not shown");
}

QTableView* userGrid(ParametersDialog& dialog) { return child<QTableView>(&dialog, "DGPok"); }

QString currentShortName(ParametersDialog& dialog)
{
    const QModelIndex current = userGrid(dialog)->currentIndex();
    return current.isValid() ? dialog.userModel()->shortName(current.row()) : QStringLiteral("<none>");
}

void selectRows(QTableView* grid, const QList<int>& rows)
{
    grid->clearSelection();
    for (int row : rows)
        grid->selectionModel()->select(grid->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

int predefinedRow(const IndicatorTableModel* model, const QString& shortName)
{
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->shortName(row) == shortName)
            return row;
    return -1;
}

} // namespace

class ParametersDialogTest : public QObject {
    Q_OBJECT
private slots:
    void hasItsControlsAndMenu()
    {
        SampleWindow setup;
        auto window = setup.show();
        ParametersDialog* dialog = window->parametersDialog();
        QCOMPARE(dialog->objectName(), QStringLiteral("TParRForm"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Параметры расчета"));
        QVERIFY(dialog->minimumWidth() == 640 && dialog->minimumHeight() == 480);
        QCOMPARE(child<QComboBox>(dialog, "cbTipSeti")->itemText(1), QStringLiteral("Двухтрубная"));
        QVERIFY(child<QSplitter>(dialog, "spPok"));
        QStringList items;
        for (QAction* action : dialog->findChildren<QAction*>())
            if (!action->text().isEmpty())
                items.append(action->text());
        for (const char* item : {"Изменить текущий показатель", "Выделить все записи", "Удалить записи",
                                 "Удалить все записи", "Сохранить и закрыть", "?"})
            QVERIFY2(items.contains(QString::fromUtf8(item)), item);

        dialog->prepare();
        QTableView* grid = userGrid(*dialog);
        QCOMPARE(grid->model()->rowCount(), 16);
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("№ п/п"));
        QCOMPARE(grid->model()->headerData(3, Qt::Horizontal).toString(),
                 QStringLiteral("(З)аголовочный, (П)одающий т-провод, (О)братный т-провод, (И)тоговый"));
        QCOMPARE(grid->model()->index(0, 4).data().toString(), QStringLiteral("Да")); // КэШер is entered
        QCOMPARE(grid->model()->index(3, 4).data().toString(), QStringLiteral("Нет")); // ДвнПод is computed
        QTableView* predefined = child<QTableView>(dialog, "DGPredoprPok");
        QCOMPARE(predefined->model()->columnCount(), 8);
        QCOMPARE(predefined->model()->headerData(7, Qt::Horizontal).toString(),
                 QStringLiteral("Используется при расчете 2-трубной сети"));
        QVERIFY(!(predefined->model()->flags(predefined->model()->index(0, 0)) & Qt::ItemIsEditable));
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, 0));
    }

    // The command: commands off while the dialog runs, the dialog's grids in the
    // main window's font sizes, the check after closing, the grids hidden on a
    // faulty catalogue and the cursor on the faulty indicator next time.
    void emptyShortNameFailsTheCheckAndHidesTheGrids()
    {
        SampleWindow setup;
        auto window = setup.show();
        QVERIFY(window->session().viewState().gridsVisible);
        QVERIFY(setup.dialogs.messages.isEmpty());

        runParametersCommand(*window, [&](ParametersDialog& dialog) {
            QVERIFY(!window->menuBar()->isEnabled());
            QVERIFY(!window->findChild<QToolBar*>()->isEnabled());
            QCOMPARE(userGrid(dialog)->font().pointSize(), window->fontSizes().dataCells);
            QCOMPARE(userGrid(dialog)->horizontalHeader()->font().pointSize(), window->fontSizes().columnTitles);
            dialog.appendIndicator();
            QTableView* grid = userGrid(dialog);
            QCOMPARE(grid->currentIndex().row(), 16);
            // A full name but no short name.
            QVERIFY(grid->model()->setData(grid->model()->index(16, 1), QStringLiteral("Новый показатель")));
        });
        QVERIFY(window->menuBar()->isEnabled());
        QVERIFY(window->findChild<QToolBar*>()->isEnabled());
        QCOMPARE(setup.dialogs.messages,
                 QStringList{QStringLiteral("Показатели расчета:\rСокр. наименование показателя: \"\":\r\rПоле "
                                            "\"Сокр. наименование показателя\" должно быть заполнено.")
                             + kClosing});
        QVERIFY(!window->session().indicatorsValid());
        QVERIFY(!child<QTableView>(window.get(), "DGGlavn")->isVisible());
        QVERIFY(!child<QTableView>(window.get(), "DGZag")->isVisible());
        QVERIFY(!child<QTableView>(window.get(), "DGNU")->isVisible());
        QCOMPARE(setup.file().value(QStringLiteral("SELECT count(*) FROM Формулы WHERE НаимПокСокр=''")).toInt(), 1);

        // Next time the grid stands on the faulty row; removing it makes the
        // catalogue sound and the grids come back.
        setup.dialogs.answers = {true};
        runParametersCommand(*window, [&](ParametersDialog& dialog) {
            QTableView* grid = userGrid(dialog);
            QCOMPARE(grid->currentIndex().row(), 16);
            QCOMPARE(grid->model()->index(16, 1).data().toString(), QStringLiteral("Новый показатель"));
            selectRows(grid, {16});
            dialog.deleteSelectedIndicators();
        });
        QCOMPARE(setup.dialogs.messages.size(), 1);
        QVERIFY(window->session().indicatorsValid());
        QVERIFY(child<QTableView>(window.get(), "DGGlavn")->isVisible());
        QVERIFY(window->segmentModel());
    }

    // A row added and left without any value is not kept.
    void anUntouchedNewRowIsDropped()
    {
        SampleWindow setup;
        auto window = setup.show();
        runParametersCommand(*window, [&](ParametersDialog& dialog) {
            QTableView* grid = userGrid(dialog);
            grid->setFocus();
            grid->setCurrentIndex(grid->model()->index(15, 2));
            QTest::keyClick(grid, Qt::Key_Down);
            QCOMPARE(grid->model()->rowCount(), 17);
            QCOMPARE(grid->currentIndex().row(), 16);
            // Moving back up takes the empty row away.
            QTest::keyClick(grid, Qt::Key_Up);
            QTRY_COMPARE(grid->model()->rowCount(), 16);
            QTest::keyClick(grid, Qt::Key_Insert);
            QCOMPARE(grid->model()->rowCount(), 17);
        });
        QVERIFY2(setup.dialogs.messages.isEmpty(), qPrintable(setup.dialogs.messages.join(QLatin1Char('|'))));
        QVERIFY(window->session().indicatorsValid());
        QCOMPARE(setup.file().value(QStringLiteral("SELECT count(*) FROM Формулы")).toInt(), 16);
    }

    void deletingSelectedRowsMovesToTheFollowingRow_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("remaining");
        QTest::newRow("rows 2 and 3 of five") << QList<int>{1, 2} << QStringLiteral("A4")
                                              << QStringList{QStringLiteral("A1"), QStringLiteral("A4"),
                                                             QStringLiteral("A5")};
        QTest::newRow("the last row") << QList<int>{4} << QStringLiteral("A4")
                                      << QStringList{QStringLiteral("A1"), QStringLiteral("A2"),
                                                     QStringLiteral("Кв'3"), QStringLiteral("A4")};
        QTest::newRow("first and last") << QList<int>{0, 4} << QStringLiteral("A4")
                                        << QStringList{QStringLiteral("A2"), QStringLiteral("Кв'3"),
                                                       QStringLiteral("A4")};
        QTest::newRow("the first row") << QList<int>{0} << QStringLiteral("A2")
                                       << QStringList{QStringLiteral("A2"), QStringLiteral("Кв'3"),
                                                      QStringLiteral("A4"), QStringLiteral("A5")};
        QTest::newRow("every row") << QList<int>{0, 1, 2, 3, 4} << QStringLiteral("<none>") << QStringList{};
    }

    void deletingSelectedRowsMovesToTheFollowingRow()
    {
        QFETCH(QList<int>, selected);
        QFETCH(QString, current);
        QFETCH(QStringList, remaining);
        SampleWindow setup;
        {
            FileAccess file = setup.file();
            file.exec(QStringLiteral("DELETE FROM Формулы"));
            const QStringList names = {QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("Кв'3"),
                                       QStringLiteral("A4"), QStringLiteral("A5")};
            for (int i = 0; i < names.size(); ++i)
                file.exec(QStringLiteral("INSERT INTO Формулы VALUES (?, NULL, ?, 'З', 1, NULL, 1)"),
                          {i + 1, names[i]});
        }
        auto window = setup.show();
        ParametersDialog* dialog = window->parametersDialog();
        dialog->prepare();
        QTableView* grid = userGrid(*dialog);
        grid->setCurrentIndex(grid->model()->index(0, 2));
        selectRows(grid, selected);

        QStringList statements;
        zurm::setStatementObserver([&](const QString&, const QString& sql) { statements.append(sql); });
        const qsizetype messages = setup.dialogs.messages.size();
        setup.dialogs.answers = {true};
        dialog->deleteSelectedIndicators();
        zurm::setStatementObserver({});

        QCOMPARE(setup.dialogs.questions.last(), QStringLiteral("ЗУРМ|Удалить выделенные записи?"));
        QCOMPARE(setup.dialogs.messages.size(), messages);
        QCOMPARE(setup.file().strings(QStringLiteral("SELECT НаимПокСокр FROM Формулы ORDER BY Nпп")), remaining);
        QCOMPARE(dialog->userModel()->rowCount(), remaining.size());
        QCOMPARE(currentShortName(*dialog), current);
        QVERIFY(grid->selectionModel()->selectedRows().isEmpty());
        if (selected.contains(2)) { // the quote in the short name is doubled
            const QString prefix = QStringLiteral("DELETE FROM Формулы WHERE НаимПокСокр='Кв''3' AND rowid=");
            QVERIFY(std::any_of(statements.cbegin(), statements.cend(),
                                [&](const QString& sql) { return sql.startsWith(prefix); }));
        }
    }

    // Of two indicators that share a short name by mistake, deleting one keeps
    // the other with its formula.
    void aDuplicateShortNameIsDeletedAlone()
    {
        SampleWindow setup;
        setup.file().exec(QStringLiteral("INSERT INTO Формулы VALUES (50, 'Копия', 'ДуПод', 'П', 1, NULL, 0)"));
        auto window = setup.show();
        ParametersDialog* dialog = window->parametersDialog();
        dialog->prepare();
        QTableView* grid = userGrid(*dialog);
        QCOMPARE(dialog->userModel()->shortName(16), QStringLiteral("ДуПод"));
        selectRows(grid, {16});
        setup.dialogs.answers = {true};
        dialog->deleteSelectedIndicators();
        QCOMPARE(setup.file().strings(QStringLiteral("SELECT НаимПок FROM Формулы WHERE НаимПокСокр='ДуПод'")),
                 QStringList{QStringLiteral("Условный диаметр подающего трубопровода, мм.")});
        QCOMPARE(currentShortName(*dialog), QStringLiteral("ПотНОбр"));
    }

    void deletingNeedsASelectionAndAYes()
    {
        SampleWindow setup;
        auto window = setup.show();
        ParametersDialog* dialog = window->parametersDialog();
        dialog->prepare();
        QTableView* grid = userGrid(*dialog);

        dialog->deleteSelectedIndicators();
        QCOMPARE(setup.dialogs.messages, QStringList{QStringLiteral("Выделите хотя бы одну запись.")});
        QVERIFY(setup.dialogs.questions.isEmpty());

        selectRows(grid, {3});
        dialog->deleteSelectedIndicators(); // answered No
        QCOMPARE(setup.dialogs.questions, QStringList{QStringLiteral("ЗУРМ|Удалить выделенные записи?")});
        QCOMPARE(setup.file().value(QStringLiteral("SELECT count(*) FROM Формулы")).toInt(), 16);

        // "Выделить все записи" selects every row and keeps the current one.
        grid->setCurrentIndex(grid->model()->index(5, 1));
        dialog->selectAllIndicators();
        QCOMPARE(grid->selectionModel()->selectedRows().size(), 16);
        QCOMPARE(grid->currentIndex(), grid->model()->index(5, 1));
    }

    void deletingAllRowsAsksFirst_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("rows");
        QTest::newRow("No") << false << 16;
        QTest::newRow("Yes") << true << 0;
    }

    void deletingAllRowsAsksFirst()
    {
        QFETCH(bool, answer);
        QFETCH(int, rows);
        SampleWindow setup;
        auto window = setup.show();
        ParametersDialog* dialog = window->parametersDialog();
        dialog->prepare();
        setup.dialogs.answers = {answer};
        dialog->findChild<QAction*>(QStringLiteral("miPokDeleteAll"))->trigger();
        QCOMPARE(setup.dialogs.questions, QStringList{QStringLiteral("ЗУРМ|Удалить все записи?")});
        QCOMPARE(setup.file().value(QStringLiteral("SELECT count(*) FROM Формулы")).toInt(), rows);
        QCOMPARE(dialog->userModel()->rowCount(), rows);
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    void designModeSetsBothHeadNodesToTheStartNode_data()
    {
        QTest::addColumn<bool>("designMode");
        QTest::addColumn<int>("supplyNode");
        QTest::addColumn<int>("availableNode");
        QTest::newRow("design mode on") << true << 0 << 0;
        QTest::newRow("design mode off") << false << 3 << 4;
    }

    void designModeSetsBothHeadNodesToTheStartNode()
    {
        QFETCH(bool, designMode);
        QFETCH(int, supplyNode);
        QFETCH(int, availableNode);
        SampleWindow setup;
        setup.file().exec(QStringLiteral("UPDATE НазвРасч SET NузПНапПод=3, NузРНап=4, NНачУз=0"));
        auto window = setup.show();
        runParametersCommand(*window, [&](ParametersDialog& dialog) {
            QCOMPARE(child<QComboBox>(&dialog, "cbTipSeti")->currentIndex(), 1);
            QVERIFY(!child<QCheckBox>(&dialog, "cbOprD")->isChecked());
            child<QCheckBox>(&dialog, "cbOprD")->setChecked(designMode);
            child<QCheckBox>(&dialog, "cbRasRash")->setChecked(true);
            dialog.close(); // the window's close button stores as well
        });
        QVERIFY2(setup.dialogs.messages.isEmpty(), qPrintable(setup.dialogs.messages.join(QLatin1Char('|'))));
        FileAccess file = setup.file();
        QCOMPARE(file.value(QStringLiteral("SELECT ОпрД FROM НазвРасч")).toBool(), designMode);
        QCOMPARE(file.value(QStringLiteral("SELECT РасчРасх FROM НазвРасч")).toBool(), true);
        QCOMPARE(file.value(QStringLiteral("SELECT ТипСети FROM НазвРасч")).toInt(), 1);
        QCOMPARE(file.value(QStringLiteral("SELECT NузПНапПод FROM НазвРасч")).toInt(), supplyNode);
        QCOMPARE(file.value(QStringLiteral("SELECT NузРНап FROM НазвРасч")).toInt(), availableNode);
        QCOMPARE(child<QLineEdit>(window.get(), "edNuzPNapPod")->text(), QString::number(supplyNode));
        QCOMPARE(child<QLineEdit>(window.get(), "edNuzRNap")->text(), QString::number(availableNode));
        // The rebuilt tables follow the design mode; the node fields are given
        // only while it is off.
        QCOMPARE(file.columnNames(QStringLiteral("Табл")).contains(QStringLiteral("УПНВВПод")), designMode);
        QCOMPARE(child<QLineEdit>(window.get(), "edNuzPNapPod")->isEnabled(), !designMode);
        QVERIFY(child<QTableView>(window.get(), "DGGlavn")->isVisible());
        QVERIFY(!window->session().data().calculationDone());
    }

    // One-pipe with return indicators fails the check on closing; the tables keep
    // their columns and the grid stands on the first faulty indicator next time.
    void switchingToOnePipeWithAReturnIndicatorFails()
    {
        SampleWindow setup;
        auto window = setup.show();
        const QStringList columnsBefore = setup.file().columnNames(QStringLiteral("Табл"));
        QVERIFY(columnsBefore.contains(QStringLiteral("ДуОбр")));
        runParametersCommand(*window, [&](ParametersDialog& dialog) {
            child<QComboBox>(&dialog, "cbTipSeti")->setCurrentIndex(0);
        });
        QCOMPARE(setup.dialogs.messages,
                 QStringList{QStringLiteral("Показатели расчета:\rСокр. наименование показателя: \"ДуОбр\":\r\rПри "
                                            "расчете однотрубных сетей поле \"Заголовочный (З), подающий т-провод "
                                            "(П), обратный т-провод (О), итоговый (И)\" должно содержать одно из "
                                            "значений: З, П.")
                             + kClosing});
        QCOMPARE(setup.file().value(QStringLiteral("SELECT ТипСети FROM НазвРасч")).toInt(), 0);
        QCOMPARE(setup.file().columnNames(QStringLiteral("Табл")), columnsBefore);
        QVERIFY(!window->session().indicatorsValid());
        QVERIFY(!child<QTableView>(window.get(), "DGGlavn")->isVisible());

        runParametersCommand(*window, [&](ParametersDialog& dialog) {
            QCOMPARE(child<QComboBox>(&dialog, "cbTipSeti")->currentIndex(), 0);
            QCOMPARE(currentShortName(dialog), QStringLiteral("ДуОбр"));
            child<QComboBox>(&dialog, "cbTipSeti")->setCurrentIndex(1);
        });
        QCOMPARE(setup.dialogs.messages.size(), 1);
        QVERIFY(window->session().indicatorsValid());
        QVERIFY(child<QTableView>(window.get(), "DGGlavn")->isVisible());
    }

    void predefinedEditorEnablesWhatMayChange_data()
    {
        QTest::addColumn<QString>("shortName");
        QTest::addColumn<bool>("fullName");
        QTest::addColumn<bool>("entered");
        QTest::addColumn<bool>("formula");
        QTest::addColumn<int>("type");
        QTest::newRow("РасхПод") << QStringLiteral("РасхПод") << true << false << false << 1;
        QTest::newRow("РасхОбр") << QStringLiteral("РасхОбр") << true << true << false << 2;
        QTest::newRow("ДлНаУчОбр") << QStringLiteral("ДлНаУчОбр") << false << true << false << 2;
        QTest::newRow("ПотНОтИКонПод") << QStringLiteral("ПотНОтИКонПод") << false << false << true << 1;
        QTest::newRow("ПотНОтИКонОбр") << QStringLiteral("ПотНОтИКонОбр") << false << false << true << 2;
        QTest::newRow("МаксДлПод") << QStringLiteral("МаксДлПод") << false << false << false << 0;
    }

    void predefinedEditorEnablesWhatMayChange()
    {
        QFETCH(QString, shortName);
        QFETCH(bool, fullName);
        QFETCH(bool, entered);
        QFETCH(bool, formula);
        QFETCH(int, type);
        SampleWindow setup;
        auto window = setup.show();
        ParametersDialog* dialog = window->parametersDialog();
        dialog->prepare();
        PredefinedIndicatorDialog* editor = dialog->predefinedEditor();
        QCOMPARE(editor->objectName(), QStringLiteral("TPredoprPokEditCurr"));
        QCOMPARE(editor->windowTitle(), QStringLiteral("Предопределенные показатели: Изменить текущий показатель"));
        const int row = predefinedRow(dialog->predefinedModel(), shortName);
        QVERIFY(row >= 0);
        editor->load(*dialog->predefinedModel(), row);
        QCOMPARE(child<QLineEdit>(editor, "edSokrNaimPok")->text(), shortName);
        QCOMPARE(child<QLineEdit>(editor, "edNaimPok")->isEnabled(), fullName);
        QCOMPARE(child<QCheckBox>(editor, "cbVvodPols")->isEnabled(), entered);
        QCOMPARE(child<QLineEdit>(editor, "edFormula")->isEnabled(), formula);
        QVERIFY(child<QCheckBox>(editor, "cbVivVOtsh")->isEnabled());
        QVERIFY(!child<QLineEdit>(editor, "edSokrNaimPok")->isEnabled());
        QVERIFY(!child<QWidget>(editor, "rgTipPok")->isEnabled());
        QVERIFY(!child<QCheckBox>(editor, "cb1trTS")->isEnabled());
        QVERIFY(!child<QCheckBox>(editor, "cb2trTS")->isEnabled());
        QCOMPARE(editor->typeIndex(), type);
    }

    // The note follows the box; "OK" writes the enabled controls, "Отмена" nothing.
    void predefinedEditorNoteAndWriting()
    {
        SampleWindow setup;
        auto window = setup.show();
        ParametersDialog* dialog = window->parametersDialog();
        dialog->prepare();
        PredefinedIndicatorDialog* editor = dialog->predefinedEditor();
        IndicatorTableModel* model = dialog->predefinedModel();
        auto* note = child<QLabel>(editor, "lbRashObr");
        auto* entered = child<QCheckBox>(editor, "cbVvodPols");

        const struct {
            const char* name;
            const char* note;
        } cases[] = {
            {"РасхОбр", "РасхОбр будет вычислятся по формуле:\nРасхОбр = <РасхПод>."},
            {"ДлНаУчОбр", "ДлНаУчОбр будет вычислятся по формуле:\nДлНаУчОбр = <ДлНаУчПод>."},
        };
        for (const auto& c : cases) {
            editor->load(*model, predefinedRow(model, QString::fromUtf8(c.name)));
            QVERIFY(!entered->isChecked());
            QCOMPARE(note->text(), QString::fromUtf8(c.note));
            entered->click();
            QCOMPARE(note->text(), QString());
            entered->click();
            QCOMPARE(note->text(), QString::fromUtf8(c.note));
        }
        editor->load(*model, predefinedRow(model, QStringLiteral("РасхПод")));
        QCOMPARE(note->text(), QString());

        // OK on РасхОбр: entered and a new full name are written.
        editor->load(*model, predefinedRow(model, QStringLiteral("РасхОбр")));
        entered->setChecked(true);
        child<QLineEdit>(editor, "edNaimPok")->setText(QStringLiteral("Расход в обратке, т/ч."));
        child<QPushButton>(editor, "btOK")->click();
        FileAccess file = setup.file();
        QCOMPARE(file.value(QStringLiteral("SELECT ВводПольз FROM ФлыПредопрПок WHERE НаимПокСокр='РасхОбр'")).toBool(),
                 true);
        QCOMPARE(file.value(QStringLiteral("SELECT НаимПок FROM ФлыПредопрПок WHERE НаимПокСокр='РасхОбр'")).toString(),
                 QStringLiteral("Расход в обратке, т/ч."));
        const int row = predefinedRow(model, QStringLiteral("РасхОбр"));
        QCOMPARE(model->index(row, model->fieldIndex(QStringLiteral("ВводПольз"))).data().toString(),
                 QStringLiteral("Да"));

        // Отмена on ПотНОтИКонПод: the formula stays.
        const QVariant formula =
            file.value(QStringLiteral("SELECT Формула FROM ФлыПредопрПок WHERE НаимПокСокр='ПотНОтИКонПод'"));
        editor->load(*model, predefinedRow(model, QStringLiteral("ПотНОтИКонПод")));
        child<QLineEdit>(editor, "edFormula")->setText(QStringLiteral("<ПотНОтИНачПод>"));
        child<QPushButton>(editor, "btCancel")->click();
        QCOMPARE(file.value(QStringLiteral("SELECT Формула FROM ФлыПредопрПок WHERE НаимПокСокр='ПотНОтИКонПод'")),
                 formula);
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    void userEditsAreWrittenAtOnce_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("input");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("refused");
        QTest::newRow("flag off") << QStringLiteral("ВводПольз") << QVariant(false) << QVariant(0) << false;
        QTest::newRow("flag as text") << QStringLiteral("ВывВОтчТабл") << QVariant(QStringLiteral("Нет"))
                                      << QVariant(0) << false;
        QTest::newRow("full name") << QStringLiteral("НаимПок") << QVariant(QStringLiteral("Шероховатость"))
                                   << QVariant(QStringLiteral("Шероховатость")) << false;
        QTest::newRow("empty formula is Null") << QStringLiteral("Формула") << QVariant(QString()) << QVariant()
                                               << false;
        QTest::newRow("position") << QStringLiteral("Nпп") << QVariant(40.0) << QVariant(40) << false;
        QTest::newRow("position out of range") << QStringLiteral("Nпп") << QVariant(300.0) << QVariant(1) << true;
        QTest::newRow("type of two letters") << QStringLiteral("ТипПок") << QVariant(QStringLiteral("ЗП"))
                                             << QVariant(QStringLiteral("З")) << true;
    }

    void userEditsAreWrittenAtOnce()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, input);
        QFETCH(QVariant, stored);
        QFETCH(bool, refused);
        SampleWindow setup;
        auto window = setup.show();
        ParametersDialog* dialog = window->parametersDialog();
        dialog->prepare();
        IndicatorTableModel* model = dialog->userModel();
        const QModelIndex cell = model->index(0, model->fieldIndex(field)); // КэШер
        QCOMPARE(model->setData(cell, input), !refused);
        QCOMPARE(setup.dialogs.messages.size(), refused ? 1 : 0);
        const QVariant value =
            setup.file().value(QStringLiteral("SELECT ") + field + QStringLiteral(" FROM Формулы WHERE НаимПокСокр='КэШер'"));
        QCOMPARE(value.isNull(), !stored.isValid());
        if (stored.isValid())
            QCOMPARE(value.toString(), stored.toString());
        // The grid shows what the file holds.
        QCOMPARE(model->value(0, field).isNull(), value.isNull());
        QCOMPARE(model->value(0, field).toString(), value.toString());
    }

    // Resizing the window applies the edit in progress.
    void resizingAppliesAPendingEdit()
    {
        SampleWindow setup;
        auto window = setup.show();
        ParametersDialog* dialog = window->parametersDialog();
        dialog->prepare();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QTableView* grid = userGrid(*dialog);
        const QModelIndex cell = grid->model()->index(1, 1);
        grid->setCurrentIndex(cell);
        grid->edit(cell);
        auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(cell) ? grid->indexWidget(cell)
                                                                         : QApplication::focusWidget());
        QVERIFY(editor);
        editor->setText(QStringLiteral("Доля местных потерь"));
        dialog->resize(dialog->width() + 40, dialog->height() + 40);
        QTRY_COMPARE(setup.file()
                         .value(QStringLiteral("SELECT НаимПок FROM Формулы WHERE НаимПокСокр='ДолМестПот'"))
                         .toString(),
                     QStringLiteral("Доля местных потерь"));
        QVERIFY(!qobject_cast<zurm::gui::CalculationGrid*>(grid)->editing());
        dialog->close();
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    // The dialog takes most of the screen, the formula column the width the
    // others leave, and a long formula is read whole in its tooltip and edited
    // whole in an editor as wide as the grid.
    void formulasAreShownAndEditedWhole()
    {
        SampleWindow setup;
        const QString formula = QStringLiteral("<РасхПод>/3.6/<ПлВодыПод>/(3.14159265358979*<ДвнПод>*<ДвнПод>/4000000)"
                                               "+0*<КэШер>+0*<ДолМестПот>+0*<ДлНаУчПод>");
        setup.file().exec(QStringLiteral("UPDATE Формулы SET Формула=? WHERE НаимПокСокр='СкорПод'"), {formula});
        auto window = setup.show();
        runParametersCommand(*window, [&](ParametersDialog& dialog) {
            const QRect screen = dialog.screen()->availableGeometry();
            QVERIFY(dialog.width() >= screen.width() * 8 / 10 && dialog.width() <= screen.width());
            QVERIFY(dialog.height() >= screen.height() * 8 / 10 && dialog.height() <= screen.height());
            auto* grid = child<QTableView>(&dialog, "DGPok");
            auto* model = dialog.userModel();
            const int column = model->fieldIndex(QStringLiteral("Формула"));
            int total = 0;
            for (int c = 0; c < model->columnCount(); ++c)
                total += grid->isColumnHidden(c) ? 0 : grid->columnWidth(c);
            QVERIFY(grid->columnWidth(column) >= 360);
            QVERIFY(total >= grid->viewport()->width());
            int row = 0;
            while (row < model->rowCount() && model->shortName(row) != QStringLiteral("СкорПод"))
                ++row;
            const QModelIndex cell = model->index(row, column);
            grid->scrollTo(cell);
            const QRect rect = grid->visualRect(cell);
            QHelpEvent tip(QEvent::ToolTip, rect.center(), grid->viewport()->mapToGlobal(rect.center()));
            QApplication::sendEvent(grid->viewport(), &tip);
            QVERIFY2(QToolTip::text().contains(formula.toHtmlEscaped()), qPrintable(QToolTip::text()));
            grid->setCurrentIndex(cell);
            grid->edit(cell);
            QLineEdit* editor = nullptr;
            for (QLineEdit* candidate : grid->viewport()->findChildren<QLineEdit*>())
                if (candidate->isVisible())
                    editor = candidate;
            QVERIFY(editor);
            QCOMPARE(editor->text(), formula);
            QVERIFY(editor->width() > rect.width());
        });
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    void withoutACalculationNothingOpens()
    {
        SampleWindow setup;
        auto window = std::make_unique<MainWindow>(QString(), &setup.dialogs);
        // Not shown: no start-up, so no calculation is open.
        bool shown = false;
        QTimer::singleShot(0, window.get(), [&] {
            if (auto* dialog = window->findChild<ParametersDialog*>(); dialog && dialog->isVisible()) {
                shown = true;
                dialog->close();
            }
        });
        window->findChild<QAction*>(QStringLiteral("miDataParR"))->trigger();
        QVERIFY(!shown);
        QVERIFY(window->menuBar()->isEnabled());
    }
};

QTEST_MAIN(ParametersDialogTest)
#include "parameters_dialog_test.moc"
