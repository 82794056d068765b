// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

namespace vdm {

/**
 * The band container of the main window's top panel: rows of bands, each band a
 * gripper and a label (its header) followed by its tool bar. The user drags a band by
 * its header within its row and between rows; a double click on a header maximises the
 * band in its row. The same drag is offered to code (beginDrag / dragMove / endDrag),
 * which is how the saved band layout is replayed at start-up.
 *
 * Ownership: the tool bars become direct children of the bar (Qt parent ownership), so
 * each tool bar's pos() is its Left/Top in the bar's client coordinates, which is what the
 * settings save. Every coordinate here is in those client pixels: rows are 24 pixels
 * apart, a band is 22 high, and the bar is 24 per row plus 2 for its edges.
 *
 * A band's header width is fixed when the band is added and kept wherever the band goes:
 * a tool bar that the form has already placed inside the bar keeps the distance from its
 * band's start at which the form put it (the stored layout is data, fonts are not), and
 * only a tool bar placed elsewhere gets a header sized to its label in the current font.
 */
class CoolBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowPitch = 24;
    static constexpr int kBandHeight = 22;
    static constexpr int kEdges = 2;
    /** Space in front of a band that does not begin its row (its dividing line). */
    static constexpr int kDivider = 5;
    static constexpr int kGripperWidth = 8;

    explicit CoolBar(QWidget* parent = nullptr);
    ~CoolBar() override;

    /**
     * Appends a band and returns its index (from 0). `width` is the band's initial width,
     * which places the next band of the same row; the last band of a row always fills it.
     * With `breakBefore` false the band joins the last row, otherwise it begins a new one.
     * A tool bar without an accessible name takes the label's, without its padding.
     */
    int addBand(const QString& label, QWidget* child, int minWidth, int width, bool breakBefore);

    int bandCount() const { return int(m_bands.size()); }
    int rowCount() const { return int(m_rows.size()); }
    /** Row of a band, from 0 at the top. */
    int bandRow(int band) const;
    /** The band's whole area: divider, header and tool bar. */
    QRect bandRect(int band) const;
    /** The band's gripper and label, where a press starts a drag. */
    QRect bandHeaderRect(int band) const;
    QWidget* bandChild(int band) const;
    int bandHeaderWidth(int band) const;
    /** Band index at a client point, or -1. */
    int bandAt(QPoint point) const;

    /** true: the band begins a row (splitting its row there); false: it joins the row above. */
    void setBandBreak(int band, bool breakBefore);
    /** Widens the band as far as its row allows; the others of the row shrink to their minimum. */
    void maximizeBand(int band);

    /**
     * Starts a band drag at a client point. A start point on the band holds the band at that
     * point; a start point elsewhere (the band has moved away from it) holds it by its tool
     * bar's left edge.
     */
    void beginDrag(int band, QPoint start);
    /**
     * Moves the dragged band so that the held point follows `point`: the band goes to the row
     * it will occupy under `point.y()` once it has left its own row (a new last row below the
     * last one), ordered by x, its tool bar's left at the point's x where the minimum widths
     * of the row allow it.
     */
    void dragMove(QPoint point);
    void endDrag();
    bool isDragging() const { return m_dragBand >= 0; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    /** The bar's height changed with its number of rows. */
    void heightChanged(int height);
    /** A band moved, changed rows or changed width. */
    void layoutChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct Band {
        QString label;
        QPointer<QWidget> child;
        int minWidth = 0;
        int initialWidth = 0;
        int headerWidth = 0;
        // Wanted left of the band in its row; the layout clamps it. A band that begins its row
        // is shown at 0 but keeps the place it was dropped at, for when a band is put before it.
        int x = 0;
        int left = 0; // left as laid out at the current width
    };

    void checkIndex(int band) const;
    int rowOf(int band) const;
    int positionInRow(int band) const;
    int childLeft(int band) const;
    int bandRight(int band) const;
    int barHeight() const;
    void insertIntoRow(std::vector<int>& row, int band, int wantedLeft);
    void removeFromRow(int band);
    void relayout();
    void commit();

    std::vector<Band> m_bands;
    std::vector<std::vector<int>> m_rows;
    int m_dragBand = -1;
    int m_dragHold = 0; // held point minus the tool bar's left, in x
    // The layout when the drag began: every move starts again from it, so where the band
    // ends depends only on the start and end points, not on the rows it crossed on the way.
    std::vector<std::vector<int>> m_dragRows;
    std::vector<int> m_dragLefts;
    std::vector<int> m_dragWanted;
};

} // namespace vdm
