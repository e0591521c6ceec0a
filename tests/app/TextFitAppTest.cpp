// Every text of the running program fits its control in every language and both skins: the main
// window with each settings page (the lazy ones built), the key assignment panel with each of its
// categories, the macro page, the settings window with each of its pages, the colour picker, the
// close dialog and the no-device notice. Each text is measured in its control's own font (the slot the
// language's font face was given to) against the area the control draws it in, wrapped where the control
// wraps, elided where it elides, and cut where a parent cuts.
#include <QApplication>
#include <QFontMetrics>
#include <chrono>
#include <set>

#include "MainWindowFixture.h"
#include "app/Setting.h"
#include "common/IniFile.h"
#include "settings/PopColor.h"
#include "settings/gui/PopColorWnd.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"
#include "ui/Messages.h"
#include "ui/PaintManager.h"

namespace zor::app::test {
namespace {

using ui::CButtonUI;
using ui::CControlUI;
using ui::CLabelUI;
using ui::COptionUI;

// Texts known not to fit yet, as "language skin control". The check fails for any other text
// that does not fit, and for an entry here that fits now (so that the list only shrinks).
const std::set<std::string> kKnownOverflows = {};

// A readable name of a control: its own, or its class under the nearest named parent.
QString ControlName(const CControlUI* control) {
    if (!control->GetName().isEmpty()) return control->GetName();
    for (const QWidget* w = control->parentWidget(); w != nullptr; w = w->parentWidget())
        if (!w->objectName().isEmpty()) return w->objectName() + '/' + control->GetClass();
    return control->GetClass();
}

// The texts of top's visible controls that do not fit, one line each, keyed by
// "language skin control" (a control reported once per language and skin).
void CollectOverflows(QWidget* top, const std::string& where, std::map<std::string, std::string>& found) {
    for (CLabelUI* control : top->findChildren<CLabelUI*>()) {
        if (qobject_cast<ui::CEditUI*>(control) != nullptr) continue;  // the user's own input
        const QString text = control->GetText();
        if (text.isEmpty() || !control->isVisibleTo(top)) continue;
        // What the parents leave of the control (a control pushed out of its row is cut there).
        // Upwards and downwards only the parents up to the first that scrolls count: a list
        // row half scrolled away is not a text that does not fit.
        QRect clip = control->rect(), fixedClip = control->rect();
        bool scrolled = false;
        for (QWidget* parent = control->parentWidget(); parent != nullptr && clip.isValid();
             parent = parent == top ? nullptr : parent->parentWidget()) {
            const QRect shown(control->mapFrom(parent, QPoint(0, 0)), parent->size());
            clip &= shown;
            auto* container = qobject_cast<ui::CContainerUI*>(parent);
            scrolled = scrolled || (container != nullptr && container->GetVerticalScrollBar() != nullptr);
            if (!scrolled) {
                fixedClip.setTop(std::max(fixedClip.top(), shown.top()));
                fixedClip.setBottom(std::min(fixedClip.bottom(), shown.bottom()));
            }
        }
        const std::string key = where + ' ' + ControlName(control).toStdString();
        if (!clip.isValid()) {
            if (scrolled) continue;  // scrolled out of sight
            found.emplace(key, key + " (" + control->GetClass().toStdString() + "): \"" + text.toStdString() +
                                   "\" is pushed out of sight by its parents");
            continue;
        }
        const unsigned style = control->GetTextStyle();
        const QRect area = control->GetTextRect();
        const QFontMetrics metrics(control->ResolveFont());
        int flags = (style & 3u) == ui::kDtCenter  ? Qt::AlignHCenter
                    : (style & 3u) == ui::kDtRight ? Qt::AlignRight
                                                   : Qt::AlignLeft;
        flags |= (style & 12u) == ui::kDtVCenter  ? Qt::AlignVCenter
                 : (style & 12u) == ui::kDtBottom ? Qt::AlignBottom
                                                  : Qt::AlignTop;
        const bool wraps = (style & ui::kDtWordBreak) != 0;
        flags |= wraps ? Qt::TextWordWrap : Qt::TextSingleLine;
        // Where the text lands: a wrapped text as the control lays it out; one line by its
        // advance sideways and by the ink of its glyphs upwards and downwards (the line's
        // leading is not painted).
        QRect drawn = metrics.boundingRect(area, flags, text);
        int inkTop = drawn.top(), inkBottom = drawn.bottom();
        if (!wraps) {
            const int width = metrics.horizontalAdvance(text);
            const int x = (flags & Qt::AlignHCenter) ? area.left() + (area.width() - width) / 2
                          : (flags & Qt::AlignRight) ? area.right() + 1 - width
                                                     : area.left();
            drawn = QRect(x, drawn.top(), width, drawn.height());
            const int lineTop = (flags & Qt::AlignVCenter)
                                    ? area.top() + (area.height() - metrics.height()) / 2
                                : (flags & Qt::AlignBottom) ? area.bottom() + 1 - metrics.height()
                                                            : area.top();
            const QRect ink = metrics.tightBoundingRect(text);
            inkTop = lineTop + metrics.ascent() + ink.top();
            inkBottom = lineTop + metrics.ascent() + ink.bottom();
        }
        // Sideways the text keeps within its padding and what the parents show; upwards and
        // downwards within the control and what its parents that do not scroll show.
        const int left = std::max(area.left(), clip.left()), right = std::min(area.right(), clip.right());
        const int over = std::max(0, left - drawn.left()) + std::max(0, drawn.right() - right);
        const int under = std::max(0, inkBottom - fixedClip.bottom()) + std::max(0, fixedClip.top() - inkTop);
        // A control whose own face is cut sideways by a parent (pushed out of its row) shows
        // its text on a cut background even when the letters still fit.
        const int cut = std::max(0, clip.left()) + std::max(0, control->rect().right() - clip.right());
        // The control elides by the advance in fractions of a pixel: ask it as the control does.
        const bool elides = !wraps && (style & ui::kDtEndEllipsis) != 0 &&
                            metrics.elidedText(text, Qt::ElideRight, area.width()) != text;
        if (over == 0 && under == 0 && cut == 0 && !elides) continue;
        const bool elided = elides || (!wraps && (style & ui::kDtEndEllipsis) != 0 && over > 0);
        std::vector<std::string> faults;
        const std::string has = std::to_string(right - left + 1);
        if (elided)
            faults.push_back("is elided: needs " + std::to_string(drawn.width()) + " px, has " + has);
        else if (over > 0)
            faults.push_back("overflows by " + std::to_string(over) + " px sideways (needs " +
                             std::to_string(drawn.width()) + " px, has " + has + ")");
        if (cut > 0) faults.push_back("is cut by " + std::to_string(cut) + " px sideways by its parents");
        if (under > 0)
            faults.push_back("overflows by " + std::to_string(under) + " px upwards or downwards (needs " +
                             std::to_string(inkBottom - inkTop + 1) + " px, has " +
                             std::to_string(fixedClip.height()) + (wraps ? ", wrapped)" : ")"));
        std::string line =
            key + " (" + control->GetClass().toStdString() + "): \"" + text.toStdString() + "\"";
        for (std::size_t f = 0; f < faults.size(); ++f) line += (f == 0 ? " " : ", and ") + faults[f];
        found.emplace(key, line);
    }
}

class TextFitTest : public MainWindowTest {
protected:
    void Settle() { QCoreApplication::processEvents(); }
    void Click(const char* name) {
        auto* button = Find<CButtonUI>(name);
        ASSERT_NE(button, nullptr) << name;
        button->Activate();
        Settle();
    }
    // With ZOR_SCREENSHOT_DIR set, a picture of each state checked, to look at.
    static void Shot(QWidget* w, const std::string& where, const char* state) {
        const QByteArray shots = qgetenv("ZOR_SCREENSHOT_DIR");
        if (shots.isEmpty()) return;
        QString name = QString::fromStdString(where + '-' + state);
        name.replace(' ', '-');
        w->grab().save(QString::fromLocal8Bit(shots) + '/' + name + QStringLiteral(".png"));
    }
    CControlUI* Sub(const char* parent, const char* name) {
        return window->PaintManager().FindSubControlByName(Find<CControlUI>(parent), QLatin1String(name));
    }

