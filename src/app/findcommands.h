// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QWidget;

namespace vdm {

class FindBar;
class World;
struct Settings;

/**
 * Quick find: the find bar over the map panel, its hits marked in the status colours of
 * the settings. A hit the user takes comes out as `chosen`, for a guarded connection.
 */
class FindCommands : public QObject {
    Q_OBJECT

public:
    FindCommands(QWidget& window, QWidget& mapPanel, const World& world, const Settings& settings);

    void openBar();

signals:
    /** The bar took location `index`; the bar has closed. */
    void chosen(int index);

private:
    FindBar* m_bar;
};

} // namespace vdm
