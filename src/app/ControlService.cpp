#include "app/ControlService.h"

#include <QDBusConnectionInterface>
#include <QMetaObject>
#include <limits>
#include <memory>

#include "app/ZorMainWnd.h"
#include "app/ZorMainWndNames.h"
#include "common/Debug.h"
#include "common/Text.h"
#include "control/AppProfiles.h"
#include "control/ProfileView.h"
#include "control/ServiceNames.h"
#include "control/SettingsOperations.h"
#include "device/DeviceMessages.h"

namespace zor::app {
namespace {

QStringList ToStrings(const std::vector<std::string>& lines) {
    QStringList list;
    for (const std::string& line : lines) list << QString::fromStdString(line);
    return list;
}

bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ea, eb;
    const auto ca = std::filesystem::weakly_canonical(a, ea);
    const auto cb = std::filesystem::weakly_canonical(b, eb);
    return !ea && !eb && ca == cb;
}

// A number of a changes map (any integer type a client sends) that fits an int.
std::optional<long long> NumberOf(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::UChar:
            break;
        default:
            return std::nullopt;
    }
    bool ok = false;
    const long long number = value.toLongLong(&ok);
    if (!ok || number < std::numeric_limits<int>::min() || number > std::numeric_limits<unsigned>::max())
        return std::nullopt;
    return number;
}

std::optional<int> IntOf(const QVariant& value) {
    const auto number = NumberOf(value);
    if (!number || *number > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(*number);
}

std::optional<bool> BoolOf(const QVariant& value) {
    if (value.typeId() != QMetaType::Bool) return std::nullopt;
    return value.toBool();
}

// The slot of a key "<prefix>N" (N decimal), or nullopt.
std::optional<int> SlotOf(const QString& key, QLatin1String prefix) {
    if (!key.startsWith(prefix)) return std::nullopt;
    const QString digits = key.mid(prefix.size());
    if (digits.isEmpty() || digits.size() > 4) return std::nullopt;
    for (const QChar c : digits)
        if (!c.isDigit()) return std::nullopt;
    return digits.toInt();
}

control::OpResult BadChange(const char* method, const QString& key, const char* takes) {
    return control::OpResult::Refuse(std::string(method) + ": no change \"" + key.toStdString() +
                                     "\"; it takes " + takes);
}

}  // namespace

ControlService::ControlService(CZorMainWnd& window) : QObject(&window), m_window(window) {
    connect(&window, &CZorMainWnd::runEnded, this, &ControlService::OnRunEnded);
    connect(&window, &CZorMainWnd::messageRouted, this, &ControlService::OnMessage);
}

ControlService::~ControlService() {
    // Calls still waiting learn that they were cut off rather than waiting for their time-out.
    std::vector<QDBusMessage> waiting;
    if (m_current) waiting.push_back(m_current->message);
    for (const Call& call : m_queue) waiting.push_back(call.message);
    for (const QDBusMessage& call : waiting)
        m_bus.send(call.createErrorReply(QLatin1String(control::kServiceErrorNoAnswer),
                                         QStringLiteral("the program ended before the call was done")));
    if (m_registered) {
        m_bus.unregisterService(QLatin1String(control::kServiceName));
        m_bus.unregisterObject(QLatin1String(control::kServicePath));
    }
}

bool ControlService::Register(QDBusConnection bus) {
    if (!bus.isConnected()) {
        DebugLine("no session D-Bus: zorctl works beside the program, not through it\n");
        return false;
    }
    if (!bus.registerObject(QLatin1String(control::kServicePath), this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties)) {
        DebugF("the D-Bus object %s could not be registered\n", control::kServicePath);
        return false;
    }
    if (!bus.registerService(QLatin1String(control::kServiceName))) {
        DebugF("another program holds the D-Bus name %s\n", control::kServiceName);
        bus.unregisterObject(QLatin1String(control::kServicePath));
        return false;
    }
    m_bus = bus;
    m_registered = true;
    m_announced = Properties();
    DebugF("serving %s on the session D-Bus\n", control::kServiceName);
    return true;
}

// ---------------------------------------------------------------- properties and events

bool ControlService::Connected() const {
    return m_window.Connected() && m_window.Stack().SelectedEntry() != nullptr;
}

