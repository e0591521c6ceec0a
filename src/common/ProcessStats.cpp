#include "common/ProcessStats.h"

#include <dirent.h>

#include <fstream>
#include <string>

#include "common/Text.h"

namespace zor {

long long VoluntaryContextSwitches() {
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return -1;
    long long total = 0;
    while (const dirent* task = readdir(tasks)) {
        if (task->d_name[0] == '.') continue;
        std::ifstream status(std::string("/proc/self/task/") + task->d_name + "/status");
        std::string line;
        constexpr std::string_view kKey = "voluntary_ctxt_switches:";
        while (std::getline(status, line)) {
            if (line.rfind(kKey, 0) == 0) total += ParseLeadingInt(std::string_view(line).substr(kKey.size()));
        }
    }
    closedir(tasks);
    return total;
}

}  // namespace zor
