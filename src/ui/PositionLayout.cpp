#include "ui/PositionLayout.h"

#include <fstream>
#include <nlohmann/json.hpp>

#include "common/AtomicFile.h"
#include "common/Debug.h"
#include "common/JsonText.h"
#include "ui/Dialogs.h"
#include "ui/PaintManager.h"

namespace zor::ui {

namespace {

QString Str(const nlohmann::json& object, const char* key) {
    return QString::fromStdString(object.at(key).get<std::string>());
}

// The container of the layout being applied: its controls are looked up inside it first, so a
// page's controls are found even when another part of the window uses the same names.
thread_local CControlUI* t_scope = nullptr;

CControlUI* FindInScope(CPaintManagerUI& pm, const QString& name) {
    if (t_scope != nullptr)
        if (CControlUI* inside = pm.FindSubControlByName(t_scope, name)) return inside;
    return pm.FindControl(name);
}

QString SourceImage(const QString& file, const std::array<int, 4>& r) {
    return QStringLiteral("file='%1' source='%2,%3,%4,%5'").arg(file).arg(r[0]).arg(r[1]).arg(r[2]).arg(r[3]);
}

}  // namespace

void CControlAttributes::ReadJson(const nlohmann::json& entry) {
    m_type = Str(entry, "type");
    m_name = Str(entry, "ctrlname");
    if (entry.contains("visible")) m_visible = Str(entry, "visible");
    if (entry.contains("pos")) {
        const auto& pos = entry.at("pos");
        for (size_t i = 0; i < 4; ++i) m_pos[i] = JsonInteger<int>(pos.at(i));
        m_posState.clear();
    }
}

QString CControlAttributes::ImageAt(const QString& file) const {
    return SourceImage(file, m_pos);
}

void CControlAttributes::ApplyCommon(CControlUI* control, const QString& normal,
                                     const std::vector<std::pair<const char*, QString>>& images) const {
    if (HasPos()) {
        control->SetAttribute(
            QStringLiteral("pos"),
            QStringLiteral("%1,%2,%3,%4").arg(m_pos[0]).arg(m_pos[1]).arg(m_pos[2]).arg(m_pos[3]));
        if (!normal.isEmpty())
            for (const auto& [attribute, file] : images)
                control->SetAttribute(QLatin1String(attribute), ImageAt(file));
    }
    if (m_visible != QLatin1String(kVisNoChange) && !normal.isEmpty())
        control->SetAttribute(QStringLiteral("visible"), m_visible);
}

void CButtonAttributes::Apply(CPaintManagerUI& pm, const QString& normal, const QString& over,
                              const QString& down) const {
    if (CControlUI* c = FindInScope(pm, m_name))
        ApplyCommon(c, normal, {{"normalimage", normal}, {"hotimage", over}, {"pushedimage", down}});
}

void COptionAttributes::Apply(CPaintManagerUI& pm, const QString& normal, const QString& over,
                              const QString& down) const {
    if (CControlUI* c = FindInScope(pm, m_name))
        ApplyCommon(
            c, normal,
            {{"normalimage", normal}, {"hotimage", over}, {"pushedimage", down}, {"Selectedimage", down}});
}

void CLabelAttributes::Apply(CPaintManagerUI& pm, const QString& normal, const QString&,
                             const QString&) const {
    if (CControlUI* c = FindInScope(pm, m_name)) ApplyCommon(c, normal, {{"bkimage", normal}});
}

void SliderAttributes::ReadJson(const nlohmann::json& entry) {
    CControlAttributes::ReadJson(entry);
    m_thumbImage = Str(entry, "thumbimage");
}

void SliderAttributes::Apply(CPaintManagerUI& pm, const QString&, const QString&, const QString&) const {
    CControlUI* c = FindInScope(pm, m_name);
    if (c && HasPos())
        c->SetAttribute(
            QStringLiteral("pos"),
            QStringLiteral("%1,%2,%3,%4").arg(m_pos[0]).arg(m_pos[1]).arg(m_pos[2]).arg(m_pos[3]));
}

void VerExAuttributes::Apply(CPaintManagerUI& pm, const QString& normal, const QString& over,
                             const QString& down) const {
    CControlUI* item = FindInScope(pm, m_name);
    if (!item) return;
    ApplyCommon(
        item, normal,
        {{"normalimage", normal}, {"hotimage", over}, {"pushedimage", down}, {"selectedimage", down}});
    if (CControlUI* sw = pm.FindSubControlByName(item, QStringLiteral("switch"))) {
        sw->SetAttribute(QStringLiteral("pos"), QStringLiteral("34,9,67,15"));
        const std::array<int, 4> cut{222, 47, 255, 53};
        const std::pair<const char*, QString> images[] = {
            {"normalimage", normal}, {"hotimage", over}, {"pushedimage", down}, {"selectedimage", down}};
        for (const auto& [attribute, file] : images)
            sw->SetAttribute(QLatin1String(attribute), SourceImage(file, cut));
    }
    if (CControlUI* value = pm.FindSubControlByName(item, QStringLiteral("value")))
        value->SetAttribute(QStringLiteral("pos"), QStringLiteral("0,40,40,70"));
    if (CControlUI* color = pm.FindSubControlByName(item, QStringLiteral("color")))
        color->SetAttribute(QStringLiteral("pos"), QStringLiteral("0,80,40,90"));
}

std::unique_ptr<CControlAttributes> MakeControlAttributes(const QString& type) {
    if (type == QLatin1String("button")) return std::make_unique<CButtonAttributes>();
    if (type == QLatin1String("label")) return std::make_unique<CLabelAttributes>();
    if (type == QLatin1String("combo")) return std::make_unique<CComboAttributes>();
    if (type == QLatin1String("slider")) return std::make_unique<SliderAttributes>();
    if (type == QLatin1String("optver")) return std::make_unique<VerExAuttributes>();
    return std::make_unique<COptionAttributes>();
}

void PositionLayout::Clear() {
    m_container.clear();
    m_bkImage.clear();
    m_normal.clear();
    m_over.clear();
    m_down.clear();
    m_width = m_height = 0;
    m_entries.clear();
    m_error.clear();
}

bool PositionLayout::Read(const nlohmann::json& doc) {
    try {
        const auto& info = doc.at("Containerinfo");
        m_container = Str(info, "containname");
        m_width = JsonInteger<int>(info.at("width"));
        m_height = JsonInteger<int>(info.at("height"));
        m_bkImage = Str(info, "bkimage");
        m_normal = Str(info, "normalimage");
        m_over = Str(info, "overimage");
        m_down = Str(info, "downimage");
        for (const auto& entry : doc.at("Controlinfo")) {
            auto attributes = MakeControlAttributes(Str(entry, "type"));
            attributes->ReadJson(entry);
            m_entries.push_back(std::move(attributes));
        }
    } catch (const nlohmann::json::exception& e) {
        m_error = QString::fromUtf8(e.what());
        DebugF("%s\n", std::string(e.what()));
        return false;
    }
    return true;
}

PositionLayout::LoadResult PositionLayout::LoadFile(const std::filesystem::path& path) {
    // Read whole, as a regular file only: a folder in its place cannot be opened either.
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return LoadResult::CannotOpen;
    nlohmann::json doc;
    try {
        doc = ParseJson(bytes);
    } catch (const nlohmann::json::exception& e) {
        m_error = QString::fromUtf8(e.what());
        DebugF("%s\n", std::string(e.what()));
        return LoadResult::JsonError;
    }
    return Read(doc) ? LoadResult::Ok : LoadResult::JsonError;
}

bool PositionLayout::Apply(CPaintManagerUI& pm) const {
    CControlUI* container = pm.FindControl(m_container);
    if (!container) {
        DebugF("layout: container \"%s\" not found\n", m_container.toStdString());
        return false;
    }
    container->SetAttribute(QStringLiteral("bkimage"), m_bkImage);
    t_scope = container;
    for (const auto& entry : m_entries) {
        entry->Apply(pm, m_normal, m_over, m_down);
        // The control shows the part of the container's picture where it lies on it: a
        // right-to-left language, which leaves the picture as drawn, leaves it there too.
        if (CControlUI* control = entry->HasPos() ? FindInScope(pm, entry->GetName()) : nullptr)
            control->SetAttribute(QStringLiteral("mirror"), QStringLiteral("false"));
    }
    t_scope = nullptr;
    return true;
}

QStringList PositionLayout::ControlNames() const {
    QStringList names;
    for (const auto& entry : m_entries) names << entry->GetName();
    return names;
}

LayoutNotice HomeLayoutNotice() {
    return {QString(), QString::fromUtf8("无法打开json文件"), {}, {}};
}

PositionLayout::LoadResult LoadPageLayout(const std::filesystem::path& path, CPaintManagerUI& pm,
                                          QWidget* owner, const LayoutNotice& notice, QStringList* names) {
    PositionLayout layout;
    const auto result = layout.LoadFile(path);
    if (result == PositionLayout::LoadResult::CannotOpen) {
        CMsgWnd::ShowMessageBox(owner, notice.title, notice.text, CMsgWnd::kInfo, notice.confirm,
                                notice.cancel);
    } else {
        layout.Apply(pm);
    }
    if (names) *names = layout.ControlNames();
    return result;
}

}  // namespace zor::ui
