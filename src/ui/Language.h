// Languages, fonts and skins: the language index table, the language files (window name, font
// name, text sections, the Controls list), control-text lookup, applying a language to the
// main window, the extra fonts of res/Language/ExFont.json and the switch between the two skin
// folders.
#pragma once

#include <QHash>
#include <QIcon>
#include <QMap>
#include <QPointer>
#include <QString>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "ui/PaintManager.h"

namespace zor::ui {

class CTrayIcon;

inline constexpr int kLanguageCount = 29;
inline constexpr int kEnglishIndex = 1;

// Index -> name ("lan_en" for any index outside the table, and for 1).
QString LanguageFileName(int index);
// Whether the language of index reads right to left (Arabic, Persian).
bool LanguageIsRightToLeft(int index);
// Index -> name as the settings window's language combo lists it (the same table).
QString LanguageName(int index);
// Name -> index, case-insensitive; an unknown name leaves index unchanged and answers false.
bool LanguageIndexFromName(const QString& name, int& index);
// "res/Language/<name>.ini" relative to the program folder.
QString LanguageFilePath(int index);

// The language of a POSIX locale name ("pt_BR.UTF-8", "zh_TW", "de"): the entry for the language
// and region when the table has one, else the entry for the language; -1 for none of them.
int LanguageOfLocale(std::string_view locale);
// The desktop's language, from the variables in the order the C library reads them for messages:
// LC_ALL when set; else the first entry of the list in LANGUAGE that is one of the table's
// languages; else LC_MESSAGES, else LANG. English when the variable that decides names none of
// them ("C", "POSIX", a language without a file). env gives a variable's value, nullptr if unset.
int DesktopLanguage(const std::function<const char*(const char*)>& env);
int DesktopLanguage();
// The language the program shows: Set/Language of setIni when it holds a number (the user's
// choice, kept as it is; indexes outside the table show English), else the desktop's language.
// A missing or damaged Set.ini is no choice: its absent key must not read as entry 0.
int ProgramLanguage(const std::filesystem::path& setIni);

struct ControlSizeEntry {
    QString name;
    QString kind;  // "option", "label", "button", "edit"
    int width = 0;
};

class LanguageFile {
public:
    static const QStringList& TextSections();
    // Clears everything, then reads the file (UTF-16LE with BOM or UTF-8). False when missing.
    bool Load(const std::filesystem::path& path);
    void Clear();
    const QString& WindowName() const { return m_windowName; }
    const QString& FontName() const { return m_fontName; }
    // Text of id in section (ids compare case-insensitively; the first line wins).
    std::optional<QString> Find(const QString& section, const QString& id) const;
    const std::vector<std::pair<QString, QString>>& Section(const QString& section) const;
    const std::vector<ControlSizeEntry>& Controls() const { return m_controls; }

private:
    QString m_windowName, m_fontName;
    std::map<QString, std::vector<std::pair<QString, QString>>> m_sections;  // key: lower-case name
    // Per section, the case-folded id -> the position of its first line in m_sections: the main
    // window looks up several hundred texts at every start and language change.
    std::map<QString, QHash<QString, int>> m_firstLine;
    std::vector<ControlSizeEntry> m_controls;
};

// Main-window text lookup: OthersUI; then MacroUI when the macro page (tab page 1) is current;
// else MouseUI when the mouse page is shown. Empty = no text.
QString QueryLanguageText(const LanguageFile& language, const QString& id, int mainTabPage,
                          bool mousePageShown);

// Applies the Controls list: fixed widths; labels with width 0 sized to their text keeping
// their left and top edge. Names without a control are skipped.
void ApplyControlsList(CPaintManagerUI& pm, const std::vector<ControlSizeEntry>& entries);

// Sets every font slot 0-99 of the window to face and rebuilds the slots that hold a font.
void RebuildFonts(CPaintManagerUI& pm, const QString& face);

// The main window's language state. It answers the library's text queries for the window.
class LanguageManager : public IQueryControlText {
public:
    struct Hooks {
        std::function<int()> mainTabPage;  // current page of "tab_main"
        std::function<bool()> mousePageShown;
        std::function<void(int)> pagesLanguage;  // tell the pages the new index
    };
    explicit LanguageManager(std::filesystem::path programFolder = ".");
    void SetHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // Loads the language of index and applies it to the window: title, tray icon, page texts,
    // library texts, the Controls list, the two re-laid-out rows, fonts. A language whose file
    // is not there is shown in English. A right-to-left language turns every window of the
    // program right to left (mirrored skin layout, texts from the right); any other turns them back.
    void Apply(int index, CPaintManagerUI& pm, QWidget* window, CTrayIcon* tray, const QIcon& trayIcon);
    // Settings window's language choice (message 2039): an unknown name changes nothing; the
    // language already applied only reloads texts; another one is applied and stored as
    // Set/Language in setIni. Answers whether a new language was applied.
    bool ChangeByName(const QString& name, const std::filesystem::path& setIni, CPaintManagerUI& pm,
                      QWidget* window, CTrayIcon* tray, const QIcon& trayIcon);

    QString QueryControlText(const QString& id, const QString& type) override;
    const LanguageFile& Current() const { return m_file; }
    int AppliedIndex() const { return m_applied; }

private:
    std::filesystem::path m_folder;
    LanguageFile m_file;
    int m_applied = -1;
    Hooks m_hooks;
};

// Extra fonts from res/Language/ExFont.json ({"Font":[{"FontName":..,"FontPath":..}]}),
// registered with the application for the run and removed again at exit.
class FontInstaller {
public:
    ~FontInstaller();
    // A file that cannot be read or parsed yields an empty table.
    bool LoadTable(const std::filesystem::path& jsonPath);
    const std::map<QString, QString>& Table() const { return m_table; }
    // Installs every font of the table; answers how many were installed.
    int InstallAll(const std::filesystem::path& programFolder = ".");
    // Removes every installed font; answers how many were removed.
    int RemoveAll();
    // Resource name ("./res/Font/" + FontName) -> font file of each installed font.
    std::map<QString, QString> Installed() const;
    QStringList InstalledFamilies() const;

private:
    struct Entry {
        QString fontFile;
        int id = -1;
    };
    std::map<QString, QString> m_table;
    std::map<QString, Entry> m_installed;
};

// The skin folder named by a resource prefix ("./res_black" -> "res_black").
QString SkinFolderOf(const QString& prefix);
// PreResPath1 unless current already is PreResPath1, then PreResPath2.
QString NextSkinFolder(const QString& current, const QString& pre1, const QString& pre2);
// Switches to the other skin folder: resource prefix, the library's resource path and
// Config/ResPath in the description file. A target folder that is empty or missing from the
// program folder is refused (the skin stays as it is). Answers the folder in use afterwards.
QString SwitchSkin(const std::filesystem::path& descriptionIni, const QString& pre1, const QString& pre2,
                   bool* switched = nullptr);

}  // namespace zor::ui
