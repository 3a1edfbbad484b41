#include "ResourceTreeModel.h"

#include <algorithm>

#include <QString>

ResourceTreeModel::ResourceTreeModel(QObject *parent)
    : QAbstractItemModel(parent)
{
}

ResourceTreeModel::~ResourceTreeModel() = default;

BaseNode *ResourceTreeModel::nodeAtIndexPath(const IndexPath &path) const
{
    if (path.empty())
        return nullptr;
    const BaseNode *node = &m_root;
    for (int row : path) {
        if (row < 0)
            return nullptr;
        node = node->childAt(static_cast<size_t>(row));
        if (!node)
            return nullptr;
    }
    return const_cast<BaseNode *>(node);
}

BaseNode *ResourceTreeModel::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<BaseNode *>(index.internalPointer()) : nullptr;
}

QModelIndex ResourceTreeModel::indexOfPath(const IndexPath &path) const
{
    return indexOfNode(nodeAtIndexPath(path));
}

QModelIndex ResourceTreeModel::indexOfNode(const BaseNode *node) const
{
    if (!node || node == &m_root)
        return {};
    return createIndex(static_cast<int>(node->row()), 0, const_cast<BaseNode *>(node));
}

IndexPath ResourceTreeModel::indexPathOf(const QModelIndex &index) const
{
    return indexPathOfNode(nodeOf(index));
}

IndexPath ResourceTreeModel::indexPathOfNode(const BaseNode *node) const
{
    IndexPath path;
    for (; node && node != &m_root; node = node->parent())
        path.push_back(static_cast<int>(node->row()));
    std::reverse(path.begin(), path.end());
    return path;
}

bool ResourceTreeModel::insertNode(std::unique_ptr<BaseNode> node, const IndexPath &path)
{
    if (path.empty() || path.back() < 0 || !node)
        return false;
    const IndexPath parentPath(path.begin(), path.end() - 1);
    BaseNode *parent = parentPath.empty() ? &m_root : nodeAtIndexPath(parentPath);
    const size_t row = static_cast<size_t>(path.back());
    if (!parent || parent->isLeaf() || row > parent->childCount())
        return false;
    beginInsertRows(indexOfNode(parent), path.back(), path.back());
    parent->insertChild(row, std::move(node));
    endInsertRows();
    return true;
}

bool ResourceTreeModel::removeNodeAtIndexPath(const IndexPath &path)
{
    BaseNode *node = nodeAtIndexPath(path);
    if (!node)
        return false;
    BaseNode *parent = node->parent();
    const int row = static_cast<int>(node->row());
    beginRemoveRows(indexOfNode(parent), row, row);
    parent->takeChild(static_cast<size_t>(row));
    endRemoveRows();
    return true;
}

void ResourceTreeModel::makeGroup(BaseNode *node)
{
    if (!node || !node->isLeaf())
        return;
    // A leaf has no rows, so nothing leaves the view; only the branch mark changes.
    node->setIsLeaf(false);
    const QModelIndex index = indexOfNode(node);
    emit dataChanged(index, index);
}

QModelIndex ResourceTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    const BaseNode *parentNode = parent.isValid() ? nodeOf(parent) : &m_root;
    BaseNode *child = parentNode ? parentNode->childAt(static_cast<size_t>(row)) : nullptr;
    return child ? createIndex(row, 0, child) : QModelIndex();
}

QModelIndex ResourceTreeModel::parent(const QModelIndex &child) const
{
    const BaseNode *node = nodeOf(child);
    return node ? indexOfNode(node->parent()) : QModelIndex();
}

int ResourceTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const BaseNode *node = parent.isValid() ? nodeOf(parent) : &m_root;
    return node ? static_cast<int>(node->childCount()) : 0;
}

int ResourceTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool ResourceTreeModel::hasChildren(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return m_root.childCount() > 0;
    const BaseNode *node = nodeOf(parent);
    return node && !node->isLeaf();
}

QVariant ResourceTreeModel::data(const QModelIndex &index, int role) const
{
    const BaseNode *node = nodeOf(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(node->nodeTitle());
    case Qt::DecorationRole:
        return node->nodeIcon();
    case Qt::ToolTipRole:
        return QString::fromStdString(node->urlString());
    default:
        return {};
    }
}

Qt::ItemFlags ResourceTreeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
