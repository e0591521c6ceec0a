// One path per operation: zorctl's commands and the program's window reach the same operations of
// the control layer, so the same input leaves the same files (and sends the same frames). The
// window's side runs here in-process through the calls the window makes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "ZorctlRun.h"
#include "common/IniFile.h"
#include "common/ProgramPaths.h"
#include "common/Sleeper.h"
#include "control/CommandSession.h"
#include "control/Operations.h"
#include "macro/MacroStore.h"
#include "macro/MacroUsage.h"

using zor::test::ZorctlHome;

namespace {

const char* kConfig = "res/MouseVarn/MouseA/Config/MouseConfig.json";
const char* kDescription = "res/MouseVarn/MouseA/Config/DeviceFeature.ini";

// The frames zorctl --trace wrote towards the mouse whose command byte is `command`.
std::vector<std::string> Sent(const std::string& trace, const char* command) {
    std::vector<std::string> frames;
    std::istringstream lines(trace);
    const std::string prefix = std::string("> 06 00 00 ") + command;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(prefix, 0) == 0) frames.push_back(line);
    return frames;
}

void EditConfig(const ZorctlHome& home, const std::function<void(nlohmann::json&)>& edit) {
    nlohmann::json document = nlohmann::json::parse(zor::test::ReadFile(home / kConfig));
    edit(document["mouseconfig"]);
    zor::test::WriteFile(home / kConfig, document.dump(4));
}

// An in-process session on the virtual mouse of a program folder, as a zorctl command opens it
// (its pauses recorded, not slept).
class VirtualSession {
public:
    explicit VirtualSession(const std::filesystem::path& folder) : session(Options(folder, sleeper)) {}
    zor::RecordingSleeper sleeper;
    zor::control::CommandSession session;

private:
    static zor::control::CommandSessionOptions Options(const std::filesystem::path& folder,
                                                       zor::RecordingSleeper& pauses) {
        zor::control::CommandSessionOptions options;
        options.programFolder = folder;
        options.virtualMouse = true;
        options.sleeper = &pauses;
        return options;
    }
};

}  // namespace

TEST(ZorctlOperations, ApplySendsAStoredReportRateBeyondTheModelsMapAsItsHighestRate) {
    ZorctlHome home;
    // Four rates on this model: an index of 5 (written by hand, or by a model with seven) is
    // sent as the fourth, as a run of the program sends it, never dropped.
    EditConfig(home, [](nlohmann::json& config) { config["mouseadv"][0]["rateusbvalue"] = 5; });
    const auto run = home.Run("--virtual --trace apply --profile 0");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> rates = Sent(run.err, "03");
    ASSERT_FALSE(rates.empty()) << run.err;
    // Byte 9 of the write is the rate code: 1 (1000 Hz) for the fourth rate.
    for (const std::string& frame : rates) EXPECT_EQ(frame.substr(2 + 9 * 3, 2), "01") << frame;
}

TEST(ZorctlOperations, SensorSwitchesSetTogetherGoOutInTheirOneSharedWriteOnce) {
    ZorctlHome home;
    const auto run = home.Run(
        "--virtual --trace set power StraightLineCorrectEn=1 RippleCtrlEn=1 JitterCorrectEn=0 "
        "SmoothLineEn=1");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "StraightLineCorrectEn=1\nRippleCtrlEn=1\nJitterCorrectEn=0\nSmoothLineEn=1\n");
    // Option byte A carries all four: one write of it (the cable sends each write once), then the
    // renewed identifier.
    int optionA = 0;
    for (const std::string& frame : Sent(run.err, "02"))
        optionA += frame.substr(2 + 5 * 3, 2) == "05" ? 1 : 0;
    EXPECT_EQ(optionA, 1) << run.err;
    const zor::IniFile set(home / "res/Set.ini");
    EXPECT_EQ(set.GetInt("Set", "RippleCtrlEn"), 1);
    EXPECT_EQ(set.GetInt("Set", "JitterCorrectEn"), 0);
}

namespace {

// The same edited state in a program folder: a changed document, power options and a macro use.
void Spoil(const ZorctlHome& home) {
    EditConfig(home, [](nlohmann::json& config) { config["mouseadv"][0]["rateusbvalue"] = 2; });
    zor::test::WriteFile(home / "res/Set.ini", "[Set]\nLanguage=4\nSleepTime=1\nShortPress=2\n");
    zor::IniFile(home / kDescription).WriteString("MacUsed", "0", "something");
}

std::array<std::string, 4> Ids(const ZorctlHome& home) {
    std::array<std::string, 4> ids;
    for (int p = 0; p < 4; ++p)
        ids[static_cast<std::size_t>(p)] =
            zor::IniFile(home / kDescription).GetString("RANDOM", "Profile" + std::to_string(p));
    return ids;
}

}  // namespace

