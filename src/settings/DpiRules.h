// The rules of the DPI and report-rate page that do not depend on widgets: DPI labels from the
// model's DPI table, snapping typed values to the table, the gear enable and current-gear rules,
// and the report-rate limits per model and connection.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "config/DeviceFeature.h"
#include "config/MouseConfig.h"

namespace zor {

inline constexpr const char* kNullDpiLabel = "Null";

// DPI value -> display label, built from the model's DPI table lines ("400" -> 400).
class DpiTable {
public:
    DpiTable() = default;
    DpiTable(const std::map<int, std::string>& lineLabels, int maxValue);
    static DpiTable FromFeature(const DeviceFeatureRecord& feature);

    int Max() const { return m_max; }
    bool Empty() const { return m_labels.empty(); }
    const std::map<int, std::string>& Labels() const { return m_labels; }
    // 0 reads as 1; below 0 or above the maximum: "Null"; a value between table entries shows
    // as its number.
    std::string Label(int value) const;
    // The table value nearest to value (below the smallest: the smallest; above the largest:
    // the largest; exactly between two: the higher). value itself when the table is empty.
    int Nearest(int value) const;
    // Typed text (tabs removed): a label equal to the text gives its value, otherwise the
    // number read from the text snaps with Nearest.
    int FromTypedText(std::string_view text) const;

private:
    std::map<int, std::string> m_labels;
    int m_max = 0;
};

// Keeps every gear value of every profile within 1 .. maxValue.
void ClampGearValues(MouseConfigDocument& document, int maxValue);

// Enable box k changed to enabled. Disabling the last enabled gear is refused (the gear stays
// enabled); disabling the current gear moves the current gear to the next enabled one,
// searching k+1, k+2, ... cyclically. Returns the gear's enable state afterwards.
bool SetGearEnabled(doc::MouseAdvSettings& adv, int gear, bool enabled);

enum class RateConnection { Cable, Receiver, Ble };

// Whether the model has the extended report-rate table.
bool HasExtendedRates(std::string_view model);
// How many report-rate options the page and zorctl offer on the connection: the model's rate map
// (one table, in the command set's key codes), the first four only for Pelo on its cable.
int ReportRateOptions(std::string_view model, RateConnection connection);
// Applies the limits of the page's refresh to the profile's stored rates.
void LimitReportRates(doc::MouseAdvSettings& adv, std::string_view model, RateConnection connection);
// The rate index a push sends for a stored index: limited as the page's refresh limits it, and
// kept within the model's rate table, so that the report rate is always sent.
int LimitedReportRateIndex(int index, std::string_view model, RateConnection connection);
// The option of the report-rate group that shows the stored rate of the connection.
int ReportRateOption(const doc::MouseAdvSettings& adv, RateConnection connection);
// Stores a chosen option as the connection's rate (over BLE the BLE rate becomes 0).
void StoreReportRate(doc::MouseAdvSettings& adv, RateConnection connection, int option);

}  // namespace zor
