#include "common/Guid.h"

#include <uuid/uuid.h>

#include "common/Text.h"

namespace zor {

GuidBytes NewGuidBytes() {
    uuid_t uuid;
    uuid_generate_random(uuid);
    // libuuid gives the RFC 4122 byte order (fields big-endian); the Windows layout keeps the
    // first three fields little-endian. Store them that way so GuidText reads them back as numbers.
    GuidBytes guid{};
    guid[0] = uuid[3], guid[1] = uuid[2], guid[2] = uuid[1], guid[3] = uuid[0];
    guid[4] = uuid[5], guid[5] = uuid[4];
    guid[6] = uuid[7], guid[7] = uuid[6];
    for (int i = 8; i < 16; ++i) guid[static_cast<std::size_t>(i)] = uuid[i];
    return guid;
}

std::string GuidText(const GuidBytes& g) {
    const unsigned data1 = static_cast<unsigned>(g[0]) | (static_cast<unsigned>(g[1]) << 8) |
                           (static_cast<unsigned>(g[2]) << 16) | (static_cast<unsigned>(g[3]) << 24);
    const unsigned data2 = static_cast<unsigned>(g[4]) | (static_cast<unsigned>(g[5]) << 8);
    const unsigned data3 = static_cast<unsigned>(g[6]) | (static_cast<unsigned>(g[7]) << 8);
    return Format("%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", data1, data2, data3, g[8], g[9],
                  g[10], g[11], g[12], g[13], g[14], g[15]);
}

std::string NewGuidText() { return GuidText(NewGuidBytes()); }

}  // namespace zor
