// Placeholder until the auto-fill dialogs land.
#include "gui/network/AutoFillNodesDialog.h"

namespace zurm::gui {

AutoFillNodesDialog::AutoFillNodesDialog(DocumentSession& session, QWidget* parent) : QDialog(parent), session_(session) {}
AutoFillNodesDialog::~AutoFillNodesDialog() = default;

} // namespace zurm::gui
