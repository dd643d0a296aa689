#include "document/TableStructure.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "document/NetworkKinds.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <optional>
#include <utility>

namespace zurm {

namespace {

const QString kZag = QStringLiteral("Заг");
const QString kTabl = QStringLiteral("Табл");
const QString kKonMag = QStringLiteral("КонМаг");
const QString kFloat = QStringLiteral("float");

constexpr int kHeaderColumnWidth = 110;
constexpr int kSegmentColumnWidth = 103;
constexpr int kCommentColumnWidth = 309;

class LayoutBuilder {
public:
    void add(const QString& name, const QString& definition = QStringLiteral("float"))
    {
        items_.append(quoteName(name) + QLatin1Char(' ') + definition);
    }
    void addIf(bool condition, const QString& name)
    {
        if (condition)
            add(name);
    }
    QString text() const { return QLatin1Char('(') + items_.join(QStringLiteral(", ")) + QLatin1Char(')'); }

private:
    QStringList items_;
};

bool isHeaderType(const QString& type)
{
    return type.toUpper() == QStringLiteral("З");
}

// The program's own type of a declared column type, as a layout item writes
// it. The program's spellings stay as they are; any other spelling is read by
// SQLite's affinity rules, in their order: INT… is "integer", CHAR, CLOB or
// TEXT is "text(N)" with its declared size or "text" without one, BLOB or no
// type is untyped (empty), REAL, FLOA or DOUB is "float", and the remaining
// numeric spellings are "bit" for a boolean and "float" otherwise.
QString programType(const QString& declared)
{
    const QString type = declared.trimmed().toLower();
    if (type == QLatin1String("smallint") || type == QLatin1String("integer") || type == QLatin1String("bit")
        || type == QLatin1String("float"))
        return type;
    const auto has = [&type](const char* word) { return type.contains(QLatin1String(word)); };
    if (has("int"))
        return QStringLiteral("integer");
    if (has("char") || has("clob") || has("text")) {
        static const QRegularExpression size(QStringLiteral("\\(\\s*(\\d+)"));
        const QRegularExpressionMatch match = size.match(type);
        if (!match.hasMatch())
            return QStringLiteral("text");
        return QStringLiteral("text(") + QString::number(match.captured(1).toLongLong()) + QLatin1Char(')');
    }
    if (type.isEmpty() || has("blob"))
        return {};
    if (has("real") || has("floa") || has("doub"))
        return kFloat;
    return has("bool") ? QStringLiteral("bit") : kFloat;
}

// Whole numbers (integer, smallint, bit) pass between each other.
QString typeFamily(const QString& type)
{
    if (type == QLatin1String("integer") || type == QLatin1String("smallint") || type == QLatin1String("bit"))
        return QStringLiteral("whole");
    return type;
}

// Whether a rebuild carries the values of `old` into `column` of the same name:
// the same kind of type and, for text, a declared size not larger than the new
// one (a text without size fits any). An untyped column's values are carried
// as they stand.
bool carriesValues(const LayoutColumn& old, const LayoutColumn& column)
{
    if (old.type.isEmpty())
        return true;
    if (typeFamily(old.type) != typeFamily(column.type))
        return false;
    return old.type != QLatin1String("text") || old.size <= column.size;
}

struct CatalogueEntry {
    bool userEntered = false;
    QString fullName; // null when НаимПок is empty
};

// The indicator definitions as the setup reads them.
struct Catalogue {
    LayoutDefinitions definitions;
    QHash<QString, CatalogueEntry> predefined;
    QHash<QString, CatalogueEntry> user;

