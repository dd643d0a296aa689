#pragma once

namespace zurm::gui {

class CommandHost;

// "Выгрузить отчет в Microsoft Excel" of the main window (miDataVigrV_ME,
// tbVigrV_ME), also started by the completion dialog: the pending edits are
// posted first, and the segment grid stands on the same row afterwards.
void exportReportToSpreadsheet(CommandHost& host);

} // namespace zurm::gui
