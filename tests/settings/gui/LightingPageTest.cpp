// The lighting page on both skins over the shipped model's rows and a copy of its configuration:
// clicks on the window change the document and ask for exactly one push of the lighting each.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTest>

#include "UiTestSupport.h"
#include "config/DeviceFeature.h"
#include "settings/gui/LightPreview.h"
#include "settings/gui/LightingPage.h"
#include "support/TempDir.h"
#include "support/UserInput.h"
#include "ui/Controls.h"

namespace zor {
namespace {

using test::ClickControl;

// A click at a point of a control away from its centre (a slider's end, a corner of the
// palette), delivered to its top-level window.
void ClickAtOffset(QWidget* control, QPoint offset) {
    QWidget* top = control->window();
    test::ClickWindowAt(top, control->mapTo(top, control->rect().center() + offset));
}

using ui::test::UseSkin;

class PageWindow : public ui::WindowImplBase {
public:
    QString GetSkinFile() override { return QStringLiteral("light_page.xml"); }
    QString GetSkinFolder() override { return QStringLiteral(ZOR_SETTINGS_GUI_TEST_DATA "/"); }
    QString GetWindowClassName() const override { return QStringLiteral("LightPageTest"); }
    ui::CControlUI* CreateControl(const QString& name) override { return LightingPage::CreateControl(name); }
    void Notify(ui::TNotifyUI& msg) override {
        if (page) page->Notify(msg);
    }
    void OnFinalMessage() override {}
    LightingPage* page = nullptr;
};

class LightingPageTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        UseSkin(QString::fromLatin1(GetParam()));
        const auto model = test::SourceDir() / "res" / "MouseVarn" / "MouseA";
        ASSERT_TRUE(LoadDeviceFeature(feature, model, 6));
        document.SetDeviceFacts(feature);
        ASSERT_TRUE(document.LoadFile(MouseConfigPath(model)).ok);
        LightingPage::Hooks hooks;
        // The window's lighting operation on the page's rows: stored always, sent unless busy.
        hooks.edit = [this](int profile, const LightingEdit& edit) {
            const std::string refused =
                ApplyLightingEdit(document, profile, edit, page->Offered(), page->Layout());
            if (!refused.empty()) return control::OpResult::Refuse(refused);
            if (!busy) requests.emplace_back(static_cast<int>(ApplyKind::Lighting), profile);
            return control::OpResult{};
        };
        hooks.chooseColour = [this](std::uint32_t) { return nextColour; };
        page = std::make_unique<LightingPage>(window.PaintManager(), document, hooks);
        window.page = page.get();
        window.Create(nullptr, QStringLiteral("LightPageTest"), ui::kWsPopup);
        // The page's own background: the main window's settings panel of the skin.
        Control("light_root")
            ->SetAttribute(QStringLiteral("bkcolor"), GetParam() == std::string("res_white")
                                                          ? QStringLiteral("#FFFFFFFF")
                                                          : QStringLiteral("#FF1B1E24"));
        page->SetModel(feature.ledModes, LoadLightingLayout(model));
        page->SetProfile(1);
        page->Refresh();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    ui::CControlUI* Control(const QString& name) { return window.FindControl(name); }
    ui::CControlUI* Control(const char* name) { return Control(QLatin1String(name)); }
    // Picks a mode from the drop-down as a user does: open the list, click the item.
    void PickMode(const QString& text) {
        auto* list = window.Find<ui::CComboUI>(QStringLiteral("btn_MouseLed_LedMode"));
        ClickControl(list);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return list->DropDown() != nullptr && list->DropDown()->isVisible(); }));
        const int index = list->FindItem(text);
        ASSERT_GE(index, 0) << text.toStdString();
        auto* menu = qobject_cast<QMenu*>(list->DropDown());
        ASSERT_NE(menu, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        const QRect item = menu->actionGeometry(menu->actions().at(index));
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, Qt::NoModifier, item.center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return list->GetCurSel() == index; }));
    }
    doc::LedModeSettings& Record(int mode) { return document.led[1][static_cast<std::size_t>(mode)]; }

    DeviceFeatureRecord feature;
    MouseConfigDocument document;
    PageWindow window;
    std::unique_ptr<LightingPage> page;
    std::vector<std::pair<int, int>> requests;
    bool busy = false;
    std::optional<std::uint32_t> nextColour;
};