    // Exact look-up, predefined indicators first; the first row of a name wins.
    std::optional<CatalogueEntry> find(const QString& shortName) const
    {
        if (auto it = predefined.constFind(shortName); it != predefined.constEnd())
            return *it;
        if (auto it = user.constFind(shortName); it != user.constEnd())
            return *it;
        return std::nullopt;
    }
};

CatalogueEntry entryOf(const QSqlQuery& query, int userEnteredColumn, int fullNameColumn)
{
    CatalogueEntry entry;
    entry.userEntered = query.value(userEnteredColumn).toBool();
    const QVariant fullName = query.value(fullNameColumn);
    if (!fullName.isNull())
        entry.fullName = fullName.toString();
    return entry;
}

void readCatalogue(const QSqlDatabase& db, Catalogue& catalogue)
{
    QSqlQuery user = selectSql(db, QStringLiteral("SELECT [НаимПокСокр], [ТипПок], [ВводПольз], [НаимПок] "
                                                  "FROM [Формулы] ORDER BY [Nпп] ASC, rowid ASC"));
    while (user.next()) {
        const QString shortName = user.value(0).toString();
        catalogue.definitions.userIndicators.append({shortName, user.value(1).toString()});
        if (!catalogue.user.contains(shortName))
            catalogue.user.insert(shortName, entryOf(user, 2, 3));
    }
    QSqlQuery predefined = selectSql(db, QStringLiteral("SELECT [НаимПокСокр], [ВводПольз], [НаимПок] "
                                                        "FROM [ФлыПредопрПок] ORDER BY rowid ASC"));
    while (predefined.next()) {
        const QString shortName = predefined.value(0).toString();
        if (!catalogue.predefined.contains(shortName))
            catalogue.predefined.insert(shortName, entryOf(predefined, 1, 2));
    }
}

// SQLite folds only ASCII letters in identifiers, but Qt's record look-ups by
// field name fold every letter; a name has to be unique under both.
QString firstRepeatedColumn(const QStringList& layouts)
{
    QSet<QString> seen;
    for (const QString& layout : layouts) {
        for (const LayoutColumn& column : parseLayout(layout)) {
            const QString folded = column.name.toUpper();
            if (seen.contains(folded))
                return column.name;
            seen.insert(folded);
        }
    }
    return {};
}

QString duplicateNameMessage(const QString& name)
{
    return QStringLiteral("Сокращенное наименование показателя \"") + name
        + QStringLiteral("\" встречается в таблице показателей расчета более одного раза. Структура таблиц не "
                         "изменена.\r\rДля исправления ошибки выполните команду:\rДанные / Параметры расчета");
}

QString typeText(const LayoutColumn& column)
{
    return column.type == QLatin1String("text") && column.size > 0
        ? column.type + QLatin1Char('(') + QString::number(column.size) + QLatin1Char(')')
        : column.type;
}

// The message for the first column of `table` whose stored values a rebuild to
// `required` could not keep although the required layout has a column of its
// name; empty when the rebuild loses no value of that kind.
QString unkeptValuesMessage(const QSqlDatabase& db, const QString& table, const QString& required)
{
    const QString current = currentLayout(db, table);
    if (current == required)
        return {};
    QHash<QString, LayoutColumn> wanted;
    for (const LayoutColumn& column : parseLayout(required))
        wanted.insert(column.name, column);
    const QList<ColumnInfo> declared = tableColumns(db, table);
    const QList<LayoutColumn> present = parseLayout(current);
    for (qsizetype i = 0; i < present.size() && i < declared.size(); ++i) {
        const auto column = wanted.constFind(present[i].name);
        if (column == wanted.constEnd() || carriesValues(present[i], *column))
            continue;
        const QVariant held =
            selectValue(db, QStringLiteral("SELECT 1 FROM ") + quoteName(table) + QStringLiteral(" WHERE ")
                                + quoteName(present[i].name) + QStringLiteral(" IS NOT NULL LIMIT 1"));
        if (held.isValid())
            return QStringLiteral("Значения поля \"") + present[i].name + QStringLiteral("\" таблицы \"") + table
                + QStringLiteral("\" (тип \"") + declared[i].declaredType
                + QStringLiteral("\") не могут быть перенесены в поле типа \"") + typeText(*column)
                + QStringLiteral("\". Структура таблиц не изменена.");
    }
    return {};
}

// The status line and cursor after the setup, also when a step fails.
class FinalStatus {
public:
    FinalStatus(const DataModule& data, Progress& progress) : data_(data), progress_(progress) {}
    ~FinalStatus()
    {
        progress_.setStatus(data_.calculationDone() ? QStringLiteral("Расчет выполнен.") : QString());
        progress_.setBusy(false);
    }
    FinalStatus(const FinalStatus&) = delete;
    FinalStatus& operator=(const FinalStatus&) = delete;

private:
    const DataModule& data_;
    Progress& progress_;
};

// Rebuilds the table when needed and returns its columns as they are then.
QList<ColumnInfo> shapeTable(DataModule& data, const QString& table, const QString& required)
{
    RestructureTable(data, table, required, currentLayout(data.calculation(), table));
    return tableColumns(data.calculation(), table);
}

// Re-creates a caption table of the work database with one text column П1, П2, …
// per caption and one row holding them. A grid without visible columns still
// gets a table, with the single empty column П1.
void writeCaptionTable(const QSqlDatabase& work, const QString& table, const QStringList& captions)
{
    QStringList columns;
    QStringList marks;
    QVariantList values;
    for (qsizetype i = 0; i < captions.size(); ++i) {
        columns.append(quoteName(QStringLiteral("П") + QString::number(i + 1)) + QStringLiteral(" text"));
        marks.append(QStringLiteral("?"));
        values.append(captions[i].isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(captions[i]));
    }
    if (columns.isEmpty()) {
        columns.append(quoteName(QStringLiteral("П1")) + QStringLiteral(" text"));
        marks.append(QStringLiteral("?"));
        values.append(QVariant(QMetaType::fromType<QString>()));
    }
    Transaction transaction(work);
    execSql(work, QStringLiteral("DROP TABLE IF EXISTS ") + quoteName(table));
    execSql(work, QStringLiteral("CREATE TABLE ") + quoteName(table) + QStringLiteral(" (")
                      + columns.join(QStringLiteral(", "))
                      + QLatin1Char(')'));
    execSql(work, QStringLiteral("INSERT INTO ") + quoteName(table) + QStringLiteral(" VALUES (")
                      + marks.join(QStringLiteral(", "))
                      + QLatin1Char(')'),
            values);
    transaction.commit();
}

// Visibility of a column from its catalogue entry; a column in neither
// catalogue keeps the grid's default (visible) and has no caption.
void applyCatalogue(const Catalogue& catalogue, GridColumn& column, QStringList& captions)
{
    const std::optional<CatalogueEntry> entry = catalogue.find(column.name);
    if (!entry)
        return;
    column.visible = entry->userEntered;
    if (column.visible)
        captions.append(entry->fullName);
}

} // namespace

QString requiredLayoutZag(const LayoutDefinitions& d)
{
    LayoutBuilder layout;
    for (const IndicatorColumn& indicator : d.userIndicators)
        if (isHeaderType(indicator.type))
            layout.add(indicator.shortName);
    layout.add(QStringLiteral("ПНапНаУзПод"));
    layout.addIf(d.twoPipe, QStringLiteral("РНапНаУз"));
    layout.add(QStringLiteral("МинГеодВысТС"));
    layout.add(QStringLiteral("МаксГеодВысТС"));
    layout.add(QStringLiteral("МаксДлПод"));
    layout.addIf(d.twoPipe, QStringLiteral("МаксДлОбр"));
    layout.addIf(d.twoPipe, QStringLiteral("МаксСумДлПодОбр"));
    layout.add(QStringLiteral("МинТВоды"));
    layout.add(QStringLiteral("МаксТВоды"));
    return layout.text();
}

QString requiredLayoutTabl(const LayoutDefinitions& d)
{
    LayoutBuilder layout;
    layout.add(QStringLiteral("id"), QStringLiteral("integer PRIMARY KEY"));
    layout.add(QStringLiteral("НачУзел"), QStringLiteral("smallint"));
    layout.add(QStringLiteral("КонУзел"), QStringLiteral("smallint"));
    layout.add(QStringLiteral("ГеодВысНач"));
    layout.add(QStringLiteral("ГеодВысКон"));
    const auto pair = [&](const char* supply, const char* ret) {
        layout.add(QString::fromUtf8(supply));
        layout.addIf(d.twoPipe, QString::fromUtf8(ret));
    };
    pair("ДлНаУчПод", "ДлНаУчОбр");
    pair("РасхПод", "РасхОбр");
    pair("ДлНачПод", "ДлНачОбр");
    pair("ДлКонПод", "ДлКонОбр");
    pair("ТВодыНачПод", "ТВодыНачОбр");
    pair("ТВодыКонПод", "ТВодыКонОбр");
    if (d.determineDiameters)
        pair("УПНВВПод", "УПНВВОбр");
    for (const IndicatorColumn& indicator : d.userIndicators)
        if (!isHeaderType(indicator.type))
            layout.add(indicator.shortName);
    pair("ПотНОтИНачПод", "ПотНОтИНачОбр");
    pair("ПотНОтИКонПод", "ПотНОтИКонОбр");
    pair("ПНапНачПод", "ПНапНачОбр");
    layout.add(QStringLiteral("ПНапКонПод"));
    layout.addIf(d.twoPipe, QStringLiteral("ПНапКонОбр"));
    layout.addIf(d.twoPipe, QStringLiteral("РНапНач"));
    layout.addIf(d.twoPipe, QStringLiteral("РНапКон"));
    layout.add(QStringLiteral("Примечание"), QStringLiteral("text(255)"));
    layout.add(QStringLiteral("Заполн_Уч"), QStringLiteral("text(1)"));
    return layout.text();
}

QString requiredLayoutKonMag(const LayoutDefinitions& d)
{
    LayoutBuilder layout;
    const QString smallint = QStringLiteral("smallint");
    const QString flag = QStringLiteral("bit NOT NULL");
    layout.add(QStringLiteral("id_m"), smallint);
    layout.add(QStringLiteral("РВПод"), flag);
    layout.add(QStringLiteral("РНачСУзПод"), smallint);
    layout.add(QStringLiteral("КонУзел"), smallint);
    for (const char* name : {"ДлМагПод", "ПотНОтИПод", "ПНапПод", "ПНапЗПод", "ПНапЗБИПод", "УПНВМагПод"})
        layout.add(QString::fromUtf8(name));
    if (d.twoPipe) {
        layout.add(QStringLiteral("РВОбр"), flag);
        layout.add(QStringLiteral("РНачСУзОбр"), smallint);
        for (const char* name : {"ДлМагОбр", "ДлМагСум", "ПотНОтИОбр", "ПНапОбр", "РНап", "РНапЗ", "ПНапЗОбр",
                                 "ПНапЗБИОбр", "УПНВМагОбр", "ДельтаТ"})
            layout.add(QString::fromUtf8(name));
    }
    return layout.text();
}

QString currentLayout(const QSqlDatabase& db, const QString& table)
{
    QStringList items;
    for (const ColumnInfo& column : tableColumns(db, table)) {
        QString item = quoteName(column.name) + QLatin1Char(' ');
        if (table == kZag) {
            item += kFloat;
        } else if (table == kKonMag) {
            const QString type = programType(column.declaredType);
            if (type == QLatin1String("bit"))
                item += type;
            else
                item += typeFamily(type) == QLatin1String("whole") ? QStringLiteral("smallint") : kFloat;
            if (column.name == QStringLiteral("РВПод") || column.name == QStringLiteral("РВОбр"))
                item += QStringLiteral(" NOT NULL");
        } else {
            item += programType(column.declaredType);
            if (column.name == QLatin1String("id"))
                item += QStringLiteral(" PRIMARY KEY");
        }
        items.append(item);
    }
    return QLatin1Char('(') + items.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QList<LayoutColumn> parseLayout(const QString& layout)
{
    QList<LayoutColumn> columns;
    QString body = layout.trimmed();
    if (body.startsWith(QLatin1Char('(')) && body.endsWith(QLatin1Char(')')))
        body = body.mid(1, body.size() - 2);
    const qsizetype length = body.size();
    qsizetype pos = 0;
    while (pos < length) {
        while (pos < length && (body[pos] == u' ' || body[pos] == u','))
            ++pos;
        if (pos >= length)
            break;
        // The name, in either of the two quoted forms quoteName writes.
        LayoutColumn column;
        if (body[pos] == u'[') {
            const qsizetype close = body.indexOf(QLatin1Char(']'), pos + 1);
            if (close < 0)
                break;
            column.name = body.mid(pos + 1, close - pos - 1);
            pos = close + 1;
        } else if (body[pos] == u'"') {
            bool closed = false;
            for (++pos; pos < length; ++pos) {
                if (body[pos] != u'"') {
                    column.name.append(body[pos]);
                } else if (pos + 1 < length && body[pos + 1] == u'"') {
                    column.name.append(u'"');
                    ++pos;
                } else {
                    closed = true;
                    ++pos;
                    break;
                }
            }
            if (!closed)
                break;
        } else {
            break;
        }
        // Its definition runs to the next comma: no type a layout writes holds one.
        const qsizetype comma = body.indexOf(QLatin1Char(','), pos);
        const qsizetype end = comma < 0 ? length : comma;
        const QStringList words = body.mid(pos, end - pos).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString modifiers = words.join(QLatin1Char(' ')).toUpper();
        column.primaryKey = modifiers.contains(QStringLiteral("PRIMARY KEY"));
        column.notNull = modifiers.contains(QStringLiteral("NOT NULL"));
        if (!words.isEmpty()) {
            const QString first = words.first().toLower();
            if (first != QLatin1String("primary") && first != QLatin1String("not")) {
                const QString type = programType(first);
                if (type.startsWith(QStringLiteral("text"))) {
                    column.type = QStringLiteral("text");
                    column.size = type.size() > 4 ? type.mid(5, type.size() - 6).toInt() : 0;
                } else {
                    column.type = type.isEmpty() ? first : type;
                }
            }
        }
        columns.append(column);
        pos = end;
    }
    return columns;
}

void RestructureTable(DataModule& data, const QString& name, const QString& required, const QString& current)
{
    if (required == current)
        return;
    const QList<LayoutColumn> newColumns = parseLayout(required);
    QHash<QString, LayoutColumn> oldColumns;
    for (const LayoutColumn& column : parseLayout(current))
        oldColumns.insert(column.name, column);

    // Rather than copying the rows out to a scratch table and back, the old
    // table is set aside under another name inside the same transaction: the
    // file never holds the table half-copied, and a failure rolls it all back.
    const QSqlDatabase db = data.calculation();
    const QString aside = name + QLatin1Char('~');
    Transaction transaction(db);
    const bool existed = tableExists(db, name);
    if (existed)
        execSql(db, QStringLiteral("ALTER TABLE ") + quoteName(name) + QStringLiteral(" RENAME TO ") + quoteName(aside));
    execSql(db, QStringLiteral("CREATE TABLE ") + quoteName(name) + QLatin1Char(' ') + required);
    if (existed) {
        QStringList targets;
        QStringList sources;
        for (const LayoutColumn& column : newColumns) {
            const auto old = oldColumns.constFind(column.name);
            if (old != oldColumns.constEnd() && carriesValues(*old, column)) {
                targets.append(quoteName(column.name));
                sources.append(quoteName(column.name));
            } else if (column.notNull && column.type == QLatin1String("bit")) {
                // A yes/no column holds no Null: a new one starts as "no".
                targets.append(quoteName(column.name));
                sources.append(QStringLiteral("0"));
            }
        }
        if (targets.isEmpty() && !newColumns.isEmpty()) {
            // Nothing survives, yet the table keeps as many rows as it had.
            targets.append(quoteName(newColumns.first().name));
            sources.append(QStringLiteral("NULL"));
        }
        if (!targets.isEmpty())
            execSql(db, QStringLiteral("INSERT INTO ") + quoteName(name) + QStringLiteral(" (")
                            + targets.join(QStringLiteral(", ")) + QStringLiteral(") SELECT ")
                            + sources.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + quoteName(aside)
                            + QStringLiteral(" ORDER BY rowid"));
        execSql(db, QStringLiteral("DROP TABLE ") + quoteName(aside));
    }
    transaction.commit();
}

bool SetUpTableStructure(DataModule& data, UserDialogs& dialogs, Progress& progress, GridLayout& layout)
{
    progress.setBusy(true);
    progress.setStatus(QStringLiteral("Настройка структуры таблиц гидравлического расчета..."));
    progress.processEvents();
    const FinalStatus finalStatus(data, progress);

    const QSqlDatabase db = data.calculation();
    // Read whole before any rebuild: SQLite refuses DROP TABLE while a
    // statement of the connection is still reading.
    const CalculationRow::NetworkParameters parameters = CalculationRow(db).networkParameters();
    const QVariant networkType = parameters.networkType;
    const bool determineDiameters = parameters.designMode;
    bool typeIsNumber = false;
    const int type = networkType.toInt(&typeIsNumber);
    if (networkType.isNull() || !typeIsNumber || (type != kOnePipe && type != kTwoPipe)) {
        progress.setBusy(false);
        dialogs.showMessage(QStringLiteral("Тип сети указан неверно!"), MessageKind::Error);
        return false;
    }

    Catalogue catalogue;
    catalogue.definitions.twoPipe = type == 1;
    catalogue.definitions.determineDiameters = determineDiameters;
    readCatalogue(db, catalogue);
    const QString requiredZag = requiredLayoutZag(catalogue.definitions);
    const QString requiredTabl = requiredLayoutTabl(catalogue.definitions);

    // A table with two columns of one name cannot exist: refuse the whole setup
    // before any table is touched, so the file keeps its consistent shape.
    const QString repeated = firstRepeatedColumn({requiredZag, requiredTabl});
    if (!repeated.isEmpty()) {
        progress.setBusy(false);
        dialogs.showMessage(duplicateNameMessage(repeated), MessageKind::Error);
        return false;
    }

    // Nor is a stored value given up because its column was declared with a
    // type the rebuild cannot carry into the required one.
    const QString requiredKonMag = requiredLayoutKonMag(catalogue.definitions);
    for (const auto& [table, required] : {std::pair{kZag, requiredZag}, std::pair{kTabl, requiredTabl},
                                          std::pair{kKonMag, requiredKonMag}}) {
        const QString message = unkeptValuesMessage(db, table, required);
        if (!message.isEmpty()) {
            progress.setBusy(false);
            dialogs.showMessage(message, MessageKind::Error);
            return false;
        }
    }

    layout = GridLayout();

    // Header table and its captions.
    for (const ColumnInfo& info : shapeTable(data, kZag, requiredZag)) {
        GridColumn column{info.name, true, kHeaderColumnWidth, {}};
        applyCatalogue(catalogue, column, layout.headerCaptions);
        layout.headerColumns.append(column);
    }
    writeCaptionTable(data.work(), QStringLiteral("ВКолЗаг"), layout.headerCaptions);

    // Segment table and its captions: the key, the node numbers and the node
    // heights are never shown; the comment is always shown with an empty caption
    // and the repeated-entry marker never.
    static const QSet<QString> hiddenSegmentColumns = {QStringLiteral("id"), QStringLiteral("НачУзел"),
                                                       QStringLiteral("КонУзел"), QStringLiteral("ГеодВысНач"),
                                                       QStringLiteral("ГеодВысКон")};
    const QList<ColumnInfo> segmentColumns = shapeTable(data, kTabl, requiredTabl);
    for (qsizetype i = 0; i < segmentColumns.size(); ++i) {
        GridColumn column{segmentColumns[i].name, true, kSegmentColumnWidth, {}};
        if (hiddenSegmentColumns.contains(column.name))
            column.visible = false;
        if (i >= 5 && i < segmentColumns.size() - 2)
            applyCatalogue(catalogue, column, layout.segmentCaptions);
        if (column.name == QStringLiteral("Примечание"))
            column.visible = true;
        else if (column.name == QStringLiteral("Заполн_Уч"))
            column.visible = false;
        layout.segmentColumns.append(column);
    }
    layout.segmentCaptions.append(QString());
    writeCaptionTable(data.work(), QStringLiteral("ВКолТабл"), layout.segmentCaptions);
    // The grid's last column is its last visible one, the comment.
    for (qsizetype i = layout.segmentColumns.size() - 1; i >= 0; --i) {
        if (layout.segmentColumns[i].visible) {
            layout.segmentColumns[i].width = kCommentColumnWidth;
            layout.segmentColumns[i].title = QStringLiteral("Примечание (текстовый комментарий, если есть)");
            break;
        }
    }

    shapeTable(data, kKonMag, requiredKonMag);

    layout.supplyNodeFieldEnabled = !determineDiameters;
    layout.availableNodeFieldEnabled = !determineDiameters && catalogue.definitions.twoPipe;
    return true;
}

} // namespace zurm