QString ControlService::Link() const {
    if (!Connected()) return {};
    switch (control::ConnectionOf(m_window.Stack())) {
        case RateConnection::Ble:
            return QStringLiteral("BLE");
        case RateConnection::Receiver:
            return QStringLiteral("2.4G");
        case RateConnection::Cable:
            break;
    }
    return QStringLiteral("cable");
}

int ControlService::Battery() const {
    const int battery = m_window.Battery();
    return Connected() && battery >= 0 ? std::min(battery & 0x7F, 100) : -1;
}

int ControlService::ActiveProfile() const {
    return m_window.Model().Profile();
}

int ControlService::CurrentDpiGear() const {
    return m_window.Stack().View().Get().currentGear;
}

QString ControlService::ProgramFolder() const {
    return QString::fromStdString(m_window.Model().ProgramFolder().string());
}

bool ControlService::VirtualMouse() const {
    return m_window.Stack().Mouse() != nullptr;
}

QVariantMap ControlService::Properties() const {
    return {{QStringLiteral("Connected"), Connected()},
            {QStringLiteral("Link"), Link()},
            {QStringLiteral("Battery"), Battery()},
            {QStringLiteral("ActiveProfile"), ActiveProfile()},
            {QStringLiteral("CurrentDpiGear"), CurrentDpiGear()},
            {QStringLiteral("ProgramFolder"), ProgramFolder()}};
}

