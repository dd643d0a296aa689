#pragma once

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;

namespace zurm::gui {

// The window at the end of a successful calculation run (RasVipForm): the
// completion message, the pressure regime of the results, and the outputs the
// user wants next.
class CompletionDialog : public QDialog {
    Q_OBJECT
public:
    // Results of run(): "OK", or closed any other way.
    static constexpr int kOk = 1;
    static constexpr int kClosed = 2;

    explicit CompletionDialog(QWidget* parent = nullptr);

    // Shows the message and the pressure regime ("\r\n" line breaks) with all
    // three boxes cleared and runs the window modally.
    int run(const QString& message, const QString& pressureRegime = QString());

    bool reportChosen() const;      // cbFormOtch "Формировать отчет"
    bool exportChosen() const;      // cbVigrV_ME "Выгрузить отчет в Microsoft Excel"
    bool graphsChosen() const;      // cbGr "Формировать график"

    void setMemoFont(const QFont& font);

public slots:
    void reject() override;

private:
    QPlainTextEdit* mmRasVip_ = nullptr;
    QPlainTextEdit* mmRezhDavl_ = nullptr;
    QCheckBox* cbFormOtch_ = nullptr;
    QCheckBox* cbVigrV_ME_ = nullptr;
    QCheckBox* cbGr_ = nullptr;
};

} // namespace zurm::gui
