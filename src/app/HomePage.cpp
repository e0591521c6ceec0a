#include "app/HomePage.h"
#include <algorithm>
#include "device/DevicePresence.h"

#include "common/Debug.h"
#include "common/ProgramPaths.h"
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
    // The icons come with the device list the program unpacked into the user's folder.
    const QString icons =
        QString::fromStdString(paths::UnpackFolder(std::filesystem::current_path()).string()) +
        QLatin1Char('/');
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const DeviceEntry& entry = entries[i];
        auto* tile = new ui::COptionUI();
        tile->SetManager(&m_pm);
        const QString normal = icons + QString::fromStdString(entry.normalImage);
        tile->ApplyAttributeList(
            QStringLiteral("width=\"140\" height=\"78\" group=\"home_device\" font=\"5\" "
                           "align=\"left\" valign=\"vcenter\" wordbreak=\"true\" textpadding=\"62,0,6,0\""));
        // Colours and frame come from the skin, so that both looks have their own.
        m_pm.ApplyDefaultStyle(tile, QStringLiteral("HomeTile"));
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
        tile->SetEnabled(entries[i].found || static_cast<int>(i) == selected);
        tile->Selected(static_cast<int>(i) == selected, false);
    }
}

int HomePage::BleTile(const std::vector<DeviceEntry>& entries, int selected) {
    const bool valid = selected >= 0 && static_cast<std::size_t>(selected) < entries.size();
    if (!valid && entries.empty()) return -1;
    const std::string& folder = entries[valid ? static_cast<std::size_t>(selected) : 0].devFolder;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].isUsb != 0 && entries[i].devFolder == folder) return static_cast<int>(i);
    return valid ? selected : 0;
}

void HomePage::ShowBattery(int battery) {
    m_battery = battery;
    const int percent = std::clamp(battery & 0x7F, 0, 100);
    const bool charging = (battery & 0x80) != 0;
    if (auto* gauge = m_pm.Find<ui::CProgressUI>(QStringLiteral("battery_progress"))) {
        gauge->SetValue(percent);
        // battery_progress2 holds the skin's two gauge colours: its fore colour for a low battery
        // (below 21 %), its background colour otherwise.
        if (auto* colours = m_pm.Find<ui::CProgressUI>(QStringLiteral("battery_progress2")))
            gauge->SetForeColor(percent < 21 ? colours->GetForeColor() : colours->GetBkColor());
    }
    if (auto* text = m_pm.FindControl(QStringLiteral("battery_Text"))) text->SetText(QStringLiteral("%1%").arg(percent));
    if (auto* charge = m_pm.FindControl(QStringLiteral("in_charge"))) charge->SetVisible(charging);
}

void HomePage::ShowConnection(const Connection& c, const std::function<QString(const char*)>& text) {
    std::string icon = ConnectionIcon(c.ble, c.kind, c.present ? std::max(c.receiverLink, 0) : 0);
    if (!c.present && !c.ble) icon = c.kind == kConnectionReceiver ? "/Home/2.4GNoConnect.png" : "/Home/NoConnect.png";
    if (!icon.empty()) {
        // The pictures are drawn as SVG; the names keep their place in the file layout.
        QString file = QString::fromStdString(icon).mid(1);
        file.replace(QLatin1String(".png"), QLatin1String(".svg"));
        if (auto* picture = m_pm.FindControl(QStringLiteral("connect_state")))
            picture->SetAttribute(QStringLiteral("bkimage"), file);
    }
    const bool linked = c.ble || (c.present && (c.kind == kConnectionCable || c.receiverLink == 1));
    if (auto* gauge = m_pm.FindControl(QStringLiteral("battery_panel"))) gauge->SetVisible(linked);
    if (!linked)
        if (auto* charge = m_pm.FindControl(QStringLiteral("in_charge"))) charge->SetVisible(false);
    if (auto* state = m_pm.FindControl(QStringLiteral("lab_home_state"))) {
        const char* id = !c.present                       ? "HomeStateNone"
                         : c.ble                          ? "HomeStateBle"
                         : c.kind == kConnectionCable     ? "HomeStateCable"
                         : linked                         ? "HomeStateReceiver"
                                                          : "HomeStateUnlinked";
        state->SetText(text(id));
    }
}

}  // namespace zor::app
