// Skin files: parsing, building every control class, images cut from pictures, control lookup,
// attributes and the notifications each control sends.
#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>

#include "UiTestSupport.h"
#include "support/TempDir.h"
#include "support/UserInput.h"
#include "support/Wait.h"
#include "ui/Controls.h"
#include "ui/Markup.h"
#include "ui/PaintManager.h"

using namespace zor::ui;
using namespace zor::ui::test;

namespace {

class SampleSkin : public ::testing::Test {
protected:
    void SetUp() override {
        CPaintManagerUI::SetInstancePath(TestData());
        CPaintManagerUI::SetResourcePath(TestData());
        wnd = new RecordingWindow(QStringLiteral("sample.xml"));
        wnd->factory = [](const QString& cls) -> CControlUI* {
            return cls == QLatin1String("VerticalLayoutEx") ? new CContainerUI : nullptr;
        };
        ASSERT_TRUE(wnd->Create(nullptr, QStringLiteral("sample"), kWsPopup | kWsVisible));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd));
    }
    void TearDown() override { delete wnd; }
    template <typename T>
    T* Get(const char* name) {
        T* control = wnd->Find<T>(QLatin1String(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    RecordingWindow* wnd = nullptr;
};

}  // namespace

TEST(Markup, KeepsAttributeOrderAndReportsErrorPosition) {
    CMarkup ok;
    ASSERT_TRUE(ok.Load("<Window b=\"2\" a=\"1\"><Label name=\"x\"/></Window>"));
    ASSERT_EQ(ok.Root().attributes.size(), 2);
    EXPECT_EQ(ok.Root().attributes[0].first, "b");
    EXPECT_EQ(ok.Root().children.at(0).Attribute("NAME"), "x");
    CMarkup broken;
    EXPECT_FALSE(broken.Load("<Window>\n<Label name=\"x\">\n</Window>"));
    EXPECT_TRUE(broken.LastError().startsWith("line 3")) << broken.LastError().toStdString();
    EXPECT_FALSE(broken.IsValid());
    // Nesting that every recursive walk of the tree would pay for in stack is refused.
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<C>";
    for (int i = 0; i < 100000; ++i) deep += "</C>";
    CMarkup tooDeep;
    EXPECT_FALSE(tooDeep.Load(QByteArray::fromStdString("<Window>" + deep + "</Window>")));
    EXPECT_TRUE(tooDeep.LastError().contains("nested deeper")) << tooDeep.LastError().toStdString();
    EXPECT_TRUE(tooDeep.Root().children.empty());
}

TEST(AttributeParsing, ColoursRectsAndImageRefs) {
    EXPECT_EQ(ParseColor("#FF102030"), QColor(0x10, 0x20, 0x30, 0xFF));
    EXPECT_EQ(ParseColor("#102030"), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(ParseColor("#00102030").alpha(), 0);
    EXPECT_FALSE(ParseColor("nonsense").isValid());
    EXPECT_EQ(ParseRect("10,20,110,70"), QRect(10, 20, 100, 50));
    const ImageRef ref = ImageRef::Parse("file='pics/a.svg' source='1,2,11,22' corner='3,3,3,3' fade='128'");
    EXPECT_EQ(ref.file, "pics/a.svg");
    EXPECT_EQ(ref.source, QRect(1, 2, 10, 20));
    EXPECT_EQ(ref.corner, QMargins(3, 3, 3, 3));
    EXPECT_EQ(ref.fade, 128);
    EXPECT_EQ(ImageRef::Parse("plain.png").file, "plain.png");
}

TEST(Images, SourceRectCutsTheRightPartOfThePicture) {
    CPaintManagerUI::SetResourcePath(TestData());
    QImage canvas(20, 10, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter p(&canvas);
    ASSERT_TRUE(
        DrawImage(p, QRect(0, 0, 10, 10), ImageRef::Parse("file='sprite.png' source='10,0,20,10'"), 1.0));
    ASSERT_TRUE(
        DrawImage(p, QRect(10, 0, 10, 10), ImageRef::Parse("file='sprite.png' source='0,0,10,10'"), 1.0));
    EXPECT_FALSE(DrawImage(p, QRect(0, 0, 10, 10), ImageRef::Parse("missing.png"), 1.0));
    p.end();
    EXPECT_EQ(QColor(canvas.pixel(5, 5)), QColor(Qt::blue));
    EXPECT_EQ(QColor(canvas.pixel(15, 5)), QColor(Qt::red));
}

TEST(Images, SvgIsRenderedPerPixelRatioAndCached) {
    UseSkin("res_black");
    ClearImageCache();
    QImage canvas(48, 48, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter p(&canvas);
    const ImageRef close = ImageRef::Parse("file='common/btn_close.svg' source='24,0,48,24'");
    ASSERT_TRUE(DrawImage(p, QRect(0, 0, 24, 24), close, 1.0));
    ASSERT_TRUE(DrawImage(p, QRect(0, 0, 24, 24), close, 1.0));
    EXPECT_EQ(ImageCacheSize(), 1);
    ASSERT_TRUE(DrawImage(p, QRect(0, 0, 48, 48), close, 2.0));
    EXPECT_EQ(ImageCacheSize(), 2);
    p.end();
    // The hot state is a red square behind the cross: its corner area is red, not transparent.
    EXPECT_GT(QColor(canvas.pixel(6, 6)).red(), 150);
    ClearImageCache();
    EXPECT_EQ(ImageCacheSize(), 0);
}

TEST(ShippedSkins, EveryFileParsesAndBuildsInBothSkins) {
    for (const char* skin : {"res_black", "res_white"}) {
        UseSkin(skin);
        int files = 0;
        QDirIterator it(SourceRes() + skin, {"*.xml"}, QDir::Files);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString name = QFileInfo(path).fileName();
            CMarkup markup;
            ASSERT_TRUE(markup.LoadFromFile(path))
                << path.toStdString() << ": " << markup.LastError().toStdString();
            ++files;
            if (markup.Root().name == "Menu") continue;
            RecordingWindow wnd(name);
            EXPECT_TRUE(wnd.Create(nullptr, name, kWsPopup)) << path.toStdString();
            EXPECT_NE(wnd.PaintManager().GetRoot(), nullptr);
            // Every picture a skin names exists.
            for (CControlUI* control : wnd.PaintManager().AllControls())
                for (const char* attr :
                     {"bkimage", "normalimage", "hotimage", "pushedimage", "selectedimage"}) {
                    const ImageRef ref = ImageRef::Parse(control->GetAttribute(attr));
                    if (!ref.IsEmpty()) {
                        EXPECT_TRUE(QFileInfo::exists(CPaintManagerUI::ResolveFile(ref.file)))
                            << skin << "/" << name.toStdString() << ": " << ref.file.toStdString();
                    }
                }
        }
        EXPECT_GE(files, 6) << skin;
    }
}

TEST(ShippedSkins, BothSkinFoldersHoldTheSameFiles) {
    QStringList files[2];
    int i = 0;
    for (const char* skin : {"res_black", "res_white"}) {
        const QDir root(SourceRes() + skin);
        QDirIterator it(root.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) files[i] << root.relativeFilePath(it.next());
        files[i].sort();
        ++i;
    }
    EXPECT_FALSE(files[0].isEmpty());
    EXPECT_EQ(files[0], files[1]);
}

TEST(ShippedSkins, BothSkinsDeclareTheSameControls) {
    for (const char* file : {"msg.xml", "msg2.xml", "msg3.xml", "ClosePop.xml", "poptip.xml"}) {
        QStringList names[2];
        int i = 0;
        for (const char* skin : {"res_black", "res_white"}) {
            UseSkin(skin);
            RecordingWindow wnd(file);
            wnd.Create(nullptr, file, kWsPopup);
            for (CControlUI* c : wnd.PaintManager().AllControls())
                if (!c->GetName().isEmpty()) names[i] << c->GetName();
            ++i;
        }
        EXPECT_EQ(names[0], names[1]) << file;
    }
}

TEST_F(SampleSkin, BuildsEveryControlClassWithItsAttributes) {
    EXPECT_EQ(Get<CLabelUI>("title")->GetText(), "Sample");
    EXPECT_EQ(Get<CButtonUI>("btn_ok")->GetFixedHeight(), 28);  // from the Button default
    EXPECT_TRUE(Get<COptionUI>("opt_a")->IsSelected());
    EXPECT_EQ(Get<COptionUI>("opt_b")->GetGroup(), "g");
    EXPECT_EQ(Get<CEditUI>("edit_name")->GetText(), "abc");
    EXPECT_EQ(Get<CEditUI>("edit_name")->LineEdit()->maxLength(), 8);
    auto* slider = Get<CSliderUI>("slider_dpi");
    EXPECT_EQ(slider->GetMinValue(), 100);
    EXPECT_EQ(slider->GetValue(), 400);
    EXPECT_EQ(Get<CProgressUI>("progress")->GetValue(), 30);
    auto* combo = Get<CComboUI>("combo_rate");
    EXPECT_EQ(combo->GetCount(), 3);
    EXPECT_EQ(combo->GetText(), "500 Hz");
    EXPECT_EQ(Get<CTabLayoutUI>("tab_main")->GetCurSel(), 0);
    EXPECT_TRUE(Get<CTextUI>("text_long")->IsFloat());
    EXPECT_EQ(Get<CTextUI>("text_long")->geometry(), QRect(0, 0, 200, 40));
    EXPECT_NE(Get<CListUI>("list_macro"), nullptr);
    EXPECT_NE(Get<CTreeViewUI>("tree_groups"), nullptr);
    EXPECT_NE(Get<CColorPaletteUI>("palette"), nullptr);
    EXPECT_TRUE(Get<CGifUI>("gif_busy")->IsPlaying());
    EXPECT_NE(wnd->FindControl("custom_item"), nullptr);  // through CreateControl
    EXPECT_EQ(Get<CLabelUI>("included_label")->GetText(), "included");
    EXPECT_EQ(wnd->PaintManager().GetMinInfo(), QSize(320, 240));
    EXPECT_EQ(wnd->size(), QSize(480, 360));
}

TEST_F(SampleSkin, LinearLayoutsHonourFixedSizesPaddingAndInsets) {
    auto* row = Get<CHorizontalLayoutUI>("row1");
    EXPECT_EQ(row->geometry().left(), 8);  // root inset
    EXPECT_EQ(row->geometry().width(), 480 - 16);
    auto* ok = Get<CButtonUI>("btn_ok");
    auto* a = Get<COptionUI>("opt_a");
    EXPECT_EQ(ok->geometry(), QRect(0, 0, 80, 28));  // top of the 30-pixel row
    EXPECT_EQ(a->geometry().left(), 80 + 4);         // child padding
    auto* title = Get<CLabelUI>("title");
    EXPECT_EQ(title->width(), 480 - 16 - 28);  // auto width takes the rest
}

namespace {

// A label that counts how often a layout asks for its size (each ask measures its text).
class CountingLabel : public CLabelUI {
public:
    explicit CountingLabel(int& asks) : m_asks(asks) {}
    QSize EstimateSize(const QSize& available) const override {
        ++m_asks;
        return CLabelUI::EstimateSize(available);
    }

private:
    int& m_asks;
};

struct CountingLabels : IDialogBuilderCallback {
    int asks = 0;
    CControlUI* CreateControl(const QString& className) override {
        return className == QLatin1String("CountingLabel") ? new CountingLabel(asks) : nullptr;
    }
};

}  // namespace

// A skin is laid out once when it is built, not after each control added: the labels of a long
// column are measured a few times each, not once for every sibling added after them (a column of
// n labels laid out after each addition measures n * (n + 1) / 2 times). Where they end up is
// what laying out after every addition gives.
TEST(SkinBuild, LaysOutOnceWhenBuiltAndPlacesControlsAsBefore) {
    constexpr int kRows = 40;
    QByteArray xml = "<Window><VerticalLayout name=\"col\" inset=\"4,4,4,4\" childpadding=\"2\">";
    for (int i = 0; i < kRows; ++i)
        xml += "<CountingLabel name=\"l" + QByteArray::number(i) + "\" height=\"20\" text=\"row " +
               QByteArray::number(i) + "\"/>";
    xml += "</VerticalLayout></Window>";
    CMarkup markup;
    ASSERT_TRUE(markup.Load(xml));

    CountingLabels built;
    CPaintManagerUI pm;
    std::unique_ptr<CControlUI> root(CDialogBuilder().Create(markup, &built, &pm));
    ASSERT_NE(root, nullptr);
    pm.AttachDialog(root.get());
    root->resize(300, kRows * 22 + 8);
    root->show();
    EXPECT_LE(built.asks, 3 * kRows);

    // The same labels added one by one to a column that already has its size.
    int asks = 0;
    CVerticalLayoutUI column;
    column.SetAttribute("inset", "4,4,4,4");
    column.SetAttribute("childpadding", "2");
    column.resize(300, kRows * 22 + 8);
    for (int i = 0; i < kRows; ++i) {
        auto* label = new CountingLabel(asks);
        label->SetAttribute("height", "20");
        label->SetAttribute("text", QStringLiteral("row %1").arg(i));
        column.Add(label);
        EXPECT_EQ(label->geometry(), pm.FindControl(QStringLiteral("l%1").arg(i))->geometry()) << i;
    }
}

TEST_F(SampleSkin, SetAttributeWorksOnAnyControlAfterBuilding) {
    auto* text = Get<CTextUI>("text_long");
    text->SetAttribute("pos", "5,6,105,56");
    EXPECT_EQ(text->geometry(), QRect(5, 6, 100, 50));
    text->SetAttribute("visible", "false");
    EXPECT_FALSE(text->IsVisible());
    text->SetAttribute("text", "changed");
    EXPECT_EQ(text->GetText(), "changed");
    auto* ok = Get<CButtonUI>("btn_ok");
    ok->SetAttribute("width", "120");
    EXPECT_EQ(ok->width(), 120);
    ok->SetAttribute("enabled", "false");
    zor::test::ClickWindowAt(ok->window(), ok->mapTo(ok->window(), ok->rect().center()));
    EXPECT_EQ(wnd->Count("click", "btn_ok"), 0);
}

TEST_F(SampleSkin, ButtonsAndOptionsNotifyByTypeAndName) {
    Click(Get<CButtonUI>("btn_ok"));
    EXPECT_EQ(wnd->Count("click", "btn_ok"), 1);
    Click(Get<COptionUI>("opt_b"));
    EXPECT_EQ(wnd->Count("selectchanged", "opt_b"), 1);
    EXPECT_TRUE(Get<COptionUI>("opt_b")->IsSelected());
    EXPECT_FALSE(Get<COptionUI>("opt_a")->IsSelected());
    Click(Get<COptionUI>("opt_b"));  // a selected group option stays selected
    EXPECT_TRUE(Get<COptionUI>("opt_b")->IsSelected());
}

TEST_F(SampleSkin, CheckBoxReportsTheClickBeforeItToggles) {
    auto* box = Get<CCheckBoxUI>("chk_c");
    bool checkedAtClick = true;
    struct Probe : INotifyUI {
        CCheckBoxUI* box;
        bool* seen;
        void Notify(TNotifyUI& msg) override {
            if (msg.sType == "click" && msg.pSender == box) *seen = box->GetCheck();
        }
    } probe;
    probe.box = box;
    probe.seen = &checkedAtClick;
    wnd->PaintManager().AddNotifier(&probe);
    Click(box);
    wnd->PaintManager().RemoveNotifier(&probe);
    EXPECT_FALSE(checkedAtClick);
    EXPECT_TRUE(box->GetCheck());
    Click(box);
    EXPECT_FALSE(box->GetCheck());
}

TEST_F(SampleSkin, SliderSendsMoveValuesWhileDraggingAndTheValueOnRelease) {
    auto* slider = Get<CSliderUI>("slider_dpi");
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(5, 15));
    QTest::mouseMove(slider, QPoint(slider->width() - 5, 15));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() - 5, 15));
    EXPECT_GE(wnd->Count("movevaluechanged", "slider_dpi"), 1);
    ASSERT_EQ(wnd->Count("valuechanged", "slider_dpi"), 1);
    EXPECT_EQ(slider->GetValue(), 1000);
    EXPECT_EQ(wnd->notes.back().wParam, 1000);
    EXPECT_EQ((slider->GetValue() - 100) % 50, 0);
}

