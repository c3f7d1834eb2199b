#include <gtest/gtest.h>

#include "runtime/Visibility.h"
#include "waitwindow/Transparant.h"
#include "waitwindow/WindowsVersion.h"

namespace {
constexpr unsigned long kWin9x = 1, kNt = 2;
}

TEST(VersionCode, Windows9xFamilyIsFourWhateverItsMajorVersion) {
    for (unsigned long major : {0ul, 4ul, 5ul, 10ul}) EXPECT_EQ(VersionCode(true, kWin9x, major), 4) << major;
}

TEST(VersionCode, NtMajorVersionsThreeToSixAreKept) {
    for (unsigned long major : {3ul, 4ul, 5ul, 6ul}) EXPECT_EQ(VersionCode(true, kNt, major), major);
}

TEST(VersionCode, OtherNtVersionsOtherPlatformsAndFailedCallsAreZero) {
    for (unsigned long major : {0ul, 2ul, 7ul, 10ul}) EXPECT_EQ(VersionCode(true, kNt, major), 0) << major;
    EXPECT_EQ(VersionCode(true, 0, 6), 0) << "Win32s";
    EXPECT_EQ(VersionCode(true, 3, 6), 0) << "CE";
    EXPECT_EQ(VersionCode(false, kNt, 6), 0);
    EXPECT_EQ(VersionCode(false, kWin9x, 4), 0);
}

TEST(TransparencyAlpha, AcceptsZeroTo255Only) {
    EXPECT_TRUE(IsAlphaInRange(0));
    EXPECT_TRUE(IsAlphaInRange(244));
    EXPECT_TRUE(IsAlphaInRange(255));
    EXPECT_FALSE(IsAlphaInRange(-1));
    EXPECT_FALSE(IsAlphaInRange(256));
    EXPECT_FALSE(IsAlphaInRange(-32768));
}

TEST(SomebodyCanSee, SessionZeroSinceNtSixAndHiddenStationsOnlyWhereKnown) {
    // NT major, session known, session, station flags known, WSF_VISIBLE: seen
    const struct {
        StationFacts facts;
        bool seen;
    } rows[] = {
        {{6, true, 1, true, true}, true},   // a user's session (and Wine's)
        {{6, true, 0, true, true}, false},  // services' session 0, visible flag and all
        {{10, true, 0, true, true}, false},  {{5, true, 0, true, true}, true},  // XP's console is session 0
        {{6, false, 0, true, true}, true},                                      // no session told
        {{6, true, 1, true, false}, false},                                     // a service's window station
        {{6, true, 1, false, false}, true},                                     // the station query failed
        {{0, false, 0, false, false}, true},                                    // 9x: no stations at all
    };
    for (const auto& row : rows) EXPECT_EQ(SomebodyCanSee(row.facts), row.seen) << row.facts.ntMajorVersion;
}
