#include "settings/ApplyPipeline.h"

#include <algorithm>

#include "common/Debug.h"
#include "config/DeviceFeature.h"
#include "settings/DpiRules.h"

namespace zor {
namespace {

class RunContext {
public:
    RunContext(CommandSet& commands, ApplyJob& job, ApplyOutcome& out)
        : m_c(commands), m_job(job), m_out(out) {}

    void Repeat(int op, int subOp) {
        for (int i = 0; i < m_out.repeat; ++i) m_c.WriteSetting(op, m_job.profile, subOp);
    }
    // Step 9: the write of the run's mode.
    void ModeWrite() {
        if (m_job.mode == RunMode::Synchronise) {
            if (m_job.flags.regenerateAll) RenewIds(true, false);
            m_c.ApplyAll(m_job.profile);
            m_out.fullWrite = true;
        } else {
            Repeat(static_cast<int>(m_job.kind), 0);
            m_out.singleWrite = true;
        }
    }
    // Step 7: new identifiers for the current profile (all three with regenerate-all), then the
    // current one written into the mouse.
    void RenewIds(bool all, bool write = true) {
        for (int p = 0; p < kConfigProfileCount; ++p) {
            if (!all && p != m_job.profile) continue;
            std::uint16_t id = 0;
            while (id == 0) id = m_job.draw ? m_job.draw() : 1;
            m_job.settings.profileIds[static_cast<std::size_t>(p)] = id;
            if (std::find(m_out.renewedProfiles.begin(), m_out.renewedProfiles.end(), p) ==
                m_out.renewedProfiles.end())
                m_out.renewedProfiles.push_back(p);
            DebugF("random:%d\n", id);
        }
        m_out.idsRenewed = true;
        if (write) Repeat(kOpProfile, kSubProfileId);
    }
    // Steps 4 and 6: an edit.
    bool PushEdit() {
        if (m_job.flags.fireKeyResend) {
            m_job.flags.fireKeyResend = false;
            const ProfileSettings profile = m_job.settings.Profile(m_job.profile);
            bool any = false;
            for (int key = 0; key < kKeyCount; ++key) {
                if (profile.keys[static_cast<std::size_t>(key)].function != kFireKeyFunction) continue;
                m_c.currentKey = key;
                ModeWrite();
                any = true;
            }
            return any;
        }
        m_c.currentKey = m_job.currentKey;
        bool sent = false;
        for (std::size_t i = 0; i < kSingleWrites.size(); ++i) {
            if (!m_job.flags.single[i]) continue;
            const int times = m_job.ble ? 1 : m_out.repeat;
            for (int n = 0; n < times; ++n)
                m_c.WriteSetting(kSingleWrites[i].op, m_job.profile, kSingleWrites[i].subOp);
            m_out.singleWrite = true;
            sent = true;
            break;
        }
        m_job.flags.single = {};
        if (!sent) ModeWrite();
        return true;
    }
    // The keys of the profile bound to a changed macro, each with its macro's new stream (the
    // key write carries it). Macro streams do not go over BLE: they stay to be sent.
    bool ResendMacros() {
        const auto& changed = m_job.flags.macroResend;
        if (changed.empty() || m_job.ble) return false;
        const ProfileSettings profile = m_job.settings.Profile(m_job.profile);
        bool any = false;
        for (int key = 0; key < kKeyCount; ++key) {
            const KeyAssignment& assigned = profile.keys[static_cast<std::size_t>(key)];
            if (assigned.groupGuid.empty() || assigned.macroGuid.empty()) continue;
            if (std::find(changed.begin(), changed.end(),
                          std::make_pair(assigned.groupGuid, assigned.macroGuid)) == changed.end())
                continue;
            m_c.currentKey = key;
            Repeat(key >= kFirstComboKey ? kOpComboKey : kOpKey, 0);
            any = true;
        }
        m_out.macrosSent = changed;
        return any;
    }
    int ReadOp(int op, int subOp) {
        m_c.Request() = DeviceRequest{};
        m_c.Request().op = static_cast<std::uint8_t>(op);
        m_c.Request().subOp = static_cast<std::uint8_t>(subOp);
        return m_c.ReadRequest();
    }
    // Step 5 (and 3 over BLE): read the profile state and the identifiers, then push or read back.
    void Synchronise() {
        bool failed = false;
        if (m_job.ble && m_job.flags.profileChanged) Repeat(kOpProfile, kSubActiveProfile);
        if (!m_job.ble || !m_job.flags.readBackPending) {
            if (ReadOp(kOpProfile, kSubActiveProfile) == 1) {
                int mouseProfile = m_c.Request().activeProfile;
                if (mouseProfile > 2) mouseProfile = 0;
                // A profile the user has just selected is the one to bring into the mouse. Over
                // BLE the reply arrives later as a bridge event (and is shown when it comes): the
                // record holds no answer yet, and taking it for one would switch the pages (and
                // then the mouse) back to profile 0 after the mouse's own profile change.
                if (!m_job.ble && !m_job.flags.profileChanged && mouseProfile != m_job.profile) {
                    m_job.profile = mouseProfile;
                    m_out.pagesProfile = mouseProfile;
                }
            } else {
                failed = true;
            }
        }
        if (ReadOp(kOpProfile, kSubProfileId) == 1) {
            m_out.idsRead = true;
            m_out.mouseIds = m_c.Request().profileIds;
        } else {
            failed = true;
        }
        const auto p = static_cast<std::size_t>(m_job.profile);
        const bool mismatch = failed || m_out.mouseIds[p] != m_job.settings.profileIds[p];
        DebugF("profile id mouse:%d document:%d\n", m_out.mouseIds[p], m_job.settings.profileIds[p]);
        if (mismatch || m_job.flags.forcePush || m_job.flags.regenerateAll) {
            ModeWrite();
            RenewIds(m_job.flags.regenerateAll);
            return;
        }
        if (m_job.flags.profileChanged && !m_job.ble) Repeat(kOpProfile, kSubActiveProfile);
        if (m_out.pagesProfile || m_job.flags.profileChanged) m_out.readBack = m_c.ReadCurrentState();
    }