TEST(ZorctlOperations, TheFactoryResetOfTheWindowAndOfBothZorctlCommandsLeavesTheSameFiles) {
    ZorctlHome window, reset, configReset;
    for (const ZorctlHome* home : {&window, &reset, &configReset}) Spoil(*home);
    const auto idsBefore = Ids(window);

    // The window's "Reset": the scheduler's factory reset, then the forced synchronisation.
    {
        VirtualSession opened(window.home());
        zor::control::CommandSession& session = opened.session;
        std::string error;
        ASSERT_TRUE(session.LoadModel(error)) << error;
        ASSERT_TRUE(session.Scheduler().FactoryReset().ok);
        EXPECT_TRUE(session.Scheduler().RunNow(zor::RunMode::Synchronise, zor::ApplyKind::None).fullWrite);
    }
    ASSERT_EQ(reset.Run("--virtual reset").status, 0);
    const auto run = configReset.Run("config reset");
    ASSERT_EQ(run.status, 0) << run.err;

    for (const ZorctlHome* home : {&reset, &configReset}) {
        EXPECT_EQ(zor::test::ReadFile(*home / kConfig), zor::test::ReadFile(window / kConfig));
        EXPECT_EQ(zor::test::ReadFile(*home / "res/Set.ini"), zor::test::ReadFile(window / "res/Set.ini"));
    }
    for (const ZorctlHome* home : {&window, &reset, &configReset}) {
        EXPECT_EQ(zor::IniFile(*home / kDescription).GetString("MacUsed", "0"), "");
        EXPECT_NE(Ids(*home), idsBefore);  // the mouse's identifiers no longer match: all is pushed
    }
    EXPECT_EQ(zor::IniFile(window / "res/Set.ini").GetInt("Set", "Language"), 4);
    EXPECT_NE(zor::IniFile(window / "res/Set.ini").GetInt("Set", "SleepTime"), 1);
}

TEST(ZorctlOperations, AConfigurationImportIsJudgedByTheRatesTheModelFolderCanHold) {
    // MouseA's receiver sold as a model with the seven-rate map.
    ZorctlHome program, command;
    for (const ZorctlHome* home : {&program, &command}) {
        auto list = nlohmann::json::parse(zor::test::ReadFile(*home / "res/Home/Icons/Ndevice.json"));
        for (auto& device : list["NDevice"])
            if (device.value("DevFolder", "") == "MouseA") device["Ser"] = "Pelu";
        zor::test::WriteFile(*home / "res/Home/Icons/Ndevice.json", list.dump(4));
    }
    ASSERT_EQ(command.Run("config export seven.Mouse.Config").status, 0);
    auto file = nlohmann::json::parse(zor::test::ReadFile(command.work() / "seven.Mouse.Config"));
    file["mouseconfig"]["mouseadv"][1]["ratedonglevalue"] = 6;
    const std::filesystem::path exchange = command.work() / "seven.Mouse.Config";
    zor::test::WriteFile(exchange, file.dump(4));

    // The program's "Import" and zorctl config import take it alike.
    const auto folder = zor::paths::ModelFolder(program.home(), "MouseA");
    const zor::control::OpResult imported =
        zor::control::ImportConfiguration(program.home(), folder, exchange);
    EXPECT_TRUE(imported.Done()) << imported.reason;
    const auto run = command.Run("config import seven.Mouse.Config");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(zor::test::ReadFile(program / kConfig), zor::test::ReadFile(command / kConfig));

    // One rate more than the map holds is refused by both, naming the value.
    file["mouseconfig"]["mouseadv"][1]["ratedonglevalue"] = 7;
    zor::test::WriteFile(exchange, file.dump(4));
    const std::string before = zor::test::ReadFile(command / kConfig);
    const zor::control::OpResult refused =
        zor::control::ImportConfiguration(program.home(), folder, exchange);
    EXPECT_EQ(refused.outcome, zor::control::OpResult::Outcome::Refused);
    const auto again = command.Run("config import seven.Mouse.Config");
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "zorctl: " + refused.reason + "\n");
    EXPECT_EQ(zor::test::ReadFile(command / kConfig), before);
}

TEST(ZorctlOperations, AMacroCountedOnAKeyIsBoundForThePageAndForZorctl) {
    // Given to a key by the key popup, the document not saved yet: counted, not yet listed.
    ZorctlHome home;
    ASSERT_EQ(home.Run("macro add-group Games").status, 0);
    ASSERT_EQ(home.Run("macro add Reload --group Games").status, 0);
    zor::MacroStore store;
    const auto library = zor::paths::MacroLibrary(home.home());
    ASSERT_TRUE(store.Load(library).ok);
    zor::MacroRecord& macro = store.groups().back().macros.back();
    macro.bindCount = 1;
    ASSERT_TRUE(store.SaveAll().ok);
    ASSERT_TRUE(store.Load(library).ok);
    EXPECT_TRUE(zor::MacroIsBound(store.groups().back().macros.back()));  // what the page asks
    const std::string before = zor::test::ReadFile(library);
    const auto run = home.Run("macro remove Games/Reload");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bound"), std::string::npos) << run.err;
    EXPECT_EQ(zor::test::ReadFile(library), before);
}

