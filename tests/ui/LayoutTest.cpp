// Layout files: reading (order, classes, markers, failure rules) and applying them to a page.
#include <gtest/gtest.h>
#include <QApplication>
#include <QTimer>
#include <nlohmann/json.hpp>

#include "UiTestSupport.h"
#include "support/TempDir.h"
#include "ui/CustomControls.h"
#include "ui/Dialogs.h"
#include "ui/PositionLayout.h"

using namespace zor::ui;
using namespace zor::ui::test;
using nlohmann::json;

namespace {

json Container(const char* name = "page_main", const char* normal = "page_n.png") {
    return {{"containname", name},      {"width", 300},          {"height", 200},
            {"bkimage", "page_bk.png"}, {"normalimage", normal}, {"overimage", "page_o.png"},
            {"downimage", "page_d.png"}};
}

class LayoutPage : public ::testing::Test {
protected:
    void SetUp() override {
        CPaintManagerUI::SetInstancePath(TestData());
        CPaintManagerUI::SetResourcePath(TestData());
        wnd = std::make_unique<RecordingWindow>(QStringLiteral("page.xml"));
        wnd->factory = [](const QString& cls) -> CControlUI* {
            return cls == "VerticalLayoutEx" ? new CVerticalLayoutExUI : nullptr;
        };
        ASSERT_TRUE(wnd->Create(nullptr, "page", kWsPopup | kWsVisible));
    }
    CControlUI* C(const char* name) { return wnd->FindControl(name); }
    bool ReadAndApply(const json& doc) {
        PositionLayout layout;
        const bool read = layout.Read(doc);
        return layout.Apply(wnd->PaintManager()) && read;
    }
    std::unique_ptr<RecordingWindow> wnd;
};

}  // namespace

TEST(LayoutRead, KeepsContainerValuesEntriesInOrderAndTheirClasses) {
    PositionLayout layout;
    const json doc = {
        {"Containerinfo", Container()},
        {"Controlinfo", json::array({{{"type", "button"}, {"ctrlname", "a"}, {"pos", {1, 2, 3, 4}}},
                                     {{"type", "slider"}, {"ctrlname", "b"}, {"thumbimage", "t.png"}},
                                     {{"type", "whatever"}, {"ctrlname", "c"}, {"visible", "false"}},
                                     {{"type", "optver"}, {"ctrlname", "d"}},
                                     {{"type", "label"}, {"ctrlname", "e"}},
                                     {{"type", "combo"}, {"ctrlname", "f"}}})}};
    ASSERT_TRUE(layout.Read(doc));
    EXPECT_EQ(layout.ContainerName(), "page_main");
    EXPECT_EQ(layout.Width(), 300);
    EXPECT_EQ(layout.DownImage(), "page_d.png");
    EXPECT_EQ(layout.ControlNames(), QStringList({"a", "b", "c", "d", "e", "f"}));
    const auto& e = layout.Entries();
    EXPECT_NE(dynamic_cast<CButtonAttributes*>(e[0].get()), nullptr);
    EXPECT_EQ(e[0]->GetPos(), (std::array<int, 4>{1, 2, 3, 4}));
    EXPECT_EQ(e[0]->GetVisible(), kVisNoChange);
    EXPECT_EQ(dynamic_cast<SliderAttributes*>(e[1].get())->GetThumbImage(), "t.png");
    EXPECT_FALSE(e[1]->HasPos());
    EXPECT_NE(dynamic_cast<COptionAttributes*>(e[2].get()), nullptr);  // unknown type -> option
    EXPECT_EQ(e[2]->GetVisible(), "false");
    EXPECT_NE(dynamic_cast<VerExAuttributes*>(e[3].get()), nullptr);
    EXPECT_NE(dynamic_cast<CLabelAttributes*>(e[4].get()), nullptr);
    EXPECT_NE(dynamic_cast<CComboAttributes*>(e[5].get()), nullptr);
}

