#include "BaseNode.h"

#include <algorithm>

BaseNode::BaseNode() = default;
BaseNode::~BaseNode() = default;

void BaseNode::setIsLeaf(bool leaf)
{
    m_isLeaf = leaf;
    m_children.clear();
}

BaseNode *BaseNode::childAt(size_t row) const
{
    return row < m_children.size() ? m_children[row].get() : nullptr;
}

size_t BaseNode::row() const
{
    if (!m_parent)
        return 0;
    const auto &siblings = m_parent->m_children;
    const auto it =
        std::find_if(siblings.begin(), siblings.end(),
                     [this](const std::unique_ptr<BaseNode> &n) { return n.get() == this; });
    return static_cast<size_t>(it - siblings.begin());
}

bool BaseNode::insertChild(size_t row, std::unique_ptr<BaseNode> child)
{
    if (m_isLeaf || row > m_children.size() || !child)
        return false;
    child->m_parent = this;
    m_children.insert(m_children.begin() + static_cast<std::ptrdiff_t>(row), std::move(child));
    return true;
}

std::unique_ptr<BaseNode> BaseNode::takeChild(size_t row)
{
    if (row >= m_children.size())
        return nullptr;
    std::unique_ptr<BaseNode> child = std::move(m_children[row]);
    m_children.erase(m_children.begin() + static_cast<std::ptrdiff_t>(row));
    child->m_parent = nullptr;
    return child;
}
