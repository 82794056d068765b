// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QAction;

namespace vdm {

class TMainForm;

/**
 * "Save view as image...": the visible map panel (the image the clipboard copy takes) or
 * the whole map at the current zoom level, as PNG or JPEG by the file name's suffix. When
 * the whole map takes longer than half a second a progress dialog shows; its Cancel takes
 * effect between painting and writing, and then nothing is written. A QAction of the
 * window (ActionSaveImage), which its menu of extra commands shows.
 */
class ImageCommand : public QObject {
    Q_OBJECT

public:
    explicit ImageCommand(TMainForm& form);

    QAction* action() const { return m_action; }
    void saveViewAsImage();

private:
    TMainForm& m_form;
    QAction* m_action;
};

} // namespace vdm
