#pragma once
// The node of the macro page's library tree that shows a group (macro < 0) or one of its
// macros, counted in the order the tree lists them; null when there is none.
#include "ui/Controls.h"

namespace zor::test {

inline ui::CTreeNodeUI* MacroTreeNode(ui::CTreeViewUI* tree, int group, int macro) {
    int g = -1;
    int m = -1;
    for (int i = 0; tree != nullptr && i < tree->GetCount(); ++i) {
        auto* node = qobject_cast<ui::CTreeNodeUI*>(tree->GetItemAt(i));
        if (node == nullptr) continue;
        if (node->GetParentNode() == nullptr) {
            ++g;
            m = -1;
            if (g == group && macro < 0) return node;
        } else {
            ++m;
            if (g == group && m == macro) return node;
        }
    }
    return nullptr;
}

}  // namespace zor::test
