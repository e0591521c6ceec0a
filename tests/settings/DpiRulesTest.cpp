// The DPI page's rules: labels, snapping typed values to the table, the gear enable rules and
// the report-rate limits.
#include <gtest/gtest.h>

#include "device/KeyCode.h"
#include "settings/DpiRules.h"

namespace zor {
namespace {

DpiTable SmallTable() {
    return DpiTable({{1, "400"}, {2, "800"}, {3, "1600"}}, 1600);
}

doc::MouseAdvSettings Gears(std::initializer_list<int> enabled, int current) {
    doc::MouseAdvSettings adv;
    adv.gears.resize(8);
    for (int g : enabled) adv.gears[static_cast<std::size_t>(g)].enabled = 1;
    adv.cruseldpi = current;
    return adv;
}

TEST(DpiLabels, ZeroShowsTheLabelOfOneAndOutOfRangeShowsNull) {
    const DpiTable table({{1, "1"}, {2, "400"}}, 1600);
    EXPECT_EQ(table.Label(0), "1");
    EXPECT_EQ(table.Label(400), "400");
    EXPECT_EQ(table.Label(-5), "Null");
    EXPECT_EQ(table.Label(1601), "Null");
    EXPECT_EQ(DpiTable({}, 0).Label(1), "Null");
}

TEST(DpiLabels, TypedTextSnapsToTheNearestTableValueTiesGoHigher) {
    const DpiTable table = SmallTable();
    EXPECT_EQ(table.FromTypedText("1200"), 1600);  // exactly between 800 and 1600
    EXPECT_EQ(table.FromTypedText("1100"), 800);
    EXPECT_EQ(table.FromTypedText("50"), 400);
    EXPECT_EQ(table.FromTypedText("99999"), 1600);
    EXPECT_EQ(table.FromTypedText("8\t00"), 800);  // tabs are dropped before matching
}

TEST(GearRules, DisablingTheCurrentGearMovesToTheNextEnabledOneCyclically) {
    auto adv = Gears({0, 3, 7}, 7);
    EXPECT_FALSE(SetGearEnabled(adv, 7, false));
    EXPECT_EQ(adv.cruseldpi, 0);
    auto middle = Gears({1, 3, 5}, 3);
    SetGearEnabled(middle, 3, false);
    EXPECT_EQ(middle.cruseldpi, 5);
}

TEST(GearRules, TheLastEnabledGearCannotBeDisabled) {
    auto adv = Gears({2}, 2);
    EXPECT_TRUE(SetGearEnabled(adv, 2, false));
    EXPECT_EQ(adv.gears[2].enabled, 1);
    EXPECT_EQ(adv.cruseldpi, 2);
    EXPECT_FALSE(SetGearEnabled(adv, 9, true));  // no such gear: nothing changes
}

TEST(ReportRates, ReceiverRatesAboveThreeShowAsThreeExceptOnTheExtendedModels) {
    doc::MouseAdvSettings adv;
    adv.ratedonglevalue = 5;
    adv.rateusbvalue = 6;
    LimitReportRates(adv, "MouseA", RateConnection::Receiver);
    EXPECT_EQ(adv.ratedonglevalue, 3);
    EXPECT_EQ(adv.rateusbvalue, 3);

    doc::MouseAdvSettings pelu;
    pelu.ratedonglevalue = 5;
    pelu.rateusbvalue = 6;
    LimitReportRates(pelu, "Pelu", RateConnection::Receiver);
    EXPECT_EQ(pelu.ratedonglevalue, 5);
    EXPECT_EQ(pelu.rateusbvalue, 6);

    doc::MouseAdvSettings pelo;
    pelo.rateusbvalue = 6;
    LimitReportRates(pelo, "Pelo", RateConnection::Cable);
    EXPECT_EQ(pelo.rateusbvalue, 3);  // Pelo's cable keeps the short table
}

TEST(ReportRates, TheOptionsOfferedAreTheOnesShownAndSent) {
    // The page's option count, zorctl's offer, the refresh's limit and the push's limit are one
    // table: Pelo's cable offers four of its seven rates.
    struct Case {
        const char* model;
        RateConnection connection;
        int options;
    };
    for (const Case& c :
         {Case{"MouseA", RateConnection::Cable, 4}, Case{"MouseA", RateConnection::Receiver, 4},
          Case{"Pelo", RateConnection::Cable, 4}, Case{"Pelo", RateConnection::Receiver, 7},
          Case{"Pelu", RateConnection::Cable, 7}, Case{"Pelu", RateConnection::Receiver, 7}}) {
        SCOPED_TRACE(std::string(c.model) + (c.connection == RateConnection::Cable ? " cable" : " receiver"));
        EXPECT_EQ(ReportRateOptions(c.model, c.connection), c.options);
        EXPECT_EQ(LimitedReportRateIndex(99, c.model, c.connection), c.options - 1);
        EXPECT_NE(ReportRateCode(c.model, c.options - 1), 0);
        doc::MouseAdvSettings adv;
        adv.rateusbvalue = adv.ratedonglevalue = 99;
        LimitReportRates(adv, c.model, c.connection);
        EXPECT_EQ(ReportRateOption(adv, c.connection), c.options - 1);
    }
}

TEST(ReportRates, EachConnectionShowsAndStoresItsOwnField) {
    doc::MouseAdvSettings adv;
    adv.rateusbvalue = 1;
    adv.ratedonglevalue = 2;
    adv.rateblevalue = 3;
    EXPECT_EQ(ReportRateOption(adv, RateConnection::Cable), 1);
    EXPECT_EQ(ReportRateOption(adv, RateConnection::Receiver), 2);
    LimitReportRates(adv, "MouseA", RateConnection::Ble);
    EXPECT_EQ(ReportRateOption(adv, RateConnection::Ble), 0);
    StoreReportRate(adv, RateConnection::Receiver, 0);
    EXPECT_EQ(adv.ratedonglevalue, 0);
    EXPECT_EQ(adv.rateusbvalue, 1);
}

}  // namespace
}  // namespace zor
