#include "ServiceClient.h"

#include <pthread.h>
#include <signal.h>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <thread>
#include <type_traits>

#include "control/ServiceNames.h"

namespace zor::ctl {
namespace {

// A call that runs a push of the whole document to a slow mouse takes a while; a program that
// hangs must not keep zorctl forever.
constexpr int kCallTimeoutMs = 120000;

// Only a bus the session names: libdbus would otherwise try to launch one.
bool SessionBusNamed() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0') return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    return runtime != nullptr && *runtime != '\0' &&
           std::filesystem::exists(std::filesystem::path(runtime) / "bus", ec);
}

// zorctl's error stream carries its own one-line messages only: what Qt says about itself (it may
// say something while its D-Bus connection is torn down at exit) shows with ZOR_DEBUG alone.
void QtMessages(QtMsgType, const QMessageLogContext&, const QString& message) {
    if (std::getenv("ZOR_DEBUG") != nullptr) std::fprintf(stderr, "qt: %s\n", qPrintable(message));
}

// The Qt application the bus needs, from the first call to EndProgramConnection.
std::unique_ptr<QCoreApplication>& Application() {
    static std::unique_ptr<QCoreApplication> application;
    return application;
}

void EnsureApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "zorctl";
    static char* argv[] = {name, nullptr};
    // QCoreApplication takes the environment's locale; zorctl's texts and numbers keep the one
    // they had.
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    qInstallMessageHandler(QtMessages);
    Application() = std::make_unique<QCoreApplication>(argc, argv);
    std::setlocale(LC_ALL, locale.c_str());
}

bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ea, eb;
    const auto ca = std::filesystem::weakly_canonical(a, ea);
    const auto cb = std::filesystem::weakly_canonical(b, eb);
    return !ea && !eb && ca == cb;
}

// What the program on the bus serves: its program folder (empty when no program is on the bus)
// and whether it runs on the virtual mouse.
struct Served {
    std::string folder;
    bool virtualMouse = false;
};

Served ServedBy(QDBusConnection& bus) {
    QDBusConnectionInterface* names = bus.interface();
    if (names == nullptr || !names->isServiceRegistered(QLatin1String(control::kServiceName)).value())
        return {};
    QDBusMessage get = QDBusMessage::createMethodCall(
        QLatin1String(control::kServiceName), QLatin1String(control::kServicePath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    get << QLatin1String(control::kServiceInterface);
    const QDBusMessage reply = bus.call(get, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().first());
    return {properties.value(QStringLiteral("ProgramFolder")).toString().toStdString(),
            properties.value(QStringLiteral("VirtualMouse")).toBool()};
}

enum class Way { InProcess, Program, Refused };

constexpr char kConnectionName[] = "zorctl";

// zorctl's own connection to the session bus, closed before the command ends: a connection left
// to the end of the process could still be handing a message over while Qt's statics are torn
// down.
struct ProgramConnection {
    std::optional<QDBusConnection> bus;
    ProgramConnection() {
        EnsureApplication();
        bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QLatin1String(kConnectionName));
    }
    ~ProgramConnection() {
        bus.reset();
        QDBusConnection::disconnectFromBus(QLatin1String(kConnectionName));
    }
    ProgramConnection(const ProgramConnection&) = delete;
    ProgramConnection& operator=(const ProgramConnection&) = delete;
};

// Whether ctx's command may go through a program at all: not with --standalone, nor with a fault
// of zorctl's own virtual mouse, nor without a bus the session names.
bool MayUseProgram(const CommandContext& ctx) {
    return !ctx.options.standalone && ctx.options.virtualFault == MouseFault::None && SessionBusNamed();
}

// Which way ctx's command goes on bus; why not, when refused.
Way ChooseWay(const CommandContext& ctx, QDBusConnection& bus, bool mouse, std::string& refusal) {
    if (!bus.isConnected()) return Way::InProcess;
    const Served served = ServedBy(bus);
    if (served.folder.empty() || !SameFolder(served.folder, ctx.options.home)) return Way::InProcess;
    // In-process work would write the files the program holds: the two must agree on the mouse.
    if (mouse && served.virtualMouse != ctx.options.virtualMouse) {
        refusal = std::string("zormouse runs for this program folder with ") +
                  (served.virtualMouse ? "the virtual mouse: add --virtual" : "real devices: leave out --virtual") +
                  ", or give --standalone to work beside it";
        return Way::Refused;
    }
    return Way::Program;
}

}  // namespace

// Receives the program's DeviceEvent signals and its leaving the bus.
class EventReceiver : public QObject {
    Q_OBJECT
public:
    explicit EventReceiver(std::function<void(const ProgramEvent&)> print) : m_print(std::move(print)) {}
    bool programEnded = false;

public Q_SLOTS:
    void OnEvent(const QString&, uint message, qlonglong wParam, qlonglong lParam, const QString& text) {
        m_print({message, wParam, lParam, text.toStdString()});
    }
    void OnGone() {
        programEnded = true;
        QCoreApplication::quit();
    }

private:
    std::function<void(const ProgramEvent&)> m_print;
};