TEST(ZorctlOperations, ADpiEventCarriesTheCodeOfTheMouseInUseAsOnTheMacroPage) {
    ZorctlHome home;
    ASSERT_EQ(home.Run("macro add-group Games").status, 0);
    ASSERT_EQ(home.Run("macro add Reload --group Games").status, 0);
    const auto run = home.Run("--virtual macro insert Games/Reload --at 0 dpi:400:10");
    ASSERT_EQ(run.status, 0) << run.err;

    // The macro page's code: the model loaded for the same mouse (its chip's DPI table).
    VirtualSession opened(home.home());
    zor::control::CommandSession& session = opened.session;
    std::string error;
    ASSERT_TRUE(session.LoadModel(error)) << error;
    const std::int16_t code = zor::control::DpiEventCodeOfModel(session.Model());
    EXPECT_NE(code, 0);

    zor::MacroStore store;
    ASSERT_TRUE(store.Load(zor::paths::MacroLibrary(home.home())).ok);
    const zor::MacroDeviceBlock& block = store.groups().back().macros.back().device;
    ASSERT_EQ(block.num, 1);
    EXPECT_EQ(block.extVal[0][0], code);
}

TEST(ZorctlOperations, AnEditOfAConfigurationChangedOnDiskSinceItWasReadIsNeitherSavedNorSent) {
    ZorctlHome home;
    VirtualSession opened(home.home());
    zor::control::CommandSession& session = opened.session;
    std::string error;
    ASSERT_TRUE(session.LoadModel(error)) << error;

    // An editor saves the file after zorctl read it: a new file renamed over the old one.
    nlohmann::json document = nlohmann::json::parse(zor::test::ReadFile(home / kConfig));
    document["mouseconfig"]["mouseadv"][session.Model().Profile()]["rateusbvalue"] = 1;
    const std::string outside = document.dump(4);
    zor::test::WriteFile(home / "editor.tmp", outside);
    std::filesystem::rename(home / "editor.tmp", home / kConfig);

    session.Stack().Mouse()->ClearFrames();
    const zor::control::OpResult stale = zor::control::SetReportRate(
        session.Model(), zor::control::ConnectionOf(session.Stack()), session, session.Model().Profile(), 2);
    EXPECT_EQ(stale.outcome, zor::control::OpResult::Outcome::Refused);
    EXPECT_EQ(stale.reason, "the configuration was not saved: " + (home / kConfig).string() +
                                " changed on disk since it was read");
    EXPECT_EQ(zor::test::ReadFile(home / kConfig), outside);
    EXPECT_TRUE(session.Stack().Mouse()->Frames().empty()) << "an edit of an old document reached the mouse";

    // Run again: the new file is read and the edit lands on it.
    ASSERT_TRUE(session.LoadModel(error)) << error;
    const auto profile = static_cast<std::size_t>(session.Model().Profile());
    EXPECT_EQ(session.Model().doc.adv[profile].rateusbvalue, 1);
    const zor::control::OpResult again = zor::control::SetReportRate(
        session.Model(), zor::control::ConnectionOf(session.Stack()), session, session.Model().Profile(), 2);
    EXPECT_TRUE(again.Done()) << again.reason;
    EXPECT_EQ(nlohmann::json::parse(
                  zor::test::ReadFile(home / kConfig))["mouseconfig"]["mouseadv"][profile]["rateusbvalue"],
              2);
}

TEST(ZorctlOperations, ZorctlEndsWithOneLineWhenTheConfigurationChangedWhileItRan) {
    // Profile 1 is chosen first, so the synchronisation with the mouse runs between zorctl's
    // read of the document and its save; an editor saves the file as soon as it begins.
    ZorctlHome home;
    const std::string command = "cd '" + home.work().string() +
                                "' && timeout -s KILL 60 '" ZORCTL_PATH "' --home '" + home.home().string() +
                                "' --virtual --trace set key --profile 1 3 \"volume up\" 2>&1 >/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string err;
    std::string outside;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        err += line;
        if (outside.empty() && std::string_view(line).starts_with("> 06 00 00 02")) {
            nlohmann::json document = nlohmann::json::parse(zor::test::ReadFile(home / kConfig));
            document["mouseconfig"]["mouseadv"][1]["rateusbvalue"] = 1;
            outside = document.dump(4);
            zor::test::WriteFile(home / "editor.tmp", outside);
            std::filesystem::rename(home / "editor.tmp", home / kConfig);
        }
    }
    const int status = ::pclose(pipe);
    ASSERT_FALSE(outside.empty()) << err;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << err;
    const std::string last = err.substr(err.rfind('\n', err.size() - 2) + 1);
    EXPECT_EQ(last, "zorctl: the configuration was not saved: " + (home / kConfig).string() +
                        " changed on disk since it was read; run again\n");
    EXPECT_EQ(zor::test::ReadFile(home / kConfig), outside);
}
