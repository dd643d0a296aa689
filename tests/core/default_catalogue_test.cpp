// The delivered databases: the template of a new calculation (GidrRas.mdb) with
// its default indicator catalogue, the reference file (Spr.mdb) and the settings
// file (Nastr.mdb).
//
// The catalogue is checked by evaluating it on one segment with a small evaluator
// of this file. It accepts exactly the forms the program's evaluator reduces
// (unary minus only at the start of an expression, after "(" or ";"; a group in
// parentheses must contain an operation; no exponent notation) and looks the
// reference functions up in the delivered Spr.mdb.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

QString u8(const char* text) { return QString::fromUtf8(text); }

std::string str(const QString& text) { return text.toStdString(); }

struct FormulaError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Copies of the delivered files in a temporary folder, each opened through its
// own connection; the built files are never opened in place.
class DeliveredDatabases {
public:
    DeliveredDatabases()
    {
        for (const char* file : {"GidrRas.mdb", "Spr.mdb", "Nastr.mdb"}) {
            const QString from = QDir(QStringLiteral(ZURM_BIN_DIR)).filePath(u8(file));
            const QString to = dir_.filePath(u8(file));
            if (!QFile::copy(from, to))
                throw std::runtime_error("cannot copy " + str(from));
            QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
            const QString name = QStringLiteral("default-catalogue-") + u8(file);
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(to);
            if (!db.open())
                throw std::runtime_error("cannot open " + str(to) + ": " + str(db.lastError().text()));
            names_.push_back(name);
        }
    }
    ~DeliveredDatabases()
    {
        for (const QString& name : names_) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
    DeliveredDatabases(const DeliveredDatabases&) = delete;
    DeliveredDatabases& operator=(const DeliveredDatabases&) = delete;

    QSqlDatabase calculation() const { return QSqlDatabase::database(names_[0], false); }
    QSqlDatabase reference() const { return QSqlDatabase::database(names_[1], false); }
    QSqlDatabase settings() const { return QSqlDatabase::database(names_[2], false); }

private:
    QTemporaryDir dir_;
    std::vector<QString> names_;
};

QSqlQuery run(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw std::runtime_error(str(sql) + ": " + str(query.lastError().text()));
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw std::runtime_error(str(sql) + ": " + str(query.lastError().text()));
    return query;
}

QVariant scalar(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery query = run(db, sql, values);
    return query.next() ? query.value(0) : QVariant();
}

// Everything from "[" up to and including the next "]" is a comment.
QString stripComments(const QString& formula)
{
    QString out;
    bool copying = true;
    for (const QChar c : formula) {
        if (c == u'[') {
            copying = false;
        } else if (c == u']' && !copying) {
            copying = true;
        } else if (copying) {
            out.append(c);
        }
    }
    return out.left(255);
}

// Short-name alphabet: Latin and Cyrillic letters (with Ё, ё) and digits; the
// first character is not a digit.
bool isShortNameChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z')
        || (u >= u'А' && u <= u'я') || u == u'Ё' || u == u'ё';
}

bool isValidShortName(const QString& name)
{
    if (name.isEmpty() || name.size() > 255 || name.front().isDigit())
        return false;
    for (const QChar c : name)
        if (!isShortNameChar(c))
            return false;
    return true;
}

class TestEvaluator {
public:
    TestEvaluator(QSqlDatabase reference, const std::map<QString, double>& values)
        : reference_(std::move(reference)), values_(values)
    {
    }

    double evaluate(const QString& formula)
    {
        text_ = stripComments(formula);
        text_.remove(u' ');
        text_.replace(u',', u'.');
        pos_ = 0;
        operations_ = 0;
        const double value = expression();
        if (pos_ != text_.size())
            fail("unexpected text");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& what) const
    {
        throw FormulaError(what + " at " + std::to_string(pos_) + " in " + str(text_));
    }
    QChar peek() const { return pos_ < text_.size() ? text_[pos_] : QChar(); }
    void expect(QChar c)
    {
        if (peek() != c)
            fail(std::string("expected ") + char(c.unicode()));
        ++pos_;
    }

    // expression := ["-"] term {("+" | "-") term}; the minus applies to the first term.
    double expression()
    {
        double value = 0;
        if (peek() == u'-') {
            ++pos_;
            ++operations_;
            value = -term();
        } else {
            value = term();
        }
        while (peek() == u'+' || peek() == u'-') {
            const QChar op = text_[pos_++];
            ++operations_;
            const double right = term();
            value = op == u'+' ? value + right : value - right;
        }
        return value;
    }

