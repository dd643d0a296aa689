#include "network/MapCommands.h"

#include "base/UserDialogs.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"
#include "platform/NumberText.h"

#include <QDir>
#include <QFileInfo>

namespace zurm {

namespace {

QString storedMap(const DataModule& data)
{
    const QVariant map = CalculationRow(data.calculation()).value(CalculationRow::kMap);
    return map.isNull() ? QString() : map.toString();
}

QString fromProgramFolder(const DataModule& data, const QString& name)
{
    return QDir(data.programFolder()).absoluteFilePath(name);
}

} // namespace

QString mapFileNameFor(const QString& chosen)
{
    const QString ending = chosen.right(4).toUpper();
    if (chosen.size() <= 3 || (ending != QLatin1String(".BMP") && ending != QLatin1String(".JPG")))
        return chosen + QStringLiteral(".jpg");
    return chosen;
}

QString mapDialogFolder(const DataModule& data)
{
    const QString map = storedMap(data);
    if (map.isEmpty())
        return QString();
    return QFileInfo(fromProgramFolder(data, map)).absolutePath();
}

bool openMap(DataModule& data, UserDialogs& dialogs, const QObject* source)
{
    const std::optional<QString> chosen = dialogs.chooseFileToOpen(
        QStringLiteral("Открыть карту"), mapDialogFolder(data),
        QStringLiteral("Рисунок JPEG (*.jpg)|*.jpg|Точечный рисунок (*.bmp)|*.bmp"));
    if (!chosen)
        return false;
    const QString name = mapFileNameFor(*chosen);
    const QFileInfo file(fromProgramFolder(data, name));
    if (!file.isFile()) {
        dialogs.showMessage(QStringLiteral("Файл \"") + name + QStringLiteral("\" не существует."),
                            MessageKind::Warning);
        return false;
    }
    data.noteInputChanged(source);
    CalculationRow(data.calculation()).setValue(CalculationRow::kMap, QDir::toNativeSeparators(file.absoluteFilePath()));
    return true;
}

bool closeMap(DataModule& data, UserDialogs& dialogs, const QObject* source)
{
    if (!dialogs.askYesNo(kApplicationTitle,
                          QStringLiteral("Схема теплосети будет нарисована без карты. Закрыть карту?")))
        return false;
    data.noteInputChanged(source);
    CalculationRow(data.calculation()).setValue(CalculationRow::kMap, QVariant());
    return true;
}

MapScaleSetting readMapScale(const DataModule& data)
{
    const QVariantList values = CalculationRow(data.calculation())
                                    .read({CalculationRow::kMapScale, CalculationRow::kLengthsFromMapScale});
    MapScaleSetting setting;
    if (values.size() == 2) {
        setting.scale = values[0];
        setting.lengthsFromScale = values[1].toBool();
    }
    return setting;
}

void storeMapScale(DataModule& data, double scale, bool lengthsFromScale, const QObject* source)
{
    data.noteInputChanged(source);
    CalculationRow(data.calculation())
        .write({CalculationRow::kMapScale, CalculationRow::kLengthsFromMapScale}, {scale, lengthsFromScale});
}

std::optional<double> parseMapScale(const QString& text)
{
    const std::optional<double> value = parseTypedReal(text);
    if (!value || !(*value > 0))
        return std::nullopt;
    return value;
}

QString notPositiveNumberMessage(const QString& text)
{
    return QLatin1Char('"') + text
           + QStringLiteral("\" не является положительным числом. Введите положительное число.");
}

} // namespace zurm
