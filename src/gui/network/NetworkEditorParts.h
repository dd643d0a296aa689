#pragma once
// What the network editor's sources share: the texts of its commands, the
// tables as its messages name them.

#include "network/NetworkTableModel.h"

#include <QString>

namespace zurm::gui::editorparts {

inline const QString kSaveContext = QStringLiteral("Ошибка при сохранении данных.");
inline const QString kOpenContext = QStringLiteral("Ошибка при открытии формы \"Параметры теплосети\".");
inline const QString kCloseContext = QStringLiteral("Ошибка при проверке параметров теплосети.");
inline const QString kCommandContext = QStringLiteral("Ошибка при выполнении команды.");
inline const QString kCaption = QStringLiteral("ЗУРМ");

struct Variant {
    QString table;      // the table's name in the messages
    int tab;            // the tab of its key grid, -1 for the nodes
};

inline Variant variantOf(NetworkTable table)
{
    switch (table) {
    case NetworkTable::Nodes: return {QStringLiteral("Узлы теплосети"), -1};
    case NetworkTable::Segments: return {QStringLiteral("Участки теплосети"), 0};
    case NetworkTable::HeadChanges: return {QStringLiteral("Изменение полного напора в узлах теплосети"), 1};
    case NetworkTable::EndNodes: return {QStringLiteral("Конечные узлы теплосети"), 2};
    }
    return {};
}

inline QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace zurm::gui::editorparts