void ControlService::AnnounceChanges() {
    if (!m_registered) return;
    const QVariantMap now = Properties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (m_announced.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    if (changed.isEmpty()) return;
    m_announced = now;
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(control::kServicePath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QLatin1String(control::kServiceInterface) << changed << QStringList();
    m_bus.send(signal);
}

void ControlService::OnMessage(unsigned message, qintptr wParam, qintptr lParam, const QVariant& payload) {
    if (const char* name = DeviceEventName(message))
        emit DeviceEvent(QLatin1String(name), message, wParam, lParam, payload.toString());
    if (message == kMsgStateReadDone && m_current && m_awaiting && m_reading) {
        m_window.Frames().Pause();
        m_awaiting = m_reading = false;
    }
    AnnounceChanges();
    Pump();  // a call may have waited for the device
}

// ---------------------------------------------------------------- calls

std::optional<control::OpResult> ControlService::NeedsDevice(bool document, bool linked) const {
    if (m_window.Stack().SelectedEntry() == nullptr) return control::OpResult::Refuse("no device found");
    // A receiver without its mouse takes nothing: the change would be saved and never sent.
    if (linked && !Connected()) return control::OpResult::Refuse("the mouse is not connected; nothing was changed");
    // A document that could not be read is neither shown, saved nor sent (the window offers its
    // two ways on): said as an in-process command says it.
    const control::ModelSession& model = m_window.Model();
    if (document && !model.Description().ok())
        return control::OpResult::Refuse("cannot use the model description " + model.Description().error);
    if (const auto& unread = model.Unread(); document && unread)
        return control::OpResult::Refuse(unread->missing
                                             ? "no configuration in " + unread->file.string()
                                             : "cannot read " + unread->file.string() + ": " + unread->reason);
    return std::nullopt;
}

std::optional<control::OpResult> ControlService::CheckModelFolder(const QString& name) const {
    const std::string text = name.toStdString();
    if (text.empty() || text.find('/') != std::string::npos || text == "." || text == "..")
        return control::OpResult::Refuse("\"" + text + "\" is not a folder name under res/MouseVarn");
    if (!std::filesystem::is_directory(ModelFolderNamed(name)))
        return control::OpResult::Refuse("no model folder " + ModelFolderNamed(name).string());
    return std::nullopt;
}

std::filesystem::path ControlService::ModelFolderNamed(const QString& name) const {
    return m_window.Model().ProgramFolder() / "res" / "MouseVarn" / name.toStdString();
}

void ControlService::AnswerNow(const control::OpResult& outcome) {
    if (outcome.Done()) return;
    sendErrorReply(QLatin1String(outcome.outcome == control::OpResult::Outcome::NoAnswer
                                     ? control::kServiceErrorNoAnswer
                                     : control::kServiceErrorRefused),
                   QString::fromStdString(outcome.reason));
}

void ControlService::Queue(Call call) {
    setDelayedReply(true);
    call.message = message();
    m_queue.push_back(std::move(call));
    // Run from the event loop, after this method has returned its (ignored) answer.
    QMetaObject::invokeMethod(this, &ControlService::Pump, Qt::QueuedConnection);
}

void ControlService::Pump() {
    // A step's own window messages come back here while it runs: it is not run again meanwhile.
    if (m_stepping) return;
    control::RunScheduler& scheduler = m_window.Scheduler();
    if (scheduler.DeviceBusy() || scheduler.Flags().profileChanged) return;  // again when it is free
    if (!m_current) {
        if (m_queue.empty()) return;
        m_current = std::move(m_queue.front());
        m_queue.pop_front();
        m_window.Frames().Start();
        m_window.Frames().Pause();
    }
    if (!m_awaiting) RunSteps();
}

void ControlService::RunSteps() {
    while (m_current && (!m_deferred.empty() || m_current->next < m_current->steps.size())) {
        m_sent = false;
        m_window.Frames().Resume();
        m_stepping = true;
        control::OpResult outcome;
        if (!m_deferred.empty()) {
            const control::DeviceEdit edit = m_deferred.front();
            m_deferred.pop_front();
            outcome = m_sender.SendEdit(edit);
        } else {
            outcome = m_current->steps[m_current->next++]();
        }
        m_stepping = false;
        const bool running = m_window.Scheduler().RunInProgress();
        m_reading = m_window.Scheduler().ReadInProgress();
        if (!running && !m_reading) m_window.Frames().Pause();
        if (!outcome.Done()) return Finish(outcome);
        if (!m_sent) continue;
        if (!running && !m_reading)
            return Finish({control::OpResult::Outcome::NoAnswer,
                           "the mouse is not connected; the change is saved and is sent when it is"});
        m_awaiting = true;
        return;  // on at the run's (or the read's) end
    }
    if (m_current) Finish({});
}

void ControlService::OnRunEnded(const control::RunResult& result) {
    if (!m_current || !m_awaiting || m_reading) return;
    m_window.Frames().Pause();
    m_awaiting = false;
    if (const std::string problem = control::DeliveryProblem(result); !problem.empty())
        return Finish({control::OpResult::Outcome::NoAnswer, m_current->noAnswerPrefix + problem});
    // The next step once the window has finished with the run's end.
    QMetaObject::invokeMethod(this, &ControlService::Pump, Qt::QueuedConnection);
}

void ControlService::Finish(const control::OpResult& outcome) {
    Call call = std::move(*m_current);
    m_current.reset();
    m_deferred.clear();
    m_awaiting = m_reading = false;
    const QStringList frames = ToStrings(m_window.Frames().Stop());
    if (outcome.Done()) {
        m_bus.send(call.message.createReply({call.result ? call.result() : QString(), frames}));
    } else {
        const char* name = outcome.outcome == control::OpResult::Outcome::NoAnswer
                               ? control::kServiceErrorNoAnswer
                               : control::kServiceErrorRefused;
        m_bus.send(
            call.message.createErrorReply(QLatin1String(name), QString::fromStdString(outcome.reason)));
    }
    AnnounceChanges();
    QMetaObject::invokeMethod(this, &ControlService::Pump, Qt::QueuedConnection);
}

void ControlService::Sender::BeforeEdit(int profile) {
    m_service.m_window.Pages().ImmediateSender().BeforeEdit(profile);
}

control::OpResult ControlService::Sender::SendEdit(const control::DeviceEdit& edit) {
    // One run per step: an operation's further edits (a DPI value and its colour, several power
    // options) each go in a run of their own after it, as they do in-process.
    if (m_service.m_sent) {
        m_service.m_deferred.push_back(edit);
        return {};
    }
    // As a command-line edit: saved (and announced, which shows it on the pages) before it is
    // sent; then it goes the way the window's own pages send it, handled before this returns.
    const ConfigResult saved = m_service.m_window.SaveAndAnnounce();
    if (!saved.ok) return control::OpResult::Refuse("the configuration was not saved: " + saved.error);
    m_service.m_sent = true;
    return m_service.m_window.Pages().ImmediateSender().SendEdit(edit);
}

control::OpResult ControlService::Sender::SendConfiguration(int profile, const std::vector<int>& keys) {
    const control::OpResult r = m_service.m_window.Pages().ImmediateSender().SendConfiguration(profile, keys);
    m_service.m_sent = r.Done();
    return r;
}

control::OpResult ControlService::Sender::SendProfileChoice(int profile) {
    m_service.m_sent = true;
    ui::SendMessageTo(&m_service.m_window, kMsgApply,
                      kApplySyncFlag | static_cast<int>(ApplyKind::ActiveProfile), profile);
    return {};
}

// ---------------------------------------------------------------- the methods

void ControlService::SelectProfile(int profile, QString&, QStringList&) {
    if (const auto refused = NeedsDevice(true, true)) return AnswerNow(*refused);
    Call call;
    call.steps.push_back([this, profile] {
        const control::OpResult r =
            control::SelectProfile(m_window.Model(), m_window.Scheduler(), m_sender, profile);
        m_window.RefreshPages();
        return r;
    });
    Queue(std::move(call));
}

void ControlService::QueueEdit(int profile, Step check, Step edit, std::function<QString()> result) {
    Call call;
    call.steps.push_back([this, profile, check = std::move(check)] {
        const control::OpResult r = check();
        if (!r.Done() || profile == m_window.Model().Profile()) return r;
        const control::OpResult selected =
            control::SelectProfile(m_window.Model(), m_window.Scheduler(), m_sender, profile);
        m_window.RefreshPages();
        return selected;
    });
    call.steps.push_back([this, edit = std::move(edit)] {
        const control::OpResult r = edit();
        m_window.RefreshPages();
        return r;
    });
    call.result = std::move(result);
    Queue(std::move(call));
}

void ControlService::SetReportRate(int profile, int hz, QString&, QStringList&) {
    if (const auto refused = NeedsDevice(true, true)) return AnswerNow(*refused);
    if (profile < 0 || profile >= kConfigProfiles)
        return AnswerNow(control::OpResult::Refuse(Format("profile %d is not 0..2", profile)));
    auto option = std::make_shared<int>(-1);
    QueueEdit(
        profile,
        [this, hz, option] {
            return control::RateOptionOfHz(m_window.Model().ModelName(),
                                           control::ConnectionOf(m_window.Stack()), hz, *option);
        },
        [this, profile, option] {
            return control::SetReportRate(m_window.Model(), control::ConnectionOf(m_window.Stack()), m_sender,
                                          profile, *option);
        });
}

void ControlService::SetDpiGear(int profile, int gear, const QVariantMap& changes, QString&, QStringList&) {
    if (const auto refused = NeedsDevice(true, true)) return AnswerNow(*refused);
    control::DpiGearEdit edit;
    edit.gear = gear;
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        const QString& key = it.key();
        const std::optional<int> number = IntOf(it.value());
        const std::optional<long long> wide = NumberOf(it.value());
        const std::optional<bool> flag = BoolOf(it.value());
        if (key == QLatin1String("value") && number)
            edit.value = *number;
        else if (key == QLatin1String("colour") && wide && *wide >= 0)
            edit.colour = static_cast<std::uint32_t>(*wide);
        else if (key == QLatin1String("enabled") && flag)
            edit.enabled = *flag;
        else if (key == QLatin1String("current") && flag)
            edit.current = *flag;
        else
            return AnswerNow(BadChange("SetDpiGear", key, "value (i), colour (u), enabled (b), current (b)"));
    }
    QueueEdit(
        profile, [this, profile, edit] { return control::CheckDpiGear(m_window.Model(), profile, edit); },
        [this, profile, edit] { return control::SetDpiGear(m_window.Model(), m_sender, profile, edit); });
}

void ControlService::SetPowerOptions(const QVariantMap& values, QString&, QStringList&) {
    if (const auto refused = NeedsDevice(true, true)) return AnswerNow(*refused);
    std::vector<std::pair<PowerKey, int>> options;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        PowerKey key{};
        if (const control::OpResult named = control::PowerKeyNamed(it.key().toStdString(), key);
            !named.Done())
            return AnswerNow(named);
        const std::optional<int> value = IntOf(it.value());
        if (!value) return AnswerNow(BadChange("SetPowerOptions", it.key(), "a number (i)"));
        options.emplace_back(key, *value);
    }
    // Mouse-wide: no profile to select.
    Call call;
    call.steps.push_back([this, options] {
        const control::OpResult r = control::SetPowerOptions(m_window.Model(), m_sender, options);
        m_window.RefreshPages();
        return r;
    });
    Queue(std::move(call));
}