    // Shows every page and panel in turn and collects what does not fit, for the language and
    // skin in use.
    void CheckEverything(const std::string& where, std::map<std::string, std::string>& found) {
        Click("btn_Null");
        for (const char* page : {"opt_nav_dpi", "opt_nav_light", "opt_nav_power", "opt_nav_keys"}) {
            Click(page);
            CollectOverflows(window.get(), where, found);
            Shot(window.get(), where, page);
        }
        // Over Bluetooth LE a line stands in for the report rate choice.
        Find<CControlUI>("ver_MouseUsbRate")->SetVisible(false);
        Find<CControlUI>("lab_MouseAdv_BleRate")->SetVisible(true);
        Click("opt_nav_dpi");
        CollectOverflows(window.get(), where, found);
        Shot(window.get(), where, "ble-rate");
        Find<CControlUI>("lab_MouseAdv_BleRate")->SetVisible(false);
        Find<CControlUI>("ver_MouseUsbRate")->SetVisible(true);
        // The key assignment panel over the key page, each category in turn.
        auto* key = qobject_cast<CButtonUI*>(Sub("page_keys", "btn_MouseKey_Click0"));
        ASSERT_NE(key, nullptr);
        key->Activate();
        Settle();
        ASSERT_TRUE(Find<CControlUI>("PopMouseKeySel")->isVisible()) << "the key panel did not open";
        for (const char* category :
             {"opt_MouseKey_Mouse", "opt_MouseKey_ShortCut", "opt_KBSet_Macro", "opt_MouseKey_Media",
              "opt_MouseKey_DPI", "opt_MouseKey_Mode", "opt_MouseKey_Led", "opt_ScrollKey_Base"}) {
            auto* option = qobject_cast<COptionUI*>(Sub("PopMouseKeySel", category));
            if (option == nullptr || !option->isVisibleTo(window.get())) continue;
            option->Activate();
            Settle();
            CollectOverflows(window.get(), where, found);
            Shot(window.get(), where, category);
        }
        Click("btn_MouseKey_Cancel");
        Click("btn_Mac");
        CollectOverflows(window.get(), where, found);
        Shot(window.get(), where, "macro");
        Click("btn_Null");
        // The settings window, each of its pages.
        Setting::Init init;
        init.setIni = folder / "res" / "Set.ini";
        init.version = QStringLiteral("1.0.0");
        // A rule in the list, and the line saying that no focus source is there.
        init.appProfiles = folder / "res" / "AppProfiles.ini";
        init.knownApps = {"org.example.Viewer"};
        zor::test::WriteFile(init.appProfiles, "[Rules]\nmpv=1\n");
        Setting::Hooks hooks;
        hooks.alignAutostart = [] {};
        hooks.requestChargeCounter = [] { return false; };
        hooks.openUrl = [](const QUrl&) {};
        auto* setting = new Setting(std::move(init), std::move(hooks));
        setting->Create(window.get(), QLatin1String(Setting::kWindowName), ui::kWsPopup | ui::kWsVisible,
                        ui::kWsExToolWindow);
        setting->ShowChargeCounter(37);
        Settle();
        for (const char* page : {"opt_routine", "opt_more", "opt_apps", "opt_about"}) {
            auto* option = setting->Find<COptionUI>(QLatin1String(page));
            ASSERT_NE(option, nullptr) << page;
            option->Activate();
            Settle();
            if (QLatin1String(page) == QLatin1String("opt_apps")) {  // a refused id shows why
                setting->Find<ui::CEditUI>(QStringLiteral("edt_appid"))->SetText(QStringLiteral("a=b"));
                setting->Find<ui::CButtonUI>(QStringLiteral("btn_appadd"))->Activate();
                Settle();
                EXPECT_TRUE(setting->FindControl(QStringLiteral("lab_apperror"))->IsVisible());
            }
            CollectOverflows(setting, where, found);
            Shot(setting, where, page);
        }
        setting->Close();
        Settle();
        // The colour picker of the lighting page.
        auto* picker = CPopColorWnd::Open(window.get(), PopColorPath(window->ModelFolder()), 0xFF0000);
        ASSERT_NE(picker, nullptr);
        Settle();
        CollectOverflows(picker, where, found);
        Shot(picker, where, "colour");
        picker->Close();
        Settle();
    }

