// Placeholder until the auto-fill dialogs land.
#include "gui/network/AutoFillEndNodesDialog.h"

namespace zurm::gui {

AutoFillEndNodesDialog::AutoFillEndNodesDialog(DocumentSession& session, QWidget* parent) : QDialog(parent), session_(session) {}
AutoFillEndNodesDialog::~AutoFillEndNodesDialog() = default;

} // namespace zurm::gui
