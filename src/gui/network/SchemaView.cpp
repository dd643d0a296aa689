// Placeholder until the schema painting lands: an empty panel with the same
// interface, so that the windows holding it can be built meanwhile.
#include "gui/network/SchemaView.h"

namespace zurm::gui {

class SchemaView::Private {};

SchemaView::SchemaView(DocumentSession&, SchemaWindow, QWidget* parent) : QWidget(parent), d_(new Private) {}
SchemaView::~SchemaView() { delete d_; }
QString SchemaView::loadMap() { return QStringLiteral("Параметры теплосети"); }
void SchemaView::paintSchema() {}
void SchemaView::setEditorNetwork(int, int) {}
void SchemaView::setLabelMode(int) {}
void SchemaView::setClickSelects(bool) {}
void SchemaView::clearSelection() {}
void SchemaView::scrollToSelection() {}
bool SchemaView::selectNodesByNumbers(const QString&) { return false; }
void SchemaView::copyToClipboard() {}

} // namespace zurm::gui
