#include "gui/hydraulics/TextViewer.h"

#include "base/Failure.h"
#include "gui/help/Help.h"
#include "platform/Cp1251.h"

#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace zurm::gui {

namespace {

// CR LF to LF in place, in one pass over the bytes (a general replace takes
// seconds on a text of tens of megabytes).
void dropCarriageReturns(QByteArray& bytes)
{
    char* data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype out = 0;
    for (qsizetype in = 0; in < size; ++in) {
        if (data[in] == '\r' && in + 1 < size && data[in + 1] == '\n')
            continue;
        data[out++] = data[in];
    }
    bytes.truncate(out);
}

} // namespace

TextViewer::TextViewer(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VigrV_TXTForm"));
    setModal(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(800, 600);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* menu = new QMenuBar(this);
    menu->setObjectName(QStringLiteral("MainMenu1"));
    QAction* close = menu->addAction(QStringLiteral("Закрыть"));
    close->setObjectName(QStringLiteral("miClose"));
    QAction* help = menu->addAction(QStringLiteral("?"));
    help->setObjectName(QStringLiteral("miHlp"));
    layout->setMenuBar(menu);
    connect(close, &QAction::triggered, this, &QDialog::reject);
    connect(help, &QAction::triggered, this, [this] { showHelp(this, QStringLiteral("GR/VipRas.htm")); });

    mmRasTXT_ = new QPlainTextEdit(this);
    mmRasTXT_->setObjectName(QStringLiteral("mmRasTXT"));
    mmRasTXT_->setReadOnly(true);
    mmRasTXT_->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmRasTXT_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmRasTXT_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // No undo history for a text nobody edits: it would hold a second copy.
    mmRasTXT_->setUndoRedoEnabled(false);
    layout->addWidget(mmRasTXT_);
}

void TextViewer::load(const QString& path)
{
    setWindowTitle(QDir::toNativeSeparators(path));
    mmRasTXT_->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("FileError"),
                      QStringLiteral("Не удалось открыть файл ") + path + QStringLiteral(": ") + file.errorString());
    const qint64 size = file.size();
    const bool cut = size > shownBytes_;
    QByteArray bytes = file.read(cut ? shownBytes_ : size);
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("FileError"),
                      QStringLiteral("Не удалось прочитать файл ") + path + QStringLiteral(": ") + file.errorString());
    file.close();
    if (cut) {
        const qsizetype lastLine = bytes.lastIndexOf('\n');
        if (lastLine >= 0)
            bytes.truncate(lastLine + 1);
    }
    const qint64 shownSize = bytes.size();
    dropCarriageReturns(bytes);
    QString text = fromCp1251(bytes);
    bytes = QByteArray();
    if (cut)
        text += QStringLiteral("\n\n...\nПоказано начало текста расчета (%1 из %2 МБ). Полный текст находится в файле ")
                    .arg(shownSize / (1024 * 1024))
                    .arg(size / (1024 * 1024))
                + QDir::toNativeSeparators(path) + QStringLiteral(".");
    // One document built in a single pass; the text box lays out only the
    // lines on screen.
    mmRasTXT_->setPlainText(text);
}

int TextViewer::run()
{
    mmRasTXT_->moveCursor(QTextCursor::Start);
    return exec();
}

void TextViewer::done(int result)
{
    // A large text is not kept in memory once the window is closed.
    mmRasTXT_->clear();
    QDialog::done(result);
}

void TextViewer::setMemoFont(const QFont& font) { mmRasTXT_->setFont(font); }

} // namespace zurm::gui
