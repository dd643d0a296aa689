#include "output/ReportTemplate.h"

#include "base/Failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <cmath>

namespace zurm {

std::string Formatter::operator()(const QVariant& value) const
{
    if (value.isNull() || !value.isValid())
        return {};
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (!std::isfinite(number))
            return {};
        QString text = QLocale::c().toString(number, 'f', digits_);
        text.remove(QLatin1Char(','));
        return utf8(text);
    }
    default: return utf8(value.toString());
    }
}

mstch::map rowFields(const QSqlRecord& record, const QSqlQuery& query, const Formatter& format)
{
    mstch::map fields;
    for (int i = 0; i < record.count(); ++i)
        fields.emplace(utf8(record.fieldName(i)), format(query.value(i)));
    return fields;
}

QString reportDefinitionPath(const DataModule& data, const QString& name)
{
    QString path = QDir(data.programFolder()).filePath(name);
    if (!QFileInfo::exists(path) && QCoreApplication::instance()) {
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
        if (QFileInfo::exists(beside))
            path = beside;
    }
    return path;
}

QString readDefinition(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        throw Failure(QStringLiteral("ReportError"), QStringLiteral("Не найден файл описания отчета \"") + QDir::toNativeSeparators(path)
                      + QStringLiteral("\"."));
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("ReportError"), QStringLiteral("Не удалось прочитать файл описания отчета \"") + QDir::toNativeSeparators(path)
                      + QStringLiteral("\": ") + file.errorString());
    return QString::fromUtf8(file.readAll());
}

} // namespace zurm
