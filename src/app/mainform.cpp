// SPDX-License-Identifier: MIT
#include "app/mainform.h"

#include "app/accessibility.h"
#include "app/commandparts.h"
#include "app/coolbar.h"
#include "app/displaytoggles.h"
#include "app/editcontrols.h"
#include "app/focuschain.h"
#include "app/journeybar.h"
#include "app/journeycommands.h"
#include "app/navigatorview.h"
#include "app/orientationcommands.h"
#include "app/formlayout.h"
#include "dialogs/errorguard.h"
#include "app/mappanel.h"
#include "app/windowinput.h"
#include "app/noteedit.h"
#include "app/progressline.h"
#include "app/typingpause.h"
#include "app/worldshow.h"
#include "ui_mainform.h"

#include <QPlainTextEdit>
#include <QScopeGuard>

#include <utility>

// The glyphs live in this static library: register them before the first form is built.
static void initGlyphResources()
{
    Q_INIT_RESOURCE(glyphs);
}

namespace vdm {
namespace {

/**
 * The form and its components, as stored, built before any part that takes its widgets.
 * Assistive technology toggling a check button acts as a click (installed before any
 * button is asked for its interface).
 */
std::unique_ptr<Ui::TMainForm> buildForm(QWidget* window)
{
    installCheckButtonAccessibility();
    initGlyphResources();
    auto ui = std::make_unique<Ui::TMainForm>();
    ui->setupUi(window);
    return ui;
}

} // namespace

TMainForm::TMainForm(Prompts& prompts, QString applicationDirectory, QWidget* parent)
    : QWidget(parent), m_prompts(prompts), m_appDir(std::move(applicationDirectory)), m_ui(buildForm(this)),
      m_edit(m_world), m_hover(m_world, mapView().view(), m_session.settings(), mapView().highlight(), m_edit),
      m_hint(*this, *m_ui->PanelMap, m_hover, m_session.settings(), m_prompts),
      m_input(std::make_unique<WindowInput>(WindowInput::Controls{this, m_ui->PanelMap, m_ui->CBLoc, m_ui->GBLoc},
                                            m_prompts))
{
    Ui::TMainForm& u = *m_ui;
    TMapPanel* panel = u.PanelMap;
    m_typingPause = new TypingPause(*this, m_prompts);
    panel->attach(m_world, m_session, m_prompts);
    panel->setScrollBars(u.ScrollBarH, u.ScrollBarV);
    m_editControls = std::make_unique<EditControls>(EditControls::Widgets{u.GBLoc, u.SBU, u.SBA, u.SBV, u.MemoNotes,
                                                                          u.CBLoc, u.ToolButtonAddM, u.ToolButtonDelM,
                                                                          u.ToolButtonClearM, u.PanelMap},
                                                    m_edit, m_world, m_hover, panel->view(), m_prompts, this);
    connect(panel, &TMapPanel::levelShown, this, [this] { m_editControls->levelShown(); });
    connect(panel, &TMapPanel::zoomShown, this, [this] { ApplyWindowSizeLimit(); });
    m_toggles = std::make_unique<DisplayToggles>(
        DisplayToggles::Buttons{u.ToolButtonSR, u.ToolButtonSS, u.ToolButtonSM, u.ToolButtonText, u.ToolButtonHint,
                                u.ToolButtonSU, u.ToolButtonSA, u.ToolButtonSV},
        m_session);
    m_progressLine = std::make_unique<ProgressLine>(*u.LabelProgress, *u.PanelMap, m_world, panel->view(), m_hover);
    setupComponents();

    // The settings members come from the settings file, which stays open (as an object)
    // until shut-down.
    ReadSettings();

    // The picture is chosen and decoded once per run; a decoder error leaves the constructor.
    // Meanwhile a worker reads the databases, which the first show then takes over, and
    // the caption font is learned from the places' names as soon as they are read, so a
    // crowded first view does not learn it in its paint.
    // Then the first view's captions are rendered on the same thread, for its first paint.
    m_world.readDatabasesAhead(panel->learnFontAhead(settings(), firstView()));
    m_world.LoadPicture();
    panel->takePicture(m_world.picture().size(), m_world.mapScale());

    // The caption font, pens and brushes from the settings (the editor starts with every
    // marker mode off).
    m_session.rebuildObjects();

    connectGuarded(m_prompts, this, panel, &TMapPanel::pressed,
                   [this](Qt::MouseButton button, Qt::MouseButtons buttons, QPoint at) {
                       ImageMapMouseDown(button, buttons, at.x(), at.y());
                   });
    connectGuarded(m_prompts, this, panel, &TMapPanel::moved,
                   [this](Qt::MouseButtons buttons, QPoint at) { ImageMapMouseMove(buttons, at.x(), at.y()); });
    connectGuarded(m_prompts, this, panel, &TMapPanel::released,
                   [this](Qt::MouseButton button, QPoint at) { ImageMapMouseUp(button, at.x(), at.y()); });
    connectGuarded(m_prompts, this, panel, &TMapPanel::clicked, [this] { PanelMapClick(); });
    connectGuarded(m_prompts, this, panel, &TMapPanel::doubleClicked, [this] { PanelMapDblClick(); });
    connectGuarded(m_prompts, this, panel, &TMapPanel::resized, [this] { PanelMapResize(); });
    connect(panel, &TMapPanel::painted, this, [this] { PanelMapPaint(); }); // inside the paint's guard
    panel->followPanel();

    // The stored window state and view: geometry, zoom level and scroll position.
    restoreView();
    connectHandlers();
    connectInput();
    m_parts
        = new CommandParts({*this, *m_ui, *panel, m_world, m_session, m_edit, *m_editControls, *m_input, m_prompts});
    connect(m_parts, &CommandParts::mapChanged, this, [this] { RepaintMap(); });
    connect(m_parts, &CommandParts::imported, this, [this] {
        m_editControls->imported();
        if (!m_edit.showsMarker())
            CBLocChange(); // the box shows the selected location's new status and note
        RepaintMap();
    });
    connectGuarded(m_prompts, this, m_parts, &CommandParts::chosen, [this](int index) { FindChosen(index); });
    m_hint.keepClearOf(&journey().bar());
    m_hover.setPlaceFilter(&orientation().filter());
    m_progressLine->setPlaceFilter(&orientation().filter());
    // The progress line follows the pointer over the map, through the window's hit test.
    connectGuarded(m_prompts, this, panel, &TMapPanel::moved, [this](Qt::MouseButtons, QPoint at) {
        mapView().followPanel();
        m_progressLine->pointerMoved(at);
    });
    m_show = std::make_unique<WorldShow>(WorldShow::Window{*this, m_world, m_session, *panel, *m_editControls, *m_parts,
                                                           m_hint, *m_layout, m_prompts, *m_typingPause});
    connect(m_parts, &CommandParts::worldOpened, this, [this](const QString& folder) { m_show->opened(folder); });
    connect(&m_edit, &MapEditor::mapChanged, this, [this] { RepaintMap(); });
    // Whoever changed the settings, the editor writes as they now say.
    connect(&m_session, &SettingsSession::changed, this, [this] { m_edit.setAutosave(settings().Autosave); });
}

TMainForm::~TMainForm()
{
    if (m_show->shown() || m_session.isOpen())
        FormDestroy();
    // QWidget's destructor closes the window after our members are gone, and the focus
    // leaving the note editor then would reach a handler of a destroyed part.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

void TMainForm::setupComponents()
{
    Ui::TMainForm& u = *m_ui;
    m_layout = std::make_unique<FormLayout>(
        *this, FormLayout::Widgets{u.CoolBarMain,
                                   u.PanelTop,
                                   u.PanelMain,
                                   {u.ToolBarMap, u.ToolBarLoc, u.ToolBarMarker, u.ToolBarOptions},
                                   u.BevelMap,
                                   u.ScrollBarH,
                                   u.ScrollBarV,
                                   u.PanelMap,
                                   u.LabelProgress,
                                   u.GBLoc,
                                   {u.SBU, u.SBA, u.SBV},
                                   u.MemoNotes});
    setWindowTitle(titleWithZoom(view().zoomIndex()));
    m_focusChain = std::make_unique<FocusChain>(
        *m_ui->CoolBarMain, QList<QWidget*>{m_ui->PanelMap, m_ui->MemoNotes, m_ui->SBU, m_ui->SBA, m_ui->SBV},
        m_ui->PanelMap);
    m_ui->PanelMap->setFocus();
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_layout)
        m_layout->layoutPanels();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_show->firstShow())
        return;
    guarded(m_prompts, this, [this] {
        try {
            FormCreate();
        } catch (...) {
            if (!m_show->runEnded())
                throw;
            // The run ended inside an earlier box of this first show: no box after it.
        }
    });
}

