#include "document/DocumentFiles.h"

#include "document/DataModule.h"

namespace zurm {

QList<KeptFile> documentFiles(const DataModule& data)
{
    QList<KeptFile> files;
    if (data.calculationOpen())
        files.append({data.calculationPath(), QStringLiteral("файл расчета")});
    if (data.referenceOpen())
        files.append({data.reference().databaseName(), QStringLiteral("файл справочников")});
    if (data.settingsOpen())
        files.append({data.settings().databaseName(), QStringLiteral("файл настроек")});
    if (!data.workPath().isEmpty())
        files.append({data.workPath(), QStringLiteral("рабочая база данных программы")});
    return files;
}

} // namespace zurm
