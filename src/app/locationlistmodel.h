// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"
#include "world/locationnames.h"

#include <QAbstractListModel>
#include <QString>

#include <memory>
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
    /** Replaces every entry with these, already in the list's order (see sortedLocationNames). */
    void fill(std::vector<ListedLocation> sorted);
    /** The same with entries the world keeps: shared, not copied. */
    void fill(std::shared_ptr<const std::vector<ListedLocation>> sorted);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::shared_ptr<const std::vector<ListedLocation>> m_entries
        = std::make_shared<const std::vector<ListedLocation>>();
};

} // namespace vdm
