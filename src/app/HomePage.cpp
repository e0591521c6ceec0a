#include "app/HomePage.h"

#include "common/Debug.h"
#include "ui/Controls.h"

namespace zor::app {

bool HomePage::ApplyLayout() {
    const QString file = ui::CPaintManagerUI::GetResourcePath() + QStringLiteral("Home/Home.json");
    if (m_layout.LoadFile(file.toStdString()) != ui::PositionLayout::LoadResult::Ok) {
        DebugF("home layout not read: %s\n", file.toStdString());
        return false;
    }
    m_names = m_layout.ControlNames();
    return m_layout.Apply(m_pm);
}

void HomePage::BuildTiles(const std::vector<DeviceEntry>& entries) {
    auto* tiles = m_pm.Find<ui::CContainerUI>(QStringLiteral("home_tiles"));
    if (tiles == nullptr) return;
    tiles->RemoveAll();
    m_tiles = 0;
    const QString icons = QStringLiteral("res/Home/Icons/");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const DeviceEntry& entry = entries[i];
        auto* tile = new ui::COptionUI();
        tile->SetManager(&m_pm);
        const QString normal = icons + QString::fromStdString(entry.normalImage);
        tile->ApplyAttributeList(
            QStringLiteral("width=\"140\" height=\"78\" group=\"home_device\" font=\"5\" "
                           "align=\"left\" valign=\"vcenter\" wordbreak=\"true\" textpadding=\"62,0,6,0\""));
        // Colours and frame come from the skin, so that both looks have their own.
        tile->ApplyAttributeList(m_pm.GetDefaultAttributeList(QStringLiteral("HomeTile")));
        tile->SetName(QStringLiteral("btn_display%1").arg(i));
        tile->SetAttribute(QStringLiteral("foreimage"),
                           QStringLiteral("file='%1' dest='6,11,62,67'").arg(normal));
        tile->SetAttribute(QStringLiteral("selectedforeimage"),
                           QStringLiteral("file='%1' dest='6,11,62,67'")
                               .arg(icons + QString::fromStdString(entry.hotImage)));
        tile->SetText(QString::fromStdString(entry.displayName));
        tile->setToolTip(QString::fromStdString(entry.displayName));
        tiles->Add(tile);
        m_pm.InitControl(tile);
        ++m_tiles;
    }
    tiles->LayoutChildren();
}

void HomePage::UpdateTiles(const std::vector<DeviceEntry>& entries, int selected) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto* tile = m_pm.Find<ui::COptionUI>(QStringLiteral("btn_display%1").arg(i));
        if (tile == nullptr) continue;
        tile->SetEnabled(entries[i].found);
        tile->Selected(static_cast<int>(i) == selected, false);
    }
}

}  // namespace zor::app
