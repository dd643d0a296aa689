#pragma once

#include <QFont>
#include <QHeaderView>
#include <QStringList>
#include <optional>

namespace zurm::gui {

// Column header of the calculation grids. Above the short name of each column it
// shows the indicator's full name, wrapped at word boundaries within the column's
// width; the header grows as tall as the longest full name needs. Being the grid's
// own header, it follows horizontal scrolling and column resizing by itself.
class CaptionHeaderView : public QHeaderView {
    Q_OBJECT
public:
    explicit CaptionHeaderView(QWidget* parent = nullptr);

    // Full names and titles by logical column; an empty title shows the model's
    // header text (the short name).
    void setCaptions(const QStringList& fullNames, const QStringList& titles);
    QString caption(int logicalIndex) const { return captions_.value(logicalIndex); }
    QString title(int logicalIndex) const;

    // The full names have a font of their own (the size of indicator names);
    // the titles below them use the header's font (the size of column titles).
    void setCaptionFont(const QFont& font);
    QFont captionFont() const { return captionFont_.value_or(font()); }

    // Without the full-name area the header shows only the titles, wrapped the
    // same way (grids whose column titles are long phrases).
    void setShowsCaptions(bool shows);

    QSize sizeHint() const override;

    // The narrowest width at which the section shows its full name and title
    // without cutting a word (the longest word of each, in its font).
    int minimumSectionWidth(int logicalIndex) const;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    bool event(QEvent* event) override;

private:
    int wrappedHeight(const QFontMetrics& metrics, const QString& text, int width) const;
    int captionAreaHeight() const;
    int titleAreaHeight() const;
    void geometryMayHaveChanged();

    QStringList captions_;
    QStringList titles_;
    std::optional<QFont> captionFont_;
    bool showsCaptions_ = true;
    // Heights of the two text areas, measured once per change of captions,
    // widths or font rather than on every repaint while the grid scrolls.
    mutable int captionHeight_ = -1;
    mutable int titleHeight_ = -1;
};

} // namespace zurm::gui