TEST_P(LightingPageTest, TheListOffersExactlyTheModelsModesAndEachShowsItsControls) {
    auto* list = window.Find<ui::CComboUI>(QStringLiteral("btn_MouseLed_LedMode"));
    ASSERT_EQ(list->GetCount(), 10);  // LEDMAP slots 6, 9, 12 and 13 are 0
    for (int i = 0; i < list->GetCount(); ++i) EXPECT_NE(list->GetItemData(i).toInt(), 6);
    const LightingLayout& layout = page->Layout();
    for (int i = 0; i < list->GetCount(); ++i) {
        const int mode = list->GetItemData(i).toInt();
        document.led[1][0].curselmode = mode;
        page->Refresh();
        QApplication::processEvents();
        const LightingRow& row = *layout.Row(mode);
        for (const char* name : LightingRowControls())
            EXPECT_EQ(Control(name)->isVisible(), row.Shows(name)) << mode << " " << name;
        EXPECT_EQ(Control("opt_MouseLed_Single0")->isVisible(), row.singleColour);
        window.grab().save(QStringLiteral("%1/screenshots/light_%2_mode%3.png")
                               .arg(ui::test::BuildDir(), QLatin1String(GetParam()))
                               .arg(mode));
    }
}

TEST_P(LightingPageTest, ChoosingAModeStoresItAndAsksForOnePush) {
    PickMode(QStringLiteral("LedModeWave"));
    EXPECT_EQ(document.led[1][0].curselmode, 3);
    EXPECT_EQ(requests, (std::vector<std::pair<int, int>>{{9, 1}}));
    EXPECT_TRUE(Control("opt_MouseLed_CoverVal")->isVisible());
    EXPECT_EQ(document.Profile(1).lighting.modeNumber, 4);
    busy = true;  // a run is going on: the choice is stored but not sent
    PickMode(QStringLiteral("LedModeBreathing"));
    EXPECT_EQ(document.led[1][0].curselmode, 1);
    EXPECT_EQ(requests.size(), 1u);
}

TEST_P(LightingPageTest, TheLastEnabledColourStaysCheckedAndEnabled) {
    document.led[1][0].curselmode = 1;
    for (int k = 1; k < 7; ++k) Record(1).colours[static_cast<std::size_t>(k)].enabled = 0;
    Record(1).colours[0].enabled = 1;
    page->Refresh();
    auto* box = window.Find<ui::CCheckBoxUI>(QStringLiteral("chk_MouseLed_ColEn0"));
    ClickControl(box);
    EXPECT_TRUE(box->GetCheck());
    EXPECT_EQ(Record(1).colours[0].enabled, 1);
    EXPECT_TRUE(Control("btn_MouseLed_ColVal0")->isEnabled());
    EXPECT_TRUE(requests.empty());  // refused: nothing changed, nothing is sent
    ClickControl(Control("chk_MouseLed_ColEn3"));
    EXPECT_EQ(Record(1).colours[3].enabled, 1);
    ClickControl(box);
    EXPECT_FALSE(box->GetCheck());
    EXPECT_EQ(Record(1).colours[0].enabled, 0);
    EXPECT_FALSE(Control("btn_MouseLed_ColVal0")->isEnabled());
    EXPECT_EQ(document.Profile(1).lighting.params[3], 0x08);
    EXPECT_EQ(requests.size(), 2u);
}

