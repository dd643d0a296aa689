// The program settings window through the main window: what it shows, "OK"
// with its checks, "Отмена", and the font sizes applied to the grids and
// captions afterwards.
#include "gui/entry/CaptionHeaderView.h"
#include "gui/entry/MainWindow.h"
#include "support/ModalWindows.h"
#include "support/SampleWindow.h"
#include "support/SettingsMessages.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTableView>
#include <QPushButton>
#include <QtTest/QtTest>

using zurm::test::FileAccess;
using zurm::test::SampleWindow;
using zurm::test::conversionReport;
using zurm::test::kFontMessage;
using zurm::test::kPrecisionMessage;
using zurm::test::whenShown;

namespace {

const char* const kFields[] = {"edFSizeTD", "edFSizeZagColTD", "edFSizeNaimPok", "edFSizeGr", "edTPok"};

QStringList storedRow(const SampleWindow& setup)
{
    FileAccess file(setup.settingsFile());
    QStringList row;
    for (const char* field : {"РШрифтаВТД", "РШрифтаВЗагКолТД", "РШрифтаНаимПок", "РШрифтаГр", "ТочностьЧиселВОтч",
                              "СохрТекстРас"}) {
        const QVariant v = file.value(QStringLiteral("SELECT ") + QString::fromUtf8(field) + QStringLiteral(" FROM Настройки"));
        row.append(v.isNull() ? QStringLiteral("Null") : v.toString());
    }
    return row;
}

void typeInto(QWidget* dialog, const QStringList& texts)
{
    for (int i = 0; i < texts.size(); ++i)
        dialog->findChild<QLineEdit*>(QString::fromUtf8(kFields[i]))->setText(texts[i]);
}

void choose(QWidget* dialog, const char* item)
{
    dialog->findChild<QAction*>(QString::fromUtf8(item))->trigger();
}

// Opens the settings window, lets act fill it in, and closes it with "Отмена"
// if act left it open. Returns whether it was still open after act.
bool runSettings(zurm::gui::MainWindow& window, const std::function<void(QWidget*)>& act)
{
    bool stayedOpen = false;
    bool shown = false;
    whenShown(QStringLiteral("TNastrProgForm"), [&](QWidget* dialog) {
        shown = true;
        act(dialog);
        stayedOpen = dialog->isVisible();
        if (stayedOpen)
            choose(dialog, "miCancel");
    });
    window.findChild<QAction*>(QStringLiteral("miNastrNP"))->trigger();
    if (!shown)
        qWarning("the settings window was not shown");
    return stayedOpen;
}

int pointSize(const QWidget* widget) { return widget->font().pointSize(); }

} // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheStoredValues()
    {
        SampleWindow setup;
        setup.updateSettings(QStringLiteral("РШрифтаВТД=12, РШрифтаВЗагКолТД=NULL, РШрифтаНаимПок=9, "
                                            "РШрифтаГр=20, ТочностьЧиселВОтч=NULL, СохрТекстРас=0"));
        auto window = setup.show();
        QStringList shownTexts;
        bool checked = true;
        QString focused;
        QStringList captions;
        runSettings(*window, [&](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Настройки программы"));
            for (const char* name : kFields)
                shownTexts.append(dialog->findChild<QLineEdit*>(QString::fromUtf8(name))->text());
            checked = dialog->findChild<QCheckBox*>(QStringLiteral("cbSaveTXTRas"))->isChecked();
            if (QWidget* focus = dialog->focusWidget())
                focused = focus->objectName();
            for (QLabel* label : dialog->findChildren<QLabel*>())
                captions.append(label->text());
            for (QGroupBox* box : dialog->findChildren<QGroupBox*>())
                captions.append(box->title());
            captions.append(dialog->findChild<QCheckBox*>(QStringLiteral("cbSaveTXTRas"))->text());
            for (QAction* action : dialog->findChild<QMenuBar*>()->actions())
                captions.append(action->objectName() + QLatin1Char('=') + action->text());
            for (QPushButton* button : dialog->findChildren<QPushButton*>())
                captions.append(button->objectName() + QLatin1Char('=') + button->text());
        });
        QCOMPARE(shownTexts, (QStringList{"12", "", "9", "20", ""}));
        QVERIFY(!checked);
        QCOMPARE(focused, QStringLiteral("edFSizeTD"));
        for (const char* caption :
             {"В таблицах данных:", "В заголовках колонок таблиц данных:", "Наименований показателей:",
              "В надписях на графиках:", "зн. дробной части числа", "Размер шрифта", "Точность показателей в отчетах",
              "Сохранять текст расчета", "miOK=OK", "miCancel=Отмена", "miHlp=?", "btOK=OK", "btCancel=Отмена"})
            QVERIFY2(captions.contains(QString::fromUtf8(caption)), caption);
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    // OK: each row types five texts and the check box off; the stored row
    // before is 10, 10, 10, 10, 3, 1.
    void okChecksTheTypedValues_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<bool>("stays");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("stored");
        QTest::newRow("8 accepted") << QStringList{"8", "8", "8", "8", "0"} << false << QStringList{}
                                    << QStringList{"8", "8", "8", "8", "0", "0"};
        QTest::newRow("20 accepted") << QStringList{"20", "20", "20", "20", "7"} << false << QStringList{}
                                     << QStringList{"20", "20", "20", "20", "7", "0"};
        QTest::newRow("7 refused, precision kept") << QStringList{"12", "7", "12", "12", "5"} << true
                                                   << QStringList{kFontMessage}
                                                   << QStringList{"10", "10", "10", "10", "5", "0"};
        QTest::newRow("21 refused, precision kept") << QStringList{"21", "12", "12", "12", "6"} << true
                                                    << QStringList{kFontMessage}
                                                    << QStringList{"10", "10", "10", "10", "6", "0"};
        QTest::newRow("precision 8 refused")
            << QStringList{"11", "11", "11", "11", "8"} << true
            << QStringList{kPrecisionMessage}
            << QStringList{"11", "11", "11", "11", "3", "0"};
        QTest::newRow("12.5 is no integer")
            << QStringList{"12.5", "11", "11", "11", "2"} << true
            << QStringList{conversionReport(QStringLiteral("Размер шрифта в таблицах данных"), QStringLiteral("12.5"))}
            << QStringList{"10", "10", "10", "10", "3", "1"};
    }
    void okChecksTheTypedValues()
    {
        QFETCH(QStringList, typed);
        QFETCH(bool, stays);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, stored);
        SampleWindow setup;
        auto window = setup.show();
        QCOMPARE(storedRow(setup), (QStringList{"10", "10", "10", "10", "3", "1"}));
        QStringList textsAfter;
        const bool stayedOpen = runSettings(*window, [&](QWidget* dialog) {
            typeInto(dialog, typed);
            dialog->findChild<QCheckBox*>(QStringLiteral("cbSaveTXTRas"))->setChecked(false);
            choose(dialog, "miOK");
            for (const char* name : kFields)
                textsAfter.append(dialog->findChild<QLineEdit*>(QString::fromUtf8(name))->text());
        });
        QCOMPARE(stayedOpen, stays);
        // A window kept open keeps what the user typed.
        QCOMPARE(textsAfter, typed);
        QCOMPARE(setup.dialogs.messages, messages);
        QCOMPARE(storedRow(setup), stored);
    }

    void cancelStoresNothingButAppliesTheStoredSizesAgain()
    {
        SampleWindow setup;
        auto window = setup.show();
        // Changed behind the window's back while the program runs.
        setup.updateSettings(QStringLiteral("РШрифтаВТД=15, РШрифтаВЗагКолТД=16, РШрифтаНаимПок=17, "
                                            "РШрифтаГр=18"));
        const QStringList before = storedRow(setup);
        runSettings(*window, [&](QWidget* dialog) {
            typeInto(dialog, {"9", "9", "9", "9", "1"});
            dialog->findChild<QCheckBox*>(QStringLiteral("cbSaveTXTRas"))->setChecked(false);
            // The button at the foot of the window, as the menu item.
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btCancel")), Qt::LeftButton);
        });
        QCOMPARE(storedRow(setup), before);
        QCOMPARE(window->fontSizes(), (zurm::FontSizes{15, 16, 17, 18}));
        auto* glavn = window->findChild<QTableView*>(QStringLiteral("DGGlavn"));
        QCOMPARE(pointSize(glavn), 15);
        QCOMPARE(pointSize(glavn->horizontalHeader()), 16);
        QVERIFY(setup.dialogs.messages.isEmpty());
    }

    void sizesReachTheGridsAndCaptionsAfterOk()
    {
        SampleWindow setup;
        auto window = setup.show();
        QCOMPARE(window->fontSizes(), (zurm::FontSizes{10, 10, 10, 10}));
        runSettings(*window, [&](QWidget* dialog) {
            typeInto(dialog, {"18", "12", "14", "9", "3"});
            choose(dialog, "miOK");
        });
        QVERIFY(setup.dialogs.messages.isEmpty());
        QCOMPARE(window->fontSizes(), (zurm::FontSizes{18, 12, 14, 9}));
        for (const char* name : {"DGZag", "DGGlavn", "DGNU"}) {
            auto* grid = window->findChild<QTableView*>(QString::fromUtf8(name));
            QCOMPARE(pointSize(grid), 18);
            QCOMPARE(pointSize(grid->horizontalHeader()), 12);
            // Rows are tall enough for the cell font.
            QVERIFY(grid->verticalHeader()->defaultSectionSize() >= grid->fontMetrics().height());
        }
        for (const char* name : {"DGZag", "DGGlavn"}) {
            auto* header = qobject_cast<zurm::gui::CaptionHeaderView*>(
                window->findChild<QTableView*>(QString::fromUtf8(name))->horizontalHeader());
            QCOMPARE(header->captionFont().pointSize(), 14);
        }
        QCOMPARE(pointSize(window->findChild<QLabel*>(QStringLiteral("lbLeft"))), 14);
        // The number list still starts on the same line as the segment grid.
        auto* glavn = window->findChild<QTableView*>(QStringLiteral("DGGlavn"));
        auto* nu = window->findChild<QTableView*>(QStringLiteral("DGNU"));
        QApplication::processEvents();
        QTRY_COMPARE(nu->viewport()->mapTo(window.get(), QPoint(0, 0)).y(),
                     glavn->viewport()->mapTo(window.get(), QPoint(0, 0)).y());
        QCOMPARE(nu->rowViewportPosition(3), glavn->rowViewportPosition(3));
    }

    void storedSizesAreAppliedAtStart()
    {
        SampleWindow setup;
        setup.updateSettings(QStringLiteral("РШрифтаВТД=11, РШрифтаВЗагКолТД=13, РШрифтаНаимПок=15, "
                                            "РШрифтаГр=NULL"));
        auto window = setup.show();
        QCOMPARE(window->fontSizes(), (zurm::FontSizes{11, 13, 15, 10}));
        auto* zag = window->findChild<QTableView*>(QStringLiteral("DGZag"));
        QCOMPARE(pointSize(zag), 11);
        QCOMPARE(pointSize(zag->horizontalHeader()), 13);
        QCOMPARE(qobject_cast<zurm::gui::CaptionHeaderView*>(zag->horizontalHeader())->captionFont().pointSize(), 15);
    }

    void opensOnlyWithTheSettingsFileConnected()
    {
        SampleWindow setup;
        QFile::remove(setup.settingsFile());
        auto window = setup.show();
        QVERIFY(!window->session().data().settingsOpen());
        bool shown = false;
        QPointer<QTimer> request = whenShown(QStringLiteral("TNastrProgForm"), [&](QWidget* dialog) {
            shown = true;
            choose(dialog, "miCancel");
        });
        window->findChild<QAction*>(QStringLiteral("miNastrNP"))->trigger();
        delete request.data();
        QVERIFY(!shown);
        QVERIFY(!window->findChild<QDialog*>(QStringLiteral("TNastrProgForm")));
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
