// Conversion of the earlier versions' files. No program here writes a Jet file
// with the calculation's tables, so the files of the program are described to
// the conversion through the adapter's interface: the tables of the delivered
// sample, read back from SQLite and given Jet types of an old file.

#include "base/UserDialogs.h"
#include "document/OldFormatConversion.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

namespace {

using zurm::JetColumn;
using zurm::JetRow;
using zurm::JetTable;
using zurm::JetType;

// Tables described in memory, as JetDatabase would give them.
class DescribedJet : public zurm::JetSource {
public:
    int version() const override { return 4; }
    const QList<JetTable>& tables() const override { return tables_; }
    void readRows(int index, const std::function<void(const JetRow&)>& row) const override
    {
        for (const JetRow& r : rows_.at(index))
            row(r);
    }
    void add(const JetTable& table, const QList<JetRow>& rows = {})
    {
        tables_.append(table);
        rows_.append(rows);
    }

    // Every table of an SQLite file, with the Jet types an old file of the
    // program has (numbers Double, whole numbers Long, so that the delivered
    // types must win).
    static DescribedJet fromSqlite(const QString& path)
    {
        DescribedJet jet;
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("described"));
        db.setDatabaseName(path);
        db.open();
        {
            QSqlQuery names(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid"), db);
            QStringList tableNames;
            while (names.next())
                tableNames.append(names.value(0).toString());
            for (const QString& name : tableNames) {
                JetTable table{name, {}};
                QSqlQuery info(QStringLiteral("SELECT name, type FROM pragma_table_info('%1')").arg(name), db);
                while (info.next()) {
                    const QString type = info.value(1).toString().toLower();
                    JetColumn column{info.value(0).toString(), JetType::Double, 8, 0, 0};
                    if (type.startsWith(QLatin1String("text")))
                        column = {column.name, JetType::Text, 255, 0, 0};
                    else if (type == QLatin1String("bit"))
                        column.type = JetType::Boolean;
                    else if (type.contains(QLatin1String("int")))
                        column.type = JetType::Long;
                    table.columns.append(column);
                }
                QList<JetRow> rows;
                QSqlQuery all(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(name), db);
                while (all.next()) {
                    JetRow row;
                    for (int c = 0; c < all.record().count(); ++c) {
                        const QVariant v = all.value(c);
                        row.append(v.isNull() ? QVariant() : v.typeId() == QMetaType::LongLong ? QVariant(v.toLongLong())
                                                             : v);
                    }
                    rows.append(row);
                }
                jet.add(table, rows);
            }
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("described"));
        return jet;
    }

private:
    QList<JetTable> tables_;
    QList<QList<JetRow>> rows_;
};

QString declaredType(const QString& file, const QString& table, const QString& column)
{
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"),
                 {file, QStringLiteral("SELECT type FROM pragma_table_info('%1') WHERE name = '%2'").arg(table, column)});
    sqlite.waitForFinished();
    return QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed();
}

