#include <gtest/gtest.h>

#include "runtime/process/Visibility.h"
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
    EXPECT_TRUE(SomebodyCanSee({6, true, 1, true, true}));    // NT 6, session 1 (a user's, Wine's), visible station
    EXPECT_FALSE(SomebodyCanSee({10, true, 0, true, true}));  // services' session 0, visible flag and all
    EXPECT_FALSE(SomebodyCanSee({6, true, 0, true, true}));   // ... since Vista, not only on NT 10
    EXPECT_TRUE(SomebodyCanSee({10, false, 0, true, true}));  // the session could not be read
    EXPECT_TRUE(SomebodyCanSee({5, true, 0, true, true}));    // XP's console is session 0
    EXPECT_FALSE(SomebodyCanSee({6, true, 1, true, false}));  // a service's window station
    EXPECT_TRUE(SomebodyCanSee({6, true, 1, false, false}));  // the station query failed
}