TEST(LayoutRead, AJsonErrorStopsReadingAndKeepsWhatWasRead) {
    PositionLayout layout;
    const json doc = {{"Containerinfo", Container()},
                      {"Controlinfo", json::array({{{"type", "button"}, {"ctrlname", "a"}},
                                                   {{"type", "button"}},  // no ctrlname
                                                   {{"type", "button"}, {"ctrlname", "c"}}})}};
    EXPECT_FALSE(layout.Read(doc));
    EXPECT_EQ(layout.ControlNames(), QStringList({"a"}));
    EXPECT_FALSE(layout.LastError().isEmpty());
    PositionLayout shortPos;
    EXPECT_FALSE(shortPos.Read(
        {{"Containerinfo", Container()},
         {"Controlinfo", json::array({{{"type", "button"}, {"ctrlname", "a"}, {"pos", {1, 2}}}})}}));
    for (const json& far : {json(2.7e59), json(-3e12), json(4294967696LL)}) {
        PositionLayout outOfRange;  // a position no int holds is an error, not a wrapped or undefined value
        EXPECT_FALSE(outOfRange.Read(
            {{"Containerinfo", Container()},
             {"Controlinfo", json::array({{{"type", "button"}, {"ctrlname", "a"}, {"pos", {1, 2, far, 4}}}})}}))
            << far;
        EXPECT_FALSE(outOfRange.LastError().isEmpty());
    }
    PositionLayout noContainerKey;
    json info = Container();
    info.erase("overimage");
    EXPECT_FALSE(noContainerKey.Read({{"Containerinfo", info}, {"Controlinfo", json::array()}}));
    EXPECT_EQ(noContainerKey.NormalImage(), "page_n.png");  // read before the missing key
    EXPECT_TRUE(noContainerKey.Entries().empty());
    PositionLayout asObject;  // "Controlinfo" may be an object of entries
    EXPECT_TRUE(asObject.Read(
        {{"Containerinfo", Container()}, {"Controlinfo", {{"k1", {{"type", "label"}, {"ctrlname", "x"}}}}}}));
    EXPECT_EQ(asObject.ControlNames(), QStringList({"x"}));
}

TEST(LayoutRead, FilesThatCannotBeOpenedOrParsedAreReported) {
    zor::test::TempDir dir;
    PositionLayout layout;
    EXPECT_EQ(layout.LoadFile(dir / "missing.json"), PositionLayout::LoadResult::CannotOpen);
    zor::test::WriteFile(dir / "bad.json", "{ \"Containerinfo\": ");
    EXPECT_EQ(layout.LoadFile(dir / "bad.json"), PositionLayout::LoadResult::JsonError);
    zor::test::WriteFile(dir / "good.json",
                         json({{"Containerinfo", Container()}, {"Controlinfo", json::array()}}).dump());
    EXPECT_EQ(layout.LoadFile(dir / "good.json"), PositionLayout::LoadResult::Ok);
}

TEST(LayoutRead, AFolderOrADeeplyNestedFileIsNoLayout) {
    zor::test::TempDir dir;
    PositionLayout layout;
    std::filesystem::create_directories(dir / "Home.json");
    EXPECT_EQ(layout.LoadFile(dir / "Home.json"), PositionLayout::LoadResult::CannotOpen);
    zor::test::WriteFile(dir / "deep.json",
                         "{\"Containerinfo\":" + std::string(100000, '[') + std::string(100000, ']') + "}");
    EXPECT_EQ(layout.LoadFile(dir / "deep.json"), PositionLayout::LoadResult::JsonError);
}

TEST_F(LayoutPage, ApplyMovesControlsAndCutsTheirImagesFromThePagePictures) {
    const json doc = {
        {"Containerinfo", Container()},
        {"Controlinfo",
         json::array({
             {{"type", "button"}, {"ctrlname", "btn_key1"}, {"pos", {10, 20, 60, 40}}, {"visible", "true"}},
             {{"type", "option"}, {"ctrlname", "opt_key2"}, {"pos", {70, 20, 90, 40}}},
             {{"type", "label"}, {"ctrlname", "lab_logo"}, {"pos", {0, 100, 50, 120}}},
             {{"type", "slider"},
              {"ctrlname", "slider_dpi"},
              {"pos", {5, 150, 105, 160}},
              {"thumbimage", "t.png"}},
             {{"type", "combo"}, {"ctrlname", "combo_rate"}, {"pos", {120, 20, 200, 40}}},
             {{"type", "button"}, {"ctrlname", "not_in_skin"}, {"pos", {1, 1, 2, 2}}},
         })}};
    ASSERT_TRUE(ReadAndApply(doc));
    EXPECT_EQ(C("page_main")->GetAttribute("bkimage"), "page_bk.png");
    EXPECT_EQ(C("btn_key1")->geometry(), QRect(10, 20, 50, 20));
    EXPECT_EQ(C("btn_key1")->GetAttribute("normalimage"), "file='page_n.png' source='10,20,60,40'");
    EXPECT_EQ(C("btn_key1")->GetAttribute("hotimage"), "file='page_o.png' source='10,20,60,40'");
    EXPECT_EQ(C("btn_key1")->GetAttribute("pushedimage"), "file='page_d.png' source='10,20,60,40'");
    EXPECT_EQ(C("opt_key2")->GetAttribute("selectedimage"), "file='page_d.png' source='70,20,90,40'");
    EXPECT_EQ(C("lab_logo")->GetAttribute("bkimage"), "file='page_n.png' source='0,100,50,120'");
    EXPECT_EQ(C("slider_dpi")->geometry(), QRect(5, 150, 100, 10));
    EXPECT_TRUE(C("slider_dpi")->GetAttribute("normalimage").isEmpty());  // sliders only move
    EXPECT_EQ(C("combo_rate")->GetAttribute("pushedimage"), "file='page_d.png' source='120,20,200,40'");
}

