// SPDX-License-Identifier: MIT
#include "app/locationlistmodel.h"

#include "data/codepage.h"

#include <algorithm>

namespace vdm {

void LocationListModel::fill(const LocationList& locations)
{
    struct Keyed {
        QString key;
        Entry entry;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(locations.size());
    for (size_t i = 0; i < locations.size(); ++i) {
        QString name = CodePage::decode(locations[i].Name);
        QString key = name.toCaseFolded();
        keyed.push_back({std::move(key), {std::move(name), int(i)}});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });

    beginResetModel();
    m_entries.clear();
    m_entries.reserve(keyed.size());
    for (Keyed& k : keyed)
        m_entries.push_back(std::move(k.entry));
    endResetModel();
}

int LocationListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant LocationListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= int(m_entries.size()))
        return {};
    const Entry& e = m_entries[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return e.name;
    case Qt::UserRole:
        return e.index;
    default:
        return {};
    }
}

} // namespace vdm
