#include "gui/entry/CaptionHeaderView.h"

#include <QEvent>
#include <QPainter>
#include <QStyleOptionHeader>

namespace zurm::gui {

namespace {
constexpr int kPadding = 3;
// The header keeps room for three lines of full name even when every name is
// short, so the grids do not jump when the catalogue changes.
constexpr int kMinimumCaptionLines = 3;
constexpr int kTextFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
} // namespace

CaptionHeaderView::CaptionHeaderView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(false);
    setDefaultAlignment(Qt::AlignCenter);
    connect(this, &QHeaderView::sectionResized, this, [this] { geometryMayHaveChanged(); });
    connect(this, &QHeaderView::sectionCountChanged, this, [this] { geometryMayHaveChanged(); });
}

bool CaptionHeaderView::event(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        geometryMayHaveChanged();
    return QHeaderView::event(event);
}

void CaptionHeaderView::setCaptions(const QStringList& fullNames, const QStringList& titles)
{
    captions_ = fullNames;
    titles_ = titles;
    geometryMayHaveChanged();
    viewport()->update();
}

void CaptionHeaderView::setCaptionFont(const QFont& font)
{
    captionFont_ = font;
    geometryMayHaveChanged();
    viewport()->update();
}

void CaptionHeaderView::setShowsCaptions(bool shows)
{
    showsCaptions_ = shows;
    geometryMayHaveChanged();
    viewport()->update();
}

QString CaptionHeaderView::title(int logicalIndex) const
{
    const QString own = titles_.value(logicalIndex);
    if (!own.isEmpty() || !model())
        return own;
    return model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
}

void CaptionHeaderView::geometryMayHaveChanged()
{
    captionHeight_ = -1;
    titleHeight_ = -1;
    updateGeometry();
    // The table view lays out its viewport below the header on this signal.
    emit geometriesChanged();
}

int CaptionHeaderView::minimumSectionWidth(int logicalIndex) const
{
    auto longestWord = [](const QFontMetrics& metrics, const QString& text) {
        int widest = 0;
        for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            widest = qMax(widest, metrics.horizontalAdvance(word));
        return widest;
    };
    int widest = longestWord(fontMetrics(), title(logicalIndex));
    if (showsCaptions_)
        widest = qMax(widest, longestWord(QFontMetrics(captionFont()), captions_.value(logicalIndex)));
    return widest + 2 * kPadding + 4;
}

int CaptionHeaderView::wrappedHeight(const QFontMetrics& metrics, const QString& text, int width) const
{
    if (text.isEmpty())
        return 0;
    return metrics.boundingRect(QRect(0, 0, qMax(1, width - 2 * kPadding), 100000), kTextFlags, text).height();
}

int CaptionHeaderView::captionAreaHeight() const
{
    if (captionHeight_ >= 0)
        return captionHeight_;
    if (!showsCaptions_)
        return captionHeight_ = 0;
    const QFontMetrics metrics(captionFont());
    int height = kMinimumCaptionLines * metrics.lineSpacing();
    for (int section = 0; section < count(); ++section)
        if (!isSectionHidden(section))
            height = qMax(height, wrappedHeight(metrics, captions_.value(section), sectionSize(section)));
    captionHeight_ = height;
    return height;
}

int CaptionHeaderView::titleAreaHeight() const
{
    if (titleHeight_ >= 0)
        return titleHeight_;
    int height = fontMetrics().lineSpacing();
    for (int section = 0; section < count(); ++section)
        if (!isSectionHidden(section))
            height = qMax(height, wrappedHeight(fontMetrics(), title(section), sectionSize(section)));
    titleHeight_ = height;
    return height;
}

QSize CaptionHeaderView::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    size.setHeight(showsCaptions_ ? captionAreaHeight() + titleAreaHeight() + 4 * kPadding + 1
                                  : titleAreaHeight() + 2 * kPadding + 1);
    return size;
}

void CaptionHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = rect;
    option.section = logicalIndex;
    option.text.clear();
    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);

    painter->setPen(option.palette.color(QPalette::ButtonText));
    if (!showsCaptions_) {
        painter->setFont(font());
        painter->drawText(rect.adjusted(kPadding, kPadding, -kPadding, -kPadding), Qt::AlignCenter | Qt::TextWordWrap,
                          title(logicalIndex));
        painter->restore();
        return;
    }
    const int titleHeight = titleAreaHeight();
    const QRect titleRect(rect.left() + kPadding, rect.bottom() - kPadding - titleHeight, rect.width() - 2 * kPadding,
                          titleHeight);
    const QRect captionRect(rect.left() + kPadding, rect.top() + kPadding, rect.width() - 2 * kPadding,
                            titleRect.top() - rect.top() - 2 * kPadding);
    painter->setPen(option.palette.color(QPalette::ButtonText));
    painter->setFont(captionFont());
    painter->drawText(captionRect, kTextFlags, captions_.value(logicalIndex));
    painter->setPen(option.palette.color(QPalette::Mid));
    painter->drawLine(rect.left() + 1, titleRect.top() - kPadding, rect.right() - 1, titleRect.top() - kPadding);
    painter->setPen(option.palette.color(QPalette::ButtonText));
    painter->setFont(font());
    painter->drawText(titleRect, Qt::AlignCenter | Qt::TextWordWrap, title(logicalIndex));
    painter->restore();
}

} // namespace zurm::gui
