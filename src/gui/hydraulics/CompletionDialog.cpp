#include "gui/hydraulics/CompletionDialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace zurm::gui {

namespace {

// The window's size at the usual font.
constexpr int kWidth = 560;
constexpr int kHeight = 520;

} // namespace

CompletionDialog::CompletionDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("RasVipForm"));
    setWindowTitle(QStringLiteral("ЗУРМ"));
    setModal(true);
    resize(kWidth, kHeight);

    auto* layout = new QVBoxLayout(this);
    mmRasVip_ = new QPlainTextEdit(this);
    mmRasVip_->setObjectName(QStringLiteral("mmRasVip"));
    mmRasVip_->setReadOnly(true);
    mmRasVip_->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmRasVip_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmRasVip_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(mmRasVip_, 1);

    auto* next = new QGroupBox(QStringLiteral("Далее следует"), this);
    next->setObjectName(QStringLiteral("gbDalee"));
    auto* nextLayout = new QVBoxLayout(next);
    cbFormOtch_ = new QCheckBox(QStringLiteral("Формировать отчет"), next);
    cbFormOtch_->setObjectName(QStringLiteral("cbFormOtch"));
    cbVigrV_ME_ = new QCheckBox(QStringLiteral("Выгрузить отчет в Microsoft Excel"), next);
    cbVigrV_ME_->setObjectName(QStringLiteral("cbVigrV_ME"));
    cbGr_ = new QCheckBox(QStringLiteral("Формировать график"), next);
    cbGr_->setObjectName(QStringLiteral("cbGr"));
    for (QCheckBox* box : {cbFormOtch_, cbVigrV_ME_, cbGr_})
        nextLayout->addWidget(box);
    layout->addWidget(next);

    // Below the message, in a box of its own, so that the message stays as
    // the run words it.
    auto* regime = new QGroupBox(QStringLiteral("Режим давления"), this);
    regime->setObjectName(QStringLiteral("gbRezhDavl"));
    auto* regimeLayout = new QVBoxLayout(regime);
    mmRezhDavl_ = new QPlainTextEdit(regime);
    mmRezhDavl_->setObjectName(QStringLiteral("mmRezhDavl"));
    mmRezhDavl_->setReadOnly(true);
    mmRezhDavl_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mmRezhDavl_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    regimeLayout->addWidget(mmRezhDavl_);
    layout->insertWidget(1, regime, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    buttons->addWidget(btnOK);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(btnOK, &QPushButton::clicked, this, [this] { done(kOk); });
}

namespace {

// Messages break their lines with "\r\n"; the text boxes with "\n".
QString boxText(const QString& message)
{
    QString text = message;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

int CompletionDialog::run(const QString& message, const QString& pressureRegime)
{
    mmRasVip_->setPlainText(boxText(message));
    mmRezhDavl_->setPlainText(boxText(pressureRegime));
    for (QCheckBox* box : {cbFormOtch_, cbVigrV_ME_, cbGr_})
        box->setChecked(false);
    return exec();
}

void CompletionDialog::reject()
{
    // The window button and Escape: no follow-up, whatever is ticked.
    done(kClosed);
}

bool CompletionDialog::reportChosen() const { return cbFormOtch_->isChecked(); }
bool CompletionDialog::exportChosen() const { return cbVigrV_ME_->isChecked(); }
bool CompletionDialog::graphsChosen() const { return cbGr_->isChecked(); }

void CompletionDialog::setMemoFont(const QFont& font)
{
    mmRasVip_->setFont(font);
    mmRezhDavl_->setFont(font);
    // A large font gets a window to match, so that the lines of the pressure
    // regime stay readable without scrolling, within the screen.
    const double scale = std::max(1.0, font.pointSizeF() / 10.0);
    QSize wanted(int(kWidth * scale), int(kHeight * scale));
    if (const QScreen* shown = screen())
        wanted = wanted.boundedTo(shown->availableGeometry().size() * 0.9);
    resize(wanted.expandedTo(QSize(kWidth, kHeight)));
}

} // namespace zurm::gui
