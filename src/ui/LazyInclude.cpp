#include "ui/LazyInclude.h"

#include <QPointer>

#include "common/Debug.h"
#include "ui/PaintManager.h"

namespace zor::ui {

CLazyIncludeUI::CLazyIncludeUI() : CContainerUI(nullptr, Arrange::Stack) {}

void CLazyIncludeUI::SetSource(const QString& source, int depth) {
    m_source = source;
    m_depth = depth;
}

CControlUI* CLazyIncludeUI::Build() {
    if (m_built) return GetItemAt(0);
    m_built = true;
    auto* callback = m_manager ? dynamic_cast<IDialogBuilderCallback*>(m_manager->GetPaintWindow()) : nullptr;
    CDialogBuilder builder;
    CControlUI* root = builder.CreateInclude(m_source, 1, this, callback, m_manager, m_depth);
    if (!root) {
        DebugF("lazy include %s was not built\n", m_source.toStdString());
        return nullptr;
    }
    if (m_manager) {
        CResourceManager::GetInstance().ApplyText(m_manager, this);
        Notify(QStringLiteral("pagebuilt"));
    }
    return root;
}

void CLazyIncludeUI::showEvent(QShowEvent* event) {
    CContainerUI::showEvent(event);
    if (!m_built) Build();
}

void BuildLazyIncludes(CControlUI* root) {
    if (!root) return;
    if (auto* self = qobject_cast<CLazyIncludeUI*>(root)) self->Build();
    // Building one part can add more (a lazy include inside a lazy include): look again until
    // every part is built.
    for (bool again = true; again;) {
        again = false;
        for (QPointer<CLazyIncludeUI> part : root->findChildren<CLazyIncludeUI*>())
            if (part && !part->IsBuilt()) {
                part->Build();
                again = true;
            }
    }
}

}  // namespace zor::ui
