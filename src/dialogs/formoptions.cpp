// SPDX-License-Identifier: MIT
#include "dialogs/formoptions.h"

#include "dialogs/errorguard.h"
#include "dialogs/fixedlayout.h"

#include "data/codepage.h"
#include "data/packedcolor.h"
#include "data/errors.h"
#include "data/textconv.h"
#include "world/world.h"

#include "ui_formoptions.h"

#include <QFontInfo>
#include <QLabel>
#include <QShowEvent>

#include <exception>
#include <utility>

namespace vdm {

namespace {

using Form = Ui::TFormOptions;

// What the choosers fill in. Which setting each control edits comes from the settings
// keys table (its `editor` column).
struct FontButton {
    QPushButton* Form::*button;
    QLabel* Form::*face;
    QLabel* Form::*size;
};
constexpr FontButton FontButtons[] = {
    {&Form::ButtonSelectMapFont, &Form::STMapFontName, &Form::STMapFontSize},
    {&Form::ButtonSelectHintFont, &Form::STHintFontName, &Form::STHintFontSize},
};

struct ColorButton {
    QPushButton* Form::*button;
    QFrame* Form::*swatch;
};
constexpr ColorButton ColorButtons[] = {
    {&Form::ButtonU, &Form::ShapeU},   {&Form::ButtonA, &Form::ShapeA},   {&Form::ButtonV, &Form::ShapeV},
    {&Form::ButtonM, &Form::ShapeM},   {&Form::ButtonSR, &Form::ShapeSR}, {&Form::ButtonHR, &Form::ShapeHR},
    {&Form::ButtonMR, &Form::ShapeMR},
};

constexpr int ZoomItem100 = 5;

// Fields and labels hold code-page text, read the way the settings file's integers are.
int integerIn(const QString& text)
{
    return StrToInt(CodePage::encode(text));
}

} // namespace

TFormOptions::TFormOptions(const Settings& settings, MapEditor& editor, World& world, Prompts& prompts, QWidget* parent,
                           bool extendedGraphics)
    : QDialog(parent), m_settings(settings), m_editor(editor), m_world(world), m_prompts(prompts),
      m_ui(std::make_unique<Ui::TFormOptions>()), m_extendedGraphics(extendedGraphics)
{
    m_ui->setupUi(this);
    Form& ui = *m_ui;

    for (const FontButton& row : FontButtons) {
        QPushButton* button = ui.*row.button;
        connect(button, &QPushButton::clicked, this,
                [this, button] { guarded(m_prompts, this, [&] { SelectFont(button); }); });
    }
    for (const ColorButton& row : ColorButtons) {
        QPushButton* button = ui.*row.button;
        connect(button, &QPushButton::clicked, this,
                [this, button] { guarded(m_prompts, this, [&] { SelectColor(button); }); });
    }
    for (const SettingKey& key : settingKeys()) {
        // What the user sees must be what the settings file can store.
        auto* edit = qobject_cast<QLineEdit*>(editorOf(key));
        if (!edit)
            continue;
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
        connect(button, &QPushButton::clicked, this,
                [this, button] { guarded(m_prompts, this, [&] { DataClick(button); }); });
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

    // What assistive technology reads where a control's own text does not say it ("...",
    // an empty field, a bare slider).
    const std::pair<QWidget*, const char*> names[] = {
        {ui.ButtonSelectMapFont, "Map font"},
        {ui.ButtonSelectHintFont, "Hint font"},
        {ui.EditLL, "Caption length for locations"},
        {ui.EditLM, "Caption length for markers"},
        {ui.ListZoomAA, "Antialiasing from zoom level"},
        {ui.TrackBarTrans, "Hint transparency"},
        {ui.ButtonU, "Unvisited colour"},
        {ui.ButtonA, "Active colour"},
        {ui.ButtonV, "Visited colour"},
        {ui.ButtonM, "Marker colour"},
        {ui.ButtonSR, "Skarnel routes colour"},
        {ui.ButtonHR, "Ship routes colour"},
        {ui.ButtonMR, "Mages guild routes colour"},
        {ui.PageControlMain, "Option pages"},
    };
    for (const auto& [widget, name] : names)
        widget->setAccessibleName(QString::fromUtf8(name));
    // Over AT-SPI a list's name is the entry it shows ("100%"), and what it is for comes from
    // the label whose buddy it is; the check box before it cannot be one, so a hidden label
    // gives its name (else the list is read as part of the box "Program").
    auto* zoomLabel = new QLabel(ui.ListZoomAA->accessibleName(), ui.ListZoomAA->parentWidget());
    zoomLabel->setObjectName(QStringLiteral("LabelZoomAA"));
    zoomLabel->setBuddy(ui.ListZoomAA);
    zoomLabel->hide();

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

QWidget* TFormOptions::editorOf(const SettingKey& key) const
{
    if (key.editor.isEmpty())
        return nullptr;
    return findChild<QWidget*>(key.editor.toString());
}

void TFormOptions::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window restored by the window manager is no new showing.
    if (event->spontaneous())
        return;
    guarded(m_prompts, this, [this] { FormShow(); });
    // Everything whole at the platform's font (the pages are laid out by now).
    fitFixedLayout(*this);
    // Closing moves the focus on from Ok, often to Cancel, which would then take Enter at
    // the next showing; starting on the pages keeps Ok the default button.
    m_ui->PageControlMain->setFocus();
}

void TFormOptions::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange && isVisible())
        fitFixedLayout(*this);
}

