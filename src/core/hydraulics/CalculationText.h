#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

namespace zurm {

// The calculation text (protocol) of one run. Lines are collected in memory
// and written as Windows-1251 with CR LF between lines and no line end after
// the last one. Numbers are fixed-point with the report precision and the
// user's decimal separator, no thousands separator.
//
// A disabled text accepts every call and keeps nothing, so the run writes its
// sections unconditionally.
class CalculationText {
public:
    CalculationText(bool enabled, int digits, QChar decimalPoint);

    bool enabled() const { return enabled_; }
    int digits() const { return digits_; }

    // Appends to the current line without ending it.
    void write(const QString& text);
    // Appends and ends the line (an empty call writes an empty line).
    void writeLine(const QString& text = QString());
    // Appends a number in the text's format to the current line.
    void writeNumber(double value);
    // A number in the text's format: fixed point with `digits` decimals
    // (0: no separator; at most 18), the text's decimal separator.
    QString number(double value) const;

    // The whole text so far: lines joined by CR LF; the current, unfinished
    // line last, without a line end.
    QString text() const;
    QByteArray bytes() const; // text() in Windows-1251
    // Writes bytes() to the file (created or replaced). Throws Failure.
    void saveTo(const QString& path) const;

private:
    bool enabled_;
    int digits_;
    QChar decimalPoint_;
    QStringList lines_;
    QString current_;
    bool lineOpen_ = false;
};

} // namespace zurm