TEST_F(LayoutPage, AnEntryWithoutPosStaysWhereTheSkinPutItWithoutImages) {
    ASSERT_TRUE(ReadAndApply(
        {{"Containerinfo", Container()},
         {"Controlinfo",
          json::array({{{"type", "button"}, {"ctrlname", "btn_fixed"}, {"visible", "false"}}})}}));
    EXPECT_EQ(C("btn_fixed")->geometry(), QRect(200, 150, 20, 20));
    EXPECT_TRUE(C("btn_fixed")->GetAttribute("normalimage").isEmpty());
    EXPECT_FALSE(C("btn_fixed")->IsVisible());  // visibility still applies
}

TEST_F(LayoutPage, VisibleIsIgnoredWithoutANormalPicture) {
    ASSERT_TRUE(ReadAndApply({{"Containerinfo", Container("page_main", "")},
                              {"Controlinfo", json::array({{{"type", "button"},
                                                            {"ctrlname", "btn_key1"},
                                                            {"visible", "false"},
                                                            {"pos", {10, 20, 60, 40}}}})}}));
    EXPECT_TRUE(C("btn_key1")->IsVisible());
    EXPECT_EQ(C("btn_key1")->geometry(), QRect(10, 20, 50, 20));  // moved all the same
    EXPECT_TRUE(C("btn_key1")->GetAttribute("normalimage").isEmpty());
}

TEST_F(LayoutPage, TwoEntriesForOneControlApplyInFileOrder) {
    ASSERT_TRUE(ReadAndApply(
        {{"Containerinfo", Container()},
         {"Controlinfo",
          json::array({{{"type", "button"}, {"ctrlname", "btn_key1"}, {"pos", {0, 0, 10, 10}}},
                       {{"type", "button"}, {"ctrlname", "btn_key1"}, {"pos", {50, 50, 70, 60}}}})}}));
    EXPECT_EQ(C("btn_key1")->geometry(), QRect(50, 50, 20, 10));
    EXPECT_EQ(C("btn_key1")->GetAttribute("normalimage"), "file='page_n.png' source='50,50,70,60'");
}

TEST_F(LayoutPage, AMissingContainerAppliesNothing) {
    PositionLayout layout;
    ASSERT_TRUE(layout.Read(
        {{"Containerinfo", Container("no_such_page")},
         {"Controlinfo",
          json::array({{{"type", "button"}, {"ctrlname", "btn_key1"}, {"pos", {0, 0, 10, 10}}}})}}));
    EXPECT_FALSE(layout.Apply(wnd->PaintManager()));
    EXPECT_EQ(C("btn_key1")->geometry(), QRect(1, 1, 10, 10));
}

TEST_F(LayoutPage, StageItemsPlaceTheirSwitchValueAndColour) {
    ASSERT_TRUE(ReadAndApply(
        {{"Containerinfo", Container()},
         {"Controlinfo",
          json::array({{{"type", "optver"}, {"ctrlname", "ver_stage1"}, {"pos", {100, 50, 180, 150}}}})}}));
    auto* item = C("ver_stage1");
    EXPECT_EQ(item->GetAttribute("selectedimage"), "file='page_d.png' source='100,50,180,150'");
    CControlUI* sw = wnd->PaintManager().FindSubControlByName(item, "switch");
    EXPECT_EQ(sw->GetAttribute("normalimage"), "file='page_n.png' source='222,47,255,53'");
    EXPECT_EQ(sw->GetAttribute("selectedimage"), "file='page_d.png' source='222,47,255,53'");
    EXPECT_EQ(sw->GetFloatPos(), QRect(34, 9, 33, 6));
    EXPECT_EQ(wnd->PaintManager().FindSubControlByName(item, "value")->GetFloatPos(), QRect(0, 40, 40, 30));
    EXPECT_EQ(wnd->PaintManager().FindSubControlByName(item, "color")->GetFloatPos(), QRect(0, 80, 40, 10));
}