    double term()
    {
        double value = factor();
        while (peek() == u'*' || peek() == u'/') {
            const QChar op = text_[pos_++];
            ++operations_;
            const double right = factor();
            if (op == u'/' && right == 0)
                fail("Деление на ноль!");
            value = op == u'*' ? value * right : value / right;
        }
        return value;
    }

    double factor()
    {
        const QChar c = peek();
        if (c.isDigit() || c == u'.')
            return number();
        if (c == u'<') {
            const qsizetype end = text_.indexOf(u'>', pos_);
            if (end < 0)
                fail("unclosed reference");
            const QString name = text_.mid(pos_ + 1, end - pos_ - 1);
            pos_ = end + 1;
            const auto found = values_.find(name);
            if (found == values_.end())
                fail("value of " + str(name) + " is not filled");
            return found->second;
        }
        if (c == u'(') {
            ++pos_;
            const int before = operations_;
            const double value = expression();
            if (operations_ == before)
                fail("a single operand in parentheses");
            expect(u')');
            return value;
        }
        if (c.isLetter()) {
            const qsizetype start = pos_;
            while (peek().isLetter())
                ++pos_;
            return call(text_.mid(start, pos_ - start).toUpper());
        }
        fail("operand expected");
    }

    double number()
    {
        const qsizetype start = pos_;
        while (peek().isDigit() || peek() == u'.')
            ++pos_;
        const QString run = text_.mid(start, pos_ - start);
        bool ok = false;
        const double value = run.toDouble(&ok);
        if (!ok || run.count(u'.') > 1)
            fail("not a number: " + str(run));
        return value;
    }

    double call(const QString& name)
    {
        expect(u'(');
        std::vector<double> args{expression()};
        while (peek() == u';') {
            ++pos_;
            args.push_back(expression());
        }
        expect(u')');
        ++operations_;
        const auto arity = [&](std::size_t n) {
            if (args.size() != n)
                fail("wrong number of arguments of " + str(name));
        };
        if (name == u8("СТЕПЕНЬ")) {
            arity(2);
            const double x = args[0], y = args[1];
            if ((x < 0 && y != std::trunc(y)) || (x == 0 && y <= 0))
                fail("invalid arguments of Степень");
            return std::pow(x, y);
        }
        if (name == u8("ОКРУГЛ")) {
            arity(2);
            const double x = args[0], y = args[1];
            if (y < -10 || y > 10 || y != std::trunc(y))
                fail("invalid arguments of Округл");
            const long double q = std::pow(10.0L, -static_cast<long double>(y));
            const long double shifted = x >= 0 ? x / q + 0.5000000001L : x / q - 0.5000000001L;
            return static_cast<double>(static_cast<long double>(static_cast<long long>(shifted)) * q);
        }
        if (name == u8("ДВНУТРПОДУ")) {
            arity(1);
            return lookUp(args[0], u8("SELECT [ВнутрДиамТрПр] FROM [ДиамТрПр] WHERE [УслДиамТрПр]=?"));
        }
        if (name == u8("ПЛВОДЫПОТ")) {
            arity(1);
            return lookUp(args[0], u8("SELECT [Плотность] FROM [ПлВодыОтТ] WHERE [Т]=?"));
        }
        fail("unknown function " + str(name));
    }

    double lookUp(double key, const QString& sql)
    {
        if (key != std::trunc(key) || key <= 0 || key >= 32767)
            fail("argument is not an integer in (0..32767)");
        const QVariant value = scalar(reference_, sql, {static_cast<int>(key)});
        if (value.isNull())
            fail("no row for " + std::to_string(key));
        return value.toDouble();
    }

    QSqlDatabase reference_;
    const std::map<QString, double>& values_;
    QString text_;
    qsizetype pos_ = 0;
    int operations_ = 0;
};

struct Indicator {
    QString name;
    QString type;
    bool userEntered = false;
    QString formula;
};

