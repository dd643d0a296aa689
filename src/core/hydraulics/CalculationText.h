#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

class QFile;

namespace zurm {

// The calculation text (protocol) of one run, as Windows-1251 with CR LF
// between lines and no line end after the last one. Numbers are fixed-point
// with the report precision and the user's decimal separator, no thousands
// separator.
//
// The text of a large network runs to gigabytes, so a run streams it: after
// streamTo() every piece goes through a small buffer straight into the file,
// and nothing but the buffer stays in memory. Without a file the text is kept
// in memory (short texts, tests). Either way text() and bytes() give the whole
// text so far, and the file holds exactly bytes() once finish() has run.
//
// A disabled text accepts every call and keeps nothing, so the run writes its
// sections unconditionally.
class CalculationText {
public:
    CalculationText(bool enabled, int digits, QChar decimalPoint);
    ~CalculationText();
    CalculationText(CalculationText&&) noexcept;
    CalculationText& operator=(CalculationText&&) noexcept;

    bool enabled() const { return enabled_; }
    int digits() const { return digits_; }

    // Creates (or empties) the file and writes everything from now on into
    // it, including what was written before. Throws Failure.
    void streamTo(const QString& path);
    // Writes the buffer out and closes the file. Throws Failure.
    void finish();

    // Appends to the current line without ending it.
    void write(const QString& text);
    void write(QLatin1StringView text);
    // Appends ASCII text, or text already in Windows-1251 (see encodeCp1251).
    void writeAscii(std::string_view text);
    void writeEncoded(const QByteArray& cp1251);
    // Appends Windows-1251 text holding whole lines with their CR LF inside
    // and ends the line after it: "a\r\nb" is writeLine("a"), writeLine("b").
    void writeEncodedLines(std::string_view cp1251);
    // The same for lines made in place: fill(out) writes them at `out`, using
    // at most `room` bytes there, and returns the end of what it wrote. Saves
    // the copy of text that repeats by the megabyte.
    template <typename Fill>
    void writeEncodedLines(std::size_t room, Fill&& fill)
    {
        if (!enabled_)
            return;
        openLine();
        if (capacity_ - size_ < room && file_)
            writeBuffer(); // rather than a larger buffer
        char* out = space(room);
        size_ += std::size_t(fill(out) - out);
        breakPending_ = true;
        spill();
    }
    // Appends and ends the line (an empty call writes an empty line).
    void writeLine(const QString& text = QString());
    // Appends a number in the text's format to the current line.
    void writeNumber(double value);
    // Appends an integer (a node or main number) to the current line.
    void writeInteger(qint64 value);
    // "Участок a - b:" as a line of its own.
    void writeSegmentLine(qint64 startNode, qint64 endNode);
    // "Магистраль id: " and the chain of the main's rows (each row's start
    // node followed by " - ", then the last row's end node) as a line of its own.
    template <typename Row>
    void writeMainLine(qint64 id, std::span<const Row> rows)
    {
        if (!enabled_)
            return;
        writeMainStart(id);
        for (const Row& row : rows) {
            writeInteger(row.startNode);
            writeAscii(" - ");
        }
        if (!rows.empty())
            writeInteger(rows.back().endNode);
        writeLine();
    }
    // A number in the text's format: fixed point with `digits` decimals
    // (0: no separator; at most 18), the text's decimal separator.
    QString number(double value) const;

    // The whole text so far: lines joined by CR LF; the current, unfinished
    // line last, without a line end.
    QString text() const;
    QByteArray bytes() const; // text() in Windows-1251
    // Size of bytes() without building it.
    qint64 byteCount() const;

private:
    // A line ended by writeLine gets its CR LF only when something follows.
    void openLine()
    {
        if (breakPending_) {
            append("\r\n", 2);
            breakPending_ = false;
        }
    }
    // Room for `bytes` more at the end of the buffer (its size stays).
    char* space(std::size_t bytes)
    {
        if (capacity_ - size_ < bytes)
            grow(bytes);
        return buffer_.get() + size_;
    }
    void grow(std::size_t bytes);
    void append(const char* bytes, std::size_t count);
    void appendEncoded(QStringView text);
    void spill() // writes the buffer into the file once it has grown
    {
        if (size_ >= kSpillSize && file_)
            writeBuffer();
    }
    void writeBuffer() const;
    void writeMainStart(qint64 id);

    // The buffer goes to the file once it holds this many bytes.
    static constexpr std::size_t kSpillSize = std::size_t(1) << 20;

    bool enabled_;
    int digits_;
    QChar decimalPoint_;
    bool breakPending_ = false;
    // Windows-1251 bytes not yet in the file (everything without a file):
    // size_ bytes of capacity_ at buffer_, uninitialised beyond size_.
    std::unique_ptr<char[]> buffer_;
    mutable std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::unique_ptr<QFile> file_;
    QString path_;
    mutable qint64 written_ = 0; // bytes in the file
};

// Windows-1251 bytes of a text, as toCp1251 gives them, table-driven for long texts.
QByteArray encodeCp1251(QStringView text);

} // namespace zurm
