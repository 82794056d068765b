// SPDX-License-Identifier: MIT
#include "dialogs/formoptions.h"

#include "dialogs/errorguard.h"

#include "data/codepage.h"
#include "data/errors.h"
#include "data/textconv.h"

#include "ui_formoptions.h"

#include <QFontInfo>
#include <QShowEvent>

#include <exception>

namespace vdm {

namespace {

using Form = Ui::TFormOptions;

// How each control maps to its settings member. Rows are in the order Ok writes them
// back, which matters: a bad integer stops the write-back at its own row.
struct FontRow {
    QPushButton* Form::*button;
    QLabel* Form::*face;
    QLabel* Form::*size;
    QString Settings::*faceMember;
    int Settings::*sizeMember;
};
constexpr FontRow FontRows[] = {
    {&Form::ButtonSelectMapFont, &Form::STMapFontName, &Form::STMapFontSize, &Settings::MapFontName, &Settings::MapFontSize},
    {&Form::ButtonSelectHintFont, &Form::STHintFontName, &Form::STHintFontSize, &Settings::HintFontName, &Settings::HintFontSize},
};

struct ColorRow {
    QPushButton* Form::*button;
    QFrame* Form::*swatch;
    PackedColor Settings::*member;
};
constexpr ColorRow ColorRows[] = {
    {&Form::ButtonU, &Form::ShapeU, &Settings::ColorUnvisited},
    {&Form::ButtonA, &Form::ShapeA, &Settings::ColorActive},
    {&Form::ButtonV, &Form::ShapeV, &Settings::ColorVisited},
    {&Form::ButtonM, &Form::ShapeM, &Settings::ColorMarker},
    {&Form::ButtonSR, &Form::ShapeSR, &Settings::ColorSkarnels},
    {&Form::ButtonHR, &Form::ShapeHR, &Settings::ColorShips},
    {&Form::ButtonMR, &Form::ShapeMR, &Settings::ColorMagesGuild},
};

struct IntegerRow {
    QLineEdit* Form::*edit;
    int Settings::*member;
};
constexpr IntegerRow IntegerRows[] = {
    {&Form::EditLL, &Settings::TextLength},
    {&Form::EditLM, &Settings::MarkerLength},
};

struct CheckRow {
    QCheckBox* Form::*box;
    bool Settings::*member;
};
// CBAnti is not here: it depends on the platform's extended graphics.
constexpr CheckRow CheckRows[] = {
    {&Form::CBRestore, &Settings::RestoreWindow},
    {&Form::CBAutosave, &Settings::Autosave},
    {&Form::CBKeepZoom, &Settings::KeepZoom},
};

constexpr int ZoomItem100 = 5;

QColor toQColor(PackedColor c)
{
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

PackedColor toPacked(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return PackedColor(rgb.red() | (rgb.green() << 8) | (rgb.blue() << 16));
}

// Fields and labels hold code-page text, read the way the settings file's integers are.
int integerIn(const QString& text)
{
    return StrToInt(CodePage::encode(text));
}

void call(const std::function<void()>& hook)
{
    if (hook)
        hook();
}

} // namespace

TFormOptions::TFormOptions(Settings& settings, World& world, Prompts& prompts, Hooks hooks,
                           QWidget* parent, bool extendedGraphics)
    : QDialog(parent)
    , m_settings(settings)
    , m_world(world)
    , m_prompts(prompts)
    , m_hooks(std::move(hooks))
    , m_ui(std::make_unique<Ui::TFormOptions>())
    , m_extendedGraphics(extendedGraphics)
{
    m_ui->setupUi(this);
    Form& ui = *m_ui;

    for (const FontRow& row : FontRows) {
        QPushButton* button = ui.*row.button;
        connect(button, &QPushButton::clicked, this, [this, button] { guarded(m_prompts, this, [&] { SelectFont(button); }); });
    }
    for (const ColorRow& row : ColorRows) {
        QPushButton* button = ui.*row.button;
        connect(button, &QPushButton::clicked, this, [this, button] { guarded(m_prompts, this, [&] { SelectColor(button); }); });
    }
    for (const IntegerRow& row : IntegerRows) {
        // What the user sees must be what the settings file can store.
        QLineEdit* edit = ui.*row.edit;
        connect(edit, &QLineEdit::textEdited, this, [edit](const QString& text) {
            const QString kept = CodePage::filter(text);
            if (kept == text)
                return;
            const int cursor = edit->cursorPosition() - int(text.size() - kept.size());
            edit->setText(kept);
            edit->setCursorPosition(qMax(0, cursor));
        });
    }
    for (QPushButton* button : {ui.ButtonSetAllU, ui.ButtonClearNotes})
        connect(button, &QPushButton::clicked, this, [this, button] { guarded(m_prompts, this, [&] { DataClick(button); }); });
    // toggled also fires when the dialog itself changes the box, which CBAntiClick must follow.
    connect(ui.CBAnti, &QCheckBox::toggled, this, [this] { guarded(m_prompts, this, [this] { CBAntiClick(); }); });
    connect(ui.TrackBarTrans, &QSlider::valueChanged, this, &TFormOptions::SetTrans);
    connect(ui.ButtonOk, &QPushButton::clicked, this, [this] {
        // A bad field leaves the earlier values applied and still closes with Ok, so the
        // owner rebuilds its drawing objects and rewrites the settings from what did apply.
        guarded(m_prompts, this, [this] { ButtonOkClick(); });
        accept();
    });
    connect(ui.ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

    ui.TrackBarTrans->setEnabled(m_extendedGraphics);
    if (m_extendedGraphics) {
        ui.CBAnti->setEnabled(true);
        ui.ListZoomAA->setEnabled(true);
    } else {
        ui.CBAnti->setChecked(false);
        ui.CBAnti->setEnabled(false);
        ui.ListZoomAA->setCurrentIndex(-1);
        ui.ListZoomAA->setEnabled(false);
    }
}

TFormOptions::~TFormOptions() = default;

void TFormOptions::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window restored by the window manager is no new showing.
    if (event->spontaneous())
        return;
    guarded(m_prompts, this, [this] { FormShow(); });
    // Closing moves the focus on from Ok, often to Cancel, which would then take Enter at
    // the next showing; starting on the pages keeps Ok the default button.
    m_ui->PageControlMain->setFocus();
}

void TFormOptions::setSwatch(int row, PackedColor color)
{
    m_colors[row] = color;
    QFrame* swatch = (*m_ui).*ColorRows[row].swatch;
    QPalette palette = swatch->palette();
    palette.setColor(swatch->backgroundRole(), toQColor(color));
    swatch->setPalette(palette);
}

void TFormOptions::FormShow()
{
    Form& ui = *m_ui;
    for (const FontRow& row : FontRows) {
        (ui.*row.face)->setText(m_settings.*row.faceMember);
        (ui.*row.size)->setText(QString::number(m_settings.*row.sizeMember));
    }
    for (int i = 0; i < ColorCount; ++i)
        setSwatch(i, m_settings.*ColorRows[i].member);
    for (const IntegerRow& row : IntegerRows)
        (ui.*row.edit)->setText(QString::number(m_settings.*row.member));

    if (m_extendedGraphics) {
        ui.TrackBarTrans->setValue(100 - m_settings.HintOpacity);
        SetTrans();
    } else {
        ui.STTrans->setText(QStringLiteral("0 %"));
    }

    for (const CheckRow& row : CheckRows)
        (ui.*row.box)->setChecked(m_settings.*row.member);
    if (m_extendedGraphics)
        ui.CBAnti->setChecked(m_settings.MapAA);

    if (m_settings.MapAA && m_extendedGraphics) {
        ui.ListZoomAA->setEnabled(true);
        ui.ListZoomAA->setCurrentIndex(m_settings.ZoomLevelAA); // out of range: no selection
    } else {
        ui.ListZoomAA->setCurrentIndex(-1);
        ui.ListZoomAA->setEnabled(false);
    }
}

void TFormOptions::SelectFont(QAbstractButton* sender)
{
    Form& ui = *m_ui;
    for (const FontRow& row : FontRows) {
        if (ui.*row.button != sender)
            continue;
        QLabel* face = ui.*row.face;
        QLabel* size = ui.*row.size;
        QFont initial(face->text());
        const int points = integerIn(size->text());
        if (points > 0)
            initial.setPointSize(points);

        const std::optional<QFont> chosen = m_prompts.chooseFont(this, initial);
        if (!chosen)
            return;
        // Only face and size are kept: the settings have no place for style or colour.
        int chosenPoints = chosen->pointSize();
        if (chosenPoints <= 0)
            chosenPoints = qRound(QFontInfo(*chosen).pointSizeF());
        face->setText(chosen->family());
        size->setText(QString::number(chosenPoints));
        return;
    }
}

void TFormOptions::SelectColor(QAbstractButton* sender)
{
    for (int i = 0; i < ColorCount; ++i) {
        if ((*m_ui).*ColorRows[i].button != sender)
            continue;
        const std::optional<QColor> chosen = m_prompts.chooseColor(this, toQColor(m_colors[i]));
        if (chosen && chosen->isValid())
            setSwatch(i, toPacked(*chosen));
        return;
    }
}

void TFormOptions::SetTrans()
{
    m_ui->STTrans->setText(QString::number(m_ui->TrackBarTrans->value()) + QStringLiteral(" %"));
}

void TFormOptions::CBAntiClick()
{
    QComboBox* list = m_ui->ListZoomAA;
    const bool on = m_ui->CBAnti->isChecked();
    list->setEnabled(on);
    list->setCurrentIndex(on ? ZoomItem100 : -1);
}

void TFormOptions::DataClick(QAbstractButton* sender)
{
    const bool setAllUnvisited = sender == m_ui->ButtonSetAllU;
    const bool clearNotes = sender == m_ui->ButtonClearNotes;
    if (!setAllUnvisited && !clearNotes)
        return;

    std::exception_ptr saveError;
    if (m_prompts.askYesNo(this, QStringLiteral("Warning!"), QStringLiteral("There is no undo. Are you sure?"))) {
        for (int i = 0; i < int(m_world.locations().size()); ++i) {
            if (setAllUnvisited)
                m_world.setLocationStatus(i, Unvisited);
            else
                m_world.setLocationNote(i, QByteArray());
        }
        if (m_settings.Autosave) {
            // The locations have changed whether or not the file could be written, so the
            // map is repainted before the write failure is reported.
            try {
                call(m_hooks.saveUserData);
            } catch (...) {
                saveError = std::current_exception();
            }
        }
    }
    call(m_hooks.repaintMap);
    if (saveError)
        std::rethrow_exception(saveError);
}

void TFormOptions::ButtonOkClick()
{
    Form& ui = *m_ui;
    for (const FontRow& row : FontRows) {
        m_settings.*row.faceMember = (ui.*row.face)->text();
        m_settings.*row.sizeMember = integerIn((ui.*row.size)->text());
    }
    for (int i = 0; i < ColorCount; ++i)
        m_settings.*ColorRows[i].member = m_colors[i];
    for (const IntegerRow& row : IntegerRows)
        m_settings.*row.member = integerIn((ui.*row.edit)->text());

    m_settings.HintOpacity = 100 - ui.TrackBarTrans->value();

    for (const CheckRow& row : CheckRows)
        m_settings.*row.member = (ui.*row.box)->isChecked();
    m_settings.MapAA = ui.CBAnti->isChecked();
    if (m_settings.MapAA)
        m_settings.ZoomLevelAA = ui.ListZoomAA->currentIndex();

    if (m_settings.KeepZoom)
        call(m_hooks.applyWindowSizeLimit);
    else
        call(m_hooks.clearWindowSizeLimit);
}

} // namespace vdm
