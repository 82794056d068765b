// SPDX-License-Identifier: MIT
#include "app/formlayout.h"

#include "app/anchors.h"
#include "app/coolbar.h"
#include "map/viewport.h"
#include "session/settingssession.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

#include <memory>
#include <utility>

namespace vdm {
namespace {

// The window's design size: the stored positions of every component are laid out for it.
constexpr QSize kDesignSize(378, 644);
constexpr QPoint kDesignPosition(326, 81);
constexpr int kPanelTopHeight = 74;

// Where each band's tool bar sits in the stored layout: the start of its restoring drag.
constexpr QPoint kBandStart[] = {{55, 0}, {54, 24}, {55, 48}, {55, 48}};

} // namespace

int windowStateCode(Qt::WindowStates states)
{
    return states & Qt::WindowMinimized ? 1 : states & Qt::WindowMaximized ? 2 : 0;
}

Qt::WindowStates withWindowState(Qt::WindowStates states, int code)
{
    if (code == 1)
        return states | Qt::WindowMinimized;
    if (code == 2)
        return states | Qt::WindowMaximized;
    return states;
}

FormLayout::FormLayout(QWidget& window, const Widgets& widgets)
    : m_window(window), m_widgets(widgets), m_anchors(std::make_unique<AnchorTable>())
{
    window.resize(kDesignSize);
    window.move(kDesignPosition);
    // The icon drawn at each size the desktop asks for (task bar, switcher, title bar),
    // so it is never a scaled copy: 16 to 256 pixels, 64 and 96 being the @2x files.
    QIcon icon;
    for (const char* file :
         {"icon16", "icon22", "icon24", "icon32", "icon", "icon32@2x", "icon@2x", "icon128", "icon256"})
        icon.addFile(QStringLiteral(":/glyphs/%1.png").arg(QLatin1String(file)));
    window.setWindowIcon(icon);

    // Components anchored to the edges of their parents, as laid out at the design size.
    using E = AnchorTable::Edge;
    const QSize mainDesign(kDesignSize.width(), kDesignSize.height() - kPanelTopHeight);
    const std::pair<QWidget*, int> mainRows[] = {
        {widgets.bevel, E::Left | E::Top | E::Right | E::Bottom},
        {widgets.horizontal, E::Left | E::Right | E::Bottom},
        {widgets.vertical, E::Top | E::Right | E::Bottom},
        {widgets.map, E::Left | E::Top | E::Right | E::Bottom},
        {widgets.box, E::Left | E::Right | E::Bottom},
        {widgets.progress, E::Left | E::Right | E::Bottom},
    };
    for (const auto& [widget, edges] : mainRows)
        m_anchors->add(widget, edges, mainDesign);
    const QSize boxDesign = widgets.box->size();
    const std::pair<QWidget*, int> boxRows[] = {
        {widgets.statusButtons[0], E::Top | E::Right},
        {widgets.statusButtons[1], E::Top | E::Right},
        {widgets.statusButtons[2], E::Top | E::Right},
        {widgets.notes, E::Left | E::Top | E::Right},
    };
    for (const auto& [widget, edges] : boxRows)
        m_anchors->add(widget, edges, boxDesign);

    // The four bands of the cool bar: label, tool bar, minimum width, width, row break.
    struct BandRow {
        const char* label;
        int minWidth, width;
        bool breakBefore;
    };
    const BandRow bands[BandPositions::Count] = {
        {"Map       ", 290, 370, true},
        {"Location", 290, 370, true},
        {"Marker   ", 75, 141, true},
        {"Tools     ", 75, 227, false},
    };
    for (int band = 0; band < BandPositions::Count; ++band) {
        const BandRow& b = bands[band];
        widgets.bar->addBand(QString::fromLatin1(b.label), widgets.bands[band], b.minWidth, b.width, b.breakBefore);
    }
    // A band dragged into a new row (or out of the last one) changes the top panel's height.
    QObject::connect(widgets.bar, &CoolBar::heightChanged, &window, [this] { layoutPanels(); });
}

FormLayout::~FormLayout() = default;

void FormLayout::layoutPanels()
{
    // The top panel is sized to the bar's rows (74 for the stored three), so a layout with
    // fewer rows gives its height to the map instead of leaving a gap under the bands.
    const int width = m_window.width();
    const int top = m_widgets.bar->sizeHint().height();
    m_widgets.top->setGeometry(0, 0, width, top);
    m_widgets.bar->setGeometry(0, 0, width, top);
    m_widgets.main->setGeometry(0, top, width, qMax(0, m_window.height() - top));
    // Hidden windows get their resize events only when shown; lay out at once all the same.
    m_anchors->apply(m_widgets.main);
    m_anchors->apply(m_widgets.box);
}

void FormLayout::restoreGeometry(const StoredView& stored, bool positionsKnown)
{
    if (!stored.geometryRead)
        return;
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    if (positionsKnown)
        m_window.move(reachablePosition(stored, screens));
    m_window.resize(stored.Width, stored.Height);
    layoutPanels();
}

void FormLayout::restoreBands(const BandPositions& saved)
{
    CoolBar* bar = m_widgets.bar;
    // The layout is rebuilt by the cool bar's own drag rules, as if the user dragged each
    // band from where its tool bar sits in the stored layout to where it was saved.
    bar->setBandBreak(3, true);
    for (int band = 0; band < BandPositions::Count; ++band) {
        bar->beginDrag(band, kBandStart[band]);
        bar->dragMove(saved.of(band));
        bar->endDrag();
    }
    layoutPanels();
}

void FormLayout::showZoom(int zoomIndex, bool keepZoom)
{
    m_window.setWindowTitle(titleWithZoom(zoomIndex));
    m_window.setMaximumSize(keepZoom ? Viewport::sizeLimit(zoomIndex) : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

void FormLayout::applyWindowState(int code)
{
    if (code != 0)
        m_window.setWindowState(withWindowState(m_window.windowState(), code));
}

WindowSnapshot FormLayout::snapshot(const Viewport& view) const
{
    WindowSnapshot w;
    w.Zoom = view.zoomIndex();
    w.Width = m_window.width();
    w.Height = m_window.height();
    w.CenterX = view.scrollX();
    w.CenterY = view.scrollY();
    for (int band = 0; band < BandPositions::Count; ++band)
        w.bands.set(band, m_widgets.bands[band]->pos());
    w.Left = m_window.x();
    w.Top = m_window.y();
    w.State = windowStateCode(m_window.windowState());
    return w;
}

} // namespace vdm