void TMainForm::endRun()
{
    m_show->endRun();
}

void TMainForm::FormCreate()
{
    m_hover.release(Qt::LeftButton); // no drag reaches over into the first show
    m_show->load();
}

void TMainForm::FormDestroy()
{
    if (!m_show->close())
        return;
    guarded(m_prompts, this, [this] { WriteSettings(); });
    m_session.close();
}

void TMainForm::PanelMapPaint()
{
    m_progressLine->show(); // every status change repaints the map
}

TMapPanel& TMainForm::mapView() const
{
    return *m_ui->PanelMap;
}

void TMainForm::connectHandlers()
{
    Ui::TMainForm& u = *m_ui;
    const auto onSignal
        = [this](auto* sender, auto signal, auto handler) { connectGuarded(m_prompts, this, sender, signal, handler); };
    const auto onClick = [&](QToolButton* button, auto handler) {
        onSignal(button, &QAbstractButton::clicked, [this, button, handler] { (this->*handler)(button); });
    };
    for (QToolButton* b : {u.ToolButtonZoomIn, u.ToolButtonZoomOut, u.ToolButtonZoomActual})
        onSignal(b, &QAbstractButton::clicked, [this, b] { ZoomButtonClick(b); });
    for (QToolButton* b : m_toggles->buttons())
        onClick(b, &TMainForm::ToolButtonShowClick);
    for (QToolButton* b : {u.ToolButtonAddM, u.ToolButtonDelM, u.ToolButtonClearM})
        onClick(b, &TMainForm::MarkerToolButtonClick);
    for (QToolButton* b : {u.ToolButtonOptions, u.ToolButtonClip, u.ToolButtonAbout})
        onClick(b, &TMainForm::OptionsToolButtonClick);
    for (QToolButton* b : {u.SBU, u.SBA, u.SBV})
        onSignal(b, &QAbstractButton::clicked, [this, b] { SetStatus(b); });
    onSignal(u.ToolButtonGo, &QAbstractButton::clicked, [this] { GoButtonClick(); });

    // Every scroll notification (arrow, track, thumb drag) carries the new position.
    onSignal(u.ScrollBarH, &QAbstractSlider::actionTriggered, [this] { ScrollBarHScroll(); });
    onSignal(u.ScrollBarV, &QAbstractSlider::actionTriggered, [this] { ScrollBarVScroll(); });

    onSignal(u.CBLoc, &QComboBox::activated, [this] { CBLocChange(); });
    // A note's write that failed is told once the typing that made it pauses.
    connect(u.MemoNotes, &QPlainTextEdit::textChanged, this, [this] {
        try {
            MemoNotesChange();
        } catch (...) {
            m_typingPause->reportError(std::current_exception());
        }
    });
    onSignal(u.MemoNotes, &TNoteEdit::focusLost, [this] { m_edit.endTyping(); });
}

void TMainForm::connectInput()
{
    // The input part runs each inside the error guard already.
    connect(m_input.get(), &WindowInput::keyDown, this,
            [this](int key, Qt::KeyboardModifiers m) { FormKeyDown(key, m); });
    connect(m_input.get(), &WindowInput::keyUp, this, [this](int key, Qt::KeyboardModifiers m) { FormKeyUp(key, m); });
    connect(m_input.get(), &WindowInput::wheelTurned, this,
            [this](Qt::KeyboardModifiers m, int delta, bool* handled, Qt::Orientation wheel,
                   std::optional<QPoint> pointer) { FormMouseWheel(m, delta, handled, wheel, pointer); });
    connect(m_input.get(), &WindowInput::listEnter, this, [this] { CBLocKeyPress('\r'); });
    connect(m_input.get(), &WindowInput::mapEnter, this, [this] { PanelMapEnter(); });
    connect(m_input.get(), &WindowInput::boxEscape, this, [this] { m_editControls->closeBox(); });
}

void TMainForm::RepaintMap()
{
    mapView().repaint();
}

} // namespace vdm