TEST_F(LayoutPage, PageSetUpShowsTheNoticeWhenTheFileCannotBeOpenedAndGoesOn) {
    UseSkin("res_black");  // the message box's skin
    zor::test::TempDir dir;
    QString shownText;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<CMsgWnd*>(w); box && box->isVisible()) {
                shownText = box->FindControl("MessageText")->GetText();
                Click(box->FindControl("confirm_btn"));
            }
    });
    QStringList names{"stale"};
    EXPECT_EQ(LoadPageLayout(dir / "mousekey.json", wnd->PaintManager(), wnd.get(),
                             {"Tip", "no layout", "OK", ""}, &names),
              PositionLayout::LoadResult::CannotOpen);
    EXPECT_EQ(shownText, "no layout");
    EXPECT_TRUE(names.isEmpty());
    EXPECT_EQ(HomeLayoutNotice().text, QString::fromUtf8("无法打开json文件"));
    EXPECT_TRUE(HomeLayoutNotice().title.isEmpty());

    zor::test::WriteFile(
        dir / "mousekey.json",
        json({{"Containerinfo", Container()},
              {"Controlinfo",
               json::array({{{"type", "button"}, {"ctrlname", "btn_key1"}, {"pos", {2, 3, 12, 13}}},
                            {{"type", "button"}}})}})
            .dump());
    EXPECT_EQ(LoadPageLayout(dir / "mousekey.json", wnd->PaintManager(), wnd.get(), {}, &names),
              PositionLayout::LoadResult::JsonError);
    EXPECT_EQ(names, QStringList({"btn_key1"}));
    EXPECT_EQ(C("btn_key1")->geometry(), QRect(2, 3, 10, 10));  // what was read before the error applies
}

TEST_F(LayoutPage, TruncatedOrMistypedFilesNeverCrashTheReader) {
    const std::string good =
        json({{"Containerinfo", Container()},
              {"Controlinfo",
               json::array({{{"type", "optver"}, {"ctrlname", "ver_stage1"}, {"pos", {1, 2, 3, 4}}},
                            {{"type", "slider"}, {"ctrlname", "slider_dpi"}, {"thumbimage", "t"}}})}})
            .dump();
    zor::test::TempDir dir;
    for (size_t cut = 0; cut < good.size(); cut += 3) {
        zor::test::WriteFile(dir / "l.json", good.substr(0, cut));
        PositionLayout layout;
        layout.LoadFile(dir / "l.json");
        layout.Apply(wnd->PaintManager());
    }
    PositionLayout wrongTypes;  // numbers where texts belong and the other way round
    EXPECT_FALSE(wrongTypes.Read({{"Containerinfo", {{"containname", 5}}}}));
    EXPECT_FALSE(wrongTypes.Read(json::array({1, 2})));
    EXPECT_FALSE(wrongTypes.Read(
        {{"Containerinfo", Container()},
         {"Controlinfo", json::array({{{"type", "button"}, {"ctrlname", "b"}, {"pos", "1,2,3,4"}}})}}));
}

TEST(LayoutScope, APageLayoutMovesTheControlInsideItsContainerWhenAnotherPageHasItsName) {
    CPaintManagerUI::SetInstancePath(TestData());
    CPaintManagerUI::SetResourcePath(TestData());
    RecordingWindow wnd(QStringLiteral("page_twin.xml"));
    ASSERT_TRUE(wnd.Create(nullptr, "twin", kWsPopup | kWsVisible));
    CPaintManagerUI& pm = wnd.PaintManager();
    CControlUI* home = pm.FindSubControlByName(pm.FindControl("page_home"), "btn_twin");
    CControlUI* keys = pm.FindSubControlByName(pm.FindControl("page_keys"), "btn_twin");
    ASSERT_NE(home, keys);
    PositionLayout layout;
    ASSERT_TRUE(layout.Read({{"Containerinfo", Container("page_keys")},
                             {"Controlinfo", json::array({{{"type", "button"},
                                                           {"ctrlname", "btn_twin"},
                                                           {"pos", {20, 30, 60, 50}}}})}}));
    ASSERT_TRUE(layout.Apply(pm));
    EXPECT_EQ(keys->GetAttribute("pos"), "20,30,60,50");
    EXPECT_TRUE(keys->GetAttribute("normalimage").contains("page_n.png"));
    EXPECT_EQ(home->GetAttribute("pos"), "1,1,11,11");
    EXPECT_TRUE(home->GetAttribute("normalimage").isEmpty());
}
