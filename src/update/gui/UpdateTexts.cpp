#include "update/gui/UpdateTexts.h"

#include "ui/PaintManager.h"

namespace zor::update {

QString UpdateText(const char* id, const char* english) {
    if (ui::IQueryControlText* query = ui::CResourceManager::GetInstance().GetTextQueryInterface()) {
        const QString text = query->QueryControlText(QString::fromLatin1(id), QStringLiteral("Text"));
        if (!text.isEmpty()) return text;
    }
    return QString::fromUtf8(english);
}

}  // namespace zor::update