void TFormOptions::setSwatch(QFrame* swatch, PackedColor color)
{
    m_colors[swatch] = color;
    QPalette palette = swatch->palette();
    palette.setColor(swatch->backgroundRole(), packedToColor(color));
    swatch->setPalette(palette);
}

void TFormOptions::FormShow()
{
    Form& ui = *m_ui;
    // In the keys' order: the anti-aliasing box comes before the zoom list it drives.
    for (const SettingKey& key : settingKeys()) {
        QWidget* editor = editorOf(key);
        if (!editor)
            continue;
        const auto* text = std::get_if<QString Settings::*>(&key.member);
        const auto* flag = std::get_if<bool Settings::*>(&key.member);
        const auto* number = std::get_if<int Settings::*>(&key.member);
        if (auto* label = qobject_cast<QLabel*>(editor)) {
            label->setText(text ? m_settings.**text : QString::number(m_settings.**number));
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            edit->setText(QString::number(m_settings.**number));
        } else if (auto* box = qobject_cast<QCheckBox*>(editor)) {
            // Without extended graphics the anti-aliasing box stays unchecked and disabled.
            if (box != ui.CBAnti || m_extendedGraphics)
                box->setChecked(m_settings.**flag);
        } else if (auto* slider = qobject_cast<QSlider*>(editor)) {
            if (m_extendedGraphics) {
                slider->setValue(100 - m_settings.**number);
                SetTrans();
            } else {
                ui.STTrans->setText(QStringLiteral("0 %"));
            }
        } else if (auto* list = qobject_cast<QComboBox*>(editor)) {
            if (m_settings.MapAA && m_extendedGraphics) {
                list->setEnabled(true);
                list->setCurrentIndex(m_settings.**number); // out of range: no selection
            } else {
                list->setCurrentIndex(-1);
                list->setEnabled(false);
            }
        } else if (auto* swatch = qobject_cast<QFrame*>(editor)) {
            setSwatch(swatch, m_settings.**number);
        }
    }
}

void TFormOptions::SelectFont(QAbstractButton* sender)
{
    Form& ui = *m_ui;
    for (const FontButton& row : FontButtons) {
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
        // The chooser answers with the preset itself when the user picked nothing.
        if (*chosen == initial)
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
    for (const ColorButton& row : ColorButtons) {
        if ((*m_ui).*row.button != sender)
            continue;
        QFrame* swatch = (*m_ui).*row.swatch;
        const std::optional<QColor> chosen = m_prompts.chooseColor(this, packedToColor(m_colors.value(swatch)));
        if (chosen && chosen->isValid())
            setSwatch(swatch, colorToPacked(*chosen));
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
        m_editor.resetPlaces(setAllUnvisited ? MapEditor::PlaceReset::AllUnvisited : MapEditor::PlaceReset::NoNotes);
        if (m_settings.Autosave) {
            // The locations have changed whether or not the file could be written, so the
            // map is repainted before the write failure is reported.
            try {
                m_world.SaveUserData();
            } catch (...) {
                saveError = std::current_exception();
            }
        }
    }
    emit mapChanged();
    if (saveError)
        std::rethrow_exception(saveError);
}

void TFormOptions::ButtonOkClick()
{
    // The typed fields are read first, in order. A bad one stops the write-back there: the
    // fields after it, the boxes, the track bar and the zoom list keep their values, while
    // what the choosers filled in (fonts and colours) is applied either way.
    QHash<const QLineEdit*, int> typed;
    std::exception_ptr badField;
    Settings edited = m_settings;
    for (const SettingKey& key : settingKeys()) {
        auto* edit = qobject_cast<QLineEdit*>(editorOf(key));
        if (!edit)
            continue;
        try {
            typed[edit] = integerIn(edit->text());
        } catch (...) {
            badField = std::current_exception();
            break;
        }
    }

    for (const SettingKey& key : settingKeys()) {
        QWidget* editor = editorOf(key);
        if (!editor)
            continue;
        const auto* text = std::get_if<QString Settings::*>(&key.member);
        const auto* flag = std::get_if<bool Settings::*>(&key.member);
        const auto* number = std::get_if<int Settings::*>(&key.member);
        if (auto* label = qobject_cast<QLabel*>(editor)) {
            if (text)
                edited.*(*text) = label->text();
            else
                edited.*(*number) = integerIn(label->text());
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            if (typed.contains(edit))
                edited.*(*number) = typed.value(edit);
        } else if (auto* swatch = qobject_cast<QFrame*>(editor)) {
            edited.*(*number) = m_colors.value(swatch);
        } else if (badField) {
            continue;
        } else if (auto* box = qobject_cast<QCheckBox*>(editor)) {
            edited.*(*flag) = box->isChecked();
        } else if (auto* slider = qobject_cast<QSlider*>(editor)) {
            edited.*(*number) = 100 - slider->value();
        } else if (auto* list = qobject_cast<QComboBox*>(editor)) {
            // Without anti-aliasing the list is empty and the stored level stays.
            if (edited.MapAA)
                edited.*(*number) = list->currentIndex();
        }
    }
    emit settingsEdited(edited);
    if (badField)
        std::rethrow_exception(badField);
}

} // namespace vdm