QByteArray protocolOf(const QString& calculation, const QString& text)
{
    QProcess calc;
    calc.start(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"), {calculation, QStringLiteral("--text"), text});
    calc.waitForFinished(120000);
    EXPECT_EQ(calc.exitCode(), 0) << calc.readAllStandardError().constData();
    QFile file(text);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

TEST(OldFormatConversion, CalculationOfTheEarlierVersionsOpensAndCalculatesAsTheOriginal)
{
    QTemporaryDir folder;
    const DescribedJet old = DescribedJet::fromSqlite(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"));
    const QString converted = folder.filePath(QStringLiteral("converted.mdb"));
    zurm::SilentProgress progress;
    const zurm::ConversionSummary summary =
        zurm::writeConvertedDatabase(old, converted, QStringLiteral(ZURM_BIN_DIR), progress);
    ASSERT_EQ(summary.facts.kind, zurm::DatabaseKind::Calculation);
    EXPECT_EQ(summary.tables, old.tables().size());
    EXPECT_NO_THROW(zurm::verifyDatabaseFile(converted, zurm::DatabaseKind::Calculation));
    // The delivered declarations, not the old file's Long and Double.
    EXPECT_EQ(declaredType(converted, QStringLiteral("УзлыТС"), QStringLiteral("Nуз")), QStringLiteral("smallint"));
    EXPECT_EQ(declaredType(converted, QStringLiteral("ИзмПНапВУзлахТС"), QStringLiteral("ТрПр")), QStringLiteral("bit"));

    const QString original = folder.filePath(QStringLiteral("original.mdb"));
    QFile::copy(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"), original);
    QFile::setPermissions(original, QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray expected = protocolOf(original, folder.filePath(QStringLiteral("original.txt")));
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(protocolOf(converted, folder.filePath(QStringLiteral("converted.txt"))), expected);
}

TEST(OldFormatConversion, KindIsToldByTheTablesAndForeignTablesKeepTheirJetTypes)
{
    const struct {
        QString file;
        std::optional<zurm::DatabaseKind> kind;
        QString dropColumn; // one fixed column the old file lacks
    } cases[] = {
        {QStringLiteral("Spr.mdb"), zurm::DatabaseKind::Reference, {}},
        {QStringLiteral("Nastr.mdb"), zurm::DatabaseKind::Settings, {}},
        {QStringLiteral("Nastr.mdb"), std::nullopt, QStringLiteral("ФайлГР")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.file + c.dropColumn));
        DescribedJet described = DescribedJet::fromSqlite(QStringLiteral(ZURM_BIN_DIR "/") + c.file);
        DescribedJet old;
        for (int i = 0; i < described.tables().size(); ++i) {
            JetTable table = described.tables().at(i);
            QList<JetRow> rows;
            described.readRows(i, [&](const JetRow& row) { rows.append(row); });
            const int dropped = [&] {
                for (int k = 0; k < table.columns.size(); ++k)
                    if (table.columns[k].name == c.dropColumn)
                        return k;
                return -1;
            }();
            if (dropped >= 0) {
                table.columns.removeAt(dropped);
                for (JetRow& row : rows)
                    row.removeAt(dropped);
            }
            old.add(table, rows);
        }
        EXPECT_EQ(zurm::examineOldFile(old).kind, c.kind);
    }

    DescribedJet foreign;
    foreign.add({QStringLiteral("Все типы"),
                 {{QStringLiteral("Т"), JetType::Text, 20, 0, 0}, {QStringLiteral("М"), JetType::Memo, 0, 0, 0},
                  {QStringLiteral("Б"), JetType::Byte, 1, 0, 0}, {QStringLiteral("Ц"), JetType::Integer, 2, 0, 0},
                  {QStringLiteral("Д"), JetType::Long, 4, 0, 0}, {QStringLiteral("О"), JetType::Single, 4, 0, 0},
                  {QStringLiteral("Р"), JetType::Currency, 8, 0, 0}, {QStringLiteral("Л"), JetType::Boolean, 1, 0, 0},
                  {QStringLiteral("В"), JetType::DateTime, 8, 0, 0}, {QStringLiteral("Г"), JetType::Guid, 16, 0, 0},
                  {QStringLiteral("Ч"), JetType::Decimal, 17, 18, 2}, {QStringLiteral("Х"), JetType::Ole, 0, 0, 0},
                  {QStringLiteral("\"[x]\""), JetType::Binary, 8, 0, 0}}},
                {{QStringLiteral("а"), QVariant(), qint64(255), qint64(-3), qint64(7), double(0.1f), 3.5, qint64(1),
                  QStringLiteral("1974-09-21 00:00:00"), QStringLiteral("{00000000-0000-0000-0000-000000000000}"),
                  QStringLiteral("-12.30"), QByteArray("\x00\x01", 2), QByteArray("\xff", 1)}});
    QTemporaryDir folder;
    const QString converted = folder.filePath(QStringLiteral("foreign.mdb"));
    QFile(converted).open(QIODevice::WriteOnly);
    zurm::SilentProgress progress;
    EXPECT_FALSE(zurm::writeConvertedDatabase(foreign, converted, QStringLiteral(ZURM_BIN_DIR), progress).facts.kind);
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"),
                 {converted, QStringLiteral("SELECT group_concat(lower(type), ' ') FROM pragma_table_info('Все типы');"
                                            "SELECT quote(О), typeof(М), quote(Ч), quote(Х) FROM \"Все типы\"")});
    sqlite.waitForFinished();
    EXPECT_EQ(QString::fromUtf8(sqlite.readAllStandardOutput()),
              QStringLiteral("text(20) text smallint smallint int float float bit datetime text text blob blob\n"
                             "1.00000001490116119384e-01|null|'-12.30'|X'0001'\n"));
}

TEST(OldFormatConversion, StoredValuesBecomeExactText)
{
    const struct {
        double stored;
        QString text;
    } dates[] = {
        {27293.0, QStringLiteral("1974-09-21 00:00:00")},
        {0.0, QStringLiteral("1899-12-30 00:00:00")},
        {-1.25, QStringLiteral("1899-12-29 06:00:00")},
        {1.5 + 0.25 / 86400.0, QStringLiteral("1899-12-31 12:00:00.250")},
        {2.0 - 0.0001 / 86400.0, QStringLiteral("1900-01-01 00:00:00")},
        {3e6, QString()},
    };
    for (const auto& d : dates)
        EXPECT_EQ(zurm::jetDateText(d.stored), d.text) << d.stored;

    const struct {
        unsigned char bytes[17];
        int scale;
        QString text;
    } decimals[] = {
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}, 0, QStringLiteral("1")},
        {{0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xCE, 0x04, 0, 0}, 2, QStringLiteral("-12.30")},
        {{0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 3, QStringLiteral("0.000")},
        {{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, QStringLiteral("79228162514264337593543950336")},
    };
    for (const auto& d : decimals)
        EXPECT_EQ(zurm::jetDecimalText(d.bytes, d.scale), d.text);

    EXPECT_EQ(zurm::decodeJet4Text(QByteArray("\xff\xfe" "Ab\x00\x1c\x04\x38\x04\x00z", 11)), QStringLiteral("AbМиz"));

    QTemporaryDir folder;
    const QString old = folder.filePath(QStringLiteral("расчет.MDB"));
    QFile(old).open(QIODevice::WriteOnly);
    EXPECT_EQ(zurm::convertedFileName(old), folder.filePath(QStringLiteral("расчет (преобразован).MDB")));
    QFile(folder.filePath(QStringLiteral("расчет (преобразован).MDB"))).open(QIODevice::WriteOnly);
    EXPECT_EQ(zurm::convertedFileName(old), folder.filePath(QStringLiteral("расчет (преобразован 2).MDB")));
}

} // namespace
