#pragma once

#include "document/DataModule.h"
#include "settings/FontSizes.h"

#include <QFont>
#include <QList>
#include <QMetaObject>
#include <QSplitter>
#include <QVariant>

class QLineEdit;
class QWidget;

namespace zurm {
class DocumentSession;
class HeaderRowModel;
class SegmentTableModel;
class UserDialogs;
struct GridColumn;
} // namespace zurm

namespace zurm::gui {

class CalculationGrid;

// The font at the given point size.
QFont sizedFont(QFont font, int points);

// The calculation's panel of the main window: the calculation name and the two
// head nodes above the header grid over Заг, and below them the segment grid
// over Табл with the segment-number list beside it. It is bound to the
// session's open tables and released while a long operation holds the window
// locked (a table rebuild must not find a grid still reading it). It re-reads
// what it shows when another view changes the input data.
class CalculationGrids : public QSplitter {
    Q_OBJECT
public:
    CalculationGrids(DocumentSession& session, UserDialogs& dialogs, QWidget* parent);
    ~CalculationGrids() override;

    // Binds the grids and the fields to what the session holds (the grids are
    // shown only when the session's view says so); release lets go of the tables.
    void bind();
    void release();
    bool bound() const { return bound_; }
    // The start-up sequence binds again whatever it opened.
    void forgetBinding() { bound_ = false; }

    // PostPendingEdits: the header row, the segment rows, the calculation name
    // and the two head nodes. Throws Failure.
    void postPendingEdits();
    // Drops the edits the grids and fields hold (after the user agreed to lose them).
    void discardPendingEdits();
    // Saves the segment rows that hold edits. Throws Failure.
    void saveAllPendingSegmentRows();
    void finishEditing();
    // The three fields as typed go into the session's view (the run and the
    // rebinding after the parameters read them there).
    void takeTypedFields();
    // Both head-node fields show the given text (design mode: the start node).
    void showHeadNodes(const QString& text);
    // Sorts the segment rows; the cursor goes to the first row. Throws Failure.
    void sortSegments(SegmentSort sort);

    // The segment and the column the cursor stands on, to come back to after
    // the grids were bound again (the sort may have moved the segment).
    struct SegmentPosition {
        QVariant id;
        QString column;
        int row = -1;
    };
    SegmentPosition segmentPosition() const;
    void restoreSegmentPosition(const SegmentPosition& position);

    void applyFonts(const FontSizes& sizes);

    SegmentTableModel* segmentModel() const { return segmentModel_; }
    HeaderRowModel* headerModel() const { return headerModel_; }

private:
    void createTopPanel();
    void createSegmentPanel();
    void bindModels();
    void applyColumns(CalculationGrid* grid, const QList<GridColumn>& columns, const QStringList& captions);
    void alignSegmentNumberList();
    void sizeTopPanel();
    void sizeSegmentNumberList();
    void segmentRowChanged(int current, int previous);
    void segmentEdgeReached(int row);
    bool saveSegmentRow(int row);
    void setSegmentCurrentRow(int row);
    QString headNodeLabel(const QLineEdit* field) const;
    // A head-node text beyond the node numbers: said as a typing error, and
    // the field shows the stored number again.
    bool refusedHeadNode(QLineEdit* field);
    void storeHeadNode(QLineEdit* field, const QString& column, QString& viewText);
    bool guarded(const QString& context, const std::function<void()>& step);
    // Another view changed the input data: the grids show the file again.
    void inputChangedElsewhere();
    void refresh();

    DocumentSession& session_;
    UserDialogs& dialogs_;
    bool bound_ = false;
    bool syncingRows_ = false;
    int ownEdits_ = 0;        // inside an edit of this panel
    bool refreshQueued_ = false;

    QWidget* pnTop_ = nullptr;
    QLineEdit* edRasName_ = nullptr;
    QLineEdit* edNuzPNapPod_ = nullptr;
    QLineEdit* edNuzRNap_ = nullptr;
    CalculationGrid* dgZag_ = nullptr;
    CalculationGrid* dgNU_ = nullptr;
    CalculationGrid* dgGlavn_ = nullptr;
    QWidget* gbLeft_ = nullptr;
    QSplitter* spVert_ = nullptr;

    HeaderRowModel* headerModel_ = nullptr;
    SegmentTableModel* segmentModel_ = nullptr;
    QList<QMetaObject::Connection> gridConnections_;
};

} // namespace zurm::gui