void ControlService::SetFireValue(int profile, int value, QString&, QStringList&) {
    if (const auto refused = NeedsDevice(true, true)) return AnswerNow(*refused);
    QueueEdit(
        profile, [profile, value] { return control::CheckFireValue(profile, value); },
        [this, profile, value] { return control::SetFireValue(m_window.Model(), m_sender, profile, value); });
}

void ControlService::SetLighting(int profile, const QString& mode, const QVariantMap& changes, QString&,
                                 QStringList&) {
    if (const auto refused = NeedsDevice(true, true)) return AnswerNow(*refused);
    auto edit = std::make_shared<LightingEdit>();
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        const QString& key = it.key();
        const std::optional<int> number = IntOf(it.value());
        const std::optional<long long> wide = NumberOf(it.value());
        const std::optional<bool> flag = BoolOf(it.value());
        if (const auto slot = SlotOf(key, QLatin1String("colour")); slot && wide && *wide >= 0) {
            edit->colours.emplace_back(*slot, static_cast<std::uint32_t>(*wide));
        } else if (const auto on = SlotOf(key, QLatin1String("enable")); on && flag) {
            edit->enables.emplace_back(*on, *flag);
        } else if (key == QLatin1String("brightness") && number) {
            edit->brightness = *number;
        } else if (key == QLatin1String("speed") && number) {
            edit->speed = *number;
        } else if (key == QLatin1String("direction") && it.value().typeId() == QMetaType::QString) {
            edit->direction = control::LightDirectionOfText(it.value().toString().toStdString());
            if (!edit->direction)
                return AnswerNow(
                    control::OpResult::Refuse("the direction is backward, positive, twoway or cover"));
        } else {
            return AnswerNow(BadChange("SetLighting", key,
                                       "colourN (u), enableN (b), brightness (i), speed (i), direction (s)"));
        }
    }
    auto name = std::make_shared<std::string>();
    QueueEdit(
        profile,
        [this, profile, edit, name, text = mode.toStdString()] {
            int number = -1;
            if (control::OpResult r = control::LightingModeOfText(m_window.Model(), text, number, name.get());
                !r.Done())
                return r;
            edit->mode = number;
            return control::CheckLighting(m_window.Model(), profile, *edit);
        },
        [this, profile, edit] { return control::SetLighting(m_window.Model(), m_sender, profile, *edit); },
        [edit, name] {
            return QString::fromStdString(
                nlohmann::json{{"mode", edit->mode.value_or(-1)}, {"name", *name}}.dump());
        });
}

