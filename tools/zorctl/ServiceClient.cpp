#include "ServiceClient.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <cstdlib>
#include <memory>
#include <ostream>

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

void EnsureApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "zorctl";
    static char* argv[] = {name, nullptr};
    static const std::unique_ptr<QCoreApplication> application = std::make_unique<QCoreApplication>(argc, argv);
}

bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ea, eb;
    const auto ca = std::filesystem::weakly_canonical(a, ea);
    const auto cb = std::filesystem::weakly_canonical(b, eb);
    return !ea && !eb && ca == cb;
}

// The program folder the program on the bus serves; empty when no program is on the bus.
std::string ServedFolder(QDBusConnection& bus) {
    QDBusConnectionInterface* names = bus.interface();
    if (names == nullptr || !names->isServiceRegistered(QLatin1String(control::kServiceName)).value()) return {};
    QDBusMessage get = QDBusMessage::createMethodCall(
        QLatin1String(control::kServiceName), QLatin1String(control::kServicePath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QLatin1String(control::kServiceInterface) << QStringLiteral("ProgramFolder");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().first().value<QDBusVariant>().variant().toString().toStdString();
}

}  // namespace

std::optional<ServiceAnswer> CallProgram(CommandContext& ctx, const std::string& method,
                                         const std::vector<ServiceArg>& args) {
    if (ctx.options.standalone || !SessionBusNamed()) return std::nullopt;
    EnsureApplication();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return std::nullopt;
    const std::string folder = ServedFolder(bus);
    if (folder.empty() || !SameFolder(folder, ctx.options.home)) return std::nullopt;

    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(control::kServiceName), QLatin1String(control::kServicePath),
                                       QLatin1String(control::kServiceInterface), QString::fromStdString(method));
    for (const ServiceArg& arg : args) {
        if (const int* number = std::get_if<int>(&arg))
            call << *number;
        else
            call << QString::fromStdString(std::get<std::string>(arg));
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

int Answered(CommandContext& ctx, const ServiceAnswer& answer, const std::string& done) {
    if (ctx.options.trace)
        for (const std::string& frame : answer.frames) ctx.err << frame << '\n';
    if (!answer.ok) return Fail(ctx, answer.error);
    if (!done.empty()) ctx.out << done << '\n';
    return 0;
}

}  // namespace zor::ctl
