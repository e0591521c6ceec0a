// A configuration exchange file over arbitrary bytes, imported into a model folder: it either
// replaces the model's configuration with a document that loads, or changes nothing.
#include <cstdint>
#include <iterator>
#include <string>

#include "config/ConfigExchange.h"
#include "config/MouseConfig.h"
#include "FuzzSupport.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 256 * 1024) return 0;
    zor::fuzz::TempFolder temp;
    const auto source = temp.path() / "import.Mouse.Config";
    const auto model = temp.path() / "MouseA";
    zor::fuzz::WriteBytes(source, data, size);
    const std::string before = "{\"unchanged\":1}";
    zor::fuzz::WriteBytes(zor::MouseConfigPath(model), reinterpret_cast<const std::uint8_t*>(before.data()),
                          before.size());

    const auto result = zor::ImportConfig(source, model, u"MouseA");
    if (result.result != 1) {
        zor::fuzz::Check(ReadAll(zor::MouseConfigPath(model)) == before, "a refused import changes nothing");
        return 0;
    }
    zor::MouseConfigDocument document;
    zor::fuzz::Check(document.LoadFile(zor::MouseConfigPath(model)).ok, "an imported configuration loads");
    return 0;
}