    // Reads the mouse's active profile, its identifiers, DPI table, lighting and report rate;
    // sends no write.
    void ReadMouseSettings() {
        MouseSettingsRead read;
        if (ReadOp(kOpProfile, kSubActiveProfile) == 1 && m_c.LastReadReplied())
            read.profile = m_c.Request().activeProfile > 2 ? 0 : m_c.Request().activeProfile;
        if (ReadOp(kOpProfile, kSubProfileId) == 1 && m_c.LastReadReplied())
            read.ids = m_c.Request().profileIds;
        m_c.Request() = DeviceRequest{};
        read.state = m_c.ReadCurrentState();
        // The state read leaves what its replies brought in the record: a gear means the DPI
        // table came, a lighting slot the mode's header and (modes 1..8) its parameter block.
        const DeviceRequest& r = m_c.Request();
        if (read.state.currentGear >= 0) {
            std::array<DpiGear, kDpiGears> gears{};
            for (std::size_t g = 0; g < gears.size(); ++g) {
                gears[g].value = static_cast<int>(r.dpi[g] & 0xFFFF);
                gears[g].enabled = (r.gearMask & (1u << g)) != 0;
                gears[g].attribute = (r.dpiAttributes >> (2 * g)) & 0x3;
            }
            read.gears = gears;
        }
        const int mode = r.modeByte & kModeNumberMask;
        if (read.state.lightingSlot >= 0 && mode >= 1 && mode <= 8)
            read.lighting = LightingSettings{mode, r.headerValue, r.modeParams, r.modeColours};
        m_out.mouseSettings = read;
    }

private:
    static constexpr int kConfigProfileCount = 3;
    CommandSet& m_c;
    ApplyJob& m_job;
    ApplyOutcome& m_out;
};

}  // namespace

int RepeatCount(int connectionType, int writeTimes, bool ble) {
    if (ble || connectionType == 1) return 1;
    return writeTimes >= 1 ? std::min(writeTimes, kMaxWriteTimes) : kDefaultWriteTimes;
}

namespace {

// The command set takes over the job's snapshot for one pass and gives it back afterwards; the
// pass's lost frames and noise replies are counted into the outcome.
class TakeOver {
public:
    TakeOver(CommandSet& commands, ApplyJob& job, ApplyOutcome& out)
        : m_commands(commands), m_job(job), m_out(out) {
        // A stored report rate outside what the page offers is sent as the page shows it.
        const RateConnection connection = job.ble                   ? RateConnection::Ble
                                          : job.connectionType == 1 ? RateConnection::Cable
                                                                    : RateConnection::Receiver;
        for (ProfileSettings& profile : job.settings.profiles)
            profile.reportRateIndex =
                LimitedReportRateIndex(profile.reportRateIndex, commands.Model().matchedName, connection);
        commands.SetSettings(&job.settings);
        commands.SetMacroSources(job.predefined, job.macros.get());
        // A mouse that stopped answering in an earlier run gets a new chance with this one.
        commands.Link().Resume();
        m_failedBefore = commands.Link().FailedSends();
        m_badBefore = commands.Link().BadReplies();
    }
    ~TakeOver() {
        m_commands.SetSettings(nullptr);
        m_commands.SetMacroSources(nullptr, nullptr);
        m_out.profileIds = m_job.settings.profileIds;
        m_out.failedFrames = m_commands.Link().FailedSends() - m_failedBefore;
        m_out.badReplies = m_commands.Link().BadReplies() - m_badBefore;
        if (!m_out.Complete())
            DebugF("run incomplete: %d frames failed, %d replies were noise\n", m_out.failedFrames,
                   m_out.badReplies);
    }
    TakeOver(const TakeOver&) = delete;
    TakeOver& operator=(const TakeOver&) = delete;

private:
    CommandSet& m_commands;
    ApplyJob& m_job;
    ApplyOutcome& m_out;
    int m_failedBefore = 0;
    int m_badBefore = 0;
};

}  // namespace

ApplyOutcome RunApply(CommandSet& commands, ApplyJob& job) {
    ApplyOutcome out;
    out.repeat = RepeatCount(job.connectionType, job.writeTimes, job.ble);
    {
        TakeOver takeOver(commands, job, out);
        RunContext run(commands, job, out);
        if (job.flags.rebuildFromMouse) {
            run.ReadMouseSettings();
        } else if (job.mode == RunMode::Synchronise) {
            run.Synchronise();
        } else {
            const bool edited = run.PushEdit();
            if (run.ResendMacros() || edited) run.RenewIds(false);
        }
    }
    return out;
}

ApplyOutcome SendProfile(CommandSet& commands, ApplyJob& job, const std::vector<int>& keys) {
    ApplyOutcome out;
    {
        TakeOver takeOver(commands, job, out);
        const std::vector<int> allKeys = commands.keyList;
        if (!keys.empty()) {
            commands.keyList = keys;
            commands.keysOnly = true;
        }
        commands.ApplyAll(job.profile);
        commands.keyList = allKeys;
        commands.keysOnly = false;
        out.fullWrite = keys.empty();
    }
    return out;
}

}  // namespace zor
