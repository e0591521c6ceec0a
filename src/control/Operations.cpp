#include "control/Operations.h"

#include <algorithm>

#include "catalog/DeviceList.h"
#include "catalog/FindDev.h"
#include "common/AtomicFile.h"
#include "common/IniFile.h"
#include "common/ProgramPaths.h"
#include "common/Text.h"
#include "config/ConfigExchange.h"
#include "config/DpiEventCode.h"
#include "control/CommandSession.h"
#include "device/DevicePresence.h"
#include "device/KeyCode.h"

namespace zor::control {
namespace {

const char* ExchangeText(ExchangeOutcome outcome) {
    switch (outcome) {
        case ExchangeOutcome::Done:
            return "done";
        case ExchangeOutcome::CannotOpen:
            return "the file cannot be read";
        case ExchangeOutcome::NotJson:
            return "the file is not a configuration file";
        case ExchangeOutcome::ImportErr:
            return "the file is not a configuration for this mouse model";
        case ExchangeOutcome::BadModelName:
            return "the model name in the file is damaged";
        case ExchangeOutcome::BadDocument:
            return "the configuration in the file is incomplete";
        case ExchangeOutcome::WriteFailed:
            return "the file cannot be written";
    }
    return "failed";
}

OpResult FromExchange(const ConfigExchangeResult& r, bool done) {
    if (done) return {};
    return OpResult::Refuse(std::string(ExchangeText(r.outcome)) + (r.error.empty() ? "" : ": " + r.error));
}

// The model's name as the device reports it, which exchange files carry.
std::u16string ExchangeModelName(const std::filesystem::path& modelFolder) {
    return Utf8ToUtf16(IniFile(paths::ModelDescription(modelFolder)).GetString("Init", "PRODUCTNAME"));
}

}  // namespace

std::string DeliveryProblem(const RunResult& run) {
    if (run.failedFrames > 0)
        return Format(
            "the mouse did not answer (%d %s not delivered); the change is saved and is sent when the "
            "mouse answers again",
            run.failedFrames, run.failedFrames == 1 ? "frame" : "frames");
    if (run.badReplies > 0)
        return "the mouse's replies were not answers to what was sent; the change is saved and is sent when "
               "the mouse answers again";
    return {};
}

OpResult SetReportRate(ModelSession& model, RateConnection connection, EditSender& sender, int profile,
                       int option) {
    if (connection == RateConnection::Ble)
        return OpResult::Refuse("the report rate cannot be set over Bluetooth LE");
    if (profile < 0 || profile >= kConfigProfiles)
        return OpResult::Refuse(Format("profile %d is not 0..2", profile));
    const int options = ReportRateOptions(model.ModelName(), connection);
    if (option < 0 || option >= options)
        return OpResult::Refuse(
            Format("report rate option %d is not offered; the options are 0 to %d", option, options - 1));
    sender.BeforeEdit(profile);
    StoreReportRate(model.doc.adv[static_cast<std::size_t>(profile)], connection, option);
    return sender.Send(ApplyKind::ReportRate, profile);
}

OpResult ApplyConfiguration(ModelSession& model, EditSender& sender, int profile,
                            const std::vector<int>& keys) {
    if (profile < -1 || profile >= kConfigProfiles)
        return OpResult::Refuse(Format("profile %d is not 0..2", profile));
    for (int key : keys)
        if (key < 0 || key >= kKeyCount)
            return OpResult::Refuse(Format("key %d is not 0..%d", key, kKeyCount - 1));
    return sender.SendConfiguration(profile < 0 ? model.Profile() : profile, keys);
}

OpResult RateOptionOfHz(const std::string& modelName, RateConnection connection, int hz, int& option) {
    option = -1;
    if (connection == RateConnection::Ble)
        return OpResult::Refuse("the report rate cannot be set over Bluetooth LE");
    const int options = ReportRateOptions(modelName, connection);
    std::string offered;
    for (int o = 0; o < options; ++o) {
        offered += (offered.empty() ? "" : ", ") + std::to_string(125 << o);
        if ((125 << o) == hz) option = o;
    }
    if (option < 0)
        return OpResult::Refuse(Format("%d Hz is not offered here; the rates are %s Hz", hz, offered));
    return {};
}

OpResult SelectProfile(ModelSession& model, RunScheduler& scheduler, EditSender& sender, int profile) {
    if (profile < 0 || profile >= kConfigProfiles)
        return OpResult::Refuse(Format("profile %d is not 0..2", profile));
    if (scheduler.RunInProgress()) return OpResult::Refuse("a transfer to the mouse is in progress");
    model.SetProfile(profile);
    scheduler.Flags().profileChanged = true;
    return sender.SendProfileChoice(profile);
}

RateConnection ConnectionOf(DeviceStack& stack) {
    if (stack.Link().bleMode.load() != 0) return RateConnection::Ble;
    return stack.Presence().ConnectionKind() == kConnectionReceiver ? RateConnection::Receiver
                                                                    : RateConnection::Cable;
}

int RateCountOfFolder(const std::filesystem::path& programFolder, const std::string& devFolder) {
    int count = ReportRateCount("");
    std::string text;
    if (!ReadFileBytes(paths::DeviceList(programFolder), text)) return count;
    for (const DeviceEntry& entry : ParseDeviceList(text).entries) {
        if (entry.devFolder != devFolder) continue;
        for (const std::string& name : entry.names) count = std::max(count, ReportRateCount(name));
    }
    return count;
}

OpResult ResetToFactory(ModelSession& model, ControlEvents* events) {
    const int chip = model.chip;
    const OperationResult reset = model.FactoryReset(model.Profile(), [chip] { return chip; });
    if (!reset.ok) return OpResult::Refuse(reset.error);
    model.SaveAndAnnounce(events);
    model.DrawAllProfileIds();
    return {};
}

std::int16_t DpiEventCodeOfModel(const ModelSession& model) {
    return DpiEventCode(model.feature);
}

std::int16_t ModelDpiEventCode(CommandSession& session) {
    std::string error;
    if (!session.LoadModel(error)) session.Model().LoadModel(nullptr, false, {});
    return DpiEventCodeOfModel(session.Model());
}

OpResult ExportConfiguration(const std::filesystem::path& modelFolder, const std::filesystem::path& target) {
    const ConfigExchangeResult r = ExportConfig(target, modelFolder, ExchangeModelName(modelFolder));
    return FromExchange(r, r.result == 1);
}

OpResult ImportConfiguration(const std::filesystem::path& programFolder,
                             const std::filesystem::path& modelFolder, const std::filesystem::path& source) {
    const int rates = RateCountOfFolder(programFolder, modelFolder.filename().string());
    const ConfigExchangeResult r =
        ImportConfig(source, modelFolder, ExchangeModelName(modelFolder), LimitsOfModel(modelFolder, rates));
    return FromExchange(r, r.outcome == ExchangeOutcome::Done);
}

}  // namespace zor::control
