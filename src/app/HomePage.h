// The home page: one tile per catalog device (its picture, name and whether it is attached),
// placed by the skin's Home/Home.json layout together with the connection picture, the mouse
// picture and the battery gauge.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "device/DeviceEntry.h"
#include "ui/PaintManager.h"
#include "ui/PositionLayout.h"

namespace zor::app {

class HomePage {
public:
    explicit HomePage(ui::CPaintManagerUI& pm) : m_pm(pm) {}

    void SetResourcePrefix(const QString& prefix) { m_prefix = prefix; }
    // Reads and applies the skin's Home/Home.json; false when it cannot be read.
    bool ApplyLayout();
    // One tile "btn_display<i>" per catalog entry in the container "home_tiles".
    void BuildTiles(const std::vector<DeviceEntry>& entries);
    // Found devices show normally, absent ones dimmed; the selected one is marked (and usable:
    // over Bluetooth LE it stands for a mouse that no catalog entry matched).
    void UpdateTiles(const std::vector<DeviceEntry>& entries, int selected);
    // The tile of a mouse reached over Bluetooth LE: the cable entry of the model in use, which
    // names the mouse itself rather than its receiver; else the selected entry, else the first.
    static int BleTile(const std::vector<DeviceEntry>& entries, int selected);
    // The battery gauge: level (bit 7 = charging), coloured by battery_progress2's two colours.
    void ShowBattery(int battery);
    // The battery byte last shown; -1 before the first.
    int Battery() const { return m_battery; }
    // How the mouse is reached: the connection picture, the gauge's visibility and the state line
    // (its text looked up by id in the current language).
    struct Connection {
        bool ble = false;
        int kind = 1;  // 1 cable, 2 receiver
        bool present = false;
        int receiverLink = -1;
    };
    void ShowConnection(const Connection& connection, const std::function<QString(const char*)>& text);
    const QStringList& ControlNames() const { return m_names; }
    int TileCount() const { return m_tiles; }

private:
    ui::CPaintManagerUI& m_pm;
    QString m_prefix = QStringLiteral("./res_black");
    ui::PositionLayout m_layout;
    QStringList m_names;
    int m_tiles = 0;
    int m_battery = -1;
};

}  // namespace zor::app
