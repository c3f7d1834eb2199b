#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "protocol/WaitingParent.h"
#include "runtime/process/CreationOrder.h"
#include "startup/StartupSequence.h"

namespace {

// Records every call start-up makes, in order, against a folder of files.
class FakeWorld : public StartupWorld {
public:
    FakeWorld(const char* name, std::set<std::string> files) : name_(name), files_(std::move(files)) {}

    Text ArgumentText() override { return arguments; }
    Text AppFolder() override { return "C:\\Drv"; }
    Text LauncherName() override { return name_; }
    CharacterWidths AnsiWidths() override { return {}; }
    bool FileExists(const Text& path) override {
        calls.push_back(std::string("exists ") + path.c_str());
        return files_.count(path.c_str()) > 0;
    }
    void Pause(unsigned ms) override { calls.push_back("pause " + std::to_string(ms)); }
    bool LoadOwnerWindow() override { return Record("load hw", ownerLoads); }
    bool StartedByWaitingInstance() override { return Record("started by a waiting instance?", relaunched); }
    RunnerLock TakeRunnerLock() override { return Record("claim folder", claim); }
    unsigned long ReportRunnerLockFailure() override { return Record("report lock failure", 6ul); }
    RunnerLock JoinRunnerLock() override { return Record("join claim", joined); }
    unsigned long RunnerLockError() override { return 5; }
    bool WaitingInstanceExists() override { return Record("waiting instance?", waitingLeft); }
    bool ShowWaitWindow() override { return Record("show frmWait", true); }
    unsigned long RunSetupAndWait(const Text& target, bool wholeTree) override {
        return Record((std::string("run ") + target.c_str() + (wholeTree ? " and its tree" : "")).c_str(), setupCode);
    }
    void WriteCompletionMarker() override { calls.push_back("marker"); }

    Text arguments;
    bool relaunched = false;
    RunnerLock claim = RunnerLock::Taken;
    RunnerLock joined = RunnerLock::Taken;
    bool waitingLeft = true;
    bool ownerLoads = true;
    unsigned long setupCode = 3010;
    std::vector<std::string> calls;

private:
    // Notes the call in order and gives the answer the case set up.
    template <class T>
    T Record(const char* call, T answer) {
        calls.push_back(call);
        return answer;
    }

    Text name_;
    std::set<std::string> files_;
};

// One case of taking the folder's lock: what the system answers, and what comes of it.
struct LockRow {
    bool administrator, namespaces;
    unsigned long namespaceError;
    bool created;
    unsigned long error;
    RunnerLock (*answerFrom)(bool, unsigned long);
    RunnerLock answer;
    const char* calls;
};

// Answers as the row says and records what taking the lock asks of it.
class FakeLockSystem : public LockSystem {
public:
    explicit FakeLockSystem(const LockRow& row) : row_(row) {}
    bool RunsAsAdministrator() override { return row_.administrator; }
    unsigned long OpenAdminNamespace(bool& namespaces) override {
        calls += "namespace ";
        namespaces = row_.namespaces;
        return row_.namespaceError;
    }
    unsigned long CreateLock(bool inPrivateNamespace, bool& created) override {
        calls += inPrivateNamespace ? "private " : "global ";
        created = row_.created;
        return row_.error;
    }
    void KeepLock() override { calls += "keep "; }
    void HoldGlobalName() override { calls += "hold-global "; }
    std::string calls;

private:
    const LockRow& row_;
};

const std::vector<std::string> kCandidateTests = {"exists C:\\Drv\\setup.exe", "exists C:\\Drv\\etup.exe",
                                                  "exists C:\\Drv\\tup.exe", "exists C:\\Drv\\up.exe"};

std::vector<std::string> Then(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

}  // namespace

TEST(StartupSequence, AStartOfItsOwnClaimsTheFolderThenShowsTheWindow) {
    FakeWorld world("RUNsetup", {"C:\\Drv\\setup.exe"});
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::Waiting);
    EXPECT_EQ(world.calls, Then(kCandidateTests, {"pause 200", "load hw", "started by a waiting instance?",
                                                  "claim folder", "show frmWait"}));
}

TEST(StartupSequence, RunnerJoinsTheClaimStartsTheTargetThenLeavesTheMarker) {
    FakeWorld world("RUNsetup", {"C:\\Drv\\setup.exe"});
    world.relaunched = true;
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::RunnerFinished);
    EXPECT_EQ(world.calls, Then(kCandidateTests, {"pause 200", "load hw", "started by a waiting instance?",
                                                  "join claim", "exists C:\\Drv\\setup.exe", "run C:\\Drv\\setup.exe",
                                                  "waiting instance?", "marker"}));
}

