// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace vdm {

/**
 * The application's tooltip: a pop-up that shows a widget's toolTip in a box casting a
 * soft shadow to the right and below where the screen can show translucent windows, and
 * a plain box without any shadow where it cannot (the shadow would come out solid black).
 * Which of the two is asked of the screen at every showing. installForApplication() makes one window
 * that watches every event of the application and takes over QEvent::ToolTip for widgets
 * that have a toolTip, so the standard tooltip never shows; a widget's "shortcutText"
 * property, when set, follows its toolTip in brackets. The window owns itself and is
 * deleted when the application is about to quit. Positions are global screen pixels; the
 * box and its shadow are painted in window pixels, the box at the window's top-left.
 */
class TShadowedHintWindow : public QWidget {
    Q_OBJECT

public:
    explicit TShadowedHintWindow(QWidget* parent = nullptr);
    ~TShadowedHintWindow() override;

    /** Makes our window the application's tooltip. Calling it again changes nothing. */
    static void installForApplication();
    /** The application's tooltip window once installed, otherwise nullptr. */
    static TShadowedHintWindow* instance();

    /** Shows `text` near the pointer at `globalPos`, kept on that screen's available area. */
    void showText(const QPoint& globalPos, const QString& text, QWidget* source);
    void hideText();

    QString text() const { return m_text; }
    QWidget* source() const { return m_source; }
    /** The box itself, in window pixels; the rest of the window is its shadow. */
    QRect boxRect() const;
    /** Whether the box is shown with its shadow (decided when it was last shown). */
    bool castsShadow() const { return m_castsShadow; }

    /** How long a tooltip stays without other cause to hide it, in milliseconds. */
    void setHideDelay(int milliseconds);

    static constexpr int kShadowOffset = 3;
    static constexpr int kShadowBlur = 4;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QSize boxSizeFor(const QString& text) const;
    int shadowMargin() const;
    void useShadow(bool on);
    const QImage& shadow();

    QString m_text;
    QPointer<QWidget> m_source;
    QTimer m_hideTimer;
    QImage m_shadow; // premultiplied ARGB of the window's size, rebuilt when the size changes
    bool m_castsShadow = false;
};

} // namespace vdm
