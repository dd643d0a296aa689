// Loading segment values from a workbook through the main window's command on
// the sample calculation: the checks with the focus on the offending field, a
// load, a cell that is no number, and the fields remembered on closing.
#include "gui/entry/MainWindow.h"
#include "gui/entry/SpreadsheetLoadDialog.h"
#include "gui/network/NetworkEditor.h"
#include "network/ConsumerTableModel.h"
#include "support/ModalWindows.h"
#include "support/PackedWorkbook.h"
#include "support/SampleWindow.h"

#include <QAction>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QtTest>
#include <functional>

using zurm::gui::MainWindow;
using zurm::gui::SpreadsheetLoadDialog;
using zurm::test::SampleWindow;

namespace {

// Runs the command; `inside` gets the dialog when it is shown. False when no dialog came up.
bool runLoad(MainWindow& window, const std::function<void(SpreadsheetLoadDialog&)>& inside)
{
    bool opened = false;
    QTimer inTheDialog; // gone with the function when no dialog came up
    inTheDialog.setSingleShot(true);
    QObject::connect(&inTheDialog, &QTimer::timeout, &window, [&] {
        auto* dialog = window.findChild<SpreadsheetLoadDialog*>(QStringLiteral("TLoadFromMEForm"));
        if (!dialog || !dialog->isVisible())
            return;
        opened = true;
        inside(*dialog);
        dialog->close();
    });
    inTheDialog.start(0);
    window.findChild<QAction*>(QStringLiteral("miDataLoadFromME"))->trigger();
    return opened;
}

void click(QWidget* dialog, const char* button)
{
    dialog->findChild<QPushButton*>(QString::fromLatin1(button))->click();
}

QLineEdit* field(QWidget* dialog, const char* name)
{
    return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
}

const QString kColumnMessage =
    QStringLiteral("Параметр \"Номер колонки в таблице Excel\" должен быть целым положительным числом меньше 257.");

} // namespace

