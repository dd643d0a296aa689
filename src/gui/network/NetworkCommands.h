#pragma once

#include <QObject>

namespace zurm::gui {

class CommandHost;
class NetworkEditor;

// "Параметры теплосети" of the main window: the checks before the editor
// opens, the main window locked while it is open, and the grids and fields
// that follow the stored network status after it closes.
class NetworkCommands : public QObject {
    Q_OBJECT
public:
    explicit NetworkCommands(CommandHost& host);
    ~NetworkCommands() override;

    void networkParameters();
    // The editor, created on first use and reused.
    NetworkEditor* editor();

private:
    CommandHost& host_;
    NetworkEditor* editor_ = nullptr;
};

} // namespace zurm::gui