TEST(StartupSequence, AClaimThatCannotBeMadeIsReportedAndNothingStarts) {
    FakeWorld world("RUNsetup", {"C:\\Drv\\setup.exe"});
    world.claim = RunnerLock::Failed;
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::LockFailed);
    EXPECT_EQ(world.calls.back(), "report lock failure");
}

TEST(StartupSequence, WhatTheParentIsDecidesTheRoleAndElevatedLocksNeverFallBackToGlobal) {
    const struct {
        bool opened, createdFirst, sameImage, sameFolder, runner;
    } parents[] = {
        {true, true, true, true, true},    {false, false, false, false, false},  // started by nobody we can see
        {true, false, true, true, false},                                        // its id went to a later process
        {true, true, false, false, false},  // another program, a deployment tool or the shell
        {true, true, true, false, false},   // a hard link of this file in another folder
    };
    for (const auto& row : parents)
        EXPECT_EQ(StartedByWaitingInstance({row.opened, row.createdFirst, row.sameImage, row.sameFolder}), row.runner)
            << row.opened << row.createdFirst << row.sameImage << row.sameFolder;
    // Creation times in 100 ns units; the clock that stamps them moves in ticks of up to 15.625 ms.
    EXPECT_TRUE(CreatedNoLaterThan(1000, 1000)) << "started within one tick of the clock";
    EXPECT_TRUE(CreatedNoLaterThan(1000, 1000 + 156250));
    EXPECT_FALSE(CreatedNoLaterThan(1001, 1000)) << "a later process that got the parent's id";

    // A runner's lock that exists is its waiting instance's claim while that lives (joined), not once it is gone.
    auto joined = [](bool created, unsigned long error) { return JoinedLockFrom(created, error, true); };
    auto gone = [](bool created, unsigned long error) { return JoinedLockFrom(created, error, false); };
    const LockRow rows[] = {
        {false, true, 0, true, 0, RunnerLockFrom, RunnerLock::Taken, "global keep "},
        {true, false, 0, true, 0, RunnerLockFrom, RunnerLock::Taken, "namespace global keep "},  // XP, Wine
        {true, true, 0, true, 0, RunnerLockFrom, RunnerLock::Taken, "namespace private keep hold-global "},
        {true, true, 0, true, 183, RunnerLockFrom, RunnerLock::Busy, "namespace private "},
        {true, true, 5, true, 0, RunnerLockFrom, RunnerLock::Failed, "namespace "},  // never a name fewer rights take
        {false, false, 0, false, 6, RunnerLockFrom, RunnerLock::Failed, "global "},  // another kind of object
        {false, false, 0, false, 5, RunnerLockFrom, RunnerLock::Busy, "global "},    // held by a start with more rights
        {false, false, 0, false, 6, joined, RunnerLock::Failed, "global "},
        {false, false, 0, false, 5, joined, RunnerLock::Busy, "global "},  // a runner holds no lock it may not open
        {false, false, 0, true, 183, joined, RunnerLock::Taken, "global keep "},
        {false, false, 0, true, 183, gone, RunnerLock::Busy, "global "},      // another's claim is there
        {false, false, 0, true, 0, gone, RunnerLock::Taken, "global keep "},  // made anew: its own
    };
    for (const LockRow& row : rows) {
        FakeLockSystem system(row);
        LockTaking taking = TakeLockIn(system, row.answerFrom);
        EXPECT_EQ(taking.answer, row.answer) << row.calls;
        EXPECT_EQ(system.calls, row.calls);
        EXPECT_EQ(taking.error, row.answer == RunnerLock::Failed ? row.namespaceError + row.error : 0) << row.calls;
    }
}

TEST(StartupSequence, AStartFindingTheFolderClaimedEndsAtOnceAndARunnerLeavesNoMarkerForAClosedWindow) {
    FakeWorld busy("RUNsetup", {"C:\\Drv\\setup.exe"});
    busy.claim = RunnerLock::Busy;
    EXPECT_EQ(RunStartupSequence(busy).outcome, StartupOutcome::Busy);
    EXPECT_EQ(busy.calls.back(), "claim folder");

    FakeWorld orphan("RUNsetup", {"C:\\Drv\\setup.exe"});
    orphan.relaunched = true;
    orphan.waitingLeft = false;
    EXPECT_EQ(RunStartupSequence(orphan).outcome, StartupOutcome::RunnerFinished);
    EXPECT_EQ(orphan.calls.back(), "waiting instance?");
}

TEST(StartupSequence, NoCandidateEndsBeforeThePauseAndWithoutAWindow) {
    FakeWorld world("RUNsetup", {"C:\\Drv\\other.exe"});
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::NoCandidate);
    EXPECT_EQ(world.calls, kCandidateTests);
}

