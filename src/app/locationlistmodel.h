// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"

#include <QAbstractListModel>
#include <QString>
#include <vector>

namespace vdm {

/**
 * The entries of the location list: every location's name, sorted as the desktop's
 * sorted list sorts (case does not count; equal names keep file order), each carrying
 * its location's index as Qt::UserRole data. A flat model, so a list of a hundred
 * thousand names fills in one go.
 */
class LocationListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    /** Replaces every entry with the names of `locations`. */
    void fill(const LocationList& locations);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    struct Entry {
        QString name;
        int index;
    };
    std::vector<Entry> m_entries;
};

} // namespace vdm