std::optional<int> WatchProgram(CommandContext& ctx, const std::function<void(const ProgramEvent&)>& print) {
    // Interrupts are taken by one thread with sigwait, before any other thread starts.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    if (!MayUseProgram(ctx)) return std::nullopt;
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    ProgramConnection connection;
    std::optional<QDBusConnection>& bus = connection.bus;
    std::string refusal;
    const Way way = ChooseWay(ctx, *bus, true, refusal);
    if (way != Way::Program) {
        pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
        if (way == Way::Refused) return Fail(ctx, refusal);
        return std::nullopt;
    }
    EventReceiver receiver(print);
    QDBusServiceWatcher watcher(QLatin1String(control::kServiceName), *bus,
                                QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, &receiver, &EventReceiver::OnGone);
    if (!bus->connect(QLatin1String(control::kServiceName), QLatin1String(control::kServicePath),
                      QLatin1String(control::kServiceInterface), QStringLiteral("DeviceEvent"), &receiver,
                      SLOT(OnEvent(QString, uint, qlonglong, qlonglong, QString)))) {
        pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
        return Fail(ctx, "cannot follow the running program's events");
    }
    // The program may have ended between the look-up and the subscription.
    if (ServedBy(*bus).folder.empty()) receiver.OnGone();
    std::thread interrupt([&stops] {
        int signal = 0;
        sigwait(&stops, &signal);
        if (signal != 0)
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                      Qt::QueuedConnection);
    });
    if (!receiver.programEnded) QCoreApplication::exec();
    // The waiting thread ends with a signal of its own when the program ended first.
    if (receiver.programEnded) pthread_kill(interrupt.native_handle(), SIGTERM);
    interrupt.join();
    pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
    if (receiver.programEnded) return Fail(ctx, "the running program ended");
    return 0;
}

std::optional<ServiceAnswer> CallProgram(CommandContext& ctx, const std::string& method,
                                         const std::vector<ServiceArg>& args, bool mouse) {
    if (!MayUseProgram(ctx)) return std::nullopt;
    ProgramConnection connection;
    QDBusConnection& bus = *connection.bus;
    std::string refusal;
    const Way way = ChooseWay(ctx, bus, mouse, refusal);
    if (way == Way::InProcess) return std::nullopt;
    if (way == Way::Refused) return ServiceAnswer{false, refusal, {}, {}};

    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(control::kServiceName), QLatin1String(control::kServicePath),
        QLatin1String(control::kServiceInterface), QString::fromStdString(method));
    for (const ServiceArg& arg : args) {
        if (const int* number = std::get_if<int>(&arg)) {
            call << *number;
        } else if (const auto* text = std::get_if<std::string>(&arg)) {
            call << QString::fromStdString(*text);
        } else if (const auto* changes = std::get_if<ServiceChanges>(&arg)) {
            QVariantMap map;
            for (const auto& [name, value] : *changes)
                map.insert(QString::fromStdString(name), std::visit(
                                                             [](const auto& v) -> QVariant {
                                                                 using T = std::decay_t<decltype(v)>;
                                                                 if constexpr (std::is_same_v<T, std::string>)
                                                                     return QString::fromStdString(v);
                                                                 else
                                                                     return QVariant::fromValue(v);
                                                             },
                                                             value));
            call << map;
        } else {
            const auto& numbers = std::get<std::vector<int>>(arg);
            call << QVariant::fromValue(QList<int>(numbers.begin(), numbers.end()));
        }
    }
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    ServiceAnswer answer;
    if (reply.type() == QDBusMessage::ErrorMessage) {
        // The program ended between the look-up and the call: nothing was done, so in-process.
        if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
            reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
            return std::nullopt;
        answer.ok = false;
        const bool ours = reply.errorName().startsWith(QLatin1String(control::kServiceName));
        answer.error = ours ? reply.errorMessage().toStdString()
                            : "the running program did not answer: " + reply.errorMessage().toStdString();
        return answer;
    }
    const QList<QVariant> out = reply.arguments();
    if (!out.empty()) answer.text = out.at(0).toString().toStdString();
    if (out.size() > 1)
        for (const QString& frame : out.at(1).toStringList()) answer.frames.push_back(frame.toStdString());
    return answer;
}

void EndProgramConnection() {
    Application().reset();
}

int Answered(CommandContext& ctx, const ServiceAnswer& answer, const std::string& done) {
    if (ctx.options.trace)
        for (const std::string& frame : answer.frames) ctx.err << frame << '\n';
    if (!answer.ok) return Fail(ctx, answer.error);
    if (!done.empty()) ctx.out << done << '\n';
    return 0;
}

}  // namespace zor::ctl

#include "ServiceClient.moc"
