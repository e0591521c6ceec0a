#include "ui/Markup.h"

#include <QFile>
#include <QXmlStreamReader>
#include <filesystem>
#include <string>

#include "common/DataFile.h"

namespace zor::ui {

namespace {
constexpr std::size_t kMaxMarkupDepth = 256;
// Far above any skin file; a larger one is not read.
constexpr std::uint64_t kMaxMarkupBytes = 16u * 1024u * 1024u;
}  // namespace

QString MarkupNode::Attribute(const QString& key, const QString& fallback) const {
    for (const auto& [k, v] : attributes)
        if (k.compare(key, Qt::CaseInsensitive) == 0) return v;
    return fallback;
}

bool MarkupNode::HasAttribute(const QString& key) const {
    for (const auto& attribute : attributes)
        if (attribute.first.compare(key, Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool CMarkup::LoadFromFile(const QString& path) {
    std::string bytes;
    const std::filesystem::path file(QFile::encodeName(path).toStdString());
    if (const ReadFault fault = ReadDataFile(file, bytes, kMaxMarkupBytes); fault != ReadFault::None) {
        m_valid = false;
        m_error = QString::fromStdString(DescribeReadFault(file, fault, kMaxMarkupBytes));
        return false;
    }
    return Load(QByteArray::fromStdString(bytes));
}

bool CMarkup::Load(const QByteArray& xml) {
    m_root = {};
    m_valid = false;
    m_error.clear();
    QXmlStreamReader reader(xml);
    std::vector<MarkupNode*> stack;
    bool haveRoot = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            MarkupNode node;
            node.name = reader.name().toString();
            for (const auto& a : reader.attributes())
                node.attributes.append({a.name().toString(), a.value().toString()});
            if (stack.size() >= kMaxMarkupDepth) {
                // Every walk of the tree recurses once per level: a skin is never this deep.
                m_error = QStringLiteral("line %1: elements nested deeper than %2 levels")
                              .arg(reader.lineNumber())
                              .arg(kMaxMarkupDepth);
                m_root = {};
                return false;
            }
            if (stack.empty()) {
                if (haveRoot) break;
                m_root = std::move(node);
                haveRoot = true;
                stack.push_back(&m_root);
            } else {
                stack.back()->children.push_back(std::move(node));
                stack.push_back(&stack.back()->children.back());
            }
        } else if (reader.isEndElement()) {
            if (!stack.empty()) stack.pop_back();
        }
    }
    if (reader.hasError() || !haveRoot) {
        m_error = QStringLiteral("line %1, column %2: %3")
                      .arg(reader.lineNumber())
                      .arg(reader.columnNumber())
                      .arg(haveRoot ? reader.errorString() : QStringLiteral("no root element"));
        m_root = {};
        return false;
    }
    m_valid = true;
    return true;
}

}  // namespace zor::ui
