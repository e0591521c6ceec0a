#include <gtest/gtest.h>

#include "CatalogTestKit.h"
#include "catalog/BleNames.h"

using namespace zor;
using namespace zor::test;

namespace {

class BleNamesTest : public ::testing::Test {
protected:
    std::filesystem::path icons() const { return m_home / "res/Home/Icons"; }
    std::filesystem::path list() const { return icons() / "ble.json"; }
    std::filesystem::path temp() const { return icons() / "ble.json.temp"; }

    void encrypt(const std::string& plain, const std::string& phrase = std::string(kBlePassPhrase)) {
        std::filesystem::create_directories(icons());
        ASSERT_TRUE(EncryptWithOpenssl(plain, list(), phrase)) << "openssl enc failed";
    }

    TempDir m_home;
};

TEST_F(BleNamesTest, ListMadeByOpensslGivesNamesJoinedWithCommas) {
    encrypt(R"({"bleString":["A","B"]})");
    const std::string before = ReadFile(list());

    std::string error = "stale";
    EXPECT_EQ(LoadBleNames(m_home.path(), &error), "A,B");
    EXPECT_EQ(error, "");
    EXPECT_FALSE(FileExists(temp()));
    EXPECT_EQ(ReadFile(list()), before) << "the encrypted list itself is never rewritten";
}

TEST_F(BleNamesTest, ListLongerThanOneChunkAndIvWithZeroBytes) {
    std::string plain = R"({"bleString":[)";
    std::string expected;
    for (int i = 0; i < 600; ++i) {
        const std::string name = "Zor BLE " + std::to_string(i);
        plain += (i ? ",\"" : "\"") + name + "\"";
        expected += (i ? "," : "") + name;
    }
    plain += "]}";
    std::filesystem::create_directories(icons());
    ASSERT_TRUE(
        EncryptWithOpenssl(plain, list(), std::string(kBlePassPhrase), "00000000000000000000000000000000"));
    EXPECT_EQ(LoadBleNames(m_home.path()), expected);
}

TEST_F(BleNamesTest, DecryptFileToAnotherPathWritesThePlainText) {
    encrypt(R"({"bleString":["X"]})");
    const auto out = m_home / "plain.json";
    ASSERT_TRUE(DecryptFile(list(), out, kBlePassPhrase));
    EXPECT_EQ(ReadFile(out), R"({"bleString":["X"]})");

    // Same path for both: the plain text goes beside it, the input stays.
    ASSERT_TRUE(DecryptFile(list(), list(), kBlePassPhrase));
    EXPECT_EQ(ReadFile(temp()), R"({"bleString":["X"]})");
    EXPECT_NE(ReadFile(list()), ReadFile(temp()));
}

// Every failing decryption: false, no plain text written (not even part of it), an earlier file
// at the output path left alone, and no names.
TEST_F(BleNamesTest, FailedDecryptionWritesNothing) {
    const std::string plain = R"({"bleString":["Secret mouse one","Secret mouse two","Three"]})";
    struct Case {
        const char* what;
        std::function<void()> make;
    };
    const std::vector<Case> cases = {
        {"wrong pass phrase", [&] { encrypt(plain, "not the pass phrase"); }},
        {"last block cut off",
         [&] {
             encrypt(plain);
             const std::string bytes = ReadFile(list());
             WriteFile(list(), bytes.substr(0, bytes.size() - 16));
         }},
        {"cipher text not a whole block",
         [&] {
             encrypt(plain);
             const std::string bytes = ReadFile(list());
             WriteFile(list(), bytes.substr(0, bytes.size() - 5));
         }},
        {"shorter than the IV", [&] { WriteFile(list(), "0123456789"); }},
        {"IV only", [&] { WriteFile(list(), std::string(16, 'i')); }},
        {"empty file", [&] { WriteFile(list(), ""); }},
        {"missing file", [] {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(icons());
        std::filesystem::create_directories(icons());
        c.make();
        const auto out = m_home / "out.json";
        WriteFile(out, "earlier");

        EXPECT_FALSE(DecryptFile(list(), out, kBlePassPhrase));
        EXPECT_EQ(ReadFile(out), "earlier");
        EXPECT_FALSE(DecryptFile(list(), list(), kBlePassPhrase));
        EXPECT_FALSE(FileExists(temp()));
        std::string error;
        EXPECT_EQ(LoadBleNames(m_home.path(), &error), "");
        EXPECT_NE(error, "");
        EXPECT_FALSE(FileExists(temp()));
    }
}

TEST_F(BleNamesTest, WrongPassPhraseIsReportedAsFailedFinalBlock) {
    encrypt(R"({"bleString":["A"]})", "another phrase");
    DebugCapture debug;
    EXPECT_EQ(LoadBleNames(m_home.path()), "");
    EXPECT_TRUE(debug.contains("cannot finish the decryption"));
}

TEST_F(BleNamesTest, PlainTextThatIsNotANameListGivesNoNames) {
    struct Case {
        const char* plain;
        const char* names;
        bool valid;
    };
    const Case cases[] = {
        {R"({"names":["A","B"]})", "", false},         // no "bleString"
        {R"(["A","B"])", "", false},                   // root is not an object
        {R"("A,B")", "", false},                       // root is a string
        {R"({"bleString":"A,B"})", "", false},         // not an array
        {R"({"bleString":["A","B")", "", false},       // broken JSON
        {R"({"bleString":[]})", "", true},             // no names
        {R"({"bleString":["A",7,"C"]})", "A", false},  // a non-text item ends the list
        {R"({"bleString":["","B"]})", ",B", true},     // an empty name keeps its place
        {R"({"bleString":["Zor ÄÖ","B"]})", "Zor ÄÖ,B", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.plain);
        encrypt(c.plain);
        DebugCapture debug;
        std::string error;
        EXPECT_EQ(LoadBleNames(m_home.path(), &error), c.names);
        EXPECT_EQ(error.empty(), c.valid);
        EXPECT_FALSE(FileExists(temp())) << "the temporary plain text never survives";
    }
}

TEST_F(BleNamesTest, StaleTemporaryFileIsNeitherReadNorKept) {
    // A plain text left by an earlier crash must not stand in for a list that is gone.
    std::filesystem::create_directories(icons());
    WriteFile(temp(), R"({"bleString":["Stale"]})");
    EXPECT_EQ(LoadBleNames(m_home.path()), "");
    EXPECT_FALSE(FileExists(temp()));
}

}  // namespace
