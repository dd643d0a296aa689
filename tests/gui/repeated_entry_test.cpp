// Repeated data entry on the sample calculation, through the main window's
// command: the marks set by click, Space and the menu, the boxes checked as
// they are left, and the lines written into the marked segments.
#include "base/Sql.h"
#include "gui/entry/CalculationGrid.h"
#include "gui/entry/MainWindow.h"
#include "gui/entry/RepeatedEntryDialog.h"
#include "support/SampleWindow.h"

#include <QAction>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QTimer>
#include <QtTest/QtTest>
#include <functional>

using zurm::gui::MainWindow;
using zurm::gui::RepeatedEntryDialog;
using zurm::test::SampleWindow;

namespace {

void runRepeatedEntry(MainWindow& window, const std::function<void(RepeatedEntryDialog&)>& inside)
{
    bool opened = false;
    QTimer::singleShot(0, &window, [&] {
        auto* dialog = window.findChild<RepeatedEntryDialog*>(QStringLiteral("TVvPovtDForm"));
        if (!dialog || !dialog->isVisible())
            return;
        opened = true;
        inside(*dialog);
        dialog->close();
    });
    window.findChild<QAction*>(QStringLiteral("miDataVvPovtD"))->trigger();
    QVERIFY2(opened, "the repeated data entry window was not shown");
}

void leave(QWidget* widget)
{
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(widget, &out);
}

void trigger(QWidget* dialog, const char* name) { dialog->findChild<QAction*>(QString::fromLatin1(name))->trigger(); }

QString marks(RepeatedEntryDialog& dialog)
{
    QString text;
    for (int row = 0; row < dialog.model()->rowCount(); ++row)
        text += dialog.model()->index(row, 2).data().toString().isEmpty() ? QChar(u'-') : QChar(u'Д');
    return text;
}

} // namespace

class RepeatedEntryTest : public QObject {
    Q_OBJECT
private slots:
    void marksAndLinesReachTheMarkedSegments()
    {
        SampleWindow setup;
        auto window = setup.show();
        QList<qint64> ids;
        runRepeatedEntry(*window, [&](RepeatedEntryDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Ввод повторяющихся данных"));
            auto* grid = dialog.grid();
            const int rows = dialog.model()->rowCount();
            QVERIFY(rows >= 3);
            QCOMPARE(grid->currentIndex().column(), 2);
            for (int row = 0; row < rows; ++row)
                ids.append(dialog.model()->idAt(row));

            // Marks: none for all, a click on the mark cell, Space on the mark
            // column, Space elsewhere does nothing, invert, Space over selected rows.
            trigger(&dialog, "miZapolUNoForAll");
            const QString none(rows, QLatin1Char('-'));
            QCOMPARE(marks(dialog), none);
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                              grid->visualRect(dialog.model()->index(0, 2)).center());
            grid->setCurrentIndex(dialog.model()->index(1, 2));
            QTest::keyClick(grid, Qt::Key_Space);
            grid->setCurrentIndex(dialog.model()->index(2, 0));
            QTest::keyClick(grid, Qt::Key_Space);
            QCOMPARE(marks(dialog), QStringLiteral("ДД") + none.mid(2));
            trigger(&dialog, "miZapolUInvertD");
            QCOMPARE(marks(dialog), QStringLiteral("--") + QString(rows - 2, QChar(u'Д')));
            trigger(&dialog, "miZapolUSelAll");
            QTest::keyClick(grid, Qt::Key_Space);
            QCOMPARE(marks(dialog), QStringLiteral("ДД") + none.mid(2));

            // Line 1: a target typed in other letter case, a source that a
            // number then empties; line 2 copies what line 1 wrote.
            QVERIFY(dialog.targetBox(0)->findText(QStringLiteral("РасхПод")) >= 0);
            QCOMPARE(dialog.sourceBox(0)->findText(QStringLiteral("УПНВВПод")), -1);
            dialog.targetBox(0)->setEditText(QStringLiteral("рАСХпод"));
            leave(dialog.targetBox(0)->lineEdit());
            QCOMPARE(dialog.targetBox(0)->currentText(), QStringLiteral("РасхПод"));
            dialog.sourceBox(0)->setEditText(QStringLiteral("нет такого"));
            leave(dialog.sourceBox(0)->lineEdit());
            QCOMPARE(dialog.sourceBox(0)->currentText(), QString());
            dialog.sourceBox(0)->setEditText(QStringLiteral("ДуПод"));
            dialog.numberField(0)->setText(QStringLiteral("12,5"));
            emit dialog.numberField(0)->editingFinished();
            QCOMPARE(dialog.sourceBox(0)->currentText(), QString());
            dialog.targetBox(1)->setEditText(QStringLiteral("ДлНаУчПод"));
            dialog.sourceBox(1)->setEditText(QStringLiteral("расхпод"));
            trigger(&dialog, "miVvD");
            QCOMPARE(setup.dialogs.messages.value(0), QStringLiteral("Данные введены успешно."));

            // A number that is no number: a typing error naming its field, nothing more written.
            dialog.numberField(2)->setText(QStringLiteral("1.2.3"));
            dialog.targetBox(2)->setEditText(QStringLiteral("ДуПод"));
            trigger(&dialog, "miVvD");
            QCOMPARE(setup.dialogs.messages.value(1),
                     QStringLiteral("Строка 3, поле \"Число\": \"1.2.3\" не является числом. Введите число."));
            QCOMPARE(setup.dialogs.kinds.value(1), zurm::MessageKind::Warning);
            dialog.numberField(2)->clear();
        });
        QCOMPARE(setup.dialogs.messages.size(), 2);
        const auto file = setup.file();
        for (int row = 0; row < ids.size(); ++row) {
            const QVariant flow =
                file.value(QStringLiteral("SELECT РасхПод FROM Табл WHERE id = ?"), {ids[row]});
            const QVariant length =
                file.value(QStringLiteral("SELECT ДлНаУчПод FROM Табл WHERE id = ?"), {ids[row]});
            if (row < 2) {
                QCOMPARE(flow.toDouble(), 12.5);
                QCOMPARE(length.toDouble(), 12.5);
            } else {
                QVERIFY(flow.isNull() || flow.toDouble() != 12.5 || length.toDouble() != 12.5);
            }
        }
        // The number fields keep their text for the next opening; the boxes are emptied.
        runRepeatedEntry(*window, [&](RepeatedEntryDialog& dialog) {
            QCOMPARE(dialog.numberField(0)->text(), QStringLiteral("12,5"));
            QCOMPARE(dialog.targetBox(0)->currentText(), QString());
        });
    }
};

QTEST_MAIN(RepeatedEntryTest)
#include "repeated_entry_test.moc"
