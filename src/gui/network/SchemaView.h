#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>
#include <optional>

namespace zurm {
class DocumentSession;
class UserDialogs;
} // namespace zurm

namespace zurm::gui {

// Which window shows the schema: the network parameters editor paints it with
// its own rules (only a checked network, only placed nodes), the drawing
// window always.
enum class SchemaWindow { Editor, Drawing };

// The network schema over its map picture, with the scale box above it and a
// scroll box around the picture: loading the map, painting, zoom, the node
// under the mouse, the selection (kept in the work database's ВыделУзлыТС and
// ВыделПрямоуг), selecting nodes by numbers and copying the picture. The
// painting itself is the render library's, shared with zurm-calc.
//
// The window that holds the view adds its context-menu commands with
// addAction (the view shows its actions as its context menu).
class SchemaView : public QWidget {
    Q_OBJECT
public:
    SchemaView(DocumentSession& session, SchemaWindow window, QWidget* parent = nullptr);
    ~SchemaView() override;

    // NastrKarta: loads the map picture named in the calculation and paints.
    // Returns the caption the window is to show.
    QString loadMap();
    // PaintTS: paints the schema from the current tables.
    void paintSchema();
    // The editor paints with its own network type and status (the network is
    // drawn only while the status is 0 or 2).
    void setEditorNetwork(int networkType, int networkStatus);
    // SetLabelMode: 0 every node, 1 the start and the end nodes, 2 none. The
    // mode is the session's (it outlives the windows); the schema is repainted.
    void setLabelMode(int mode);
    // A left click selects the node under it (the editor: only while
    // manual-fill mode is off).
    void setClickSelects(bool on);
    // Empties both selection tables and repaints.
    void clearSelection();
    // ScrollToSelection.
    void scrollToSelection();
    // TSelUzForm with the given caption, modal; true on "Выделить узлы" (the
    // schema is then repainted and scrolled to the selection).
    bool selectNodesByNumbers(const QString& caption);
    // Puts the whole picture on the clipboard and says so.
    void copyToClipboard();

    // Where the view's messages go; by default message boxes over the view.
    void setDialogs(UserDialogs& dialogs);
    // IsmScale: applies the scale box's item or typed value.
    void applyScale();
    // The size of the map picture and the node under a position on the
    // picture's image (the display factor applied), for the windows' tools.
    QSize pictureSize() const;
    std::optional<int> nodeAt(const QPoint& onImage) const;
    // A position on the picture's image as a point of the picture.
    QPoint toPicture(const QPoint& onImage) const;
    // The schema image, for the windows' tools.
    QWidget* canvas() const;

    // While another window draws the network the view frees its map picture
    // and follows no input changes; loadMap takes it up again.
    void releaseMap();

signals:
    // A click selected a node (after the view repainted).
    void nodeClicked(int node);
    // The drawing window's mouse: a press and a release on the schema image,
    // as points of the picture.
    void picturePressed(QPoint point, Qt::MouseButton button);
    void pictureReleased(QPoint point, Qt::MouseButton button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Private;
    Private* d_ = nullptr;
};

} // namespace zurm::gui
