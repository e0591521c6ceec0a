// Layout files: per page, a JSON file names the page container, its background and the three
// full-page pictures (normal, hovered, pressed), and for each control its position, visibility
// and kind. Applying a layout moves the controls and cuts each control's state images out of
// the page pictures at the control's own rectangle.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <filesystem>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <vector>

namespace zor::ui {

class CPaintManagerUI;
class CControlUI;

inline constexpr const char* kVisNoChange = "VisNoChange";
inline constexpr const char* kPosNotExist = "PosNotExist";

class CControlAttributes {
public:
    virtual ~CControlAttributes() = default;
    // Reads one "Controlinfo" entry; throws the JSON library's errors on missing keys.
    virtual void ReadJson(const nlohmann::json& entry);
    virtual QString GetName() const { return m_name; }
    virtual std::array<int, 4> GetPos() const { return m_pos; }
    virtual QString GetVisible() const { return m_visible; }
    // Applies the entry to its control in pm; a control that is not found is skipped.
    virtual void Apply(CPaintManagerUI& pm, const QString& normal, const QString& over,
                       const QString& down) const = 0;

    bool HasPos() const { return m_posState != QLatin1String(kPosNotExist); }
    QString GetType() const { return m_type; }

protected:
    // Common steps: "pos"; the given state images cut at the control's rectangle (when the
    // normal picture is named); "visible" (when present and the normal picture is named).
    void ApplyCommon(CControlUI* control, const QString& normal,
                     const std::vector<std::pair<const char*, QString>>& images) const;
    QString ImageAt(const QString& file) const;
    QString m_type, m_name;
    QString m_visible = QLatin1String(kVisNoChange);
    QString m_posState = QLatin1String(kPosNotExist);
    std::array<int, 4> m_pos{};
};

class CButtonAttributes : public CControlAttributes {
public:
    void Apply(CPaintManagerUI& pm, const QString& normal, const QString& over,
               const QString& down) const override;
};
class CComboAttributes : public CButtonAttributes {};
class COptionAttributes : public CControlAttributes {
public:
    void Apply(CPaintManagerUI& pm, const QString& normal, const QString& over,
               const QString& down) const override;
};
class CLabelAttributes : public CControlAttributes {
public:
    void Apply(CPaintManagerUI& pm, const QString& normal, const QString& over,
               const QString& down) const override;
};
class SliderAttributes : public CControlAttributes {
public:
    void ReadJson(const nlohmann::json& entry) override;
    void Apply(CPaintManagerUI& pm, const QString& normal, const QString& over,
               const QString& down) const override;
    QString GetThumbImage() const { return m_thumbImage; }

private:
    QString m_thumbImage;
};
class VerExAuttributes : public CControlAttributes {
public:
    void Apply(CPaintManagerUI& pm, const QString& normal, const QString& over,
               const QString& down) const override;
};

// Creates the attribute class for a "type" text ("option" for unknown types).
std::unique_ptr<CControlAttributes> MakeControlAttributes(const QString& type);

class PositionLayout {
public:
    enum class LoadResult { Ok, CannotOpen, JsonError };
    // Reads a parsed layout. A JSON error stops the reading: what was read before it stays,
    // the error text goes to the debug output and the answer is false.
    bool Read(const nlohmann::json& doc);
    // Opens, parses and reads a file.
    LoadResult LoadFile(const std::filesystem::path& path);
    // False (and nothing applied) when the container is missing.
    bool Apply(CPaintManagerUI& pm) const;
    QStringList ControlNames() const;
    void Clear();

    const QString& ContainerName() const { return m_container; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    const QString& BkImage() const { return m_bkImage; }
    const QString& NormalImage() const { return m_normal; }
    const QString& OverImage() const { return m_over; }
    const QString& DownImage() const { return m_down; }
    const std::vector<std::unique_ptr<CControlAttributes>>& Entries() const { return m_entries; }
    const QString& LastError() const { return m_error; }

private:
    QString m_container, m_bkImage, m_normal, m_over, m_down;
    int m_width = 0, m_height = 0;
    std::vector<std::unique_ptr<CControlAttributes>> m_entries;
    QString m_error;
};

// Texts of the notice shown when a page's layout file cannot be opened.
struct LayoutNotice {
    QString title, text, confirm, cancel;
};
// The home page's notice: a fixed text and no caption.
LayoutNotice HomeLayoutNotice();

// Page set-up: reads the layout file and applies it to pm. When the file cannot be opened the
// owner's modal message box (information type) shows notice and the page goes on with an empty
// layout; a JSON error keeps the entries read before it. names receives the control names.
PositionLayout::LoadResult LoadPageLayout(const std::filesystem::path& path, CPaintManagerUI& pm,
                                          QWidget* owner, const LayoutNotice& notice,
                                          QStringList* names = nullptr);

}  // namespace zor::ui