    // The close dialog, built as the close button builds it, and the open notice.
    void CheckDialogs(int language, const std::string& where, std::map<std::string, std::string>& found) {
        auto* dialog = new ui::CCloseWnd(0, 1, language);
        dialog->Create(window.get(), QStringLiteral("CloseWnd"), ui::kWsPopup | ui::kWsVisible,
                       ui::kWsExToolWindow);
        Settle();
        CollectOverflows(dialog, where, found);
        Shot(dialog, where, "close");
        dialog->Close();
        Settle();
        ASSERT_NE(window->MessageBox(), nullptr);
        CollectOverflows(window->MessageBox(), where, found);
        Shot(window->MessageBox(), where, "notice");
    }
};

}  // namespace

TEST_F(TextFitTest, EveryTextFitsItsControlInEveryLanguageAndSkin) {
    const auto started = std::chrono::steady_clock::now();
    Start();
    std::map<std::string, std::string> found;
    // As the settings window changes the language.
    auto language = [&](int index) {
        ui::SendMessageTo(window.get(), ui::kMsgLanguageChanged, 0, 0, ui::LanguageName(index));
        Settle();
    };
    auto where = [](int index, const char* skin) {
        return ui::LanguageName(index).toStdString() + ' ' + skin;
    };
    for (const char* skin : {"res_black", "res_white"}) {
        if (std::string(skin) != "res_black") Click("ChangeSkin");
        ASSERT_TRUE(ui::GetResourcePrefix().endsWith(QLatin1String(skin)));
        for (int index = 0; index < ui::kLanguageCount; ++index) {
            language(index);
            CheckEverything(where(index, skin), found);
        }
    }
    // Without the mouse the notice stays open over the window; the close dialog comes and goes.
    window->Stack().PlugVirtualMouse(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->MessageBox() != nullptr; }, 5000));
    for (const char* skin : {"res_white", "res_black"}) {
        if (std::string(skin) != "res_white") Click("ChangeSkin");
        ASSERT_TRUE(ui::GetResourcePrefix().endsWith(QLatin1String(skin)));
        for (int index = 0; index < ui::kLanguageCount; ++index) {
            language(index);
            CheckDialogs(index, where(index, skin), found);
        }
    }
    std::string unexpected, fixed;
    for (const auto& [key, line] : found)
        if (kKnownOverflows.count(key) == 0) unexpected += "\n  " + line;
    for (const std::string& known : kKnownOverflows)
        if (found.count(known) == 0) fixed += "\n  " + known;
    EXPECT_TRUE(unexpected.empty()) << "texts that do not fit:" << unexpected;
    EXPECT_TRUE(fixed.empty()) << "these fit now; take them off the list of known overflows:" << fixed;
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("checked %d languages x 2 skins in %.1f s\n", ui::kLanguageCount, seconds);
}

