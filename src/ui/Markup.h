// CMarkup: the skin files' XML as a small tree of elements with their attributes in file order.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <memory>
#include <vector>

namespace zor::ui {

struct MarkupNode {
    QString name;
    QList<QPair<QString, QString>> attributes;  // file order
    std::vector<MarkupNode> children;

    QString Attribute(const QString& key, const QString& fallback = {}) const;
    bool HasAttribute(const QString& key) const;
};

class CMarkup {
public:
    bool LoadFromFile(const QString& path);
    bool Load(const QByteArray& xml);
    bool IsValid() const { return m_valid; }
    const MarkupNode& Root() const { return m_root; }
    // "line N, column M: message" of the last failed load.
    const QString& LastError() const { return m_error; }

private:
    MarkupNode m_root;
    bool m_valid = false;
    QString m_error;
};

}  // namespace zor::ui
