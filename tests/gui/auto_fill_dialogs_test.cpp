// The two auto-fill dialogs of the network editor on the sample calculation:
// what they show when they open, typing into the fields and "Записать", the
// rows written, and the dialog staying open with its fields as they were.
#include "gui/network/AutoFillEndNodesDialog.h"
#include "gui/network/AutoFillNodesDialog.h"
#include "support/SampleWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QtTest/QtTest>

using zurm::test::SampleWindow;
using zurm::test::child;

namespace {

void typeInto(QWidget* dialog, const char* field, const QString& text)
{
    auto* edit = child<QLineEdit>(dialog, field);
    edit->clear();
    QTest::keyClicks(edit, text);
}

// A click on the box itself, at the left end of its row.
void clickBox(QWidget* dialog, const char* name)
{
    auto* box = child<QCheckBox>(dialog, name);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

QString fieldText(QWidget* dialog, const char* field) { return child<QLineEdit>(dialog, field)->text(); }

} // namespace

class AutoFillDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void nodeHeights()
    {
        SampleWindow setup;
        auto window = setup.show();
        setup.dialogs.messages.clear();
        zurm::gui::AutoFillNodesDialog dialog(window->session(), window.get());
        dialog.prepareAddMissing(true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Автозаполнение таблицы \"Узлы теплосети\""));
        QVERIFY(dialog.isModal());
        // The sample's nodes are 0 to 6.
        QCOMPARE(fieldText(&dialog, "edNomNachUz") + QLatin1Char('-') + fieldText(&dialog, "edNomKonUz"),
                 QStringLiteral("0-6"));
        QCOMPARE(dialog.focusWidget(), child<QLineEdit>(&dialog, "edNomNachUz"));

        typeInto(&dialog, "edNomNachUz", QStringLiteral("5"));
        typeInto(&dialog, "edNomKonUz", QStringLiteral("8"));
        typeInto(&dialog, "edGeodVis", QStringLiteral(" 12,5 "));
        clickBox(&dialog, "cbDobOtsutUz");
        child<QAction>(&dialog, "miSave")->trigger();

        QCOMPARE(setup.dialogs.messages, QStringList{QStringLiteral("Данные записаны.")});
        QCOMPARE(setup.file().strings(QStringLiteral("SELECT Nуз || ':' || x || ',' || y || ',' || ГеодВыс FROM УзлыТС "
                                                     "WHERE Nуз >= 4 ORDER BY Nуз")),
                 (QStringList{"4:540,280,154.8", "5:380,400,12.5", "6:540,440,12.5", "7:0,0,12.5", "8:0,0,12.5"}));
        // Open, with everything as typed and usable again.
        QVERIFY(dialog.isVisible());
        QCOMPARE(fieldText(&dialog, "edGeodVis"), QStringLiteral(" 12,5 "));
        QVERIFY(child<QCheckBox>(&dialog, "cbDobOtsutUz")->isChecked());
        QVERIFY(child<QCheckBox>(&dialog, "cbDobOtsutUz")->isEnabled());
        QVERIFY(child<QMenuBar>(&dialog, "MainMenu1")->isEnabled());
        QVERIFY(child<QStatusBar>(&dialog, "StatusBar1")->currentMessage().isEmpty());

        // A height that is no number: its field is focused, nothing is written.
        typeInto(&dialog, "edGeodVis", QStringLiteral("12 m"));
        child<QAction>(&dialog, "miSave")->trigger();
        QCOMPARE(setup.dialogs.messages.last(),
                 QStringLiteral("Ошибка в параметре \"записать геодезическую высоту\".\r\rКласс ошибки: "
                                "\"ConversionError\"\rТекст ошибки: \"\"12 m\" не является числом.\""));
        QCOMPARE(dialog.focusWidget(), child<QLineEdit>(&dialog, "edGeodVis"));
        QCOMPARE(child<QLineEdit>(&dialog, "edGeodVis")->selectedText(), QStringLiteral("12 m"));

        // Closed and opened again from the editor outside manual-fill mode.
        child<QAction>(&dialog, "miClose")->trigger();
        QVERIFY(!dialog.isVisible());
        dialog.prepareAddMissing(false);
        dialog.show();
        QCOMPARE(fieldText(&dialog, "edNomNachUz") + QLatin1Char('-') + fieldText(&dialog, "edNomKonUz"),
                 QStringLiteral("5-8"));
        QVERIFY(!child<QCheckBox>(&dialog, "cbDobOtsutUz")->isChecked());
        QVERIFY(!child<QCheckBox>(&dialog, "cbDobOtsutUz")->isEnabled());
        dialog.reject();
    }

    void endNodeValues()
    {
        SampleWindow setup;
        auto window = setup.show();
        setup.dialogs.messages.clear();
        zurm::gui::AutoFillEndNodesDialog dialog(window->session(), window.get());
        dialog.prepare(true, true, true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Автозаполнение таблицы \"Конечные узлы теплосети\""));
        QCOMPARE(fieldText(&dialog, "edNomNachStr") + QLatin1Char('-') + fieldText(&dialog, "edNomKonStr"),
                 QStringLiteral("1-3"));
        auto* miSave = child<QAction>(&dialog, "miSave");
        QVERIFY(!miSave->isEnabled());
        QVERIFY(!child<QLineEdit>(&dialog, "edRNap")->isEnabled());

        clickBox(&dialog, "cbRNap");
        QVERIFY(miSave->isEnabled());
        QVERIFY(child<QLineEdit>(&dialog, "edRNap")->isEnabled());
        QVERIFY(!child<QLineEdit>(&dialog, "edPNapPod")->isEnabled());
        typeInto(&dialog, "edNomNachStr", QStringLiteral("2"));
        typeInto(&dialog, "edRNap", QStringLiteral("15,5"));
        miSave->trigger();

        QCOMPARE(setup.dialogs.messages, QStringList{QStringLiteral("Данные записаны.")});
        QCOMPARE(setup.file().strings(QStringLiteral("SELECT id_m || ':' || ifnull(ПНапЗПод, '-') || ',' || "
                                                     "ifnull(РНапЗ, '-') || ',' || ДельтаТ FROM КонМаг ORDER BY id_m")),
                 (QStringList{"1:-,-,60.0", "2:-,15.5,60.0", "3:-,15.5,60.0"}));
        QVERIFY(dialog.isVisible());
        QVERIFY(child<QCheckBox>(&dialog, "cbRNap")->isChecked());
        QVERIFY(child<QLineEdit>(&dialog, "edRNap")->isEnabled());
        QVERIFY(!child<QLineEdit>(&dialog, "edPNapPod")->isEnabled());
        QVERIFY(child<QLineEdit>(&dialog, "edNomNachStr")->isEnabled());
        QVERIFY(miSave->isEnabled());

        // The editor of a one-pipe network shows only the supply head.
        dialog.prepare(true, false, false);
        QVERIFY(!miSave->isEnabled());
        QCOMPARE(child<QCheckBox>(&dialog, "cbPNapPod")->isEnabled(), true);
        QCOMPARE(child<QCheckBox>(&dialog, "cbRNap")->isEnabled(), false);
        QCOMPARE(child<QCheckBox>(&dialog, "cbRNap")->isChecked(), false);
        QVERIFY(fieldText(&dialog, "edRNap").isEmpty());
        dialog.reject();
    }
};

QTEST_MAIN(AutoFillDialogsTest)
#include "auto_fill_dialogs_test.moc"
