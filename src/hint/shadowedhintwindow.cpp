// SPDX-License-Identifier: MIT
#include "hint/shadowedhintwindow.h"

#include "dialogs/platform.h"
#include "hint/popupflags.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace vdm {

namespace {

QPointer<TShadowedHintWindow> s_instance;

constexpr int kPaddingX = 5;
constexpr int kPaddingY = 3;
constexpr int kShadowAlpha = 110;
constexpr int kDefaultHideDelay = 10000;

// Three box-blur passes each way come close to a gaussian and cost little at this size.
void blurAlpha(std::vector<int>& alpha, int width, int height, int radius)
{
    std::vector<int> line;
    auto pass = [&](int count, int length, auto at) {
        line.resize(length);
        for (int c = 0; c < count; ++c) {
            for (int i = 0; i < length; ++i)
                line[i] = at(c, i);
            int sum = 0;
            for (int i = -radius; i <= radius; ++i)
                sum += (i >= 0 && i < length) ? line[i] : 0;
            for (int i = 0; i < length; ++i) {
                at(c, i) = sum / (2 * radius + 1);
                const int out = i - radius;
                const int in = i + radius + 1;
                sum -= (out >= 0) ? line[out] : 0;
                sum += (in < length) ? line[in] : 0;
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(height, width, [&](int y, int x) -> int& { return alpha[size_t(y) * width + x]; });
        pass(width, height, [&](int x, int y) -> int& { return alpha[size_t(y) * width + x]; });
    }
}

} // namespace

TShadowedHintWindow::TShadowedHintWindow(QWidget* parent) : QWidget(parent, kPopupWindowFlags)
{
    useShadow(TranslucencySupported());
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFont(QToolTip::font());
    setPalette(QToolTip::palette());
    m_hideTimer.setSingleShot(true);
    m_hideTimer.setInterval(kDefaultHideDelay);
    connect(&m_hideTimer, &QTimer::timeout, this, &TShadowedHintWindow::hideText);
}

TShadowedHintWindow::~TShadowedHintWindow() = default;

void TShadowedHintWindow::installForApplication()
{
    if (s_instance || !qApp)
        return;
    s_instance = new TShadowedHintWindow;
    qApp->installEventFilter(s_instance);
    connect(qApp, &QCoreApplication::aboutToQuit, s_instance.data(), &QObject::deleteLater);
}

TShadowedHintWindow* TShadowedHintWindow::instance()
{
    return s_instance.data();
}

void TShadowedHintWindow::setHideDelay(int milliseconds)
{
    m_hideTimer.setInterval(std::max(1, milliseconds));
}

QSize TShadowedHintWindow::boxSizeFor(const QString& text) const
{
    const QSize textSize = QFontMetrics(font(), this).size(0, text);
    return textSize + QSize(2 * (kPaddingX + 1), 2 * (kPaddingY + 1));
}

QRect TShadowedHintWindow::boxRect() const
{
    return QRect(QPoint(0, 0), size() - QSize(shadowMargin(), shadowMargin()));
}

int TShadowedHintWindow::shadowMargin() const
{
    return m_castsShadow ? kShadowOffset + kShadowBlur : 0;
}

void TShadowedHintWindow::useShadow(bool on)
{
    if (on == m_castsShadow && testAttribute(Qt::WA_TranslucentBackground) == on)
        return;
    // The window's pixels get an alpha channel only when its native window is made, so a
    // change (a compositing manager started or stopped) takes a new native window.
    hide();
    if (testAttribute(Qt::WA_WState_Created))
        destroy(true, true);
    setAttribute(Qt::WA_TranslucentBackground, on);
    m_castsShadow = on;
    m_shadow = QImage();
}

void TShadowedHintWindow::showText(const QPoint& globalPos, const QString& text, QWidget* source)
{
    if (text.isEmpty()) {
        hideText();
        return;
    }
    if (m_source && m_source != source)
        disconnect(m_source, &QObject::destroyed, this, &TShadowedHintWindow::hideText);
    if (source && m_source != source)
        connect(source, &QObject::destroyed, this, &TShadowedHintWindow::hideText);
    m_source = source;
    m_text = text;
    useShadow(TranslucencySupported());

    const QSize box = boxSizeFor(text);
    // Where the standard tooltip goes: below and right of the pointer, clear of the cursor.
    QPoint topLeft = globalPos + QPoint(2, 16);
    QScreen* screen = QGuiApplication::screenAt(globalPos);
    if (!screen)
        screen = source ? source->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect desk = screen->availableGeometry();
        if (topLeft.x() + box.width() > desk.x() + desk.width())
            topLeft.setX(desk.x() + desk.width() - box.width());
        if (topLeft.y() + box.height() > desk.y() + desk.height())
            topLeft.setY(globalPos.y() - 4 - box.height()); // above the pointer instead
        topLeft.setX(std::max(topLeft.x(), desk.x()));
        topLeft.setY(std::max(topLeft.y(), desk.y()));
    }
    setGeometry(QRect(topLeft, box + QSize(shadowMargin(), shadowMargin())));
    // Some window systems place a tooltip only relative to the window it belongs to.
    if (source && source->window()->windowHandle()) {
        winId();
        windowHandle()->setTransientParent(source->window()->windowHandle());
    }
    show();
    raise();
    update();
    m_hideTimer.start();
}

void TShadowedHintWindow::hideText()
{
    m_hideTimer.stop();
    hide();
}

bool TShadowedHintWindow::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ToolTip: {
        auto* widget = qobject_cast<QWidget*>(watched);
        // Without a toolTip of its own the event goes on to the widget (item views and the
        // like show their items' tips) and then to its parent.
        if (!widget || widget->toolTip().isEmpty() || widget == this)
            return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        // A control with a keyboard shortcut names it after its own text.
        const QString shortcut = widget->property("shortcutText").toString();
        showText(help->globalPos(),
                 shortcut.isEmpty() ? widget->toolTip() : widget->toolTip() + QStringLiteral(" (") + shortcut + u')',
                 widget);
        return true; // the standard tooltip must not show as well
    }
    case QEvent::Leave:
    case QEvent::Hide:
    case QEvent::WindowDeactivate:
        if (isVisible() && watched == m_source)
            hideText();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::FocusOut:
        if (isVisible())
            hideText();
        break;
    default:
        break;
    }
    return false;
}

