#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace zurm::gui {

// The saved calculation text on screen (VigrV_TXTForm): one read-only text box
// over the whole window, lines unwrapped, with "Закрыть" and "?" in its menu.
class TextViewer : public QDialog {
    Q_OBJECT
public:
    // Texts beyond this many bytes are shown up to the last whole line within
    // it, followed by a note that names the file holding all of it. A long
    // network's text runs to hundreds of megabytes, far more than anyone reads
    // on screen and more than a text box holds without exhausting memory.
    static constexpr qint64 kDefaultShownBytes = qint64(32) * 1024 * 1024;

    explicit TextViewer(QWidget* parent = nullptr);

    // Reads the file (Windows-1251, CR LF) into the text box and takes its name
    // as the caption. Throws Failure when the file cannot be read.
    void load(const QString& path);
    // Runs the window modally; the text box is emptied when it closes.
    int run();

    void setMemoFont(const QFont& font);
    void setShownBytesLimit(qint64 bytes) { shownBytes_ = bytes; }

    void done(int result) override;

private:
    QPlainTextEdit* mmRasTXT_ = nullptr;
    qint64 shownBytes_ = kDefaultShownBytes;
};

} // namespace zurm::gui
