// The reference editors opened from the main window: read-only until editing
// is allowed (which ends "Расчет выполнен."), deleting selected rows leaves the
// cursor on the row that followed them, an empty selection is refused; each
// grid model passes the model tester.

#include "gui/entry/CalculationGrid.h"
#include "gui/reference/ReferenceWindow.h"
#include "support/ModalWindows.h"
#include "support/SampleWindow.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QLabel>
#include <QScopeGuard>
#include <QStatusBar>

using zurm::test::SampleWindow;
using zurm::test::whenShown;

class ReferenceEditorTest : public QObject {
    Q_OBJECT
private slots:
    void eachEditorOpensReadOnly()
    {
        SampleWindow setup;
        auto window = setup.show();
        const struct {
            const char* command;
            const char* form;
            int columns;
        } cases[] = {{"miSpravoshDiamTrPr", "TDiamTrPrForm", 2},
                     {"miSpravoshPlVodiOtT", "TPlVodiOtTForm", 2},
                     {"miSpravoshPoprKoefKUdPot", "TPoprKoefKUdPotForm", 3}};
        for (const auto& c : cases) {
            bool shown = false;
            whenShown(QString::fromUtf8(c.form), [&](QWidget* widget) {
                shown = true;
                auto* form = static_cast<zurm::gui::TReferenceForm*>(widget);
                const auto closeAtEnd = qScopeGuard([form] { form->close(); });
                QAbstractItemModelTester tester(form->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
                QCOMPARE(form->model()->columnCount(), c.columns);
                QVERIFY(form->model()->rowCount() > 0);
                QVERIFY(!(form->model()->flags(form->model()->index(0, 0)) & Qt::ItemIsEditable));
                QVERIFY(form->windowTitle().endsWith(QStringLiteral(" - ") + form->model()->info().title));
                QVERIFY(!form->findChild<QAction*>(QStringLiteral("miEditDelRec"))->isEnabled());
            });
            window->findChild<QAction*>(QString::fromUtf8(c.command))->trigger();
            QVERIFY(shown);
        }
    }

    void editingAndDeleting()
    {
        SampleWindow setup;
        auto window = setup.show();
        window->session().data().SetCalculationDoneFlag(true);
        setup.dialogs.answers = {true, true};
        bool shown = false;
        whenShown(QStringLiteral("TDiamTrPrForm"), [&](QWidget* widget) {
            shown = true;
            auto* form = static_cast<zurm::gui::TReferenceForm*>(widget);
            const auto closeAtEnd = qScopeGuard([form] { form->close(); });
            form->miEditDelRecClick();
            QCOMPARE(setup.dialogs.messages.value(0), QStringLiteral("Выделите хотя бы одну запись."));
            form->findChild<QAction*>(QStringLiteral("miEditRazrRed"))->trigger();
            QVERIFY(!window->session().data().calculationDone());
            QVERIFY(form->findChild<QAction*>(QStringLiteral("miEditDelRec"))->isEnabled());
            QVERIFY(form->model()->flags(form->model()->index(0, 0)) & Qt::ItemIsEditable);
            const int before = form->model()->rowCount();
            const QVariant sixth = form->model()->value(5, 0);
            auto* selection = form->grid()->selectionModel();
            for (int row : {2, 4})
                selection->select(form->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            form->miEditDelRecClick();
            QCOMPARE(form->model()->rowCount(), before - 2);
            QCOMPARE(form->grid()->currentIndex().row(), 3);
            QCOMPARE(form->model()->value(3, 0), sixth);
            // Down on the last row adds a row; left without a value, it goes again.
            const int rows = form->model()->rowCount();
            form->grid()->setFocus();
            form->grid()->setCurrentIndex(form->model()->index(rows - 1, 0));
            QTest::keyClick(form->grid(), Qt::Key_Down);
            QCOMPARE(form->model()->rowCount(), rows + 1);
            QCOMPARE(form->grid()->currentIndex().row(), rows);
            QTest::keyClick(form->grid(), Qt::Key_Up);
            QCOMPARE(form->model()->rowCount(), rows);
            QTest::keyClick(form->grid(), Qt::Key_Insert);
            QCOMPARE(form->grid()->currentIndex().row(), rows);
            QVERIFY(form->model()->setData(form->model()->index(rows, 0), QStringLiteral("1200")));
            QTest::keyClick(form->grid(), Qt::Key_Up);
            QCOMPARE(form->model()->rowCount(), rows + 1);
            QCOMPARE(form->model()->value(rows, 0).toInt(), 1200);
        });
        window->findChild<QAction*>(QStringLiteral("miSpravoshDiamTrPr"))->trigger();
        QVERIFY(shown);
        QCOMPARE(setup.dialogs.questions.value(0).section(QLatin1Char('|'), 1),
                 QStringLiteral("Изменение данных этого справочника может привести к изменениям в расчете. "
                                "Разрешить редактирование?"));
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("lbCalculationDone"))->text(), QString());
    }

    // The table's export asks for the name beside the calculation, as the
    // report's export does, and says where it wrote the workbook when the
    // desktop has no application to show it.
    void exportStartsBesideTheCalculationAndNamesTheFile()
    {
        SampleWindow setup;
        auto window = setup.show();
        setup.dialogs.noDefaultApplication = true;
        const QString book = setup.docs(QStringLiteral("Диаметры.xlsx"));
        setup.dialogs.files = {book};
        bool shown = false;
        whenShown(QStringLiteral("TDiamTrPrForm"), [&](QWidget* form) {
            shown = true;
            form->findChild<QAction*>(QStringLiteral("miTablVigrVME"))->trigger();
            form->close();
        });
        window->findChild<QAction*>(QStringLiteral("miSpravoshDiamTrPr"))->trigger();
        QVERIFY(shown);
        QCOMPARE(setup.dialogs.fileRequests.size(), 1);
        QCOMPARE(setup.dialogs.fileRequests[0].initialFolder, QFileInfo(setup.calculation).absolutePath());
        QVERIFY(QFile::exists(book));
        QCOMPARE(setup.dialogs.messages,
                 QStringList{QStringLiteral("Файл \"") + QDir::toNativeSeparators(book)
                             + QStringLiteral("\" записан, но не открыт: на компьютере нет программы, которая "
                                              "открывает такие файлы.")});
        QCOMPARE(setup.dialogs.kinds, QList<zurm::MessageKind>{zurm::MessageKind::Information});
    }
};

QTEST_MAIN(ReferenceEditorTest)
#include "reference_editor_test.moc"
