// The running program's service on the session D-Bus (docs/dbus.md): while zormouse runs it is
// the one process that writes the user's files and talks to the mouse, so zorctl and the
// desktop ask it. Each method is one typed operation of the control layer run on the window's
// own model and scheduler: the window shows the change at once, and its next Apply saves a
// document that holds it. A call that sends to the mouse answers when its run has ended, with
// the frames the run sent and read back; refusals and lost frames come back as D-Bus errors
// whose message is zorctl's one-line error. Properties follow the device state the window
// shows and announce their changes; the mouse's own events come as a signal. Nothing here
// polls: it runs on the window's messages and the ends of its runs.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "control/Operations.h"

namespace zor::app {

class CZorMainWnd;

class ControlService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "example.zormouse.ZorMouse")
    Q_PROPERTY(bool Connected READ Connected)
    Q_PROPERTY(QString Link READ Link)
    Q_PROPERTY(int Battery READ Battery)
    Q_PROPERTY(int ActiveProfile READ ActiveProfile)
    Q_PROPERTY(int CurrentDpiGear READ CurrentDpiGear)
    Q_PROPERTY(QString ProgramFolder READ ProgramFolder)
    Q_PROPERTY(bool VirtualMouse READ VirtualMouse)

public:
    explicit ControlService(CZorMainWnd& window);
    ~ControlService() override;

    // The object on the bus and the bus name taken; false (said in the debug log) without a
    // session bus or while another program holds the name.
    bool Register(QDBusConnection bus);

    bool Connected() const;
    QString Link() const;
    int Battery() const;
    int ActiveProfile() const;
    int CurrentDpiGear() const;
    QString ProgramFolder() const;
    bool VirtualMouse() const;

public slots:
    // Every method answers (s result, as frames): result is the method's text answer (JSON where
    // it has one), frames every report the call sent ("> ") and read back ("< ").
    void SelectProfile(int profile, QString& result, QStringList& frames);
    void SetReportRate(int profile, int hz, QString& result, QStringList& frames);
    // changes: "value" (i, of the DPI table), "colour" (u, 0xRRGGBB), "enabled" (b), "current" (b).
    void SetDpiGear(int profile, int gear, const QVariantMap& changes, QString& result, QStringList& frames);
    // values: Set.ini option names (any case) -> i.
    void SetPowerOptions(const QVariantMap& values, QString& result, QStringList& frames);
    void SetFireValue(int profile, int value, QString& result, QStringList& frames);
    // mode: its number or the model's name; changes: "colourN" (u), "enableN" (b), "brightness"
    // and "speed" (i), "direction" (s). result: {"mode": M, "name": "..."}.
    void SetLighting(int profile, const QString& mode, const QVariantMap& changes, QString& result,
                     QStringList& frames);
    void ResetToFactory(QString& result, QStringList& frames);
    void ImportConfiguration(const QString& modelFolder, const QString& file, QString& result,
                             QStringList& frames);
    void ExportConfiguration(const QString& modelFolder, const QString& file, QString& result,
                             QStringList& frames);
    // button: a key index 0..19, wheel-up or wheel-down; function: the texts `zorctl set key`
    // takes (a function's name, key:NAME, macro:NAME ...). result: the JSON `zorctl set key
    // --json` prints.
    void SetKey(int profile, const QString& button, const QString& function, QString& result,
                QStringList& frames);
    void GetProfile(int profile, QString& result, QStringList& frames);
    // The mouse's status read now: JSON with device, connection, battery (the byte) and chip.
    void ReadStatus(QString& result, QStringList& frames);
    // The application that has the focus, named by the desktop (a Wayland app_id or a
    // desktop-file id): the mouse's profile follows it by the rules of the profiles per
    // application.
    void FocusedApplication(const QString& appId, QString& result, QStringList& frames);

signals:
    // A report of the mouse's own (a button that changed its DPI gear, profile, lighting or
    // report rate; the DPI pop-up; a BLE event): the name `zorctl watch` prints, the message, its
    // parameters and its text (a BLE event's).
    void DeviceEvent(const QString& name, uint message, qlonglong wParam, qlonglong lParam,
                     const QString& text);

private:
    // One step of a call: what it did; sends says whether it asked for a run.
    using Step = std::function<control::OpResult()>;
    struct Call {
        QDBusMessage message;
        std::vector<Step> steps;
        std::size_t next = 0;
        std::function<QString()> result;  // the text answer once every step is done
        std::string noAnswerPrefix;       // before a delivery problem's text
    };
    // The call queued and run once the device is free; the D-Bus answer is sent at its end.
    void Queue(Call call);
    // An edit of profile queued as zorctl makes it in-process: check first; the profile made the
    // window's (a run when it changes) only once the check has passed; then the edit.
    void QueueEdit(int profile, Step check, Step edit, std::function<QString()> result = {});
    void Pump();
    void RunSteps();
    void OnRunEnded(const control::RunResult& result);
    void Finish(const control::OpResult& outcome);
    // An answer at once (a call that sends nothing).
    void AnswerNow(const control::OpResult& outcome);
    void OnMessage(unsigned message, qintptr wParam, qintptr lParam, const QVariant& payload);
    void AnnounceChanges();
    QVariantMap Properties() const;
    // Refused when no mouse is selected (nothing can be read or sent), with linked when the
    // selected one is not linked, and with document when the model's description or configuration
    // document could not be used.
    std::optional<control::OpResult> NeedsDevice(bool document, bool linked) const;
    std::filesystem::path ModelFolderNamed(const QString& name) const;
    // Refused unless name is a folder under res/MouseVarn.
    std::optional<control::OpResult> CheckModelFolder(const QString& name) const;

    // The operations' edits go to the window's own apply path (message 2051, handled at once).
    class Sender final : public control::EditSender {
    public:
        explicit Sender(ControlService& service) : m_service(service) {}
        void BeforeEdit(int profile) override;
        control::OpResult SendEdit(const control::DeviceEdit& edit) override;
        control::OpResult SendProfileChoice(int profile) override;
        control::OpResult SendConfiguration(int profile, const std::vector<int>& keys) override;

    private:
        ControlService& m_service;
    };

    CZorMainWnd& m_window;
    Sender m_sender{*this};
    QDBusConnection m_bus{QString()};
    bool m_registered = false;
    std::deque<Call> m_queue;
    std::optional<Call> m_current;
    std::deque<control::DeviceEdit> m_deferred;  // the current step's edits after its first run
    bool m_sent = false;      // the step in progress asked for a run
    bool m_stepping = false;  // a step is running
    bool m_awaiting = false;  // the current call waits for the end of its run or read
    bool m_reading = false;   // ... of a device-state read
    QVariantMap m_announced;  // the properties as last announced
};

}  // namespace zor::app
