// SPDX-License-Identifier: MIT
#include "app/locationlistmodel.h"

#include "data/codepage.h"

#include <utility>

namespace vdm {

void LocationListModel::fill(const LocationList& locations)
{
    fill(sortedLocationNames(locations));
}

void LocationListModel::fill(std::vector<ListedLocation> sorted)
{
    fill(std::make_shared<const std::vector<ListedLocation>>(std::move(sorted)));
}

void LocationListModel::fill(std::shared_ptr<const std::vector<ListedLocation>> sorted)
{
    beginResetModel();
    m_entries = sorted ? std::move(sorted) : std::make_shared<const std::vector<ListedLocation>>();
    endResetModel();
}

int LocationListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries->size());
}

QVariant LocationListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= int(m_entries->size()))
        return {};
    const ListedLocation& e = (*m_entries)[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return CodePage::decode(e.name); // only the rows shown: a million decoded names took 60 MB
    case Qt::UserRole:
        return e.index;
    default:
        return {};
    }
}

} // namespace vdm
