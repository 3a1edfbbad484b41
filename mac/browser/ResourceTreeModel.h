#pragma once

#include <memory>

#include <QAbstractItemModel>

#include "mac/browser/BaseNode.h"
#include "mac/browser/TreeAdditionObj.h"

// The nodes of the resource tree as an item model with one column, addressed both by
// model indexes (for the view) and by index paths (for the tree's own logic). Groups report
// children even while empty, so the view offers to expand them, as for any folder.
// Main thread only.
class ResourceTreeModel final : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit ResourceTreeModel(QObject *parent = nullptr);
    ~ResourceTreeModel() override;

    // The invisible node holding the top-level nodes.
    BaseNode &rootNode() { return m_root; }
    // The node at the path; null when there is none (an empty path is not a node).
    BaseNode *nodeAtIndexPath(const IndexPath &path) const;
    BaseNode *nodeOf(const QModelIndex &index) const;
    QModelIndex indexOfPath(const IndexPath &path) const;
    QModelIndex indexOfNode(const BaseNode *node) const;
    IndexPath indexPathOf(const QModelIndex &index) const;
    IndexPath indexPathOfNode(const BaseNode *node) const;

    // Inserts the node at the path (its last element is the row under the parent the rest
    // names). False when the parent does not exist, is a leaf or the row is beyond its end.
    bool insertNode(std::unique_ptr<BaseNode> node, const IndexPath &path);
    bool removeNodeAtIndexPath(const IndexPath &path);
    // Turns a leaf into an empty group.
    void makeGroup(BaseNode *node);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    BaseNode m_root;
};
