// SPDX-License-Identifier: MIT
#pragma once

#include "data/settings.h"
#include "edit/mapeditor.h"
#include "dialogs/platform.h"
#include "dialogs/prompts.h"

#include <QDialog>
#include <QHash>

#include <memory>

class QAbstractButton;
class QFrame;

namespace Ui {
class TFormOptions;
}

namespace vdm {

class World;

/**
 * The modal options dialog. It shows the settings members (which it reads, never owns)
 * in its own controls and on Ok hands back a changed copy (`settingsEdited`) for their
 * owner to apply; Cancel changes nothing. Whoever opened it follows the change once it
 * closes with Ok (the size limit, the map). The two
 * database buttons change the world's locations at once, each one step the editor can
 * undo, written at once with autosave on; the map is told (`mapChanged`) before a failed
 * write is reported. Its controls come from
 * resources/formoptions.ui; positions are dialog client pixels. One object lives for
 * the whole run and reloads its controls from the settings on every showing.
 */
class TFormOptions : public QDialog {
    Q_OBJECT

public:
    /** `extendedGraphics` is the platform's answer; tests pass false to see the fallback. */
    TFormOptions(const Settings& settings, MapEditor& editor, World& world, Prompts& prompts, QWidget* parent,
                 bool extendedGraphics = ExtendedGraphicsSupported());
    ~TFormOptions() override;

    /** Translucent hints and smooth map stretching are available; decided at construction. */
    bool ExtendedGraphics() const { return m_extendedGraphics; }

    void FormShow();
    void SelectFont(QAbstractButton* sender);
    void SelectColor(QAbstractButton* sender);
    void SetTrans();
    void CBAntiClick();
    void DataClick(QAbstractButton* sender);
    /**
     * Hands back the settings with the controls' values (settingsEdited); throws the
     * conversion error at a bad field, after handing back what came before it.
     */
    void ButtonOkClick();

signals:
    /** A database button was answered: the map shows the locations as they are now. */
    void mapChanged();
    /** Ok: the settings as the dialog's controls changed them, for their owner to apply. */
    void settingsEdited(const Settings& edited);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    /** The control of the dialog that edits the key, or null. */
    QWidget* editorOf(const SettingKey& key) const;
    void setSwatch(QFrame* swatch, PackedColor color);

    const Settings& m_settings;
    MapEditor& m_editor;
    World& m_world;
    Prompts& m_prompts;
    std::unique_ptr<Ui::TFormOptions> m_ui;
    bool m_extendedGraphics;
    // The edited colours exactly as they will be stored; each swatch shows its RGB part.
    QHash<const QFrame*, PackedColor> m_colors;
};

} // namespace vdm
