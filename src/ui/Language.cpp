#include "ui/Language.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/IniFile.h"
#include "common/JsonText.h"
#include "common/Text.h"
#include "ui/MenuTray.h"

namespace zor::ui {

namespace {

// A text section is read whole: the 4096 characters of the profile API would cut the end off
// sections such as MouseUI (past 4000 characters in English, longer in most translations), whose
// last texts would then be missing. The cap only guards against a damaged, huge file.
constexpr std::size_t kTextSectionCap = 1024 * 1024;

constexpr std::array<const char*, kLanguageCount> kLanguageNames = {
    "lan_cn", "lan_en",   "lan_fr",   "lan_bili", "lan_de",   "lan_sp", "lan_it", "lan_ru",
    "lan_tu", "lan_po",   "lan_th",   "lan_kr",   "lan_jp",   "lan_ar", "lan_pl", "lan_cz",
    "lan_se", "lan_nl",   "lan_pobr", "lan_cntw", "lan_nlbe", "lan_da", "lan_sl", "lan_fa",
    "lan_ua", "lan_frbe", "lan_hun",  "lan_ind",  "lan_gr"};

// Languages of the table by their ISO 639 code, with a region where the table has a file of its
// own for it. Flemish ("vls") is the table's "Vlaams".
struct LocaleLanguage {
    const char* language;
    const char* region;  // nullptr: any region
    int index;
};
constexpr LocaleLanguage kLocaleLanguages[] = {
    {"zh", "TW", 19},    {"zh", "HK", 19},    {"zh", "MO", 19},    {"zh", "Hant", 19},  {"pt", "BR", 18},
    {"nl", "BE", 20},    {"fr", "BE", 25},    {"zh", nullptr, 0},  {"en", nullptr, 1},  {"fr", nullptr, 2},
    {"vls", nullptr, 3}, {"de", nullptr, 4},  {"es", nullptr, 5},  {"it", nullptr, 6},  {"ru", nullptr, 7},
    {"tr", nullptr, 8},  {"pt", nullptr, 9},  {"th", nullptr, 10}, {"ko", nullptr, 11}, {"ja", nullptr, 12},
    {"ar", nullptr, 13}, {"pl", nullptr, 14}, {"cs", nullptr, 15}, {"sv", nullptr, 16}, {"nl", nullptr, 17},
    {"da", nullptr, 21}, {"sl", nullptr, 22}, {"fa", nullptr, 23}, {"uk", nullptr, 24}, {"hu", nullptr, 26},
    {"id", nullptr, 27}, {"el", nullptr, 28}};

bool Unset(const char* value) {
    return value == nullptr || *value == '\0';
}

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

}  // namespace

QString LanguageFileName(int index) {
    if (index < 0 || index >= kLanguageCount) index = kEnglishIndex;
    return QString::fromLatin1(kLanguageNames[size_t(index)]);
}

bool LanguageIsRightToLeft(int index) {
    const QString name = LanguageFileName(index);
    return name == QLatin1String("lan_ar") || name == QLatin1String("lan_fa");
}

QString LanguageName(int index) {
    return LanguageFileName(index);
}

bool LanguageIndexFromName(const QString& name, int& index) {
    for (int i = 0; i < kLanguageCount; ++i)
        if (name.compare(QLatin1String(kLanguageNames[size_t(i)]), Qt::CaseInsensitive) == 0) {
            index = i;
            return true;
        }
    return false;
}

QString LanguageFilePath(int index) {
    return QStringLiteral("res/Language/") + LanguageFileName(index) + QStringLiteral(".ini");
}

int LanguageOfLocale(std::string_view locale) {
    // language[_REGION][.codeset][@modifier]
    locale = locale.substr(0, locale.find_first_of(".@"));
    const std::size_t cut = locale.find_first_of("_-");
    const std::string_view language = locale.substr(0, cut);
    const std::string_view region =
        cut == std::string_view::npos ? std::string_view() : locale.substr(cut + 1);
    auto same = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    };
    for (const LocaleLanguage& entry : kLocaleLanguages)
        if (same(language, entry.language) && (entry.region == nullptr || same(region, entry.region)))
            return entry.index;
    return -1;
}

