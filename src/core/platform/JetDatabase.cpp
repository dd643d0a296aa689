#include "platform/JetDatabase.h"

#include "base/Failure.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>
#include <iconv.h>
#include <mdbtools.h>

namespace zurm {

namespace {

constexpr int kMemoHeader = MDB_MEMO_OVERHEAD;

// The reader names a Decimal column's precision and scale the other way
// round: a column of Access's default Decimal(18, 0) comes with col_scale 18.
int precisionOf(const MdbColumn* column) { return column->col_scale; }
int scaleOf(const MdbColumn* column) { return column->col_prec; }

// The reader walks a table's pages by its usage map and takes a missing one
// for a valid map.
bool hasUsageMap(const MdbTableDef* table)
{
    return table->usage_map && table->map_sz > 0;
}

[[noreturn]] void damaged(const QString& name, const QString& what)
{
    throw Failure(QString::fromLatin1(kJetErrorClass),
                  QStringLiteral("Файл ") + name + QStringLiteral(" поврежден или не является базой данных "
                                                                  "Microsoft Access: ")
                      + what + QLatin1Char('.'));
}

quint32 uint32At(const unsigned char* p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint64 uint64At(const unsigned char* p)
{
    return quint64(uint32At(p)) | quint64(uint32At(p + 4)) << 32;
}

// Text in a single-byte code page through iconv; a byte the code page lacks
// becomes U+FFFD, so nothing after it is lost.
QString decodeCodePage(iconv_t converter, const char* data, size_t size)
{
    QByteArray out;
    out.resize(qsizetype(size) * 4 + 16);
    char* in = const_cast<char*>(data);
    size_t left = size;
    char* to = out.data();
    size_t room = size_t(out.size());
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    while (left > 0) {
        if (iconv(converter, &in, &left, &to, &room) != size_t(-1))
            break;
        if (errno == E2BIG)
            break; // cannot happen with four bytes per input byte
        // An undefined or incomplete byte: the replacement character.
        static const char replacement[] = "\xEF\xBF\xBD";
        if (room < 3)
            break;
        std::memcpy(to, replacement, 3);
        to += 3;
        room -= 3;
        ++in;
        --left;
    }
    out.truncate(to - out.data());
    return QString::fromUtf8(out);
}

QString guidText(const unsigned char* b)
{
    return QString::asprintf("{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3], b[2],
                             b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                             b[15]);
}

// The double nearest to the exact decimal: correctly rounded, whatever the locale.
double decimalToDouble(const QByteArray& text)
{
    double value = 0;
    std::from_chars(text.constData(), text.constData() + text.size(), value);
    return value;
}

QByteArray scaledText(bool negative, QByteArray digits, int scale)
{
    if (scale > 0) {
        if (digits.size() <= scale)
            digits.prepend(QByteArray(scale - digits.size() + 1, '0'));
        digits.insert(digits.size() - scale, '.');
    }
    const bool zero = digits.count('0') + digits.count('.') == digits.size();
    return negative && !zero ? QByteArray("-") + digits : digits;
}

} // namespace

bool hasJetHeader(const QByteArray& firstBytes)
{
    return firstBytes.size() >= 20 && firstBytes.mid(4, 16) == QByteArray("Standard Jet DB\0", 16);
}

bool isJetFile(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    return hasJetHeader(file.read(20));
}

bool isKnownCharset(const QByteArray& name)
{
    iconv_t converter = iconv_open("UTF-8", name.constData());
    if (converter == iconv_t(-1))
        return false;
    iconv_close(converter);
    return true;
}

QString decodeJet4Text(const QByteArray& stored)
{
    const auto* p = reinterpret_cast<const unsigned char*>(stored.constData());
    const qsizetype size = stored.size();
    QString text;
    if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        text.reserve(size);
        bool compressed = true;
        qsizetype i = 2;
        while (i < size) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                text.append(QChar(p[i]));
                ++i;
            } else if (i + 1 < size) {
                text.append(QChar(char16_t(p[i] | p[i + 1] << 8)));
                i += 2;
            } else {
                break;
            }
        }
        return text;
    }
    text.resize(size / 2);
    for (qsizetype i = 0; i < size / 2; ++i)
        text[i] = QChar(char16_t(p[2 * i] | p[2 * i + 1] << 8));
    return text;
}