std::vector<Indicator> userIndicators(const QSqlDatabase& calc)
{
    std::vector<Indicator> result;
    QSqlQuery query = run(calc, u8("SELECT [НаимПокСокр], [ТипПок], [ВводПольз], [Формула] FROM [Формулы] ORDER BY [Nпп]"));
    while (query.next())
        result.push_back({query.value(0).toString(), query.value(1).toString().toUpper(), query.value(2).toBool(),
                          query.value(3).toString()});
    return result;
}

QString predefinedFormula(const QSqlDatabase& calc, const char* name)
{
    return scalar(calc, u8("SELECT [Формула] FROM [ФлыПредопрПок] WHERE [НаимПокСокр]=?"), {u8(name)}).toString();
}

bool near(double actual, double expected, double relative) { return std::fabs(actual - expected) <= relative * std::fabs(expected); }

TEST(DeliveredDatabases, TestEvaluatorFollowsTheReductionRules)
{
    DeliveredDatabases files;
    const std::map<QString, double> values{{u8("a"), 2}, {u8("b"), 3}, {u8("c"), -2.5}};
    TestEvaluator evaluator(files.reference(), values);
    const struct {
        const char* formula;
        double expected;
    } accepted[] = {
        {"-<a>*<b>", -6},       {"10-3-2", 5},           {"8/2/2", 2},          {"1+2*3", 7},
        {"<a>*(-<b>)", -6},     {"((<a>+<b>))*2", 10},   {"Округл(2.5;0)", 3},  {"Округл(<c>;0)", -3},
        {"Округл(1.005;2)", 1.01}, {"ОКРУГЛ(1234;-2)", 1200}, {"Степень(-8;3)", -512}, {"1,5*<a> [comment <x>]", 3},
        {"ДвнутрПоДу(100)", 100}, {"ПлВодыПоТ(90)", 966.0},
    };
    for (const auto& row : accepted) {
        SCOPED_TRACE(row.formula);
        EXPECT_NEAR(evaluator.evaluate(u8(row.formula)), row.expected, 1e-12);
    }
    for (const char* refused : {"(<a>)", "(<a>)*<b>", "<a>*-<b>", "<a>+-<b>", "Степень((<a>);2)", "1e5", "<a><b>",
                                "2(<a>+1)", "Степень(-8;0.5)", "Округл(1;0.5)", "ДвнутрПоДу(101)", "ПлВодыПоТ(90.5)",
                                "<a>/0", "<нет>+1", "1.5.2"}) {
        SCOPED_TRACE(refused);
        EXPECT_THROW(evaluator.evaluate(u8(refused)), FormulaError);
    }
}

