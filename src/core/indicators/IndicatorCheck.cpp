#include "indicators/IndicatorCheck.h"

#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "document/NetworkKinds.h"
#include "indicators/CalculationOrder.h"
#include "platform/Cp1251.h"

namespace zurm {

namespace {

// Short names and formulas are held as single-byte Windows-1251 text of this length.
constexpr qsizetype kShortNameLength = 255;
constexpr qsizetype kFormulaLength = 255;

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
    if (catalogue.networkType() == kTwoPipe && type != kHeaderType && type != kSupplyType && type != kReturnType
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

namespace {

// A formula the field cannot hold would be cut before it is evaluated, and the
// run would compute something the engineer never wrote.
QString formulaLengthFault(const QString& title, const QString& shortName, const QString& formula)
{
    if (formula.size() <= kFormulaLength)
        return {};
    return indicatorMessagePrefix(title, shortName) + QStringLiteral("Формула показателя не должна быть длиннее ")
        + QString::number(kFormulaLength) + QStringLiteral(" символов.");
}

} // namespace

bool isShortNameCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z')
        || (u >= u'А' && u <= u'я') || u == u'Ё' || u == u'ё';
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
        QString fault = formulaLengthFault(kUserIndicatorsTitle, record.shortName, record.formula);
        if (fault.isEmpty())
            fault = CheckFormulaReferences(catalogue, kUserIndicatorsTitle, record.shortName,
                                           StripFormulaComments(record.formula), record.type);
        if (!fault.isEmpty())
            return fail(IndicatorCheckPhase::UserFormulas, std::move(fault), row);
    }

    const auto predefinedFault = [&](const QString& name, const QString& type) {
        const IndicatorRecord* record = catalogue.findPredefined(name);
        const QString formula = record ? record->formula : QString();
        const QString fault = formulaLengthFault(kPredefinedIndicatorsTitle, name, formula);
        return fault.isEmpty() ? CheckFormulaReferences(catalogue, kPredefinedIndicatorsTitle, name,
                                                        StripFormulaComments(formula), type)
                               : fault;
    };
    QString fault = predefinedFault(kSupplyLossToEnd, kSupplyType);
    if (fault.isEmpty() && catalogue.networkType() == kTwoPipe)
        fault = predefinedFault(kReturnLossToEnd, kReturnType);
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
        dialogs.showMessage(result.shownMessage, MessageKind::Error);
    }
    if (details)
        *details = result;
    return result.valid;
}

} // namespace zurm
