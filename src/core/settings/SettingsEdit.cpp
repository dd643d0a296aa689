#include "settings/SettingsEdit.h"

#include "base/Failure.h"
#include "base/Guarded.h"
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "settings/FontSizes.h"
#include "settings/SettingsRow.h"

#include <array>
#include <optional>

namespace zurm::SettingsEdit {

namespace {

// One numeric setting: its field, the name the messages give it, and where
// its text lives in SettingsTexts.
struct NumberField {
    const char* field;
    const char* name;
    QString SettingsTexts::*text;
};

const std::array<NumberField, 4> kFontFields{{
    {"РШрифтаВТД", "Размер шрифта в таблицах данных", &SettingsTexts::dataCells},
    {"РШрифтаВЗагКолТД", "Размер шрифта в заголовках колонок таблиц данных", &SettingsTexts::columnTitles},
    {"РШрифтаНаимПок", "Размер шрифта наименований показателей", &SettingsTexts::captions},
    {"РШрифтаГр", "Размер шрифта в надписях на графиках", &SettingsTexts::graphs},
}};
const NumberField kPrecisionField{"ТочностьЧиселВОтч", "Точность показателей в отчетах", &SettingsTexts::precision};
const char* const kSaveTextField = "СохрТекстРас";
const char* const kSaveTextName = "Сохранять текст расчета";
// Opening and posting the row: no single parameter is at fault there.
const QString kRowContext = QStringLiteral("Ошибка при записи настроек программы.");

QString quoted(const char* name)
{
    return QLatin1Char('"') + QString::fromUtf8(name) + QLatin1Char('"');
}

QString conversionContext(const NumberField& f)
{
    return QStringLiteral("Ошибка при преобразовании параметра ") + quoted(f.name) + QStringLiteral(" в число.");
}

QString writeContext(const char* name)
{
    return QStringLiteral("Ошибка при записи параметра ") + quoted(name) + QStringLiteral(".");
}

int toInteger(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        throw Failure(QStringLiteral("ConversionError"),
                      QLatin1Char('"') + text + QStringLiteral("\" не является целым числом."));
    return value;
}

QString shown(const QSqlDatabase& settings, const char* field)
{
    const QVariant value = SettingsRow::value(settings, QString::fromUtf8(field));
    if (!value.isValid() || value.isNull())
        return QString();
    return value.toString();
}

} // namespace

QString fontSizeRangeMessage()
{
    QStringList lines{QStringLiteral("Каждый из параметров:"), QString()};
    for (size_t i = 0; i < kFontFields.size(); ++i)
        lines.append(quoted(kFontFields[i].name) + (i + 1 < kFontFields.size() ? QStringLiteral(",") : QString()));
    lines.append(QString());
    lines.append(QStringLiteral("должен быть целым числом в диапазоне [8...20]."));
    return lines.join(QLatin1Char('\r'));
}

QString precisionRangeMessage()
{
    return QStringLiteral("Параметр ") + quoted(kPrecisionField.name)
           + QStringLiteral(" должен быть целым числом в диапазоне [0...7].");
}

SettingsTexts load(const QSqlDatabase& settings)
{
    SettingsTexts texts;
    for (const NumberField& f : kFontFields)
        texts.*f.text = shown(settings, f.field);
    texts.precision = shown(settings, kPrecisionField.field);
    const QVariant save = SettingsRow::value(settings, QString::fromUtf8(kSaveTextField));
    texts.saveText = save.isValid() && !save.isNull() && save.toInt() != 0;
    return texts;
}

bool store(const QSqlDatabase& settings, const SettingsTexts& texts, UserDialogs& dialogs)
{
    // 1. All five texts are converted before anything is written.
    std::array<int, 4> sizes{};
    for (size_t i = 0; i < kFontFields.size(); ++i) {
        if (!guardedStep(dialogs, conversionContext(kFontFields[i]), [&] { sizes[i] = toInteger(texts.*kFontFields[i].text); }))
            return false;
    }
    int precision = 0;
    if (!guardedStep(dialogs, conversionContext(kPrecisionField), [&] { precision = toInteger(texts.precision); }))
        return false;

    // 2. The row is edited as a whole and posted at the end; a write that fails
    // leaves the row as it was.
    std::optional<Transaction> edit;
    if (!guardedStep(dialogs, kRowContext, [&] { edit.emplace(settings); }))
        return false;

    // 3. The four font sizes go together or not at all.
    bool sizesValid = true;
    for (int size : sizes)
        sizesValid = sizesValid && size >= kMinimumFontSize && size <= kMaximumFontSize;
    if (!sizesValid) {
        dialogs.showMessage(fontSizeRangeMessage(), MessageKind::Warning);
    } else {
        for (size_t i = 0; i < kFontFields.size(); ++i) {
            if (!guardedStep(dialogs, writeContext(kFontFields[i].name),
                             [&] { SettingsRow::setValue(settings, QString::fromUtf8(kFontFields[i].field), sizes[i]); }))
                return false;
        }
    }

    // 4. The precision on its own.
    const bool precisionValid = precision >= kMinimumPrecision && precision <= kMaximumPrecision;
    if (!precisionValid) {
        dialogs.showMessage(precisionRangeMessage(), MessageKind::Warning);
    } else if (!guardedStep(dialogs, writeContext(kPrecisionField.name), [&] {
                   SettingsRow::setValue(settings, QString::fromUtf8(kPrecisionField.field), precision);
               })) {
        return false;
    }

    // 5. The check box.
    if (!guardedStep(dialogs, writeContext(kSaveTextName),
                     [&] { SettingsRow::setValue(settings, QString::fromUtf8(kSaveTextField), texts.saveText ? 1 : 0); }))
        return false;

    // 6. Post.
    if (!guardedStep(dialogs, kRowContext, [&] { edit->commit(); }))
        return false;
    return sizesValid && precisionValid;
}

} // namespace zurm::SettingsEdit
