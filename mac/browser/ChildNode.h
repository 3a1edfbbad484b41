#pragma once

#include <memory>
#include <string>

#include "mac/browser/BaseNode.h"

// The node kind of the resource tree: a BaseNode with a description and a text, made as a
// group (init) or as a leaf (initLeaf), with the empty string as its title.
class ChildNode final : public BaseNode
{
public:
    ChildNode();

    static std::unique_ptr<ChildNode> init();
    static std::unique_ptr<ChildNode> initLeaf();

    const std::string &description() const { return m_description; }
    void setDescription(const std::string &description) { m_description = description; }
    const std::string &text() const { return m_text; }
    void setText(const std::string &text) { m_text = text; }

private:
    std::string m_description = "- empty description -";
    std::string m_text;
};