class SpreadsheetLoadDialogTest : public QObject {
    Q_OBJECT
private slots:
    void checksLoadsAndRemembersTheFields()
    {
        SampleWindow setup;
        const auto file = setup.file();
        const QVariantList ids = file.columnValues(QStringLiteral("SELECT id FROM Табл ORDER BY id"));
        const QStringList starts = file.strings(QStringLiteral("SELECT НачУзел FROM Табл ORDER BY id"));
        const QStringList ends = file.strings(QStringLiteral("SELECT КонУзел FROM Табл ORDER BY id"));
        QVERIFY(ids.size() >= 3);
        // Row 1 captions; then one row per segment: its nodes, a flow, and a
        // length column whose second value is text.
        QList<QStringList> rows{{QStringLiteral("s:НачУзел"), QStringLiteral("s:КонУзел"), QStringLiteral("s:Расход"),
                                 QStringLiteral("s:Длина")}};
        for (qsizetype i = 0; i < ids.size(); ++i)
            rows.append({QStringLiteral("n:") + starts[i], QStringLiteral("n:") + ends[i],
                         QStringLiteral("n:%1.5").arg(10 + i),
                         i == 1 ? QStringLiteral("s:сто") : QStringLiteral("n:100")});
        const QString book = setup.docs(QStringLiteral("Участки.xlsx"));
        zurm::test::packSheet(book, QStringLiteral("Данные"), rows);
        QVERIFY(QFileInfo::exists(book));
        const QString lastRow = QString::number(ids.size() + 1);

        auto window = setup.show();
        setup.dialogs.messages.clear();
        setup.dialogs.files.push_back(book);
        const bool opened = runLoad(*window, [&](SpreadsheetLoadDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Загрузить данные из Microsoft Excel"));
            QVERIFY(dialog.workbookField()->isReadOnly());
            click(&dialog, "btFileExcel");
            QCOMPARE(setup.dialogs.fileRequests.value(0).title, QStringLiteral("Выбрать файл Excel"));
            QCOMPARE(setup.dialogs.fileRequests.value(0).filter,
                     QStringLiteral("Книга Excel (*.xlsx)|*.xlsx|Книга Excel 97-2003 (*.xls)|*.xls"));
            QCOMPARE(dialog.workbookField()->text(), book);
            QCOMPARE(dialog.sheetBox()->currentText(), QStringLiteral("Данные"));

            // A name typed in another case takes the list's spelling as the box is left.
            dialog.nameBox(0)->setEditText(QStringLiteral("расхпод"));
            QFocusEvent out(QEvent::FocusOut);
            QApplication::sendEvent(dialog.nameBox(0)->lineEdit(), &out);
            QCOMPARE(dialog.nameBox(0)->currentText(), QStringLiteral("РасхПод"));

            // The checks: the message after the attempt, the focus on the field.
            struct Check {
                const char* first;
                const char* last;
                const char* column;
                QString message;
                QWidget* focus;
            };
            const Check checks[] = {
                {"5", "4", "3",
                 QStringLiteral("Параметр \"Начальная строка таблицы данных\" должен быть меньше или равен параметру "
                                "\"Конечная строка таблицы данных\"."),
                 field(&dialog, "edNachStr")},
                {"2", "65537", "3",
                 QStringLiteral("Параметр \"Конечная строка таблицы данных\" должен быть целым положительным числом "
                                "меньше 65537."),
                 field(&dialog, "edKonStr")},
                {"2", "4", "257", kColumnMessage, dialog.columnField(0)},
            };
            field(&dialog, "edNachUz")->setText(QStringLiteral("1"));
            field(&dialog, "edKonUz")->setText(QStringLiteral("2"));
            for (const Check& check : checks) {
                setup.dialogs.messages.clear();
                field(&dialog, "edNachStr")->setText(QString::fromLatin1(check.first));
                field(&dialog, "edKonStr")->setText(QString::fromLatin1(check.last));
                dialog.columnField(0)->setText(QString::fromLatin1(check.column));
                dialog.workbookField()->setFocus();
                click(&dialog, "btLoad");
                QCOMPARE(setup.dialogs.messages, QStringList{check.message});
                QCOMPARE(dialog.focusWidget(), check.focus);
            }

            // The flows of every segment.
            setup.dialogs.messages.clear();
            field(&dialog, "edKonStr")->setText(lastRow);
            dialog.columnField(0)->setText(QStringLiteral("3"));
            click(&dialog, "btLoad");
            QCOMPARE(setup.dialogs.messages, QStringList{QStringLiteral("Данные загружены успешно.")});
            QVERIFY(setup.dialogs.openedFiles.isEmpty());

            // The lengths stop at the text cell of the second segment (row 3, column 4).
            setup.dialogs.messages.clear();
            dialog.nameBox(1)->setEditText(QStringLiteral("ДлНаУчПод"));
            dialog.columnField(1)->setText(QStringLiteral("4"));
            click(&dialog, "btLoad");
            QCOMPARE(setup.dialogs.messages.size(), 1);
            QVERIFY2(setup.dialogs.messages[0].startsWith(
                         QStringLiteral("Ошибка при чтении данных из ячейки таблицы Excel.\r\rАдрес ячейки:\r"
                                        "Номер строки: 3\rНомер колонки: 4\r\r")),
                     qPrintable(setup.dialogs.messages[0]));
            QCOMPARE(setup.dialogs.openedFiles, QStringList{book});
            QVERIFY(field(&dialog, "edNachStr")->isEnabled());

            // Text in a number box is remembered as nothing.
            field(&dialog, "edKonUz")->setText(QStringLiteral("два"));
        });
        QVERIFY2(opened, "the load window was not shown");
        QCOMPARE(setup.dialogs.messages.size(), 1); // closing said nothing

        for (qsizetype i = 0; i < ids.size(); ++i) {
            QCOMPARE(file.value(QStringLiteral("SELECT РасхПод FROM Табл WHERE id = ?"), {ids[i]}).toDouble(),
                     10 + i + 0.5);
            if (i == 0)
                QCOMPARE(file.value(QStringLiteral("SELECT ДлНаУчПод FROM Табл WHERE id = ?"), {ids[i]}).toDouble(),
                         100.0);
        }
        const zurm::test::FileAccess settings(setup.settingsFile());
        const QString remembered =
            QStringLiteral("SELECT ФайлExcel || '|' || РЛист || '|' || НачСтр || '|' || КонСтр || '|' || КолНачУз"
                           " || '|' || П1 || '|' || Кол1 || '|' || П2 || '|' || Кол2 FROM НастрЗагрИзExcel");
        QCOMPARE(settings.value(remembered).toString(),
                 QStringList({book, QStringLiteral("Данные"), QStringLiteral("2"), lastRow, QStringLiteral("1"),
                              QStringLiteral("РасхПод"), QStringLiteral("3"), QStringLiteral("ДлНаУчПод"),
                              QStringLiteral("4")})
                     .join(QLatin1Char('|')));
        QVERIFY(settings.value(QStringLiteral("SELECT КолКонУз FROM НастрЗагрИзExcel")).isNull());

        // The next opening offers the remembered fields.
        QVERIFY(runLoad(*window, [&](SpreadsheetLoadDialog& dialog) {
            QCOMPARE(dialog.sheetBox()->currentText(), QStringLiteral("Данные"));
            QCOMPARE(dialog.nameBox(1)->currentText(), QStringLiteral("ДлНаУчПод"));
            QCOMPARE(field(&dialog, "edKonUz")->text(), QString());
        }));
    }