int DesktopLanguage(const std::function<const char*(const char*)>& env) {
    auto decide = [](const char* locale) {
        const int index = LanguageOfLocale(locale);
        return index >= 0 ? index : kEnglishIndex;
    };
    if (const char* all = env("LC_ALL"); !Unset(all)) return decide(all);
    if (const char* list = env("LANGUAGE"); !Unset(list)) {
        std::string_view rest = list;
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const int index = LanguageOfLocale(rest.substr(0, colon));
            if (index >= 0) return index;
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    if (const char* messages = env("LC_MESSAGES"); !Unset(messages)) return decide(messages);
    if (const char* lang = env("LANG"); !Unset(lang)) return decide(lang);
    return kEnglishIndex;
}

int DesktopLanguage() {
    return DesktopLanguage([](const char* name) -> const char* { return std::getenv(name); });
}

int ProgramLanguage(const std::filesystem::path& setIni) {
    const std::string value = IniFile(setIni).GetString("Set", "Language");
    std::size_t digits = value.find_first_not_of(" \t");
    if (digits != std::string::npos && (value[digits] == '-' || value[digits] == '+')) ++digits;
    const bool number = digits < value.size() && std::isdigit(static_cast<unsigned char>(value[digits]));
    return number ? IniFile(setIni).GetInt("Set", "Language") : DesktopLanguage();
}

// ---------------------------------------------------------------- LanguageFile

const QStringList& LanguageFile::TextSections() {
    // UpdateUI holds the texts of the version window and the updater.
    static const QStringList kSections = {"PadUI", "PublicLedUI", "OthersUI", "MacroUI", "MacroPopUI",
                                          "MouseUI", "KeyboardUI", "Mouse", "Macro", "UpdateUI"};
    return kSections;
}

void LanguageFile::Clear() {
    m_windowName.clear();
    m_fontName.clear();
    m_sections.clear();
    m_firstLine.clear();
    m_controls.clear();
}

bool LanguageFile::Load(const std::filesystem::path& path) {
    Clear();
    if (!std::filesystem::exists(path)) return false;
    const IniFile ini(path);
    m_windowName = Q(ini.GetString("WindowName", "WindowName", IniFile::kSectionCap));
    m_fontName = Q(ini.GetString("FontName", "FontName", IniFile::kSectionCap));
    for (const QString& section : TextSections()) {
        auto& table = m_sections[section.toLower()];
        auto& firstLine = m_firstLine[section.toLower()];
        for (const std::string& line : ini.GetSection(section.toStdString(), kTextSectionCap)) {
            const auto eq = line.find('=');
            if (eq == std::string::npos) continue;
            table.emplace_back(Q(line.substr(0, eq)), Q(line.substr(eq + 1)));
            const QString id = table.back().first.toCaseFolded();
            if (!firstLine.contains(id)) firstLine.insert(id, int(table.size() - 1));
        }
    }
    for (const std::string& line : ini.GetSection("Controls", kTextSectionCap)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const auto parts = Split(line.substr(eq + 1), ',');
        ControlSizeEntry entry;
        entry.name = Q(Trim(line.substr(0, eq)));
        entry.kind = Q(Trim(parts[0])).toLower();
        entry.width = parts.size() > 1 ? ParseLeadingInt(parts[1]) : 0;
        m_controls.push_back(entry);
    }
    return true;
}

std::optional<QString> LanguageFile::Find(const QString& section, const QString& id) const {
    const QString name = section.toLower();
    const auto lines = m_sections.find(name);
    const auto index = m_firstLine.find(name);
    if (lines == m_sections.end() || index == m_firstLine.end()) return std::nullopt;
    const auto at = index->second.constFind(id.toCaseFolded());
    if (at == index->second.constEnd()) return std::nullopt;
    return lines->second[size_t(*at)].second;
}

const std::vector<std::pair<QString, QString>>& LanguageFile::Section(const QString& section) const {
    static const std::vector<std::pair<QString, QString>> kEmpty;
    auto it = m_sections.find(section.toLower());
    return it == m_sections.end() ? kEmpty : it->second;
}

QString QueryLanguageText(const LanguageFile& language, const QString& id, int mainTabPage,
                          bool mousePageShown) {
    if (auto text = language.Find(QStringLiteral("OthersUI"), id)) return *text;
    if (mainTabPage == 1) {
        if (auto text = language.Find(QStringLiteral("MacroUI"), id)) return *text;
    } else if (mousePageShown) {
        if (auto text = language.Find(QStringLiteral("MouseUI"), id)) return *text;
    }
    return {};
}

void ApplyControlsList(CPaintManagerUI& pm, const std::vector<ControlSizeEntry>& entries) {
    for (const ControlSizeEntry& entry : entries) {
        CControlUI* control = pm.FindControl(entry.name);
        if (!control) continue;
        if (entry.kind == QLatin1String("label")) {
            if (entry.width != 0) {
                control->SetFixedWidth(entry.width);
                continue;
            }
            const QRect pos = control->GetPos();
            QSize size = pos.size();
            if (auto* label = qobject_cast<CLabelUI*>(control)) size = label->EstimateTextSize(pos.size());
            control->SetPos(QRect(pos.topLeft(), size));
        } else if (entry.kind == QLatin1String("option") || entry.kind == QLatin1String("button") ||
                   entry.kind == QLatin1String("edit")) {
            if (entry.width != 0) control->SetFixedWidth(entry.width);
        }
    }
}

void RebuildFonts(CPaintManagerUI& pm, const QString& face) {
    for (int id = 0; id < 100; ++id) {
        FontInfo* info = pm.GetFontInfo(id);
        if (!info) continue;
        if (!face.isEmpty()) info->name = face;
        pm.RebuildFont(id);
    }
}

// ---------------------------------------------------------------- LanguageManager

LanguageManager::LanguageManager(std::filesystem::path programFolder) : m_folder(std::move(programFolder)) {}

void LanguageManager::Apply(int index, CPaintManagerUI& pm, QWidget* window, CTrayIcon* tray,
                            const QIcon& trayIcon) {
    // Languages without a file of their own yet show English rather than an empty window.
    const bool loaded = m_file.Load(m_folder / LanguageFilePath(index).toStdString());
    if (!loaded && index != kEnglishIndex) {
        DebugF("language file %s missing, using English\n", LanguageFilePath(index).toStdString());
        m_file.Load(m_folder / LanguageFilePath(kEnglishIndex).toStdString());
    }
    if (window) window->setWindowTitle(m_file.WindowName());
    // The language shown decides the direction (English in place of a missing file reads left to
    // right). Every window, open or opened later, follows the application's direction.
    const Qt::LayoutDirection direction =
        loaded && LanguageIsRightToLeft(index) ? Qt::RightToLeft : Qt::LeftToRight;
    if (QGuiApplication::layoutDirection() != direction) QGuiApplication::setLayoutDirection(direction);
    if (tray) {
        tray->DeleteTrayIcon();
        tray->CreateTrayIcon(window, trayIcon, m_file.WindowName());
    }
    if (m_hooks.pagesLanguage) m_hooks.pagesLanguage(index);
    CResourceManager::GetInstance().SetTextQueryInterface(this);
    CResourceManager::GetInstance().ReloadText();
    ApplyControlsList(pm, m_file.Controls());
    // The two rows whose children changed width are laid out again where they are.
    for (const char* row : {"HLayout_Edit_Time", "bindkey_num_layout"}) {
        CControlUI* control = pm.FindControl(QLatin1String(row));
        if (!control) continue;
        if (control->IsFloat()) control->SetPos(control->GetPos());
        if (auto* container = qobject_cast<CContainerUI*>(control)) container->LayoutChildren();
    }
    RebuildFonts(pm, m_file.FontName());
    m_applied = index;
}

bool LanguageManager::ChangeByName(const QString& name, const std::filesystem::path& setIni,
                                   CPaintManagerUI& pm, QWidget* window, CTrayIcon* tray,
                                   const QIcon& trayIcon) {
    int index = m_applied;
    if (!LanguageIndexFromName(name, index)) return false;
    if (index == m_applied) {
        CResourceManager::GetInstance().ReloadText();
        return false;
    }
    Apply(index, pm, window, tray, trayIcon);
    IniFile(setIni).WriteString("Set", "Language", Format("%d", index));
    return true;
}

QString LanguageManager::QueryControlText(const QString& id, const QString&) {
    const int page = m_hooks.mainTabPage ? m_hooks.mainTabPage() : 0;
    const bool mouse = m_hooks.mousePageShown ? m_hooks.mousePageShown() : false;
    return QueryLanguageText(m_file, id, page, mouse);
}

// ---------------------------------------------------------------- FontInstaller

FontInstaller::~FontInstaller() {
    RemoveAll();
}

bool FontInstaller::LoadTable(const std::filesystem::path& jsonPath) {
    m_table.clear();
    // A file that cannot be read (missing, a folder, too large) yields an empty table.
    std::string bytes;
    if (!ReadFileBytes(jsonPath, bytes)) {
        DebugF("cannot read %s\n", jsonPath.string());
        return false;
    }
    try {
        const nlohmann::json doc = ParseJson(bytes);
        for (const auto& font : doc.at("Font")) {
            const QString name = Q(font.at("FontName").get<std::string>());
            const QString file = Q(font.at("FontPath").get<std::string>());
            m_table.emplace(name, file);
        }
    } catch (const nlohmann::json::exception& e) {
        DebugF("%s\n", e.what());
        m_table.clear();
        return false;
    }
    return true;
}

int FontInstaller::InstallAll(const std::filesystem::path& programFolder) {
    int count = 0;
    for (const auto& [name, file] : m_table) {
        const QString resource = QStringLiteral("./res/Font/") + name;
        if (m_installed.count(resource)) continue;
        QString path = file;
        if (QFileInfo(path).isRelative())
            path = QDir(QString::fromStdString(programFolder.string())).filePath(file);
        const int id = QFontDatabase::addApplicationFont(path);
        if (id < 0) continue;
        m_installed.emplace(resource, Entry{file, id});
        ++count;
    }
    return count;
}

int FontInstaller::RemoveAll() {
    int count = 0;
    for (const auto& [resource, entry] : m_installed)
        if (QFontDatabase::removeApplicationFont(entry.id)) ++count;
    m_installed.clear();
    return count;
}

std::map<QString, QString> FontInstaller::Installed() const {
    std::map<QString, QString> out;
    for (const auto& [resource, entry] : m_installed) out.emplace(resource, entry.fontFile);
    return out;
}

QStringList FontInstaller::InstalledFamilies() const {
    QStringList families;
    for (const auto& [resource, entry] : m_installed)
        families << QFontDatabase::applicationFontFamilies(entry.id);
    return families;
}

// ---------------------------------------------------------------- skins

QString SkinFolderOf(const QString& prefix) {
    const int slash = prefix.indexOf('/');
    return slash < 0 ? prefix : prefix.mid(slash + 1);
}

QString NextSkinFolder(const QString& current, const QString& pre1, const QString& pre2) {
    return current == pre1 ? pre2 : pre1;
}

QString SwitchSkin(const std::filesystem::path& descriptionIni, const QString& pre1, const QString& pre2,
                   bool* switched) {
    if (switched) *switched = false;
    const QString current = SkinFolderOf(GetResourcePrefix());
    const QString next = NextSkinFolder(current, pre1, pre2);
    // An empty or missing folder would leave every window without its pictures.
    if (next.isEmpty() || !QFileInfo(CPaintManagerUI::GetInstancePath() + next).isDir()) {
        DebugF("skin folder \"%s\" not found, skin unchanged\n", next.toStdString());
        return current;
    }
    SetResourcePrefix(QStringLiteral("./") + next);
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath() + next);
    IniFile(descriptionIni).WriteString("Config", "ResPath", next.toStdString());
    if (switched) *switched = true;
    return next;
}

}  // namespace zor::ui
