#pragma once

// Microsoft Access (Jet 3 / Jet 4) databases, the files of the program's
// earlier versions, read for conversion. Nothing else in the program sees the
// Jet reader library: what it gives is turned here into plain values taken
// from their stored binary form, never from the library's text formatting
// (which follows the process locale and rounds).

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

namespace zurm {

// The Jet column types as the conversion tells them apart.
enum class JetType { Boolean, Byte, Integer, Long, Currency, Single, Double, DateTime, Binary, Text, Ole, Memo,
                     Guid, Decimal, Other };

struct JetColumn {
    QString name;
    JetType type = JetType::Other;
    int size = 0;      // declared size: characters of a Text column, bytes of a Binary one
    int precision = 0; // Decimal only
    int scale = 0;     // Decimal only
};

struct JetTable {
    QString name;
    QList<JetColumn> columns; // in their stored order
};

// The values of one row, a QVariant per column in the column order:
//   Null (an invalid QVariant) for an empty value;
//   qint64 for Boolean (0/1), Byte, Integer and Long;
//   double for Single (the stored float widened exactly), Double and Currency
//     (the double nearest to its exact scaled value);
//   QString for Text and Memo (decoded exactly), Date/Time (ISO 8601,
//     "1974-09-21 00:00:00", fractions of a second as ".mmm" when there are
//     any), Guid ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}") and Decimal (its
//     exact decimal value with the column's scale);
//   QByteArray for Binary, OLE objects and types the program does not know.
using JetRow = QList<QVariant>;

// What the conversion reads: the user tables and their rows. JetDatabase reads
// a real file; tests describe tables in memory.
class JetSource {
public:
    virtual ~JetSource() = default;
    virtual int version() const = 0; // 3 or 4
    virtual const QList<JetTable>& tables() const = 0;
    // Calls `row` for every row of tables()[index] in its stored order.
    // Throws Failure when the file is damaged.
    virtual void readRows(int index, const std::function<void(const JetRow&)>& row) const = 0;
};

// True when the bytes begin like a Jet database (Access 97 to 2003).
bool hasJetHeader(const QByteArray& firstBytes);
// True when the file is one (reads its first bytes only).
bool isJetFile(const QString& path);

// True when iconv knows the code page by that name (for --jet-charset).
bool isKnownCharset(const QByteArray& name);

// Class of every Failure a damaged or foreign Jet file raises.
inline constexpr const char* kJetErrorClass = "JetError";

class JetDatabase final : public JetSource {
public:
    // Opens the file for reading only; `jet3Charset` is the code page of a Jet 3
    // file's text (Jet 3 does not record it), an iconv name. Throws Failure
    // naming the file when it is no Jet database or its catalogue is damaged.
    explicit JetDatabase(const QString& path, const QByteArray& jet3Charset = "WINDOWS-1251");
    // The same over bytes in memory (kept alive by the object).
    JetDatabase(const QByteArray& bytes, const QString& displayName, const QByteArray& jet3Charset = "WINDOWS-1251");
    ~JetDatabase() override;
    JetDatabase(const JetDatabase&) = delete;
    JetDatabase& operator=(const JetDatabase&) = delete;

    int version() const override;
    const QList<JetTable>& tables() const override { return tables_; }
    void readRows(int index, const std::function<void(const JetRow&)>& row) const override;

private:
    struct Handle;
    void open();
    std::unique_ptr<Handle> handle_;
    QList<JetTable> tables_;
};

// Jet 4 text as stored (UTF-16LE, or "compressed": FF FE, then runs of
// single bytes and of UTF-16LE units, each run ended by a zero byte).
QString decodeJet4Text(const QByteArray& stored);
// A Jet Date/Time (days since 1899-12-30, the fraction the time of day) in
// ISO 8601; empty for a value outside the years 100-9999.
QString jetDateText(double stored);
// Jet 4 Decimal as stored (sign byte, 16 bytes of magnitude) as exact text.
QString jetDecimalText(const unsigned char* stored17, int scale);

} // namespace zurm
