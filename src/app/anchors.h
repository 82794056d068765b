// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QRect>
#include <QSize>
#include <QVector>

class QWidget;

namespace vdm {

/**
 * Keeps child widgets at fixed distances from the edges of their parent they are
 * anchored to, as the stored form layouts expect. Distances are taken from the child's
 * geometry at the parent's design size; an edge that is not anchored keeps the size.
 */
class AnchorTable : public QObject {
public:
    enum Edge { Left = 1, Top = 2, Right = 4, Bottom = 8 };

    explicit AnchorTable(QObject* parent = nullptr) : QObject(parent) {}

    /** `designParent` is the parent's size for which the child's current geometry was laid out. */
    void add(QWidget* child, int edges, QSize designParent);
    /** Lays out every child of `parent` for its current size. */
    void apply(QWidget* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        QWidget* child;
        int edges;
        QRect design;
        QSize designParent;
    };
    QVector<Entry> m_entries;
};

} // namespace vdm
