// SPDX-License-Identifier: MIT
#include "app/orientationcommands.h"

#include "app/filterbar.h"
#include "app/navigatorview.h"
#include "app/mappanel.h"
#include "data/codepage.h"
#include "dialogs/errorguard.h"
#include "dialogs/prompts.h"
#include "session/settingssession.h"
#include "world/world.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

namespace vdm {
namespace {

/** The one local folder a drag carries, if that is all it carries. */
std::optional<QString> droppedFolder(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1 || !mime->urls().front().isLocalFile())
        return std::nullopt;
    const QString path = mime->urls().front().toLocalFile();
    if (!QFileInfo(path).isDir())
        return std::nullopt;
    return path;
}

/** "Harbour (300 %)": a named bookmark as its menu entry shows it. */
QString bookmarkText(const NamedBookmark& b)
{
    return QStringLiteral("%1 (%2 %)").arg(CodePage::decode(b.name)).arg(Viewport::zoomPercentOf(b.view.zoom));
}

} // namespace

OrientationCommands::OrientationCommands(QWidget& window, TMapPanel& map, const World& world, SettingsSession& session,
                                         Prompts& prompts)
    : QObject(&window), m_window(window), m_world(world), m_map(map), m_session(session), m_prompts(prompts),
      m_bar(new FilterBar(&map)), m_navigator(new NavigatorView(&map, map.view())),
      m_bookmarksMenu(new QMenu(QStringLiteral("&Bookmarks"), &window)),
      m_recentMenu(new QMenu(QStringLiteral("Recent worl&ds"), &window))
{
    m_bookmarksMenu->setObjectName(QStringLiteral("MenuBookmarks"));
    m_bookmarksMenu->setAccessibleName(QStringLiteral("Bookmarks"));
    m_recentMenu->setAccessibleName(QStringLiteral("Recent worlds"));
    m_recentMenu->setObjectName(QStringLiteral("MenuRecentWorlds"));
    connect(m_bookmarksMenu, &QMenu::aboutToShow, this, [this] { fillBookmarksMenu(); });
    connect(m_recentMenu, &QMenu::aboutToShow, this, [this] { fillRecentMenu(); });
    connectGuarded(prompts, &window, m_bar, &FilterBar::changed, [this] { applyFilter(m_bar->filter()); });
    connectGuarded(prompts, &window, m_navigator, &NavigatorView::scrollRequested, [this](QPoint scroll) {
        m_map.scrollTo(scroll);
        m_navigator->update();
    });
    connectGuarded(prompts, &window, m_navigator, &NavigatorView::zoomRequested, [this](ZoomCommand command) {
        m_map.zoom(command);
        m_navigator->update();
    });
    // The navigator's frame follows every paint of the map.
    connect(&map, &TMapPanel::painted, this, [this] {
        if (m_navigator->isVisible())
            m_navigator->update();
    });
    window.setAcceptDrops(true);
    window.installEventFilter(this);
    showNavigator(m_session.settings().ShowNavigator);
}

void OrientationCommands::worldLoaded()
{
    m_views = WorldViews::load(m_world.folder());
    for (const QString& notice : m_views.takeNotices())
        m_prompts.showMessage(&m_window, QApplication::applicationName(), notice, Prompts::Icon::Warning);
    m_filter = m_views.filter();
    // Counting a million places' kinds and regions takes a tenth of a second: a closed bar
    // counts them when it opens (toggleFilterBar), not on the way to the first frame.
    if (m_bar->isVisible())
        m_bar->setChoices(kindChoices(m_world.locations()), regionChoices(m_world.locations()), m_filter);
    m_navigator->setPicture(&m_world.picture());
    m_navigator->followPanel();
}

void OrientationCommands::applyFilter(const PlaceFilter& filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    m_views.setFilter(filter);
    emit filterChanged();
    saveViews();
}

void OrientationCommands::saveViews()
{
    m_views.save(); // a failed write says so through the error guard; the views stay for the next
    // The save took another program's filter in: the map shows what the file now holds.
    if (m_views.filter() == m_filter)
        return;
    m_filter = m_views.filter();
    if (m_bar->isVisible())
        m_bar->setChoices(kindChoices(m_world.locations()), regionChoices(m_world.locations()), m_filter);
    emit filterChanged();
}

void OrientationCommands::toggleFilterBar()
{
    if (m_bar->isVisible()) {
        m_bar->closeBar();
        return;
    }
    m_bar->setChoices(kindChoices(m_world.locations()), regionChoices(m_world.locations()), m_filter);
    m_bar->openBar();
}

bool OrientationCommands::navigatorShown() const
{
    return m_session.settings().ShowNavigator;
}

void OrientationCommands::showNavigator(bool shown)
{
    m_navigator->followPanel();
    m_navigator->setVisible(shown);
    if (shown)
        m_navigator->raise();
}

