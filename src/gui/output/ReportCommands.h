#pragma once

#include <QObject>

namespace zurm::gui {

class CommandHost;

// "Формировать отчет" (miDataFormOtsh): the report definition of the
// calculation filled with its results, in a print preview from which the
// user prints or saves a PDF.
class ReportCommands : public QObject {
    Q_OBJECT
public:
    explicit ReportCommands(CommandHost& host);

    void formReport();

private:
    CommandHost& host_;
};

} // namespace zurm::gui