QString jetDateText(double stored)
{
    // Access keeps dates from the year 100 to the year 9999.
    if (!std::isfinite(stored) || stored < -657434.0 || stored >= 2958466.0)
        return {};
    // The whole part counts days (negative before 1899-12-30); the fraction,
    // whatever the sign, is the time of day.
    double whole = std::trunc(stored);
    qint64 milliseconds = std::llround(std::fabs(stored - whole) * 86400000.0);
    qint64 day = qint64(whole);
    if (milliseconds >= 86400000) {
        milliseconds -= 86400000;
        ++day;
    }
    const QDate date = QDate(1899, 12, 30).addDays(day);
    QString text = date.toString(QStringLiteral("yyyy-MM-dd"))
        + QString::asprintf(" %02lld:%02lld:%02lld", milliseconds / 3600000, milliseconds / 60000 % 60,
                            milliseconds / 1000 % 60);
    if (milliseconds % 1000)
        text += QString::asprintf(".%03lld", milliseconds % 1000);
    return text;
}

QString jetDecimalText(const unsigned char* stored17, int scale)
{
    // Four little-endian 32-bit words, the most significant first.
    unsigned __int128 magnitude = 0;
    for (int word = 0; word < 4; ++word)
        magnitude = magnitude << 32 | uint32At(stored17 + 1 + 4 * word);
    QByteArray digits;
    do {
        digits.prepend(char('0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    return QString::fromLatin1(scaledText(stored17[0] != 0, digits, qBound(0, scale, 38)));
}

struct JetDatabase::Handle {
    QString name;
    QByteArray bytes; // the file in memory, when opened so
    QByteArray jet3Charset;
    MdbHandle* mdb = nullptr;
    QList<MdbTableDef*> tables;
    // The catalogue entries the table definitions point to.
    std::vector<std::unique_ptr<MdbCatalogEntry>> entries;
    // Long values of an honest file together never exceed the file itself;
    // a damaged chain that would read more is refused.
    mutable qint64 longValueBudget = 0;

    ~Handle()
    {
        for (MdbTableDef* table : tables)
            mdb_free_tabledef(table);
        if (mdb)
            mdb_close(mdb);
    }

    iconv_t textIn() const { return mdb->iconv_in; }

    MdbCatalogEntry& entry(const QByteArray& objectName, quint32 page)
    {
        auto made = std::make_unique<MdbCatalogEntry>();
        std::memset(made.get(), 0, sizeof(MdbCatalogEntry));
        made->mdb = mdb;
        std::strncpy(made->object_name, objectName.constData(), MDB_MAX_OBJ_NAME);
        made->object_type = MDB_TABLE;
        made->table_pg = page;
        entries.push_back(std::move(made));
        return *entries.back();
    }

    QByteArray longValue(const unsigned char* header, int fieldSize) const;
    QVariant value(MdbColumn* column) const;
};

// A Memo or OLE value: a 12-byte header, then the bytes inline, on one row of
// a long-value page, or in a chain of such rows.
QByteArray JetDatabase::Handle::longValue(const unsigned char* header, int fieldSize) const
{
    const quint32 lengthAndFlags = uint32At(header);
    const quint32 length = lengthAndFlags & 0x3FFFFFFF;
    const int pageRow = int(uint32At(header + 4));
    auto spend = [&](qint64 bytes) {
        longValueBudget -= bytes;
        if (longValueBudget < 0)
            damaged(name, QStringLiteral("длинные значения (Memo, OLE) ссылаются на большее число байтов, чем "
                                         "есть в файле"));
    };
    if (lengthAndFlags & 0x80000000u) {
        const int inlineSize = fieldSize - kMemoHeader;
        return QByteArray(reinterpret_cast<const char*>(header + kMemoHeader), qMax(0, inlineSize));
    }
    void* buffer = nullptr;
    int start = 0;
    size_t size = 0;
    if (lengthAndFlags & 0x40000000u) {
        if (mdb_find_pg_row(mdb, pageRow, &buffer, &start, &size) != 0)
            damaged(name, QStringLiteral("не найдена страница длинного значения"));
        spend(qint64(size));
        return QByteArray(static_cast<const char*>(buffer) + start, qsizetype(size)).left(qsizetype(length));
    }
    if ((lengthAndFlags & 0xC0000000u) != 0)
        damaged(name, QStringLiteral("неизвестный вид длинного значения"));
    QByteArray value;
    int next = pageRow;
    while (next != 0 && value.size() < qsizetype(length)) {
        if (mdb_find_pg_row(mdb, next, &buffer, &start, &size) != 0 || size < 4)
            damaged(name, QStringLiteral("не найдена страница длинного значения"));
        spend(qint64(size));
        const auto* row = static_cast<const unsigned char*>(buffer) + start;
        next = int(uint32At(row));
        value.append(reinterpret_cast<const char*>(row + 4), qsizetype(size - 4));
    }
    return value.left(qsizetype(length));
}

QVariant JetDatabase::Handle::value(MdbColumn* column) const
{
    const int start = column->cur_value_start;
    const int size = column->cur_value_len;
    if (column->col_type == MDB_BOOL)
        return qint64(size == 0 ? 1 : 0); // the value is the column's bit of the null mask
    if (size <= 0)
        return {};
    if (start < 0 || size > MDB_PGSIZE || start > MDB_PGSIZE - size)
        damaged(name, QStringLiteral("значение поля \"") + QString::fromUtf8(column->name)
                          + QStringLiteral("\" выходит за пределы страницы"));
    const unsigned char* p = mdb->pg_buf + start;
    auto need = [&](int bytes) {
        if (size < bytes)
            damaged(name, QStringLiteral("значение поля \"") + QString::fromUtf8(column->name)
                              + QStringLiteral("\" короче своего типа"));
    };
    switch (column->col_type) {
    case MDB_BYTE: need(1); return qint64(p[0]);
    case MDB_INT: need(2); return qint64(qint16(quint16(p[0] | p[1] << 8)));
    case MDB_LONGINT: need(4); return qint64(qint32(uint32At(p)));
    case MDB_FLOAT: {
        need(4);
        const quint32 bits = uint32At(p);
        float single;
        std::memcpy(&single, &bits, 4);
        return double(single);
    }
    case MDB_DOUBLE: {
        need(8);
        const quint64 bits = uint64At(p);
        double number;
        std::memcpy(&number, &bits, 8);
        return number;
    }
    case MDB_MONEY: {
        need(8);
        const qint64 scaled = qint64(uint64At(p));
        const bool negative = scaled < 0;
        const quint64 magnitude = negative ? 0 - quint64(scaled) : quint64(scaled);
        return decimalToDouble(scaledText(negative, QByteArray::number(magnitude), 4));
    }
    case MDB_DATETIME: {
        need(8);
        const quint64 bits = uint64At(p);
        double days;
        std::memcpy(&days, &bits, 8);
        const QString text = jetDateText(days);
        if (text.isEmpty())
            return days; // no calendar date: the stored number is kept
        return text;
    }
    case MDB_TEXT: {
        const QByteArray stored(reinterpret_cast<const char*>(p), size);
        return mdb->f->jet_version == MDB_VER_JET3 ? decodeCodePage(textIn(), stored.constData(), size_t(size))
                                                   : decodeJet4Text(stored);
    }
    case MDB_MEMO: {
        need(kMemoHeader);
        const QByteArray stored = longValue(p, size);
        return mdb->f->jet_version == MDB_VER_JET3 ? decodeCodePage(textIn(), stored.constData(), size_t(stored.size()))
                                                   : decodeJet4Text(stored);
    }
    case MDB_OLE:
        need(kMemoHeader);
        return longValue(p, size);
    case MDB_REPID: need(16); return guidText(p);
    case MDB_NUMERIC: need(17); return jetDecimalText(p, scaleOf(column));
    default:
        return QByteArray(reinterpret_cast<const char*>(p), size);
    }
}

namespace {

JetType typeOf(int code)
{
    switch (code) {
    case MDB_BOOL: return JetType::Boolean;
    case MDB_BYTE: return JetType::Byte;
    case MDB_INT: return JetType::Integer;
    case MDB_LONGINT: return JetType::Long;
    case MDB_MONEY: return JetType::Currency;
    case MDB_FLOAT: return JetType::Single;
    case MDB_DOUBLE: return JetType::Double;
    case MDB_DATETIME: return JetType::DateTime;
    case MDB_BINARY: return JetType::Binary;
    case MDB_TEXT: return JetType::Text;
    case MDB_OLE: return JetType::Ole;
    case MDB_MEMO: return JetType::Memo;
    case MDB_REPID: return JetType::Guid;
    case MDB_NUMERIC: return JetType::Decimal;
    default: return JetType::Other;
    }
}

iconv_t openConverter(const QByteArray& to, const QByteArray& from)
{
    return iconv_open(to.constData(), from.constData());
}

} // namespace

JetDatabase::JetDatabase(const QString& path, const QByteArray& jet3Charset) : handle_(std::make_unique<Handle>())
{
    handle_->name = path;
    handle_->jet3Charset = jet3Charset;
    if (!isJetFile(path))
        damaged(path, QStringLiteral("нет заголовка базы данных Jet"));
    handle_->longValueBudget = QFileInfo(path).size();
    handle_->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!handle_->mdb)
        damaged(path, QStringLiteral("файл не удалось открыть"));
    open();
}

JetDatabase::JetDatabase(const QByteArray& bytes, const QString& displayName, const QByteArray& jet3Charset)
    : handle_(std::make_unique<Handle>())
{
    handle_->name = displayName;
    handle_->jet3Charset = jet3Charset;
    handle_->bytes = bytes;
    if (!hasJetHeader(bytes))
        damaged(displayName, QStringLiteral("нет заголовка базы данных Jet"));
    handle_->longValueBudget = bytes.size();
    handle_->mdb = mdb_open_buffer(handle_->bytes.data(), size_t(handle_->bytes.size()), MDB_NOFLAGS);
    if (!handle_->mdb)
        damaged(displayName, QStringLiteral("файл не удалось открыть"));
    open();
}

JetDatabase::~JetDatabase() = default;

void JetDatabase::open()
{
    MdbHandle* mdb = handle_->mdb;
    const QString& name = handle_->name;
    if (mdb->f->jet_version != MDB_VER_JET3 && mdb->f->jet_version != MDB_VER_JET4)
        damaged(name, QStringLiteral("версия формата не Jet 3 и не Jet 4"));
    // Names and Jet 3 text are decoded to UTF-8 whatever the environment says;
    // Jet 3 records no code page, so the caller names it.
    const bool jet3 = mdb->f->jet_version == MDB_VER_JET3;
    const QByteArray source = jet3 ? handle_->jet3Charset : QByteArray("UCS-2LE");
    iconv_t in = openConverter("UTF-8", source);
    iconv_t out = openConverter(source, "UTF-8");
    if (in == iconv_t(-1) || out == iconv_t(-1)) {
        if (in != iconv_t(-1))
            iconv_close(in);
        if (out != iconv_t(-1))
            iconv_close(out);
        throw Failure(QString::fromLatin1(kJetErrorClass),
                      QStringLiteral("Кодировка \"") + QString::fromLatin1(handle_->jet3Charset)
                          + QStringLiteral("\" неизвестна."));
    }
    mdb_iconv_close(mdb);
    mdb->iconv_in = in;
    mdb->iconv_out = out;

    // The catalogue is the system table MSysObjects; its rows are read here
    // directly, without the object properties the reader would parse as well
    // (a damaged property block can keep that parse going for ever, and the
    // conversion needs none of them).
    struct CatalogRow {
        QString name;
        quint32 page;
    };
    QList<CatalogRow> userTables;
    {
        MdbCatalogEntry& catalog = handle_->entry(QByteArray("MSysObjects"), 2);
        MdbTableDef* objects = mdb_read_table(&catalog);
        if (!objects || !hasUsageMap(objects)) {
            if (objects)
                mdb_free_tabledef(objects);
            damaged(name, QStringLiteral("не удалось прочитать список таблиц"));
        }
        handle_->tables.append(objects);
        if (!mdb_read_columns(objects) || objects->columns->len != objects->num_cols)
            damaged(name, QStringLiteral("не удалось прочитать список таблиц"));
        MdbColumn* id = nullptr;
        MdbColumn* objectName = nullptr;
        MdbColumn* type = nullptr;
        MdbColumn* flags = nullptr;
        for (unsigned int c = 0; c < objects->num_cols; ++c) {
            auto* column = static_cast<MdbColumn*>(g_ptr_array_index(objects->columns, c));
            const QByteArray columnName(column->name);
            if (columnName == "Id")
                id = column;
            else if (columnName == "Name")
                objectName = column;
            else if (columnName == "Type")
                type = column;
            else if (columnName == "Flags")
                flags = column;
        }
        if (!id || !objectName || !type || !flags)
            damaged(name, QStringLiteral("в списке таблиц нет нужных полей"));
        mdb_rewind_table(objects);
        while (mdb_fetch_row(objects)) {
            // A user table: type 1, neither a system nor a hidden object.
            if (handle_->value(type).toLongLong() != MDB_TABLE || (handle_->value(flags).toLongLong() & 0x80000002))
                continue;
            const QString tableName = handle_->value(objectName).toString();
            if (!tableName.isEmpty())
                userTables.append({tableName, quint32(handle_->value(id).toLongLong()) & 0x00FFFFFF});
        }
        handle_->tables.clear();
        mdb_free_tabledef(objects);
    }
    for (const CatalogRow& user : userTables) {
        MdbCatalogEntry& entry = handle_->entry(user.name.toUtf8(), user.page);
        MdbTableDef* table = mdb_read_table(&entry);
        if (table && !hasUsageMap(table)) {
            mdb_free_tabledef(table);
            table = nullptr;
        }
        if (!table)
            damaged(name, QStringLiteral("не удалось прочитать описание таблицы \"")
                              + user.name + QLatin1Char('"'));
        handle_->tables.append(table);
        if (!mdb_read_columns(table) || table->columns->len != table->num_cols)
            damaged(name, QStringLiteral("не удалось прочитать поля таблицы \"")
                              + user.name + QLatin1Char('"'));
        JetTable described;
        described.name = user.name;
        for (unsigned int c = 0; c < table->num_cols; ++c) {
            auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
            JetColumn jet;
            jet.name = QString::fromUtf8(column->name);
            jet.type = typeOf(column->col_type);
            // Jet 4 keeps two bytes per character of a Text column.
            jet.size = column->col_type == MDB_TEXT && !jet3 ? column->col_size / 2 : column->col_size;
            jet.precision = precisionOf(column);
            jet.scale = scaleOf(column);
            described.columns.append(jet);
        }
        tables_.append(described);
    }
}

int JetDatabase::version() const
{
    return handle_->mdb->f->jet_version == MDB_VER_JET3 ? 3 : 4;
}

void JetDatabase::readRows(int index, const std::function<void(const JetRow&)>& row) const
{
    MdbTableDef* table = handle_->tables.at(index);
    mdb_rewind_table(table);
    JetRow values;
    while (mdb_fetch_row(table)) {
        values.clear();
        for (unsigned int c = 0; c < table->num_cols; ++c)
            values.append(handle_->value(static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c))));
        row(values);
    }
}

} // namespace zurm
