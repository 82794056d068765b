// SPDX-License-Identifier: MIT
// Finding the way: the filter bar, the navigator and the bookmarks of views, each a thin
// entry point of the window's commands into OrientationCommands.
#include "app/mainform.h"

#include "app/orientationcommands.h"

namespace vdm {

void TMainForm::FilterClick()
{
    m_orientation->toggleFilterBar();
}

void TMainForm::NavigatorClick()
{
    m_orientation->toggleNavigator();
}

void TMainForm::StoreBookmark(int digit)
{
    m_orientation->storeBookmark(digit);
}

void TMainForm::ReturnToBookmark(int digit)
{
    m_orientation->returnToBookmark(digit);
}

void TMainForm::AddBookmarkClick()
{
    m_orientation->addBookmark();
}

void TMainForm::DeleteBookmarkClick()
{
    m_orientation->deleteBookmark();
}

} // namespace vdm
