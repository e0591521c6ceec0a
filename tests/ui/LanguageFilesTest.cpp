// The shipped language files: one for every entry of the language table, each with exactly the
// ids of the English file, and every text the skins show (and every tooltip) found in English.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <set>

#include "common/IniFile.h"
#include "support/TempDir.h"
#include "ui/Language.h"

using namespace zor::ui;

namespace {

std::filesystem::path LanguageFolder() {
    return zor::test::SourceDir() / "res/Language";
}

// (section, id) of every text line, lower-case, plus the window name and the font name.
std::set<std::pair<QString, QString>> Ids(const LanguageFile& file) {
    std::set<std::pair<QString, QString>> ids;
    for (const QString& section : LanguageFile::TextSections())
        for (const auto& [id, text] : file.Section(section)) ids.insert({section.toLower(), id.toLower()});
    return ids;
}

std::set<QString> EnglishIds() {
    LanguageFile english;
    EXPECT_TRUE(english.Load(LanguageFolder() / "lan_en.ini"));
    std::set<QString> ids;
    for (const auto& [section, id] : Ids(english)) ids.insert(id);
    ids.insert(QStringLiteral("windowname"));  // the program's name from [WindowName]
    return ids;
}

TEST(ShippedLanguages, EveryLanguageOfTheTableHasEveryIdOfEnglishAndNoOther) {
    LanguageFile english;
    ASSERT_TRUE(english.Load(LanguageFolder() / "lan_en.ini"));
    const auto expected = Ids(english);
    ASSERT_GT(expected.size(), 300u);
    for (int index = 0; index < kLanguageCount; ++index) {
        const QString name = LanguageName(index);
        SCOPED_TRACE(name.toStdString());
        LanguageFile file;
        ASSERT_TRUE(file.Load(LanguageFolder() / (name.toStdString() + ".ini"))) << "no file";
        EXPECT_FALSE(file.WindowName().isEmpty());
        EXPECT_FALSE(file.FontName().isEmpty());
        const auto ids = Ids(file);
        std::vector<std::pair<QString, QString>> missing, extra;
        std::set_difference(expected.begin(), expected.end(), ids.begin(), ids.end(), std::back_inserter(missing));
        std::set_difference(ids.begin(), ids.end(), expected.begin(), expected.end(), std::back_inserter(extra));
        for (const auto& [section, id] : missing) ADD_FAILURE() << "missing [" << section.toStdString() << "] " << id.toStdString();
        for (const auto& [section, id] : extra) ADD_FAILURE() << "extra [" << section.toStdString() << "] " << id.toStdString();
        // A text English has is never left empty.
        for (const QString& section : LanguageFile::TextSections())
            for (const auto& [id, text] : english.Section(section))
                if (!text.trimmed().isEmpty())
                    if (const auto translated = file.Find(section, id); translated && translated->trimmed().isEmpty())
                        ADD_FAILURE() << "empty [" << section.toStdString() << "] " << id.toStdString();
    }
}

TEST(ShippedLanguages, EveryTextAndTooltipOfTheSkinsIsInTheLanguageFiles) {
    // A control's text is looked up by its text id (its name unless textid says otherwise);
    // textid="NoText" marks texts the program sets itself. Texts without letters (numbers, units
    // alone) and unnamed items (the language names of the language list) need no entry.
    const std::set<QString> ids = EnglishIds();
    const QRegularExpression words(QStringLiteral("[A-Za-z]{2,}"));
    int checked = 0;
    for (const char* skin : {"res_black", "res_white"}) {
        QDirIterator it(QString::fromStdString((zor::test::SourceDir() / "res" / skin).string()), {QStringLiteral("*.xml")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
            QXmlStreamReader xml(&file);
            while (!xml.atEnd()) {
                if (xml.readNext() != QXmlStreamReader::StartElement) continue;
                const auto attrs = xml.attributes();
                const QString name = attrs.value(QStringLiteral("name")).toString();
                if (name.isEmpty()) continue;
                const QString textId = attrs.value(QStringLiteral("textid")).toString();
                const QString text = attrs.value(QStringLiteral("text")).toString();
                if (textId != QLatin1String("NoText") && words.match(text).hasMatch()) {
                    const QString id = (textId.isEmpty() ? name : textId).toLower();
                    EXPECT_TRUE(ids.count(id)) << path.toStdString() << ": \"" << text.toStdString() << "\" of "
                                               << name.toStdString() << " has no language text";
                    ++checked;
                }
                if (!attrs.value(QStringLiteral("tooltip")).isEmpty()) {
                    EXPECT_TRUE(ids.count(name.toLower() + QStringLiteral("_tip")))
                        << path.toStdString() << ": the tooltip of " << name.toStdString() << " has no language text";
                    ++checked;
                }
            }
            EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
        }
    }
    EXPECT_GT(checked, 200);
}

}  // namespace
