#include "indicators/IndicatorCheck.h"

#include "document/CalculationRow.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "indicators/CalculationOrder.h"
#include "platform/Cp1251.h"

#include <QSqlQuery>

namespace zurm {

namespace {

// Short names are held as single-byte Windows-1251 text of this length.
constexpr qsizetype kShortNameLength = 255;

const QString kSyntaxError = QStringLiteral("Синтаксическая ошибка в формуле: ");

// Node heads are computed after every formula, so no formula may use them.
const QSet<QString>& lateIndicatorsUpper()
{
    static const QSet<QString> names{
        QStringLiteral("ПНАПНАЧПОД"), QStringLiteral("ПНАПНАЧОБР"), QStringLiteral("ПНАПКОНПОД"),
        QStringLiteral("ПНАПКОНОБР"), QStringLiteral("РНАПНАЧ"),    QStringLiteral("РНАПКОН"),
    };
    return names;
}

bool isDesignModeOnlyUpper(const QString& upper)
{
    return upper == QStringLiteral("УПНВВПОД") || upper == QStringLiteral("УПНВВОБР");
}

QString textOf(const QVariant& value) { return value.isNull() ? QString() : value.toString(); }

std::optional<bool> flagOf(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toBool();
}

// The message of one reference X, empty when X may be used by a formula of `own` type.
QString referenceFault(const IndicatorCatalogue& catalogue, const QString& reference, const QString& own)
{
    const QString upper = reference.toUpper();
    if (lateIndicatorsUpper().contains(upper) || (!catalogue.designMode() && isDesignModeOnlyUpper(upper)))
        return kSyntaxError + QStringLiteral("Недопустима ссылка на показатель \"") + reference + QStringLiteral("\".");

    const IndicatorCatalogue::Found found = catalogue.find(reference);
    if (!found)
        return kSyntaxError + QStringLiteral("Не найден показатель \"") + reference + QStringLiteral("\".");

    const QString& referred = found.record->type;
    if (own == kHeaderType && referred != kHeaderType)
        return kSyntaxError + QStringLiteral("Показатель \"") + reference
            + QStringLiteral("\" не является заголовочным. Для формул заголовочных показателей допустимы ссылки "
                             "только на заголовочные показатели.");
    if (own == kSupplyType && referred != kHeaderType && referred != kSupplyType)
        return kSyntaxError + QStringLiteral("Показатель \"") + reference
            + QStringLiteral("\" не является заголовочным и не является показателем подающего трубопровода.")
            + QStringLiteral("\r")
            + QStringLiteral("Для формул показателей подающего т-провода допустимы ссылки только на заголовочные "
                             "показатели или на показатели подающего т-провода.");

    if (found.predefined && catalogue.networkType() == 0 && !found.record->usedInOnePipe)
        return kSyntaxError + QStringLiteral("Недопустима ссылка на показатель \"") + reference
            + QStringLiteral("\". Показатель \"") + reference
            + QStringLiteral("\" не используется при расчете однотрубных теплосетей.");
    return {};
}

// The message of a fault in the name or type of one user indicator, empty when both are right.
QString nameAndTypeFault(const IndicatorCatalogue& catalogue, const IndicatorRecord& record)
{
    const QString& name = record.shortName;
    const QString prefix = indicatorMessagePrefix(kUserIndicatorsTitle, name);
    if (name.isEmpty())
        return prefix + QStringLiteral("Поле \"Сокр. наименование показателя\" должно быть заполнено.");

    // The whole name as the single-byte code page holds it: a character the
    // code page lacks arrives as "?" and fails the alphabet. It names a column,
    // so no character of it goes unchecked.
    const QString held = throughCp1251(name);
    if (catalogue.isReservedName(held))
        return prefix + QStringLiteral("Недопустимое сокращенное наименование показателя.");
    for (const QChar c : held) {
        if (!isShortNameCharacter(c))
            return prefix
                + QStringLiteral("Сокращенные наименования показателей могут состоять только из цифр, строчных или "
                                 "заглавных букв английского или русского алфавита.");
    }
    if (held.at(0).isDigit())
        return prefix
            + QStringLiteral("Сокращенные наименования показателей должны начинаться с заглавной или строчной буквы "
                             "английского или русского алфавита.");
    if (held.size() > kShortNameLength)
        return prefix + QStringLiteral("Сокращенное наименование показателя не должно быть длиннее ")
            + QString::number(kShortNameLength) + QStringLiteral(" символов.");

    const QString& type = record.type;
    if (catalogue.networkType() == 0 && type != kHeaderType && type != kSupplyType)
        return prefix
            + QStringLiteral("При расчете однотрубных сетей поле \"Заголовочный (З), подающий т-провод (П), обратный "
                             "т-провод (О), итоговый (И)\" должно содержать одно из значений: З, П.");
    if (catalogue.networkType() == 1 && type != kHeaderType && type != kSupplyType && type != kReturnType
        && type != kTotalType)
        return prefix
            + QStringLiteral("При расчете двухтрубных сетей поле \"Заголовочный (З), подающий т-провод (П), обратный "
                             "т-провод (О), итоговый (И)\" должно содержать одно из значений: З, П, О, И.");
    return {};
}

// Restores the normal cursor however the check ends.
class BusyCursor {
public:
    explicit BusyCursor(Progress& progress) : progress_(progress) { progress_.setBusy(true); }
    ~BusyCursor() { release(); }
    void release()
    {
        if (busy_)
            progress_.setBusy(false);
        busy_ = false;
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    Progress& progress_;
    bool busy_ = true;
};

} // namespace

QString indicatorMessagePrefix(const QString& title, const QString& shortName)
{
    return title + QStringLiteral("\rСокр. наименование показателя: \"") + shortName + QStringLiteral("\":\r\r");
}

QString indicatorCheckClosing()
{
    return QStringLiteral("\r\r") + QStringLiteral("Для исправления ошибки выполните команду:") + QStringLiteral("\r")
        + QStringLiteral("Данные / Параметры расчета");
}

const QString& shortNameAlphabet()
{
    static const QString alphabet = [] {
        QString text;
        for (char16_t c = u'0'; c <= u'9'; ++c)
            text.append(QChar(c));
        for (char16_t c = u'A'; c <= u'Z'; ++c)
            text.append(QChar(c));
        for (char16_t c = u'a'; c <= u'z'; ++c)
            text.append(QChar(c));
        for (char16_t c = u'А'; c <= u'Я'; ++c) {
            text.append(QChar(c));
            if (c == u'Е')
                text.append(QChar(u'Ё'));
        }
        for (char16_t c = u'а'; c <= u'я'; ++c) {
            text.append(QChar(c));
            if (c == u'е')
                text.append(QChar(u'ё'));
        }
        return text;
    }();
    return alphabet;
}

bool isShortNameCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z')
        || (u >= u'А' && u <= u'я') || u == u'Ё' || u == u'ё';
}

const QStringList& reservedColumnNames()
{
    static const QStringList names{QStringLiteral("ID"), QStringLiteral("НАЧУЗЕЛ"), QStringLiteral("КОНУЗЕЛ"),
                                   QStringLiteral("ПРИМЕЧАНИЕ")};
    return names;
}

QString StripFormulaComments(const QString& formula)
{
    QString result;
    result.reserve(formula.size());
    bool copying = true;
    for (const QChar c : formula) {
        if (c == u'[') {
            copying = false;
        } else if (c == u']') {
            if (copying)
                result.append(c);
            copying = true;
        } else if (copying) {
            result.append(c);
        }
    }
    result.truncate(kShortNameLength);
    return result;
}

IndicatorCatalogue::IndicatorCatalogue(int networkType, bool designMode, QList<IndicatorRecord> user,
                                       QList<IndicatorRecord> predefined)
    : networkType_(networkType), designMode_(designMode), user_(std::move(user)), predefined_(std::move(predefined))
{
    userIndex_.reserve(user_.size());
    for (qsizetype i = 0; i < user_.size(); ++i) {
        if (!user_[i].shortName.isEmpty() && !userIndex_.contains(user_[i].shortName))
            userIndex_.insert(user_[i].shortName, i);
    }
    predefinedIndex_.reserve(predefined_.size());
    for (qsizetype i = 0; i < predefined_.size(); ++i) {
        const QString& name = predefined_[i].shortName;
        if (name.isEmpty())
            continue;
        if (!predefinedIndex_.contains(name))
            predefinedIndex_.insert(name, i);
        predefinedUpper_.insert(name.toUpper());
    }
}

IndicatorCatalogue IndicatorCatalogue::load(const QSqlDatabase& calculation)
{
    const CalculationRow::NetworkParameters parameters = CalculationRow(calculation).networkParameters();
    const int networkType = parameters.type();
    const bool designMode = parameters.designMode;

    QList<IndicatorRecord> user;
    {
        QSqlQuery rows = selectSql(calculation,
                                   QStringLiteral("SELECT [Nпп], [НаимПокСокр], [ТипПок], [ВводПольз], [Формула] "
                                                  "FROM [Формулы] ORDER BY [Nпп], rowid"));
        while (rows.next()) {
            IndicatorRecord record;
            record.npp = rows.value(0);
            record.shortName = textOf(rows.value(1));
            record.type = textOf(rows.value(2)).toUpper();
            record.enteredByUser = flagOf(rows.value(3));
            record.formula = textOf(rows.value(4));
            user.append(std::move(record));
        }
    }

    QList<IndicatorRecord> predefined;
    {
        QSqlQuery rows = selectSql(calculation,
                                   QStringLiteral("SELECT [НаимПокСокр], [ТипПок], [ВводПольз], [Формула], "
                                                  "[ИспПриРасч1трТС] FROM [ФлыПредопрПок] "
                                                  "ORDER BY [НаимПокСокр], rowid"));
        while (rows.next()) {
            IndicatorRecord record;
            record.shortName = textOf(rows.value(0));
            record.type = textOf(rows.value(1)).toUpper();
            record.enteredByUser = flagOf(rows.value(2));
            record.formula = textOf(rows.value(3));
            record.usedInOnePipe = flagOf(rows.value(4)).value_or(false);
            predefined.append(std::move(record));
        }
    }
    return IndicatorCatalogue(networkType, designMode, std::move(user), std::move(predefined));
}

IndicatorCatalogue::Found IndicatorCatalogue::find(const QString& shortName) const
{
    if (const auto it = userIndex_.constFind(shortName); it != userIndex_.cend())
        return {&user_[*it], false};
    if (const IndicatorRecord* record = findPredefined(shortName))
        return {record, true};
    return {};
}

const IndicatorRecord* IndicatorCatalogue::findPredefined(const QString& shortName) const
{
    const auto it = predefinedIndex_.constFind(shortName);
    return it == predefinedIndex_.cend() ? nullptr : &predefined_[*it];
}

bool IndicatorCatalogue::isReservedName(const QString& shortName) const
{
    const QString upper = shortName.toUpper();
    return reservedColumnNames().contains(upper) || predefinedUpper_.contains(upper);
}

QString CheckFormulaReferences(const IndicatorCatalogue& catalogue, const QString& title, const QString& shortName,
                               const QString& formula, const QString& ownType)
{
    const QString own = ownType.toUpper();
    if (formula.contains(u'{') || formula.contains(u'}'))
        return indicatorMessagePrefix(title, shortName)
            + QStringLiteral("Формулы показателей не должны содержать символов \"{\", \"}\".");

    for (qsizetype i = 0; i < formula.size(); ++i) {
        const QChar c = formula.at(i);
        if (c == u'<') {
            const qsizetype close = formula.indexOf(u'>', i + 1);
            if (close < 0)
                return indicatorMessagePrefix(title, shortName) + kSyntaxError
                    + QStringLiteral("Не найден завершающий символ \">\".");
            const QString fault = referenceFault(catalogue, formula.mid(i + 1, close - i - 1), own);
            if (!fault.isEmpty())
                return indicatorMessagePrefix(title, shortName) + fault;
            i = close;
        } else if (c == u'>') {
            return indicatorMessagePrefix(title, shortName) + kSyntaxError
                + QStringLiteral("Найден завершающий символ \">\" без символа \"<\".");
        }
    }
    return {};
}

IndicatorCheckResult CheckIndicatorDefinitions(const IndicatorCatalogue& catalogue)
{
    IndicatorCheckResult result;
    const QList<IndicatorRecord>& user = catalogue.user();
    const auto fail = [&](IndicatorCheckPhase phase, QString message, std::optional<int> row) {
        result.valid = false;
        result.failedPhase = phase;
        result.message = std::move(message);
        if (row) {
            result.offendingRow = row;
            result.offendingNpp = user[*row].npp;
            result.offendingShortName = user[*row].shortName;
        }
        return result;
    };

    for (int row = 0; row < user.size(); ++row) {
        QString fault = nameAndTypeFault(catalogue, user[row]);
        if (!fault.isEmpty())
            return fail(IndicatorCheckPhase::NamesAndTypes, std::move(fault), row);
    }

    for (int row = 0; row < user.size(); ++row) {
        const IndicatorRecord& record = user[row];
        QString fault = CheckFormulaReferences(catalogue, kUserIndicatorsTitle, record.shortName,
                                               StripFormulaComments(record.formula), record.type);
        if (!fault.isEmpty())
            return fail(IndicatorCheckPhase::UserFormulas, std::move(fault), row);
    }

    const auto predefinedFormula = [&](const QString& name) {
        const IndicatorRecord* record = catalogue.findPredefined(name);
        return StripFormulaComments(record ? record->formula : QString());
    };
    QString fault = CheckFormulaReferences(catalogue, kPredefinedIndicatorsTitle, kSupplyLossToEnd,
                                           predefinedFormula(kSupplyLossToEnd), kSupplyType);
    if (fault.isEmpty() && catalogue.networkType() == 1)
        fault = CheckFormulaReferences(catalogue, kPredefinedIndicatorsTitle, kReturnLossToEnd,
                                       predefinedFormula(kReturnLossToEnd), kReturnType);
    if (!fault.isEmpty())
        return fail(IndicatorCheckPhase::PredefinedFormulas, std::move(fault), std::nullopt);

    result.valid = true;
    return result;
}

bool CheckIndicators(DataModule& data, UserDialogs& dialogs, Progress& progress, IndicatorCheckResult* details)
{
    BusyCursor busy(progress);

    const IndicatorCatalogue catalogue = IndicatorCatalogue::load(data.calculation());
    IndicatorCheckResult result = CheckIndicatorDefinitions(catalogue);
    if (result.valid) {
        QString orderFault = BuildCalculationOrder(data.calculation(), catalogue);
        if (!orderFault.isEmpty()) {
            result.valid = false;
            result.failedPhase = IndicatorCheckPhase::CalculationOrder;
            result.message = std::move(orderFault);
        }
    }

    // The dependency pairs are scratch data of one check; nothing of them may outlive it.
    if (data.workOpen())
        execSql(data.work(), QStringLiteral("DELETE FROM [ЗависимостьПоказателей]"));
    busy.release();

    if (!result.valid) {
        result.shownMessage = result.message + indicatorCheckClosing();
        dialogs.showMessage(result.shownMessage);
    }
    if (details)
        *details = result;
    return result.valid;
}

} // namespace zurm