TEST(StartupSequence, RunnerWithMissingTargetStartsNothingButWritesTheMarker) {
    // Candidate 4 lets the start continue; the prefix selects candidate 1.
    FakeWorld world("RUNsetup", {"C:\\Drv\\up.exe"});
    world.relaunched = true;
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::RunnerFinished);
    EXPECT_EQ(world.calls.back(), "marker");
    for (const std::string& call : world.calls) EXPECT_NE(call.rfind("run ", 0), 0u) << call;
}

TEST(StartupSequence, RunnerWithoutRecognisedPrefixEndsWithoutMarker) {
    FakeWorld world("XYZsetup", {"C:\\Drv\\setup.exe"});
    world.relaunched = true;
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::RunnerNoPrefix);
    EXPECT_EQ(world.calls.back(), "started by a waiting instance?");

    // Its window claims nothing: it will run nothing, and must not keep others from the folder.
    FakeWorld first("XYZsetup", {"C:\\Drv\\setup.exe"});
    first.claim = RunnerLock::Busy;
    EXPECT_EQ(RunStartupSequence(first).outcome, StartupOutcome::Waiting);
}

TEST(StartupSequence, ManifestSwitchTakesOverBeforeAnyFileIsTested) {
    FakeWorld world("RUNSetup", {"C:\\Drv\\Setup.exe"});
    world.arguments = "/Addrunsetup/Manifest";
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::ManifestMode);
    EXPECT_TRUE(world.calls.empty());
}

TEST(StartupSequence, SwitchInAnotherCaseOrWithMoreTextStartsNormally) {
    for (const char* arguments : {"/AddRUNSetup/Manifest", "/addrunsetup/manifest", "/Addrunsetup/Manifest x"}) {
        FakeWorld world("RUNSetup", {"C:\\Drv\\Setup.exe"});
        world.arguments = arguments;
        EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::Waiting) << arguments;
    }
}

TEST(StartupSequence, ShortNameStillReachesTheCandidateItsPrefixSelects) {
    FakeWorld world("RUNab", {"C:\\Drv\\ab.exe"});
    world.relaunched = true;
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::RunnerFinished);
    EXPECT_NE(std::find(world.calls.begin(), world.calls.end(), "run C:\\Drv\\ab.exe"), world.calls.end());
}

TEST(StartupSequence, TheWaitPrefixRunsTheSetupProgramAndItsTree) {
    FakeWorld world("WAITsetup", {"C:\\Drv\\setup.exe"});
    world.relaunched = true;
    RunStartupSequence(world);
    EXPECT_EQ(world.calls[kCandidateTests.size() + 5], "run C:\\Drv\\setup.exe and its tree");
}

TEST(StartupSequence, OwnerWindowThatCannotBeCreatedIsAFailure) {
    FakeWorld world("RUNsetup", {"C:\\Drv\\setup.exe"});
    world.ownerLoads = false;
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::Failed);
    EXPECT_EQ(world.calls.back(), "load hw");
}

TEST(StartupSequence, EachEndGivesTheExitCodeThatSaysWhatHappened) {
    auto exitCode = [](const char* name, const char* file, bool relaunched, RunnerLock lock = RunnerLock::Taken) {
        FakeWorld world(name, {file});
        world.relaunched = relaunched;
        (relaunched ? world.joined : world.claim) = lock;
        return RunStartupSequence(world).exitCode;
    };
    EXPECT_EQ(exitCode("RUNsetup", "C:\\Drv\\setup.exe", true), 3010u);   // the setup program's own
    EXPECT_EQ(exitCode("WAITsetup", "C:\\Drv\\setup.exe", true), 3010u);  // ... after its whole tree too
    EXPECT_EQ(exitCode("RUNsetup", "C:\\Drv\\setup.exe", false, RunnerLock::Busy), 1618u);
    EXPECT_EQ(exitCode("RUNsetup", "C:\\Drv\\setup.exe", true, RunnerLock::Busy), 1618u);
    EXPECT_EQ(exitCode("RUNsetup", "C:\\Drv\\setup.exe", true, RunnerLock::Failed), 5u);  // its error
    EXPECT_EQ(exitCode("RUNsetup", "C:\\Drv\\up.exe", true), 2u);                         // the selected one is missing
    EXPECT_EQ(exitCode("XYZsetup", "C:\\Drv\\setup.exe", true), 2u);
    EXPECT_EQ(exitCode("RUNsetup", "C:\\Drv\\setup.exe", false, RunnerLock::Failed), 6u);  // the one the report names
    EXPECT_EQ(exitCode("RUNsetup", "C:\\Drv\\other.exe", false), 2u);
}
