#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <QIcon>

// A node of the resource tree: a title, the folder's path, the icon last shown for it and,
// for a group, its children in the order they were added. A leaf has no children; turning
// a node into a leaf or into a group (setIsLeaf) empties its children either way.
class BaseNode
{
public:
    BaseNode();
    virtual ~BaseNode();
    BaseNode(const BaseNode &) = delete;
    BaseNode &operator=(const BaseNode &) = delete;

    const std::string &nodeTitle() const { return m_nodeTitle; }
    void setNodeTitle(const std::string &title) { m_nodeTitle = title; }
    bool isLeaf() const { return m_isLeaf; }
    void setIsLeaf(bool leaf);
    const QIcon &nodeIcon() const { return m_nodeIcon; }
    void setNodeIcon(const QIcon &icon) { m_nodeIcon = icon; }
    const std::string &urlString() const { return m_urlString; }
    void setUrlString(const std::string &url) { m_urlString = url; }

    size_t childCount() const { return m_children.size(); }
    BaseNode *childAt(size_t row) const;
    BaseNode *parent() const { return m_parent; }
    // Index among the parent's children; 0 for a node without parent.
    size_t row() const;
    // Inserts before position row (row == childCount() appends). Refused (false, the node
    // is dropped) for a leaf or a row beyond the end.
    bool insertChild(size_t row, std::unique_ptr<BaseNode> child);
    std::unique_ptr<BaseNode> takeChild(size_t row);

private:
    std::string m_nodeTitle = "BaseNode Untitled";
    std::vector<std::unique_ptr<BaseNode>> m_children;
    bool m_isLeaf = false;
    QIcon m_nodeIcon;
    std::string m_urlString;
    BaseNode *m_parent = nullptr;
};