// One segment of a two-pipe network worked out by hand:
//   Ду 100 (108x4) -> Двн = 100 mm, d = 0.1 m; G = 50 t/h = 13.888889 kg/s; L = 100 m;
//   kэ = 0.5 mm (template header value), a = 0.3 (template header value).
// Supply, temperatures 95 / 85:
//   tср = 90 град. С -> ρ = 966.00 kg/m3 (Spr.mdb)
//   v = 13.888889 / 966.00 / (π·0.1²/4 = 0.00785398) = 1.830630 m/s
//   kэ^0.25 = 0.0005^0.25 = 0.1495349, d^5.25 = 0.1^5.25 = 5.623413e-6
//   R = 0.0894·0.1495349·13.888889² / (966.00·5.623413e-6)
//     = 0.01336842·192.90123 / 0.005432217 = 2.578784 / 0.005432217 = 474.7204 Pa/m
//   ΔH = 474.7204·100·1.3 / (966.00·9.80665) = 61713.65 / 9473.224 = 6.514535 m
//   loss from the source: 12.5 + 6.514535 = 19.014535 m
// Return, temperatures 52 / 43:
//   tср = 47.5, rounded half up to 48 -> ρ = 989.59 kg/m3
//   v = 13.888889 / 989.59 / 0.00785398 = 1.786991 m/s
//   R = 2.578784 / (989.59·5.623413e-6 = 0.005564874) = 463.4039 Pa/m
//   ΔH = 463.4039·130 / (989.59·9.80665 = 9704.563) = 60242.51 / 9704.563 = 6.207648 m
//   loss from the source: 7.25 + 6.207648 = 13.457648 m
TEST(DeliveredDatabases, DefaultCatalogueComputesOneSegmentByHand)
{
    DeliveredDatabases files;
    const QSqlDatabase calc = files.calculation();

    std::map<QString, double> values{
        {u8("ДуПод"), 100},        {u8("ДлНаУчПод"), 100},     {u8("РасхПод"), 50},
        {u8("ТВодыНачПод"), 95},   {u8("ТВодыКонПод"), 85},    {u8("ПотНОтИНачПод"), 12.5},
        {u8("ДлНаУчОбр"), 100},    {u8("РасхОбр"), 50},        {u8("ТВодыНачОбр"), 52},
        {u8("ТВодыКонОбр"), 43},   {u8("ПотНОтИНачОбр"), 7.25},
    };
    // Header values come from the template's single Заг row.
    QSqlQuery header = run(calc, u8("SELECT * FROM [Заг]"));
    ASSERT_TRUE(header.next());
    for (int i = 0; i < header.record().count(); ++i)
        if (!header.value(i).isNull())
            values[header.record().fieldName(i)] = header.value(i).toDouble();
    EXPECT_FALSE(header.next());
    EXPECT_EQ(values[u8("КэШер")], 0.5);
    EXPECT_EQ(values[u8("ДолМестПот")], 0.3);

    // Nпп order is an evaluation order: every formula refers only to values
    // entered or computed before it.
    TestEvaluator evaluator(files.reference(), values);
    for (const Indicator& indicator : userIndicators(calc)) {
        if (indicator.userEntered)
            continue;
        SCOPED_TRACE(str(indicator.name));
        EXPECT_NO_THROW(values[indicator.name] = evaluator.evaluate(indicator.formula));
    }
    for (const char* name : {"ПотНОтИКонПод", "ПотНОтИКонОбр"}) {
        SCOPED_TRACE(name);
        EXPECT_NO_THROW(values[u8(name)] = evaluator.evaluate(predefinedFormula(calc, name)));
    }

    const struct {
        const char* name;
        double expected;
    } expected[] = {
        {"ДвнПод", 100},          {"ТСрПод", 90},           {"ПлВодыПод", 966.00},
        {"СкорПод", 1.83062967},  {"УдПотДПод", 474.720406}, {"ПотНПод", 6.51453544},
        {"ПотНОтИКонПод", 19.0145354},
        {"ДуОбр", 100},           {"ДвнОбр", 100},          {"ТСрОбр", 47.5},
        {"ПлВодыОбр", 989.59},    {"СкорОбр", 1.78699083},  {"УдПотДОбр", 463.403948},
        {"ПотНОбр", 6.20764836},  {"ПотНОтИКонОбр", 13.4576484},
    };
    for (const auto& row : expected) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(values.count(u8(row.name)), 1u);
        const double actual = values[u8(row.name)];
        EXPECT_TRUE(near(actual, row.expected, 1e-8)) << actual << " instead of " << row.expected;
    }
}