void ControlService::SetKey(int profile, const QString& button, const QString& function, QString&,
                            QStringList&) {
    if (const auto refused = NeedsDevice(true, true)) return AnswerNow(*refused);
    int slot = -1;
    if (const control::OpResult named = control::KeySlotOfText(button.toStdString(), slot); !named.Done())
        return AnswerNow(named);
    auto choice = std::make_shared<KeyChoice>();
    QueueEdit(
        profile,
        [this, profile, slot, choice, text = function.toStdString()] {
            control::ModelSession& model = m_window.Model();
            const ParsedFunction parsed = ParseFunction(text, model.catalog, model.macros, model.keys);
            if (!parsed.choice) return control::OpResult::Refuse(parsed.error);
            *choice = *parsed.choice;
            return control::CheckKey(model, control::KeyRulesOf(m_window.Stack(), model), profile, slot,
                                     *choice);
        },
        [this, profile, slot, choice] {
            control::ModelSession& model = m_window.Model();
            return control::SetKey(model, m_sender, control::KeyRulesOf(m_window.Stack(), model), profile,
                                   slot, *choice);
        },
        [this, profile, slot] {
            return QString::fromStdString(control::DescribeKey(m_window.Model(), profile, slot).dump(4));
        });
}

void ControlService::ResetToFactory(QString&, QStringList&) {
    if (const auto refused = NeedsDevice(true, true)) return AnswerNow(*refused);
    Call call;
    call.noAnswerPrefix = "factory settings restored in the files, but ";
    call.steps.push_back([this] {
        const control::OperationResult reset = m_window.ResetAndPush();
        if (!reset.ok)
            return control::OpResult::Refuse("factory reset refused, nothing changed: " + reset.error);
        m_sent = true;
        return control::OpResult{};
    });
    call.result = [this] {
        const DeviceEntry* entry = m_window.Stack().SelectedEntry();
        return QString::fromStdString(
            nlohmann::json{{"device", entry != nullptr ? entry->displayName : std::string()},
                           {"model", m_window.Model().ModelName()}}
                .dump());
    };
    Queue(std::move(call));
}