TEST_P(LightingPageTest, SlidersAtZeroAreStoredAsOneAndSentOnRelease) {
    document.led[1][0].curselmode = 1;
    page->Refresh();
    auto* bright = window.Find<ui::CSliderUI>(QStringLiteral("slider_MouseLed_BrightVal"));
    ClickAtOffset(bright, QPoint(-bright->width() / 2 + 1, 0));
    EXPECT_EQ(Record(1).brightnessvalue, 1);
    EXPECT_EQ(Control("label_MouseLed_BrightValText")->GetText(), "1");
    EXPECT_EQ(bright->GetValue(), 1);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back(), (std::pair<int, int>{9, 1}));
    auto* speed = window.Find<ui::CSliderUI>(QStringLiteral("slider_MouseLed_SpeedVal"));
    ClickAtOffset(speed, QPoint(speed->width() / 2 - 1, 0));
    EXPECT_EQ(Record(1).frequencyvalue, 10);
    EXPECT_EQ(document.Profile(1).lighting.params[0], 1);
    EXPECT_EQ(document.Profile(1).lighting.params[1], 10);
}

TEST_P(LightingPageTest, DirectionColourAndTheSingleColourChoice) {
    document.led[1][0].curselmode = 7;  // neon: colours and direction
    page->Refresh();
    ClickControl(Control("opt_MouseLed_TwowayVal"));
    EXPECT_EQ(Record(7).directionsel, 2);
    nextColour = 0x336699;
    ClickControl(Control("btn_MouseLed_ColVal2"));
    EXPECT_EQ(Record(7).colours[2].colour, 0x336699u);
    EXPECT_EQ(Control("btn_MouseLed_ColVal2")->GetBkColor(), QColor(0x33, 0x66, 0x99));
    nextColour.reset();  // cancelled: nothing changes, nothing is sent
    const auto sent = requests.size();
    ClickControl(Control("btn_MouseLed_ColVal2"));
    EXPECT_EQ(requests.size(), sent);

    document.led[1][0].curselmode = 0;  // static: one colour at a time
    page->Refresh();
    EXPECT_FALSE(Control("chk_MouseLed_ColEn0")->isVisible());
    ClickControl(Control("opt_MouseLed_Single4"));
    EXPECT_EQ(SingleLightColour(Record(0)), 4);
    EXPECT_EQ(document.Profile(1).lighting.params[3], 0x10);
    ClickControl(Control("opt_MouseLed_Single1"));
    EXPECT_EQ(document.Profile(1).lighting.params[3], 0x02);
    EXPECT_EQ(requests.size(), sent + 2);
}

TEST_P(LightingPageTest, ThePreviewMovesOnlyWhileItIsShownAndTheModeMoves) {
    auto* preview = window.Find<LightPreview>(QStringLiteral("gif_light"));
    auto* strip = window.Find<LightPreview>(QStringLiteral("gif_key"));
    ASSERT_NE(preview, nullptr);
    document.led[1][0].curselmode = 3;  // wave
    page->Refresh();
    EXPECT_TRUE(preview->Animating());
    strip->SetTimeForTest(0);
    const QImage first = strip->grab().toImage();
    strip->SetTimeForTest(400);
    EXPECT_NE(strip->grab().toImage(), first);
    window.hide();
    EXPECT_FALSE(preview->Animating());
    EXPECT_FALSE(strip->Animating());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(preview->Animating());
    document.led[1][0].curselmode = 0;  // static: nothing to animate
    page->Refresh();
    EXPECT_FALSE(preview->Animating());
    EXPECT_FALSE(strip->Animating());
}

TEST_P(LightingPageTest, TheMousesLightingButtonMovesThePage) {
    EXPECT_TRUE(page->ShowDeviceMode(0x80 | 5));  // device mode 5 = UI mode 4
    EXPECT_EQ(document.led[1][0].curselmode, 4);
    auto* list = window.Find<ui::CComboUI>(QStringLiteral("btn_MouseLed_LedMode"));
    EXPECT_EQ(list->GetItemData(list->GetCurSel()).toInt(), 4);
    EXPECT_FALSE(page->ShowDeviceMode(7));  // a device mode the model does not offer
    EXPECT_EQ(document.led[1][0].curselmode, 4);
    EXPECT_TRUE(requests.empty());
}

INSTANTIATE_TEST_SUITE_P(Skins, LightingPageTest, ::testing::Values("res_black", "res_white"));

}  // namespace
}  // namespace zor
