#pragma once

#include "output/GraphSeries.h"

#include <QDialog>
#include <QWidget>

class QCheckBox;
class QComboBox;

namespace zurm {
class DataModule;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

class CommandHost;

// The chart of the graph window (crt): paints the current graph with
// render::GraphPainter.
class GraphView : public QWidget {
    Q_OBJECT
public:
    explicit GraphView(QWidget* parent = nullptr);
    void show(const Graph& graph, bool blackAndWhite, int fontSize);
    const Graph& graph() const { return graph_; }
    // The chart as it is on screen.
    QImage picture() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Graph graph_;
    bool blackAndWhite_ = false;
    int fontSize_ = 10;
};

// TGrForm "Формировать график": a main, a stretch of it and a graph type;
// "Сформировать" draws the graph along the main from the source side, and the
// graph can be copied to the clipboard as a picture.
class GraphWindow : public QDialog {
    Q_OBJECT
public:
    GraphWindow(DataModule& data, UserDialogs& dialogs, QWidget* parent = nullptr);

    // Reads the lists of the open calculation and clears the chart; false
    // (after the error report) when they cannot be read.
    bool prepare(int fontSize);
    // Lets go of the lists and the graph once the window is closed (a large
    // network's mains take megabytes); prepare reads them again.
    void releaseData();
    void generate();        // miGenerateClick
    void copyToClipboard(); // miCopyClick

    const Graph& graph() const;
    QImage chartPicture() const;

private:
    void fillNodeLists();
    void fillEndList();

    DataModule& data_;
    UserDialogs& dialogs_;
    GraphCatalogue catalogue_;
    int fontSize_ = 10;
    QComboBox* cbMag_ = nullptr;
    QComboBox* cbNachUz_ = nullptr;
    QComboBox* cbKonUz_ = nullptr;
    QComboBox* cbTipGr_ = nullptr;
    QCheckBox* cbUDPT_ = nullptr;
    QCheckBox* cbPDPT_ = nullptr;
    QCheckBox* cbBW_ = nullptr;
    GraphView* crt_ = nullptr;
};

// "Формировать график" of the main window: posts the pending edits, refuses
// while the calculation is not done, shows the window modally and brings the
// segment grid back to its row.
void showGraphWindow(CommandHost& host);

} // namespace zurm::gui