void ControlService::ImportConfiguration(const QString& modelFolder, const QString& file, QString&,
                                         QStringList&) {
    if (const auto refused = CheckModelFolder(modelFolder)) return AnswerNow(*refused);
    const std::filesystem::path folder = ModelFolderNamed(modelFolder);
    Call call;
    call.steps.push_back([this, folder, source = file.toStdString()] {
        const control::OpResult r =
            control::ImportConfiguration(m_window.Model().ProgramFolder(), folder, source);
        // The model in use is loaded again, shown and pushed with new profile identifiers, as the
        // window's own import does; the call does not wait for that push.
        if (r.Done() && SameFolder(folder, m_window.Model().ModelFolder())) m_window.ReloadAndPushAll();
        return r;
    });
    Queue(std::move(call));
}

void ControlService::ExportConfiguration(const QString& modelFolder, const QString& file, QString&,
                                         QStringList&) {
    if (const auto refused = CheckModelFolder(modelFolder)) return AnswerNow(*refused);
    const std::filesystem::path folder = ModelFolderNamed(modelFolder);
    // What the window holds goes out, as the window's own export does.
    if (SameFolder(folder, m_window.Model().ModelFolder()) && m_window.Model().DocumentLoaded())
        m_window.Model().Save();
    AnswerNow(control::ExportConfiguration(folder, file.toStdString()));
}

void ControlService::GetProfile(int profile, QString& result, QStringList&) {
    if (const auto refused = NeedsDevice(true, false)) return AnswerNow(*refused);
    const control::ModelSession& model = m_window.Model();
    if (profile < -1 || profile >= kConfigProfiles)
        return AnswerNow(control::OpResult::Refuse(Format("profile %d is not 0..2", profile)));
    result = QString::fromStdString(
        control::DescribeProfile(model, profile >= 0 ? profile : model.Profile()).dump());
}

void ControlService::ReadStatus(QString&, QStringList&) {
    if (const auto refused = NeedsDevice(false, false)) return AnswerNow(*refused);
    Call call;
    call.steps.push_back([this] {
        m_sent = true;
        ui::SendMessageTo(&m_window, kMsgReadDeviceState, 0, 0);
        return control::OpResult{};
    });
    call.steps.push_back([this] {
        if (!m_window.Scheduler().LastStateRead().ok)
            return control::OpResult::Refuse("the mouse gave no valid reply to the status read");
        return control::OpResult{};
    });
    call.result = [this] {
        const control::StateRead read = m_window.Scheduler().LastStateRead();
        const DeviceEntry* entry = m_window.Stack().SelectedEntry();
        return QString::fromStdString(nlohmann::json{
            {"device", entry != nullptr ? entry->displayName : std::string()},
            {"connection", read.connection},
            {"battery", read.battery},
            {"chip", read.chip},
            {"activeProfile", m_window.Model().Profile()},
            {"focusedApplication", m_window.FollowedApplication()}}.dump());
    };
    Queue(std::move(call));
}

void ControlService::FocusedApplication(const QString& appId, QString&, QStringList&) {
    const std::string id = appId.toStdString();
    if (const std::string problem = control::AppIdProblem(id); !problem.empty())
        return AnswerNow(control::OpResult::Refuse(problem));
    m_window.FocusedApplication(appId);
}

}  // namespace zor::app
