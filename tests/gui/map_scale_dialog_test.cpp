// The map scale dialog on the sample calculation: what it shows, its preview,
// the refusal of a scale that is no positive number, "ОК" and "Отмена".
#include "gui/entry/MainWindow.h"
#include "gui/network/MapScaleDialog.h"
#include "render/SchemaPainter.h"
#include "support/ModalWindows.h"
#include "support/SampleWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QtTest/QtTest>

using zurm::test::SampleWindow;
using zurm::test::child;
using zurm::test::whenShown;

namespace {

const QColor kSilver(192, 192, 192);

void type(QWidget* dialog, const QString& text)
{
    auto* edit = child<QLineEdit>(dialog, "edM");
    edit->clear();
    QTest::keyClicks(edit, text);
}

QImage rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

// A failed check inside the modal dialog leaves it; this closes it then.
struct RejectOnExit {
    QWidget* dialog;
    ~RejectOnExit()
    {
        if (dialog->isVisible())
            static_cast<QDialog*>(dialog)->reject();
    }
};

// Silver points of the preview inside and outside the word's corner.
std::pair<int, int> silverPoints(const QImage& preview)
{
    int inside = 0;
    int outside = 0;
    for (int y = 0; y < preview.height(); ++y)
        for (int x = 0; x < preview.width(); ++x)
            if (preview.pixelColor(x, y) == kSilver)
                ++(x >= 90 && y >= 60 ? inside : outside);
    return {inside, outside};
}

} // namespace

class MapScaleDialogTest : public QObject {
    Q_OBJECT
private slots:
    void showsRefusesAndStores()
    {
        SampleWindow setup;
        setup.file().exec(QStringLiteral("UPDATE НазвРасч SET МасштабКарты = 50, ВычДлПоМасш = 0"));
        auto window = setup.show();
        setup.dialogs.messages.clear();
        zurm::gui::MapScaleDialog dialog(window->session().data(), setup.dialogs, window.get());

        bool checked = false;
        whenShown(QStringLiteral("TKartaScaleForm"), [&](QWidget* shown) {
            RejectOnExit closer{shown};
            auto* edM = child<QLineEdit>(shown, "edM");
            QCOMPARE(shown->windowTitle(), QStringLiteral("Масштаб карты"));
            QCOMPARE(edM->text(), QStringLiteral("50"));
            QCOMPARE(edM->selectedText(), QStringLiteral("50"));
            QVERIFY(!child<QCheckBox>(shown, "cbVDl")->isChecked());

            // The preview: white, the scale bar with its ticks, the word in silver.
            const QImage preview = rgb(dialog.preview());
            QCOMPARE(preview.size(), QSize(489, 233));
            QCOMPARE(preview, rgb(zurm::render::mapScalePreview(50.0)));
            for (const QPoint& black : {QPoint(12, 35), QPoint(60, 35), QPoint(107, 36), QPoint(10, 31), QPoint(109, 39)})
                QCOMPARE(preview.pixelColor(black), QColor(Qt::black));
            for (const QPoint& white : {QPoint(60, 42), QPoint(5, 100), QPoint(480, 10), QPoint(300, 225)})
                QCOMPARE(preview.pixelColor(white), QColor(Qt::white));
            const auto [inside, outside] = silverPoints(preview);
            QVERIFY(inside > 500);
            QCOMPARE(outside, 0);

            // No positive number: the message, the field selected, the preview kept, the dialog open.
            for (const QString& bad : {QStringLiteral("abc"), QStringLiteral("-1"), QStringLiteral("0")}) {
                for (const char* command : {"miRepaint", "miOK"}) {
                    setup.dialogs.messages.clear();
                    type(shown, bad);
                    child<QAction>(shown, command)->trigger();
                    QCOMPARE(setup.dialogs.messages,
                             QStringList{QLatin1Char('"') + bad
                                         + QStringLiteral("\" не является положительным числом. Введите положительное "
                                                          "число.")});
                    QCOMPARE(edM->selectedText(), bad);
                    QCOMPARE(shown->focusWidget(), edM);
                    QVERIFY(shown->isVisible());
                    QCOMPARE(rgb(dialog.preview()), preview);
                }
            }
            // Enter draws the typed scale.
            type(shown, QStringLiteral(" 2,5 "));
            QTest::keyClick(edM, Qt::Key_Return);
            QVERIFY(shown->isVisible());
            QCOMPARE(rgb(dialog.preview()), rgb(zurm::render::mapScalePreview(2.5)));
            QCOMPARE(edM->selectedText(), QStringLiteral(" 2,5 "));

            child<QCheckBox>(shown, "cbVDl")->setChecked(true);
            child<QAction>(shown, "miOK")->trigger();
            checked = true;
        });
        QVERIFY(dialog.run());
        QVERIFY(checked);
        QCOMPARE(setup.file().strings(QStringLiteral("SELECT МасштабКарты || '|' || ВычДлПоМасш FROM НазвРасч")),
                 QStringList{QStringLiteral("2.5|1")});

        // "Отмена" stores nothing.
        whenShown(QStringLiteral("TKartaScaleForm"), [&](QWidget* shown) {
            RejectOnExit closer{shown};
            QCOMPARE(child<QLineEdit>(shown, "edM")->text(), QStringLiteral("2.5"));
            QVERIFY(child<QCheckBox>(shown, "cbVDl")->isChecked());
            type(shown, QStringLiteral("7"));
            child<QCheckBox>(shown, "cbVDl")->setChecked(false);
            child<QAction>(shown, "miCancel")->trigger();
        });
        QVERIFY(!dialog.run());
        QCOMPARE(setup.file().strings(QStringLiteral("SELECT МасштабКарты || '|' || ВычДлПоМасш FROM НазвРасч")),
                 QStringList{QStringLiteral("2.5|1")});
    }
};

QTEST_MAIN(MapScaleDialogTest)
#include "map_scale_dialog_test.moc"
