// A part of a window built the first time it is shown: what an Include with lazy="true" becomes.
// Pages that are not on screen when a window opens (the other pages of a TabLayout, pop-ups
// shown later) cost nothing at start-up this way.
#pragma once

#include "ui/Controls.h"

namespace zor::ui {

class CLazyIncludeUI : public CContainerUI {
    Q_OBJECT
public:
    CLazyIncludeUI();
    QString GetClass() const override { return QStringLiteral("LazyIncludeUI"); }
    // The skin file to build, and how deep in the include chain it sits.
    void SetSource(const QString& source, int depth);
    QString GetSource() const { return m_source; }
    bool IsBuilt() const { return m_built; }
    // Builds the included file now if that has not happened yet: its controls become findable
    // by name, get their language texts, and the window is notified with "pagebuilt" (sender:
    // this control). Returns the included root control (null when the file could not be built).
    CControlUI* Build();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString m_source;
    int m_depth = 1;
    bool m_built = false;
};

// Builds every lazy part under root that has not been built yet (for code that must reach all
// controls at once, such as a skin check or a screenshot of every page).
void BuildLazyIncludes(CControlUI* root);

}  // namespace zor::ui