TEST_F(SampleSkin, EditReportsTextReturnAndFocus) {
    auto* edit = Get<CEditUI>("edit_name");
    edit->LineEdit()->setFocus();
    ZOR_TRY_VERIFY(edit->LineEdit()->hasFocus());
    QTest::keyClicks(edit->LineEdit(), "de");
    QTest::keyClick(edit->LineEdit(), Qt::Key_Return);
    EXPECT_EQ(edit->GetText(), "abcde");
    EXPECT_EQ(wnd->Count("textchanged", "edit_name"), 2);
    EXPECT_EQ(wnd->Count("return", "edit_name"), 1);
    EXPECT_GE(wnd->Count("setfocus", "edit_name"), 1);
    QTest::keyClicks(edit->LineEdit(), "xyz");  // the 8-character limit
    EXPECT_EQ(edit->GetText(), "abcdexyz");
}

TEST_F(SampleSkin, ComboOpensItsListAndReportsTheChosenItem) {
    auto* combo = Get<CComboUI>("combo_rate");
    Click(combo);
    ZOR_TRY_VERIFY(combo->DropDown() != nullptr);
    auto* menu = qobject_cast<QMenu*>(combo->DropDown());
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 3);
    menu->actions().at(2)->trigger();
    EXPECT_EQ(combo->GetCurSel(), 2);
    ASSERT_EQ(wnd->Count("itemselect", "combo_rate"), 1);
    EXPECT_EQ(wnd->notes.back().wParam, 2);
}

