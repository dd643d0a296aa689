#pragma once
// The messages of the program settings' "OK", as the user reads them.

#include <QString>

namespace zurm::test {

inline const QString kFontMessage = QStringLiteral("Каждый из параметров:\r\r"
                                                   "\"Размер шрифта в таблицах данных\",\r"
                                                   "\"Размер шрифта в заголовках колонок таблиц данных\",\r"
                                                   "\"Размер шрифта наименований показателей\",\r"
                                                   "\"Размер шрифта в надписях на графиках\"\r\r"
                                                   "должен быть целым числом в диапазоне [8...20].");
inline const QString kPrecisionMessage =
    QStringLiteral("Параметр \"Точность показателей в отчетах\" должен быть целым числом в диапазоне [0...7].");

// The report when the text typed for `parameter` is no integer.
inline QString conversionReport(const QString& parameter, const QString& text)
{
    return QStringLiteral("Ошибка при преобразовании параметра \"") + parameter
           + QStringLiteral("\" в число.\r\rКласс ошибки: \"ConversionError\"\rТекст ошибки: \"\"") + text
           + QStringLiteral("\" не является целым числом.\"");
}

} // namespace zurm::test
