// Configuration exchange files (*.Mouse.Config): the model's MouseConfig.json plus the model
// name ("MouseName", UTF-16 code units), exported to a file of the user's choice and imported
// back for the same model only.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zor {

inline constexpr std::string_view kConfigExchangeFilter = "Config Flie(*.Mouse.Config)";
inline constexpr std::string_view kConfigExchangePattern = "*.Mouse.Config";

enum class ExchangeOutcome {
    Done,
    CannotOpen,    // the file could not be read (or the dialog was cancelled)
    NotJson,       // the file is not valid JSON
    ImportErr,     // no MouseName, or a different model: the "Error"/"ImportErr" message
    BadModelName,  // a MouseName element that is not a number
    BadDocument,   // the configuration in the file is incomplete
    WriteFailed,
};

struct ConfigExchangeResult {
    int result = 0;  // 1 when the file was written or imported
    ExchangeOutcome outcome = ExchangeOutcome::Done;
    std::string error;
};

// Case-insensitive comparison of model names (ASCII letters fold).
bool SameModelName(std::u16string_view a, std::u16string_view b);

ConfigExchangeResult ExportConfig(const std::filesystem::path& target,
                                  const std::filesystem::path& modelFolder, std::u16string_view modelName);
// Copies the file over the model's MouseConfig.json when it names the same model and holds a
// complete configuration; otherwise nothing changes.
ConfigExchangeResult ImportConfig(const std::filesystem::path& source,
                                  const std::filesystem::path& modelFolder, std::u16string_view modelName);

}  // namespace zor
