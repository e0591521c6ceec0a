#include "ZorctlRun.h"

namespace zor::test {

ZorctlHome::ZorctlHome() : m_home(m_dir / "home"), m_work(m_dir / "work") {
    std::filesystem::create_directories(m_work);
    std::filesystem::create_directories(m_home);
    std::filesystem::copy(BuildDir() / "res", m_home / "res", std::filesystem::copy_options::recursive);
}

ZorctlRun ZorctlHome::Run(const std::string& args) const {
    const auto out = m_dir / "stdout.txt";
    const auto err = m_dir / "stderr.txt";
    ZorctlRun run;
    // Killed after a minute: a zorctl that blocks (on a FIFO, say) fails its test instead of
    // hanging it; a killed run's status is 137.
    run.status = RunShell("cd '" + m_work.string() + "' && timeout -s KILL 60 '" + std::string(ZORCTL_PATH) +
                          "' --home '" + m_home.string() + "' " + args + " >'" + out.string() + "' 2>'" +
                          err.string() + "'");
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
}

}  // namespace zor::test