TEST_F(SampleSkin, ListRowsFromTheRowSkinSelectAndScroll) {
    auto* list = Get<CListUI>("list_macro");
    for (int i = 0; i < 8; ++i) {
        CListContainerElementUI* row = list->AddRow();
        wnd->PaintManager().FindSubControlByName(row, "row_name")->SetText(QStringLiteral("macro %1").arg(i));
    }
    EXPECT_EQ(list->GetCount(), 8);
    EXPECT_TRUE(list->GetVerticalScrollBar()->isVisible());  // 8 x 24 > 110
    EXPECT_EQ(list->GetItemAt(1)->geometry(), QRect(0, 24, 250 - 8, 24));
    auto* third = qobject_cast<CListContainerElementUI*>(list->GetItemAt(2));
    QTest::mouseClick(third, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(list->GetCurSel(), 2);
    EXPECT_TRUE(third->IsSelected());
    EXPECT_EQ(wnd->Count("itemselect", "list_macro"), 1);
    EXPECT_EQ(wnd->Count("itemclick"), 1);
    list->SelectItem(7);
    EXPECT_GT(list->GetScrollPos().y(), 0);  // scrolled to show the last row
    list->Remove(list->GetItemAt(0));
    EXPECT_EQ(list->GetCurSel(), 6);
}

TEST_F(SampleSkin, TreeNodesExpandCollapseAndReportDoubleClicks) {
    Get<CTabLayoutUI>("tab_main")->SelectItem(1);
    EXPECT_EQ(wnd->Count("tabselect", "tab_main"), 1);
    auto* tree = Get<CTreeViewUI>("tree_groups");
    CTreeNodeUI* group = tree->AddNode("group");
    CTreeNodeUI* child = tree->AddNode("macro", group);
    tree->AddNode("second group");
    EXPECT_EQ(tree->GetItemIndex(child), 1);
    EXPECT_EQ(child->GetDepth(), 1);
    EXPECT_EQ(wnd->PaintManager().FindSubControlByName(child, "text")->GetText(), "macro");
    Click(wnd->PaintManager().FindSubControlByName(group, "expand"));
    EXPECT_FALSE(group->IsExpanded());
    EXPECT_FALSE(child->IsVisible());
    QTest::mouseDClick(group, Qt::LeftButton, {}, QPoint(40, 5));
    EXPECT_TRUE(group->IsExpanded());
    EXPECT_EQ(wnd->Count("treeitemdbclick"), 1);
    tree->RemoveNode(group);
    EXPECT_EQ(tree->GetCount(), 1);
}

TEST_F(SampleSkin, PaintsEveryControlIntoAScreenshot) {
    const QString folder = BuildDir() + "/screenshots";
    QDir().mkpath(folder);
    Get<CListUI>("list_macro")->AddRow();
    const QImage shot = wnd->grab().toImage();
    ASSERT_TRUE(shot.save(folder + "/sample_controls.png"));
    // The progress bar's filled part is drawn in its fore colour.
    auto* progress = Get<CProgressUI>("progress");
    const QPoint inBar = progress->mapTo(wnd, QPoint(5, progress->height() / 2));
    EXPECT_EQ(QColor(shot.pixel(inBar)), QColor(0x30, 0xA0, 0x30));
}

TEST_F(SampleSkin, ControlTimersNotifyUntilKilled) {
    CControlUI* label = Get<CLabelUI>("title");
    ASSERT_TRUE(wnd->PaintManager().SetTimer(label, 5, 1));
    ZOR_TRY_VERIFY(wnd->Count("timer", "title") >= 2);
    EXPECT_EQ(wnd->notes.back().wParam, 5);
    EXPECT_TRUE(wnd->PaintManager().KillTimer(label, 5));
    EXPECT_TRUE(label->findChildren<QTimer*>().isEmpty());  // nothing left to fire
    EXPECT_FALSE(wnd->PaintManager().KillTimer(label, 5));
}

TEST_F(SampleSkin, PaletteReportsThePickedColour) {
    auto* palette = Get<CColorPaletteUI>("palette");
    palette->SetSelectColor(0x00FF00);
    EXPECT_EQ(palette->GetSelectColor(), 0x00FF00u);
    QTest::mouseClick(palette, Qt::LeftButton, {}, QPoint(1, 1));  // top left: red, full saturation
    ASSERT_EQ(wnd->Count("colorchanged", "palette"), 1);
    const unsigned rgb = palette->GetSelectColor();
    EXPECT_EQ(rgb >> 16, 0xFFu);
    EXPECT_LT((rgb >> 8) & 0xFF, 30u);
    EXPECT_LT(rgb & 0xFF, 30u);
    EXPECT_EQ(unsigned(wnd->notes.back().wParam), rgb);
}

TEST(Builder, UnknownClassesAndEndlessIncludesAreSkipped) {
    CPaintManagerUI::SetResourcePath(TestData());
    CMarkup markup;
    ASSERT_TRUE(
        markup.Load("<Window><VerticalLayout name=\"r\"><Bogus name=\"b\"/><Label "
                    "name=\"l\"/></VerticalLayout></Window>"));
    CPaintManagerUI pm;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(markup, nullptr, &pm);
    ASSERT_NE(root, nullptr);
    pm.AttachDialog(root);
    EXPECT_EQ(pm.FindControl("b"), nullptr);
    EXPECT_NE(pm.FindControl("l"), nullptr);
    CPaintManagerUI pm2;
    std::unique_ptr<CControlUI> loop(
        CDialogBuilder().Create(QStringLiteral("self_include.xml"), nullptr, &pm2));
    EXPECT_NE(loop, nullptr);  // built, with the include nesting cut off
    EXPECT_EQ(CDialogBuilder().Create(QStringLiteral("no_such_file.xml"), nullptr, &pm2), nullptr);
    CMarkup many;  // an absurd include count is capped
    ASSERT_TRUE(
        many.Load("<VerticalLayout name=\"m\"><Include source=\"sample_include.xml\" "
                  "count=\"1000000\"/></VerticalLayout>"));
    CPaintManagerUI pm3;
    std::unique_ptr<CControlUI> capped(CDialogBuilder().Create(many, nullptr, &pm3));
    ASSERT_NE(capped, nullptr);
    EXPECT_EQ(qobject_cast<CContainerUI*>(capped.get())->GetCount(), 64);
}

TEST(Builder, ApplyStyleChangesLooksButKeepsState) {
    CPaintManagerUI::SetResourcePath(TestData());
    CPaintManagerUI pm;
    CMarkup first;
    ASSERT_TRUE(
        first.Load("<Window><VerticalLayout name=\"r\" bkcolor=\"#FF000000\"><Option name=\"o\" "
                   "textcolor=\"#FF111111\" text=\"a\"/></VerticalLayout></Window>"));
    std::unique_ptr<CControlUI> root(CDialogBuilder().Create(first, nullptr, &pm));
    pm.AttachDialog(root.get());
    auto* option = pm.Find<COptionUI>("o");
    option->Selected(true);
    option->SetText("user text");
    zor::test::TempDir dir;
    zor::test::WriteFile(
        dir / "second.xml",
        "<Window><VerticalLayout name=\"r\" bkcolor=\"#FFFFFFFF\"><Option name=\"o\" textcolor=\"#FF222222\" "
        "text=\"b\" selected=\"false\"/></VerticalLayout></Window>");
    ASSERT_TRUE(CDialogBuilder::ApplyStyle(QString::fromStdString((dir / "second.xml").string()), &pm));
    EXPECT_EQ(root->GetBkColor(), QColor(Qt::white));
    EXPECT_EQ(option->GetTextColor(), QColor(0x22, 0x22, 0x22));
    EXPECT_EQ(option->GetText(), "user text");
    EXPECT_TRUE(option->IsSelected());
}

TEST(Builder, NonsenseAttributeValuesAreSurvivable) {
    UseSkin("res_black");
    QFile file(SourceRes() + "res_black/ClosePop.xml");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(file.readAll());
    static const QRegularExpression kValue(QStringLiteral("=\"[^\"]*\""));
    for (const char* nonsense : {"-99999", "abc,def", "1,2", "", "#GGHHII", "99999999999999999999"}) {
        const qsizetype body = xml.indexOf(QLatin1String("?>")) + 2;  // keep the XML declaration
        QString broken = xml.mid(body);
        broken.replace(kValue, QStringLiteral("=\"%1\"").arg(QLatin1String(nonsense)));
        CMarkup markup;
        ASSERT_TRUE(markup.Load(broken.toUtf8())) << nonsense;
        CPaintManagerUI pm;
        std::unique_ptr<CControlUI> root(CDialogBuilder().Create(markup, nullptr, &pm));
        ASSERT_NE(root, nullptr) << nonsense;
        pm.AttachDialog(root.get());
        root->resize(400, 300);
        for (CControlUI* control : pm.AllControls()) {
            EXPECT_GE(control->width(), 0) << nonsense;
            EXPECT_GE(control->GetFixedWidth(), 0) << nonsense;
        }
        EXPECT_FALSE(root->grab().isNull()) << nonsense;
    }
}

// A window can hold controls outside the manager's root (a skin with two top-level controls, an
// option registered in a group after the root went). The manager may go first, as a window's
// member does before its widget children: none of them may reach back into it afterwards.
TEST(Builder, ControlsOutsideTheRootForgetAManagerThatGoesFirst) {
    QWidget window;
    QPointer<COptionUI> outside;
    QPointer<COptionUI> grouped;
    {
        CPaintManagerUI pm;
        pm.Init(&window, QStringLiteral("w"));
        CMarkup markup;
        ASSERT_TRUE(
            markup.Load("<Window><VerticalLayout><Option name=\"a\" group=\"g\"/></VerticalLayout>"
                        "</Window>"));
        std::unique_ptr<CControlUI> root(CDialogBuilder().Create(markup, nullptr, &pm, &window));
        ASSERT_NE(root, nullptr);
        pm.AttachDialog(root.get());
        outside = new COptionUI(&window);  // a second top-level control of the window
        outside->SetManager(&pm);
        outside->SetGroup(QStringLiteral("g"));
        grouped = pm.Find<COptionUI>(QStringLiteral("a"));
        ASSERT_NE(grouped, nullptr);
        grouped->setParent(&window);  // moved out of the root's tree
        root.reset();
        ASSERT_EQ(pm.GetOptionGroup(QStringLiteral("g")).size(), 2u);
    }
    ASSERT_TRUE(outside && grouped);
    EXPECT_EQ(outside->GetManager(), nullptr);
    EXPECT_EQ(grouped->GetManager(), nullptr);
    delete outside;  // its destructor must not touch the gone manager's groups
    delete grouped;
}