TEST(DeliveredDatabases, PredefinedIndicatorsAreCompleteAndFlaggedRight)
{
    DeliveredDatabases files;
    const QSqlDatabase calc = files.calculation();
    const struct {
        const char* name;
        const char* type;
        bool onePipe;
        bool userEntered;
    } rows[] = {
        {"ПНапНаУзПод", "З", true, true},     {"РНапНаУз", "З", false, true},
        {"МинГеодВысТС", "З", true, false},   {"МаксГеодВысТС", "З", true, false},
        {"МаксДлПод", "З", true, false},      {"МаксДлОбр", "З", false, false},
        {"МаксСумДлПодОбр", "З", false, false}, {"МинТВоды", "З", true, true},
        {"МаксТВоды", "З", true, true},       {"ГеодВысНач", "П", true, false},
        {"ГеодВысКон", "П", true, false},     {"ДлНаУчПод", "П", true, true},
        {"РасхПод", "П", true, true},         {"ДлНачПод", "П", true, false},
        {"ДлКонПод", "П", true, false},       {"ТВодыНачПод", "П", true, false},
        {"ТВодыКонПод", "П", true, false},    {"ПотНОтИНачПод", "П", true, false},
        {"ПотНОтИКонПод", "П", true, false},  {"УПНВВПод", "П", true, false},
        {"ДлНаУчОбр", "О", false, false},     {"РасхОбр", "О", false, false},
        {"ДлНачОбр", "О", false, false},      {"ДлКонОбр", "О", false, false},
        {"ТВодыНачОбр", "О", false, false},   {"ТВодыКонОбр", "О", false, false},
        {"ПотНОтИНачОбр", "О", false, false}, {"ПотНОтИКонОбр", "О", false, false},
        {"УПНВВОбр", "О", false, false},      {"ПНапНачПод", "П", true, false},
        {"ПНапКонПод", "П", true, false},     {"ПНапНачОбр", "О", false, false},
        {"ПНапКонОбр", "О", false, false},    {"РНапНач", "И", false, false},
        {"РНапКон", "И", false, false},
    };
    EXPECT_EQ(scalar(calc, u8("SELECT count(*) FROM [ФлыПредопрПок]")).toInt(), static_cast<int>(std::size(rows)));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QSqlQuery query = run(calc,
                              u8("SELECT [ТипПок], [ИспПриРасч1трТС], [ИспПриРасч2трТС], [ВводПольз], [Формула], [НаимПок] "
                                 "FROM [ФлыПредопрПок] WHERE [НаимПокСокр]=?"),
                              {u8(row.name)});
        ASSERT_TRUE(query.next());
        EXPECT_EQ(query.value(0).toString(), u8(row.type));
        EXPECT_EQ(query.value(1).toBool(), row.onePipe);
        EXPECT_TRUE(query.value(2).toBool());
        EXPECT_EQ(query.value(3).toBool(), row.userEntered);
        const QString name = u8(row.name);
        EXPECT_EQ(query.value(4).isNull(), name != u8("ПотНОтИКонПод") && name != u8("ПотНОтИКонОбр"));
        // The full name ends with its unit: "..., м.", "..., град. С", "..., т/ч.".
        EXPECT_TRUE(query.value(5).toString().contains(u8(", "))) << str(query.value(5).toString());
        EXPECT_FALSE(query.next()) << "listed twice";
    }
}

TEST(DeliveredDatabases, UserIndicatorsPassTheCatalogueRules)
{
    DeliveredDatabases files;
    const QSqlDatabase calc = files.calculation();

    // The alphabet rule itself.
    for (const auto& [name, valid] : std::vector<std::pair<const char*, bool>>{
             {"Ёж1", true}, {"ёЁzZ09", true}, {"2Q", false}, {"Q-2", false}, {"Q 2", false}, {"Δp", false}, {"", false}})
        EXPECT_EQ(isValidShortName(u8(name)), valid) << name;

    std::map<QString, QString> typeOf; // every short name of both catalogues
    std::set<QString> predefinedUpper;
    QSqlQuery predefined = run(calc, u8("SELECT [НаимПокСокр], [ТипПок] FROM [ФлыПредопрПок]"));
    while (predefined.next()) {
        typeOf[predefined.value(0).toString()] = predefined.value(1).toString().toUpper();
        predefinedUpper.insert(predefined.value(0).toString().toUpper());
    }
    const std::vector<Indicator> users = userIndicators(calc);
    std::set<QString> seen;
    for (const Indicator& user : users) {
        EXPECT_TRUE(seen.insert(user.name).second) << "duplicate " << str(user.name);
        typeOf[user.name] = user.type;
    }

    const QStringList reserved{u8("ID"), u8("НАЧУЗЕЛ"), u8("КОНУЗЕЛ"), u8("ПРИМЕЧАНИЕ")};
    const QStringList late{u8("ПНапНачПод"), u8("ПНапНачОбр"), u8("ПНапКонПод"), u8("ПНапКонОбр"),
                           u8("РНапНач"), u8("РНапКон"), u8("УПНВВПод"), u8("УПНВВОбр")};
    for (const Indicator& user : users) {
        SCOPED_TRACE(str(user.name));
        EXPECT_TRUE(isValidShortName(user.name));
        EXPECT_FALSE(reserved.contains(user.name.toUpper()));
        EXPECT_EQ(predefinedUpper.count(user.name.toUpper()), 0u);
        EXPECT_TRUE(QStringList({u8("З"), u8("П"), u8("О"), u8("И")}).contains(user.type));
        EXPECT_EQ(user.formula.isEmpty(), user.userEntered);
        EXPECT_LE(user.formula.size(), 255);
        EXPECT_FALSE(user.formula.contains(u'{') || user.formula.contains(u'}'));

        // References: existing names, never a late one, and only to types the
        // indicator's own type may use (З: З; П: З, П; О and И: any).
        const QString text = stripComments(user.formula);
        for (qsizetype open = text.indexOf(u'<'); open >= 0; open = text.indexOf(u'<', open + 1)) {
            const qsizetype close = text.indexOf(u'>', open);
            ASSERT_GT(close, open);
            const QString ref = text.mid(open + 1, close - open - 1);
            SCOPED_TRACE(str(ref));
            ASSERT_EQ(typeOf.count(ref), 1u);
            EXPECT_FALSE(late.contains(ref));
            const QString refType = typeOf[ref];
            if (user.type == u8("З")) {
                EXPECT_EQ(refType, u8("З"));
            }
            if (user.type == u8("П")) {
                EXPECT_TRUE(refType == u8("З") || refType == u8("П"));
            }
        }
    }
}

