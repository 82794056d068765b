// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QFont>
#include <QRegion>
#include <QSize>
#include <QString>
#include <QWidget>

#include <optional>

class QPainter;

namespace vdm {

/**
 * The shaped pop-up that shows what lies under the pointer on the map: a bold title and,
 * below a separator, an optional word-wrapped note, light yellow on the background colour.
 *
 * A frameless tool window that never takes the focus, stays above other windows and lets
 * the pointer through to the map beneath. The owner widget (the map panel) destroys it.
 * Positions handed to ActivateHint are global screen pixels; the box, the mask and all
 * painting use window pixels. The window's size follows its texts, measured with the
 * canvas font in regular weight; 5 pixels on the left and right and 4 at the bottom are
 * kept outside the visible shape.
 */
class TddgHintWindow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor)

public:
    explicit TddgHintWindow(QWidget* owner);
    ~TddgHintWindow() override;

    void SetText(const QString& text);
    void SetExText(const QString& text);

    /**
     * Sizes the box from Text and ExText, shapes it, keeps it on the screen and shows it
     * without activating it. Only the rectangle's top-left (screen pixels) is used; `hint`
     * is the title drawn (callers pass the same string they gave SetText).
     */
    void ActivateHint(QRect rect, const QString& hint);

    /** Drops the shape: the window becomes a plain rectangle again. */
    void FreeCurrentRegion();

    /** Hides the window by releasing its native window; the next ActivateHint makes a new one. */
    void ReleaseHandle();

    const QString& text() const { return Text; }
    const QString& exText() const { return ExText; }
    /** The title drawn, as last given to ActivateHint. */
    const QString& hintText() const { return m_caption; }
    /** The shape applied to the window (window pixels), if any. */
    const std::optional<QRegion>& currentRegion() const { return CurrentRegion; }

    QColor color() const { return m_color; }
    void setColor(const QColor& color);

    /** Size and face of the font texts are measured and drawn with; its weight is ignored (title bold, note regular).
     */
    void setCanvasFontSize(int points);
    void setCanvasFontName(const QString& family);

    /** Constant translucency, 255 opaque; where the platform cannot, the window stays opaque. */
    void setAlpha(int alpha0to255);
    int alpha() const { return m_alpha; }

    /** w(s): the width of `s` in the canvas font, regular weight. */
    int textWidth(const QString& s) const;
    /** h: the height of a line of the canvas font ("W"), regular weight. */
    int textHeight() const;

    /** The box computed by the last ActivateHint, without the 4 hidden bottom pixels. */
    QSize boxSize() const { return m_boxSize; }
    /** The further note lines the last ActivateHint made room for. */
    int extraLines() const { return m_extraLines; }
    /** How many lines the note takes when word-wrapped into a box `boxWidth` pixels wide. */
    int noteLineCount(int boxWidth) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void Paint(QPainter& painter);

private:
    QFont measureFont() const;
    QFont titleFont() const;
    QRect keptOnScreen(QRect bounds) const;

    std::optional<QRegion> CurrentRegion;
    QString ExText;
    QString Text;

    QString m_caption;
    QColor m_color{255, 255, 128};
    QFont m_canvasFont;
    int m_alpha = 255;
    QSize m_boxSize;
    int m_extraLines = 0;
};

} // namespace vdm
