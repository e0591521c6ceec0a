// CPopColorWnd: the colour picker of the DPI gear and lighting colour buttons. Eight preset and
// eight user colours from PopColor.ini, the palette, and hexadecimal and R/G/B fields; OK writes
// the user colours back and sends message 2025 (wParam: the value the opener handed over, lParam:
// the colour) to the window that opened it; Cancel sends nothing.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "settings/PopColor.h"
#include "ui/WindowImplBase.h"

namespace zor {

class CPopColorWnd : public ui::WindowImplBase {
    Q_OBJECT
public:
    CPopColorWnd(QWidget* parent, std::filesystem::path iniFile, std::uint32_t colour, qintptr requestId = 1);

    QString GetSkinFile() override { return QStringLiteral("popcolor.xml"); }
    QString GetWindowClassName() const override { return QStringLiteral("PopColorWnd"); }
    void InitWindow() override;
    void Notify(ui::TNotifyUI& msg) override;

    // Builds the picker over parent, centred on it, and shows it.
    static CPopColorWnd* Open(QWidget* parent, const std::filesystem::path& iniFile, std::uint32_t colour,
                              qintptr requestId = 1);
    // Opens the picker modally; the colour sent with 2025 when confirmed, nullopt when cancelled.
    static std::optional<std::uint32_t> Choose(QWidget* parent, const std::filesystem::path& iniFile,
                                               std::uint32_t colour, qintptr requestId = 1);

    std::uint32_t CurrentColour() const { return m_current; }
    int SelectedDefault() const { return m_selDefault; }
    int SelectedUser() const { return m_selUser; }
    const PopColours& Colours() const { return m_colours; }

private:
    void PaintSwatches();
    void ShowInFields(std::uint32_t colour);
    void SelectSwatch(bool user, int index);
    void TakeColour(std::uint32_t colour, bool fromPalette);
    void OnHexEntered();
    void OnChannelEntered();
    std::uint32_t SelectedSwatchColour() const;
    void Confirm();

    QWidget* m_parent;
    std::filesystem::path m_iniFile;
    PopColours m_colours;
    std::uint32_t m_current;
    qintptr m_requestId;
    int m_selDefault = -1;
    int m_selUser = -1;
    bool m_filling = false;
};

}  // namespace zor