TEST(DeliveredDatabases, TemplateTablesFollowTheCatalogue)
{
    DeliveredDatabases files;
    const QSqlDatabase calc = files.calculation();
    EXPECT_LT(QFileInfo(calc.databaseName()).size(), 500000);

    QSqlQuery settings = run(calc, u8("SELECT [ТипСети], [ОпрД], [РасчРасх], [ПарТСКорр], [РВ], [МасштабКарты] FROM [НазвРасч]"));
    ASSERT_TRUE(settings.next());
    EXPECT_EQ(settings.value(0).toInt(), 1);
    EXPECT_FALSE(settings.value(1).toBool());
    EXPECT_TRUE(settings.value(2).toBool());
    EXPECT_EQ(settings.value(3).toInt(), 1);
    EXPECT_FALSE(settings.value(4).toBool());
    EXPECT_EQ(settings.value(5).toDouble(), 100.0);
    EXPECT_FALSE(settings.next());

    const auto columns = [&](const char* table) {
        QStringList names;
        const QSqlRecord record = calc.record(u8(table));
        for (int i = 0; i < record.count(); ++i)
            names << record.fieldName(i);
        return names;
    };
    QStringList header, segmentUser;
    for (const Indicator& user : userIndicators(calc))
        (user.type == u8("З") ? header : segmentUser) << user.name;

    const QStringList zag = header
        + u8("ПНапНаУзПод РНапНаУз МинГеодВысТС МаксГеодВысТС МаксДлПод МаксДлОбр МаксСумДлПодОбр МинТВоды МаксТВоды")
              .split(u' ');
    EXPECT_EQ(columns("Заг"), zag);
    const QStringList tabl =
        u8("id НачУзел КонУзел ГеодВысНач ГеодВысКон ДлНаУчПод ДлНаУчОбр РасхПод РасхОбр ДлНачПод ДлНачОбр ДлКонПод "
           "ДлКонОбр ТВодыНачПод ТВодыНачОбр ТВодыКонПод ТВодыКонОбр")
            .split(u' ')
        + segmentUser
        + u8("ПотНОтИНачПод ПотНОтИНачОбр ПотНОтИКонПод ПотНОтИКонОбр ПНапНачПод ПНапНачОбр ПНапКонПод ПНапКонОбр "
             "РНапНач РНапКон Примечание Заполн_Уч")
              .split(u' ');
    EXPECT_EQ(columns("Табл"), tabl);
    EXPECT_EQ(scalar(calc, u8("SELECT count(*) FROM [Табл]")).toInt(), 0);
    EXPECT_EQ(columns("КонМаг").size(), 22);
    EXPECT_EQ(scalar(calc, u8("SELECT count(*) FROM [Заг]")).toInt(), 1);

    for (const char* empty : {"УзлыТС", "ИзмПНапВУзлахТС", "МагистралиТС", "ПриорЗ", "ПриорП", "ПриорОИ",
                              "СписокРасчУчастков", "КонМаг"}) {
        SCOPED_TRACE(empty);
        EXPECT_EQ(scalar(calc, u8("SELECT count(*) FROM [") + u8(empty) + u8("]")).toInt(), 0);
    }
}

