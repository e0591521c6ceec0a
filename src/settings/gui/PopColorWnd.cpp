#include "settings/gui/PopColorWnd.h"

#include <QEventLoop>
#include <QPointer>

#include "common/Debug.h"
#include "ui/Controls.h"

namespace zor {
namespace {

using ui::CColorPaletteUI;
using ui::CControlUI;
using ui::CLabelUI;

constexpr std::uint32_t kRgbMask = 0xFFFFFFu;
const QString kDefault = QStringLiteral("def_color");
const QString kUser = QStringLiteral("cust_color");

QString ArgbText(std::uint32_t rgb) {
    return QStringLiteral("#FF%1").arg(rgb & kRgbMask, 6, 16, QLatin1Char('0'));
}

// The swatch index after its name's prefix; -1 for other names.
int SwatchIndex(const QString& name, const QString& prefix) {
    if (!name.startsWith(prefix) || name.size() != prefix.size() + 1) return -1;
    const int digit = name.at(prefix.size()).digitValue();
    return digit >= 0 && digit < kPopColourCount ? digit : -1;
}

}  // namespace

CPopColorWnd::CPopColorWnd(QWidget* parent, std::filesystem::path iniFile, std::uint32_t colour,
                           qintptr requestId)
    : m_parent(parent), m_iniFile(std::move(iniFile)), m_current(colour & kRgbMask), m_requestId(requestId) {}

void CPopColorWnd::InitWindow() {
    m_colours = LoadPopColours(m_iniFile);
    PaintSwatches();
    if (auto* palette = Find<CColorPaletteUI>(QStringLiteral("Pallet"))) palette->SetSelectColor(m_current);
    ShowInFields(m_current);
}

CPopColorWnd* CPopColorWnd::Open(QWidget* parent, const std::filesystem::path& iniFile, std::uint32_t colour,
                                 qintptr requestId) {
    auto* picker = new CPopColorWnd(parent, iniFile, colour, requestId);
    picker->Create(parent, QStringLiteral("PopColorWnd"), ui::kWsPopup, ui::kWsExToolWindow);
    picker->CenterWindow();
    picker->show();
    picker->raise();
    picker->activateWindow();
    return picker;
}

std::optional<std::uint32_t> CPopColorWnd::Choose(QWidget* parent, const std::filesystem::path& iniFile,
                                                  std::uint32_t colour, qintptr requestId) {
    QPointer<CPopColorWnd> picker = new CPopColorWnd(parent, iniFile, colour, requestId);
    picker->Create(parent, QStringLiteral("PopColorWnd"), ui::kWsPopup, ui::kWsExToolWindow);
    picker->CenterWindow();
    const bool confirmed = picker->ShowModal() == 1;
    if (!confirmed || picker.isNull()) return std::nullopt;
    return picker->CurrentColour();
}

void CPopColorWnd::PaintSwatches() {
    const QColor mark = [this] {
        auto* title = Find<CLabelUI>(QStringLiteral("PopColorTitle"));
        return title != nullptr ? title->GetTextColor() : QColor(Qt::white);
    }();
    for (int k = 0; k < kPopColourCount; ++k) {
        for (bool user : {false, true}) {
            auto* swatch = FindControl((user ? kUser : kDefault) + QString::number(k));
            if (swatch == nullptr) continue;
            const auto& list = user ? m_colours.user : m_colours.defaults;
            swatch->SetAttribute(QStringLiteral("bkcolor"), ArgbText(list[static_cast<std::size_t>(k)]));
            const bool selected = (user ? m_selUser : m_selDefault) == k;
            // The chosen swatch carries a ring in the title's colour.
            swatch->SetAttribute(QStringLiteral("bordersize"),
                                 selected ? QStringLiteral("2") : QStringLiteral("1"));
            if (selected) swatch->SetAttribute(QStringLiteral("bordercolor"), mark.name(QColor::HexArgb));
        }
    }
}

void CPopColorWnd::ShowInFields(std::uint32_t colour) {
    m_filling = true;
    auto set = [this](const char* name, const QString& text) {
        if (auto* edit = FindControl(QLatin1String(name))) edit->SetText(text);
    };
    set("colorHex", QString::fromStdString(HexColourText(colour)));
    set("colorR", QString::number((colour >> 16) & 0xFF));
    set("colorG", QString::number((colour >> 8) & 0xFF));
    set("colorB", QString::number(colour & 0xFF));
    m_filling = false;
}

void CPopColorWnd::SelectSwatch(bool user, int index) {
    m_selUser = user ? index : -1;
    m_selDefault = user ? -1 : index;
    m_current = (user ? m_colours.user : m_colours.defaults)[static_cast<std::size_t>(index)];
    if (auto* palette = Find<CColorPaletteUI>(QStringLiteral("Pallet"))) palette->SetSelectColor(m_current);
    ShowInFields(m_current);
    PaintSwatches();
}

void CPopColorWnd::TakeColour(std::uint32_t colour, bool fromPalette) {
    m_current = colour & kRgbMask;
    if (!fromPalette)
        if (auto* palette = Find<CColorPaletteUI>(QStringLiteral("Pallet")))
            palette->SetSelectColor(m_current);
    ShowInFields(m_current);
    // A chosen user colour follows the edit.
    if (m_selUser >= 0) {
        m_colours.user[static_cast<std::size_t>(m_selUser)] = m_current;
        PaintSwatches();
    }
}

std::uint32_t CPopColorWnd::SelectedSwatchColour() const {
    if (m_selDefault >= 0) return m_colours.defaults[static_cast<std::size_t>(m_selDefault)];
    if (m_selUser >= 0) return m_colours.user[static_cast<std::size_t>(m_selUser)];
    return m_current;
}

void CPopColorWnd::OnHexEntered() {
    auto* hex = FindControl(QStringLiteral("colorHex"));
    if (hex == nullptr) return;
    const auto value = ParseHexColour(hex->GetText().toStdString());
    if (!value) {
        // An entry that is no colour is dropped: the chosen swatch's colour comes back.
        m_current = SelectedSwatchColour();
        if (auto* palette = Find<CColorPaletteUI>(QStringLiteral("Pallet")))
            palette->SetSelectColor(m_current);
        ShowInFields(m_current);
        return;
    }
    TakeColour(*value, false);
}

void CPopColorWnd::OnChannelEntered() {
    auto text = [this](const char* name) {
        auto* c = FindControl(QLatin1String(name));
        return c != nullptr ? c->GetText().toStdString() : std::string();
    };
    TakeColour(ColourFromChannels(text("colorR"), text("colorG"), text("colorB")), false);
}

void CPopColorWnd::Confirm() {
    if (!SavePopUserColours(m_iniFile, m_colours.user))
        DebugF("user colours not written to %s\n", m_iniFile.string());
    if (m_parent != nullptr) ui::SendMessageTo(m_parent, ui::kMsgPopColor, m_requestId, m_current);
    Close(1);
}

void CPopColorWnd::Notify(ui::TNotifyUI& msg) {
    if (msg.pSender == nullptr) return;
    const QString name = msg.pSender->GetName();
    if (msg.sType == QLatin1String("click")) {
        if (const int k = SwatchIndex(name, kDefault); k >= 0)
            SelectSwatch(false, k);
        else if (const int u = SwatchIndex(name, kUser); u >= 0)
            SelectSwatch(true, u);
        else if (name == QLatin1String("popok"))
            Confirm();
        else if (name == QLatin1String("popcancel"))
            Close(0);
        return;
    }
    if (msg.sType == QLatin1String("colorchanged") && name == QLatin1String("Pallet")) {
        TakeColour(static_cast<std::uint32_t>(msg.wParam), true);
        return;
    }
    if ((msg.sType == QLatin1String("killfocus") || msg.sType == QLatin1String("return")) && !m_filling) {
        if (name == QLatin1String("colorHex"))
            OnHexEntered();
        else if (name == QLatin1String("colorR") || name == QLatin1String("colorG") ||
                 name == QLatin1String("colorB"))
            OnChannelEntered();
    }
}

}  // namespace zor
