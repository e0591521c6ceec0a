// Configuration exchange files (*.Mouse.Config): the model's MouseConfig.json plus the model
// name ("MouseName", UTF-16 code units), exported to a file of the user's choice and imported
// back for the same model only.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zor {

struct DeviceFeatureRecord;
class MouseConfigDocument;

inline constexpr std::string_view kConfigExchangeFilter = "Config File(*.Mouse.Config)";
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

// What a model offers, against which an imported configuration is checked.
struct ConfigLimits {
    int dpiMax = 0;     // the largest DPI value of the model's tables; 0: not known (16 bits then)
    int rateCount = 4;  // report-rate options of the model
};

// Limits from a model folder's description: the largest GEAR_MAX_VALUE of all its sensor chips
// (the chip of the attached mouse is not known when importing without it).
ConfigLimits LimitsOfModel(const std::filesystem::path& modelFolder, int rateCount = 4);
// Limits from the description read for the chip in use.
ConfigLimits LimitsOfFeature(const DeviceFeatureRecord& feature, int rateCount);

// Empty when every value of the document is one the model offers and the pages could set: DPI
// values within 0 .. dpiMax (0 reads as 1), current gear 0..7, report rates within the model's
// options, fire value 0..255, key functions 0..511, lighting mode 0..13 with its levels 0..255,
// and in each of the four key tables at least one slot on left click (function 1), the rule the
// key page keeps. Otherwise
// the first value that is not, described.
std::string CheckConfigLimits(const MouseConfigDocument& document, const ConfigLimits& limits);

// Case-insensitive comparison of model names (ASCII letters fold).
bool SameModelName(std::u16string_view a, std::u16string_view b);

ConfigExchangeResult ExportConfig(const std::filesystem::path& target,
                                  const std::filesystem::path& modelFolder, std::u16string_view modelName);
// Writes the configuration of the file as the model's MouseConfig.json when it names the same
// model, holds a complete configuration and passes CheckConfigLimits; otherwise nothing changes
// (ImportErr, with the reason in error, for values out of range). Only the members of the
// configuration are written: anything else in the file is dropped.
ConfigExchangeResult ImportConfig(const std::filesystem::path& source,
                                  const std::filesystem::path& modelFolder, std::u16string_view modelName,
                                  const ConfigLimits& limits);
// The same with LimitsOfModel(modelFolder).
ConfigExchangeResult ImportConfig(const std::filesystem::path& source,
                                  const std::filesystem::path& modelFolder, std::u16string_view modelName);

}  // namespace zor