TEST(DeliveredDatabases, ReferenceTables)
{
    DeliveredDatabases files;
    const QSqlDatabase spr = files.reference();

    // Pipe series: nominal -> internal diameter, both strictly ascending, so every
    // diameter function finds one row.
    const std::vector<std::pair<int, int>> series{
        {25, 27},   {32, 33},   {40, 40},   {50, 51},   {65, 70},   {80, 82},    {100, 100},  {125, 125},
        {150, 150}, {175, 184}, {200, 207}, {250, 259}, {300, 309}, {350, 359},  {400, 412},  {450, 466},
        {500, 514}, {600, 614}, {700, 704}, {800, 802}, {900, 900}, {1000, 998}, {1200, 1192}, {1400, 1388}};
    std::vector<std::pair<int, int>> stored;
    QSqlQuery pipes = run(spr, u8("SELECT [УслДиамТрПр], [ВнутрДиамТрПр] FROM [ДиамТрПр] ORDER BY [УслДиамТрПр]"));
    while (pipes.next())
        stored.emplace_back(pipes.value(0).toInt(), pipes.value(1).toInt());
    EXPECT_EQ(stored, series);
    for (std::size_t i = 1; i < stored.size(); ++i)
        EXPECT_GT(stored[i].second, stored[i - 1].second);

    // Water density at 1.6 MPa: every degree 1..200, the maximum near 4 degrees.
    EXPECT_EQ(scalar(spr, u8("SELECT count(DISTINCT [Т]) FROM [ПлВодыОтТ] WHERE [Т] BETWEEN 1 AND 200")).toInt(), 200);
    EXPECT_EQ(scalar(spr, u8("SELECT count(*) FROM [ПлВодыОтТ]")).toInt(), 200);
    for (const auto& [t, rho] : std::vector<std::pair<int, double>>{
             {4, 1000.72}, {20, 998.89}, {50, 988.70}, {90, 966.00}, {150, 917.64}, {200, 864.70}})
        EXPECT_DOUBLE_EQ(scalar(spr, u8("SELECT [Плотность] FROM [ПлВодыОтТ] WHERE [Т]=?"), {t}).toDouble(), rho) << t;
    QSqlQuery density = run(spr, u8("SELECT [Плотность] FROM [ПлВодыОтТ] WHERE [Т]>=4 ORDER BY [Т]"));
    double previous = 1e9;
    while (density.next()) {
        EXPECT_LT(density.value(0).toDouble(), previous);
        previous = density.value(0).toDouble();
    }

    // Correction coefficients β = (kэ/0.5)^0.25 for every nominal diameter.
    EXPECT_EQ(scalar(spr, u8("SELECT count(*) FROM [ПопрКоэфКУдПот]")).toInt(), static_cast<int>(series.size() * 8));
    for (const auto& [du, internal] : series) {
        (void)internal;
        for (const double ke : {0.1, 0.2, 0.3, 0.5, 0.8, 1.0, 1.5, 2.0}) {
            const QVariant beta = scalar(
                spr, u8("SELECT [Коэф] FROM [ПопрКоэфКУдПот] WHERE [УслДиамТрПр]=? AND [ЭквШер]=?"), {du, ke});
            ASSERT_FALSE(beta.isNull()) << du << " " << ke;
            EXPECT_NEAR(beta.toDouble(), std::pow(ke / 0.5, 0.25), 0.0005 + 1e-12) << du << " " << ke;
        }
    }
}

TEST(DeliveredDatabases, SettingsFileDefaults)
{
    DeliveredDatabases files;
    const QSqlDatabase nastr = files.settings();
    QSqlQuery row = run(nastr, u8("SELECT * FROM [Настройки]"));
    ASSERT_TRUE(row.next());
    EXPECT_TRUE(row.value(u8("ФайлГР")).isNull());
    EXPECT_EQ(row.value(u8("ФайлСпр")).toString(), u8("Spr.mdb"));
    for (const char* font : {"РШрифтаВТД", "РШрифтаВЗагКолТД", "РШрифтаНаимПок", "РШрифтаГр"})
        EXPECT_EQ(row.value(u8(font)).toInt(), 10) << font;
    EXPECT_EQ(row.value(u8("ТочностьЧиселВОтч")).toInt(), 3);
    EXPECT_TRUE(row.value(u8("СохрТекстРас")).toBool());
    EXPECT_FALSE(row.next());

    QSqlQuery import = run(nastr, u8("SELECT * FROM [НастрЗагрИзExcel]"));
    ASSERT_TRUE(import.next());
    EXPECT_EQ(import.record().count(), 22);
    for (int i = 0; i < import.record().count(); ++i)
        EXPECT_TRUE(import.value(i).isNull()) << str(import.record().fieldName(i));
    EXPECT_FALSE(import.next());
}

} // namespace
