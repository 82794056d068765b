// SPDX-License-Identifier: MIT
#include "hint/ddghintwindow.h"

#include "hint/popupflags.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace vdm {

namespace {

const QColor kInkColor(255, 241, 155);

const QString kW2 = QStringLiteral("WW");
const QString kW4 = QStringLiteral("WWWW");
const QString kW11 = QStringLiteral("WWWWWWWWWWW");
const QString kW15 = QStringLiteral("WWWWWWWWWWWWWWW");

// The note sits 10 pixels inside the box on the left and 10 on the right, and the box's
// own width is one pixel short on the left: 21 pixels less than the box in all.
int noteWidthFor(int boxWidth)
{
    return std::max(1, boxWidth - 21);
}

// Word-wraps the note, breaking inside a word only when the word alone is wider than a
// line, so nothing of a long word is cut off at the sides.
void layOutNote(QTextLayout& layout, int width, int lineHeight)
{
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (int y = 0;; y += lineHeight) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
    }
    layout.endLayout();
}

} // namespace

TddgHintWindow::TddgHintWindow(QWidget* owner) : QWidget(owner, kPopupWindowFlags), m_canvasFont(QToolTip::font())
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Everything is painted by Paint; the system must not clear it to the palette first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

TddgHintWindow::~TddgHintWindow()
{
    FreeCurrentRegion();
}

void TddgHintWindow::SetText(const QString& text)
{
    Text = text;
}

void TddgHintWindow::SetExText(const QString& text)
{
    ExText = text;
}

void TddgHintWindow::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void TddgHintWindow::setCanvasFontSize(int points)
{
    if (points > 0)
        m_canvasFont.setPointSize(points);
    update();
}

void TddgHintWindow::setCanvasFontName(const QString& family)
{
    m_canvasFont.setFamily(family);
    update();
}

void TddgHintWindow::setAlpha(int alpha0to255)
{
    m_alpha = std::clamp(alpha0to255, 0, 255);
    setWindowOpacity(m_alpha / 255.0);
}

QFont TddgHintWindow::measureFont() const
{
    QFont font = m_canvasFont;
    font.setBold(false);
    return font;
}

QFont TddgHintWindow::titleFont() const
{
    QFont font = m_canvasFont;
    font.setBold(true);
    return font;
}

int TddgHintWindow::textWidth(const QString& s) const
{
    return QFontMetrics(measureFont(), this).horizontalAdvance(s);
}

int TddgHintWindow::textHeight() const
{
    return QFontMetrics(measureFont(), this).height();
}

int TddgHintWindow::noteLineCount(int boxWidth) const
{
    if (ExText.isEmpty())
        return 0;
    QTextLayout layout(ExText, measureFont(), this);
    layOutNote(layout, noteWidthFor(boxWidth), textHeight());
    return layout.lineCount();
}

void TddgHintWindow::ActivateHint(QRect rect, const QString& hint)
{
    const int h = textHeight();
    const int left = rect.left();
    const int top = rect.top();
    const int titleBox = textWidth(Text) + textWidth(kW4);
    int right = left + titleBox;
    int bottom = top + h + 2;
    int extra = 0;

    if (!ExText.isEmpty()) {
        bottom += h + 6; // the separator and the first note line
        const int noteBox = textWidth(ExText) + textWidth(kW2);
        if (noteBox > titleBox) {
            const double ratio = double(noteBox) / double(textWidth(kW11));
            extra = int(std::floor(ratio));
            right = left + textWidth(kW15);
        }
        // The ratio rule assumes lines fill evenly; when wrapping at word boundaries needs
        // more lines than it gives (long words, or a note just under the title's width),
        // the box grows so that no line of the note is cut off.
        extra = std::max(extra, noteLineCount(right - left) - 1);
        bottom += h * extra;
    }
    m_extraLines = extra;
    m_boxSize = QSize(right - left, bottom - top);
    setGeometry(left, top, right - left, bottom - top);

    FreeCurrentRegion();
    // Hide 5 pixels on either side: the outline runs exactly along the shape's edges.
    if (width() > 10 && height() > 0) {
        CurrentRegion = QRegion(5, 0, width() - 10, height());
        setMask(*CurrentRegion);
        update();
    }

    m_caption = hint;
    // The window is 4 pixels taller than its box; the shape set above leaves them out.
    bottom += 4;
    setGeometry(keptOnScreen(QRect(left, top, right - left, bottom - top)));
    show();
    // A freshly created native window starts opaque; hand it the alpha again.
    setWindowOpacity(m_alpha / 255.0);
    raise();
    update();
}

QRect TddgHintWindow::keptOnScreen(QRect bounds) const
{
    QScreen* screen = QGuiApplication::screenAt(bounds.topLeft());
    if (!screen && parentWidget())
        screen = parentWidget()->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return bounds;
    const QRect desk = screen->availableGeometry();
    const int deskRight = desk.x() + desk.width();
    const int deskBottom = desk.y() + desk.height();
    if (bounds.y() + bounds.height() > deskBottom)
        bounds.moveTop(deskBottom - bounds.height());
    if (bounds.x() + bounds.width() > deskRight)
        bounds.moveLeft(deskRight - bounds.width());
    if (bounds.x() < desk.x())
        bounds.moveLeft(desk.x());
    // A box taller than the screen, or one placed above it, keeps its top (the title) in view.
    if (bounds.y() < desk.y())
        bounds.moveTop(desk.y());
    return bounds;
}

void TddgHintWindow::FreeCurrentRegion()
{
    if (!CurrentRegion)
        return;
    clearMask();
    update();
    CurrentRegion.reset();
}

void TddgHintWindow::ReleaseHandle()
{
    hide();
    if (testAttribute(Qt::WA_WState_Created))
        destroy(true, true);
}

void TddgHintWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Paint(painter);
}

void TddgHintWindow::Paint(QPainter& painter)
{
    const int w = width();
    const int hgt = height();
    const int h = textHeight();
    painter.fillRect(rect(), m_color);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(kInkColor);
    painter.setBrush(Qt::NoBrush);

    // Along the edges of the visible shape: x 5 to w - 6, y 0 to the row above the 4
    // hidden bottom pixels.
    painter.drawRect(5, 0, w - 11, hgt - 5);

    // Drawn as plain text: an "&" in a name is shown, never taken for a mnemonic.
    painter.setFont(titleFont());
    painter.drawText(QRect(1, 1, w - 1, hgt - 1), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, m_caption);

    if (ExText.isEmpty())
        return;
    const int separatorY = 1 + h + 2;
    painter.drawLine(11, separatorY, w - 12, separatorY);

    const QRect noteRect(11, 1 + h + 4, noteWidthFor(w), std::max(0, hgt - (1 + h + 4)));
    QTextLayout layout(ExText, measureFont(), this);
    layOutNote(layout, noteRect.width(), h);
    painter.setFont(measureFont());
    layout.draw(&painter, noteRect.topLeft());
}

} // namespace vdm
