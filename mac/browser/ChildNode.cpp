#include "ChildNode.h"

ChildNode::ChildNode()
{
    setNodeTitle("");
}

std::unique_ptr<ChildNode> ChildNode::init()
{
    return std::make_unique<ChildNode>();
}

std::unique_ptr<ChildNode> ChildNode::initLeaf()
{
    auto node = std::make_unique<ChildNode>();
    node->setIsLeaf(true);
    return node;
}