// The check names the language, skin and control of a text made too long for its control: one
// line running out of its control, an elided one, a wrapped one taller than its control, and a
// button pushed out of its row by the one before it growing with its text.
TEST_F(TextFitTest, ATooLongTextIsReportedWithItsLanguageSkinAndControl) {
    const auto file = folder / "res" / "Language" / "lan_en.ini";
    IniFile(file).WriteString("MouseUI", "btn_Mouse_Apply", "Apply these settings to the mouse now");
    IniFile(file).WriteString("MouseUI", "lab_MouseAdv_FireTitle",
                              "Speed of the fire key, in clicks per second");
    IniFile(file).WriteString(
        "MouseUI", "lab_MouseAdv_DpiHint",
        "Pick the current gear; tick the gears the DPI button steps through, one by one, "
        "from the lowest to the highest and back again, as often as it is pressed, "
        "until the mouse is switched off or another profile is chosen.");
    IniFile(file).WriteString("OthersUI", "link_manual", "The user guide of the program, on the web site");
    Start();
    std::map<std::string, std::string> found;
    CheckEverything("lan_en res_black", found);
    const std::pair<const char*, const char*> expected[] = {
        {"btn_Mouse_Apply", "overflows by"},
        {"lab_MouseAdv_FireTitle", "is elided"},
        {"lab_MouseAdv_DpiHint", ", wrapped)"},
        {"link_macro", "is pushed out of sight"},
    };
    for (const auto& [control, how] : expected) {
        const std::string key = std::string("lan_en res_black ") + control;
        const auto it = found.find(key);
        ASSERT_NE(it, found.end()) << control << " not reported";
        EXPECT_NE(it->second.find(how), std::string::npos) << it->second;
    }
    std::string all;
    for (const auto& [key, line] : found) all += "\n  " + line;
    EXPECT_EQ(found.size(), 4u) << all;
}

}  // namespace zor::app::test