    // The network editor's command loads the consumers by one node column:
    // a scheme by its name typed in another case and by its code, an empty
    // cell that empties the field; the editor's grid shows them at once.
    void theNetworkEditorLoadsConsumers()
    {
        SampleWindow setup;
        const QString book = setup.docs(QStringLiteral("Потребители.xlsx"));
        zurm::test::packSheet(book, QStringLiteral("Дома"),
                              {{QStringLiteral("s:Узел"), QStringLiteral("s:Схема"), QStringLiteral("s:Высота")},
                               {QStringLiteral("n:6"), QStringLiteral("s:Насосное смешение"), QStringLiteral("n:15")},
                               {QStringLiteral("n:3"), QStringLiteral("n:1"), QString()}});
        auto window = setup.show();
        setup.dialogs.messages.clear();
        setup.dialogs.files.push_back(book);
        bool loaded = false;
        QString shownScheme;
        zurm::test::whenShown(QStringLiteral("TParTSForm"), [&](QWidget* editor) {
            zurm::test::whenShown(QStringLiteral("TLoadPotrFromMEForm"), [&](QWidget* window) {
                auto* dialog = static_cast<SpreadsheetLoadDialog*>(window);
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Загрузить данные потребителей из Microsoft Excel"));
                QVERIFY(!field(dialog, "edKonUz")->isVisible());
                QVERIFY(dialog->nameBox(5)->isVisible());
                QVERIFY(!dialog->nameBox(6)->isVisible());
                click(dialog, "btFileExcel");
                field(dialog, "edNachStr")->setText(QStringLiteral("2"));
                field(dialog, "edKonStr")->setText(QStringLiteral("3"));
                field(dialog, "edNachUz")->setText(QStringLiteral("1"));
                dialog->nameBox(0)->setEditText(QStringLiteral("схемаприс"));
                dialog->columnField(0)->setText(QStringLiteral("2"));
                dialog->nameBox(1)->setEditText(QStringLiteral("ВысЗд"));
                dialog->columnField(1)->setText(QStringLiteral("3"));
                click(dialog, "btLoad");
                loaded = setup.dialogs.messages == QStringList{QStringLiteral("Данные загружены успешно.")};
                dialog->close();
            });
            editor->findChild<QAction*>(QStringLiteral("miEditLoadPotr"))->trigger();
            const zurm::ConsumerTableModel* model = static_cast<zurm::gui::NetworkEditor*>(editor)->consumerModel();
            shownScheme = model->index(2, zurm::ConsumerTableModel::Scheme).data().toString();
            editor->findChild<QAction*>(QStringLiteral("miSaveClose"))->trigger();
        });
        window->findChild<QAction*>(QStringLiteral("miDataParTS"))->trigger();
        QVERIFY2(loaded, qPrintable(setup.dialogs.messages.join(QLatin1Char('|'))));
        QCOMPARE(shownScheme, QStringLiteral("насосное смешение"));
        QCOMPARE(setup.file().strings(QStringLiteral("SELECT КонУзел || '|' || СхемаПрис || '|' || ifnull(ВысЗд, '-') "
                                                     "FROM Потребители ORDER BY КонУзел")),
                 (QStringList{QStringLiteral("3|1|-"), QStringLiteral("6|3|15.0")}));
    }

    void anEmptySegmentTableOpensNoWindow()
    {
        SampleWindow setup;
        setup.file().exec(QStringLiteral("DELETE FROM Табл"));
        auto window = setup.show();
        setup.dialogs.messages.clear();
        QVERIFY(!runLoad(*window, [](SpreadsheetLoadDialog&) {}));
        QCOMPARE(setup.dialogs.messages,
                 QStringList{
                     QStringLiteral("В таблице с исходными данными о участках сети должна быть хотя бы одна запись.")});
    }
};

QTEST_MAIN(SpreadsheetLoadDialogTest)
#include "spreadsheet_load_dialog_test.moc"