const QImage& TShadowedHintWindow::shadow()
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_shadow.size() == pixels && !m_shadow.isNull())
        return m_shadow;

    const int w = pixels.width();
    const int h = pixels.height();
    const int offset = qRound(kShadowOffset * ratio);
    const int radius = std::max(1, qRound(kShadowBlur * ratio / 2.0));
    const QRect box((QRectF(boxRect()).topLeft() * ratio).toPoint(), (QSizeF(boxRect().size()) * ratio).toSize());
    std::vector<int> alpha(size_t(w) * h, 0);
    for (int y = box.top() + offset; y <= box.bottom() + offset && y < h; ++y)
        for (int x = box.left() + offset; x <= box.right() + offset && x < w; ++x)
            alpha[size_t(y) * w + x] = kShadowAlpha;
    blurAlpha(alpha, w, h, radius);

    m_shadow = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(m_shadow.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = qRgba(0, 0, 0, alpha[size_t(y) * w + x]);
    }
    m_shadow.setDevicePixelRatio(ratio);
    return m_shadow;
}

void TShadowedHintWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_castsShadow) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, shadow());
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    const QRect box = boxRect();
    const QColor base = palette().color(QPalette::ToolTipBase);
    const QColor ink = palette().color(QPalette::ToolTipText);
    painter.fillRect(box, base);
    // A border a little softer than the text, so the shadow rather than a hard line sets the box off.
    const QColor border
        = QColor::fromRgbF(0.35f * base.redF() + 0.65f * ink.redF(), 0.35f * base.greenF() + 0.65f * ink.greenF(),
                           0.35f * base.blueF() + 0.65f * ink.blueF());
    painter.setPen(border);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.setPen(ink);
    // Plain text: an "&" in a tip is shown as itself.
    painter.drawText(box.adjusted(kPaddingX + 1, kPaddingY + 1, -(kPaddingX + 1), -(kPaddingY + 1)),
                     Qt::AlignLeft | Qt::AlignVCenter, m_text);
}

} // namespace vdm