void OrientationCommands::toggleNavigator()
{
    Settings changed = m_session.settings();
    changed.ShowNavigator = !changed.ShowNavigator;
    m_session.apply(changed);
    showNavigator(changed.ShowNavigator);
}

void OrientationCommands::storeBookmark(int digit)
{
    m_views.bookmarks().setDigit(digit, ViewBookmark::of(m_map.view()));
    saveViews();
}

void OrientationCommands::returnToBookmark(int digit)
{
    const std::optional<ViewBookmark> b = m_views.bookmarks().digit(digit);
    if (!b)
        return; // nothing kept there yet: the view stays
    m_map.showBookmark(*b);
}

void OrientationCommands::addBookmark()
{
    const std::optional<QString> name
        = m_prompts.askText(&m_window, QStringLiteral("Add bookmark"), QStringLiteral("Name of this view:"), QString());
    if (!name)
        return;
    const QString clean = CodePage::filter(*name).simplified();
    if (clean.isEmpty()) {
        m_prompts.showMessage(&m_window, QStringLiteral("Add bookmark"),
                              QStringLiteral("A bookmark needs a name. No bookmark was added."),
                              Prompts::Icon::Information);
        return;
    }
    m_views.bookmarks().addNamed(CodePage::encode(clean), ViewBookmark::of(m_map.view()));
    saveViews();
}

void OrientationCommands::showNamedBookmark(int index)
{
    const std::vector<NamedBookmark>& named = m_views.bookmarks().named();
    if (index < 0 || index >= int(named.size()))
        return;
    m_map.showBookmark(named[std::size_t(index)].view);
}

void OrientationCommands::deleteBookmark()
{
    const std::vector<NamedBookmark>& named = m_views.bookmarks().named();
    if (named.empty()) {
        m_prompts.showMessage(&m_window, QStringLiteral("Delete bookmark"),
                              QStringLiteral("There are no named bookmarks."), Prompts::Icon::Information);
        return;
    }
    QStringList texts;
    for (const NamedBookmark& b : named)
        texts << bookmarkText(b);
    const std::optional<int> chosen = m_prompts.askChoice(&m_window, QStringLiteral("Delete bookmark"),
                                                          QStringLiteral("Which bookmark goes?"), texts);
    if (!chosen)
        return;
    m_views.bookmarks().removeNamed(std::size_t(*chosen));
    saveViews();
}

void OrientationCommands::openRecentWorld(int index)
{
    const QStringList worlds = m_session.recentWorlds();
    if (index >= 0 && index < worlds.size())
        emit openFolderRequested(worlds[index]);
}

int OrientationCommands::takeBookmarks(const ViewBookmarks& imported)
{
    const int changed = m_views.bookmarks().merge(imported);
    if (changed > 0)
        saveViews();
    return changed;
}

void OrientationCommands::fillBookmarksMenu()
{
    m_bookmarksMenu->clear();
    const std::vector<NamedBookmark>& named = m_views.bookmarks().named();
    for (std::size_t i = 0; i < named.size(); ++i) {
        QAction* a = m_bookmarksMenu->addAction(bookmarkText(named[i]));
        connectGuarded(m_prompts, &m_window, a, &QAction::triggered, [this, i] { showNamedBookmark(int(i)); });
    }
    if (named.empty())
        m_bookmarksMenu->addAction(QStringLiteral("No bookmarks"))->setEnabled(false);
}

void OrientationCommands::fillRecentMenu()
{
    m_recentMenu->clear();
    const QStringList worlds = m_session.recentWorlds();
    for (int i = 0; i < worlds.size(); ++i) {
        // "&1 Karuford — /home/me/worlds/Karuford": the digit picks it from the keyboard.
        const QString text
            = QStringLiteral("&%1 %2 \u2014 %3")
                  .arg(i + 1)
                  .arg(QFileInfo(worlds[i]).fileName().replace(QLatin1Char('&'), QStringLiteral("&&")),
                       QDir::toNativeSeparators(worlds[i]).replace(QLatin1Char('&'), QStringLiteral("&&")));
        QAction* a = m_recentMenu->addAction(text);
        connectGuarded(m_prompts, &m_window, a, &QAction::triggered, [this, i] { openRecentWorld(i); });
    }
    if (worlds.isEmpty())
        m_recentMenu->addAction(QStringLiteral("No recent worlds"))->setEnabled(false);
}

bool OrientationCommands::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::DragEnter) {
        auto* drag = static_cast<QDragEnterEvent*>(event);
        if (droppedFolder(drag->mimeData())) {
            drag->acceptProposedAction();
            return true;
        }
    } else if (watched == &m_window && event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        if (const auto folder = droppedFolder(drop->mimeData())) {
            drop->acceptProposedAction();
            // Opened once the drop has ended, so the boxes of the opening do not run inside it.
            const QString path = *folder;
            QMetaObject::invokeMethod(
                this, [this, path] { guarded(m_prompts, &m_window, [&] { emit openFolderRequested(path); }); },
                Qt::QueuedConnection);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vdm
