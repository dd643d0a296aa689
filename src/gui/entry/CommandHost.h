#pragma once

class QMainWindow;

namespace zurm {
class DocumentSession;
class Progress;
class UserDialogs;
struct FontSizes;
} // namespace zurm

namespace zurm::gui {

class CalculationGrids;

// What the main window gives the command objects of each area: the window
// itself, the document session with its dialogs and progress, and the
// calculation's panel.
class CommandHost {
public:
    virtual ~CommandHost() = default;
    virtual QMainWindow& window() = 0;
    virtual DocumentSession& session() = 0;
    virtual UserDialogs& dialogs() = 0;
    virtual Progress& progress() = 0;
    virtual CalculationGrids& grids() = 0;
    virtual const FontSizes& fontSizes() const = 0;
    // After a command that may have left the grids released.
    virtual void bindGridsIfReleased() = 0;
};

} // namespace zurm::gui
