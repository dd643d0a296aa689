#pragma once

#include <QObject>

namespace zurm {

// What the open documents tell their views. inputChanged: the input data of
// the calculation changed (a segment, a node, a header value, a head node, the
// parameters or the reference file): the calculation-done flag is already
// cleared when it is sent (DataModule::noteInputChanged). Every open view
// re-reads from it; a view connects queued when it is to re-read after the
// edit has been written. `source` is the model or view that made the edit
// (null when no view did), so that a view need not re-read its own edits.
class DocumentEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void inputChanged(const QObject* source);
};

} // namespace zurm
