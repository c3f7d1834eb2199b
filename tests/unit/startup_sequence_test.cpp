#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

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
    InstanceLock TakeInstanceLock() override { return Record("instance lock", lock); }
    unsigned long ReportInstanceLockFailure() override { return Record("report lock failure", 5ul); }
    RunnerLock TakeRunnerLock() override { return Record("runner lock", runnerLock); }
    unsigned long RunnerLockError() override { return 6; }
    bool WaitingInstanceExists() override { return Record("waiting instance?", waitingLeft); }
    bool ShowWaitWindow() override { return Record("show frmWait", true); }
    unsigned long RunSetupAndWait(const Text& target) override {
        return Record((std::string("run ") + target.c_str()).c_str(), setupCode);
    }
    void WriteCompletionMarker() override { calls.push_back("marker"); }

    Text arguments;
    InstanceLock lock = InstanceLock::Taken;
    RunnerLock runnerLock = RunnerLock::Taken;
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

const std::vector<std::string> kCandidateTests = {"exists C:\\Drv\\setup.exe", "exists C:\\Drv\\etup.exe",
                                                  "exists C:\\Drv\\tup.exe", "exists C:\\Drv\\up.exe"};

std::vector<std::string> Then(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

}  // namespace

TEST(StartupSequence, FirstProcessTestsAllCandidatesPausesLoadsOwnerAndShowsTheWindow) {
    FakeWorld world("RUNsetup", {"C:\\Drv\\setup.exe"});
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::Waiting);
    EXPECT_EQ(world.calls, Then(kCandidateTests, {"pause 200", "load hw", "instance lock", "show frmWait"}));
}

TEST(StartupSequence, RunnerStartsTheTargetThenLeavesTheMarker) {
    FakeWorld world("RUNsetup", {"C:\\Drv\\setup.exe"});
    world.lock = InstanceLock::Exists;
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::RunnerFinished);
    EXPECT_EQ(world.calls, Then(kCandidateTests,
                                {"pause 200", "load hw", "instance lock", "runner lock", "exists C:\\Drv\\setup.exe",
                                 "run C:\\Drv\\setup.exe", "waiting instance?", "marker"}));
}

TEST(StartupSequence, InstanceLockThatCannotBeMadeIsReportedAndNothingStarts) {
    FakeWorld world("RUNsetup", {"C:\\Drv\\setup.exe"});
    world.lock = InstanceLock::Failed;
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::InstanceLockFailed);
    EXPECT_EQ(world.calls, Then(kCandidateTests, {"pause 200", "load hw", "instance lock", "report lock failure"}));
    EXPECT_EQ(InstanceLockFrom(false, 5), InstanceLock::Exists) << "access denied: an elevated waiting instance has it";
    EXPECT_EQ(RunnerLockFrom(false, 6), RunnerLock::Failed) << "another kind of object holds the name";
    EXPECT_TRUE(LockHeldFrom(false, 5)) << "one we may not open: a runner with more rights holds it";
    EXPECT_FALSE(LockHeldFrom(false, 2)) << "none of that name";
}

TEST(StartupSequence, RunnerDefersToOneAtWorkAndLeavesNoMarkerForAClosedWindow) {
    FakeWorld busy("RUNsetup", {"C:\\Drv\\setup.exe"});
    busy.lock = InstanceLock::Exists;
    busy.runnerLock = RunnerLock::Busy;
    EXPECT_EQ(RunStartupSequence(busy).outcome, StartupOutcome::RunnerBusy);
    EXPECT_EQ(busy.calls.back(), "runner lock");

    FakeWorld orphan("RUNsetup", {"C:\\Drv\\setup.exe"});
    orphan.lock = InstanceLock::Exists;
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
    world.lock = InstanceLock::Exists;
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::RunnerFinished);
    EXPECT_EQ(world.calls.back(), "marker");
    for (const std::string& call : world.calls) EXPECT_NE(call.rfind("run ", 0), 0u) << call;
}

TEST(StartupSequence, RunnerWithoutRecognisedPrefixEndsWithoutMarker) {
    FakeWorld world("XYZsetup", {"C:\\Drv\\setup.exe"});
    world.lock = InstanceLock::Exists;
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::RunnerNoPrefix);
    EXPECT_EQ(world.calls.back(), "instance lock");

    FakeWorld first("XYZsetup", {"C:\\Drv\\setup.exe"});
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
    world.lock = InstanceLock::Exists;
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::RunnerFinished);
    EXPECT_NE(std::find(world.calls.begin(), world.calls.end(), "run C:\\Drv\\ab.exe"), world.calls.end());
}

TEST(StartupSequence, OwnerWindowThatCannotBeCreatedIsAFailure) {
    FakeWorld world("RUNsetup", {"C:\\Drv\\setup.exe"});
    world.ownerLoads = false;
    EXPECT_EQ(RunStartupSequence(world).outcome, StartupOutcome::Failed);
    EXPECT_EQ(world.calls.back(), "load hw");
}

TEST(StartupSequence, EachEndGivesTheExitCodeThatSaysWhatHappened) {
    auto exitCode = [](const char* name, const char* file, InstanceLock lock, RunnerLock runner = RunnerLock::Taken) {
        FakeWorld world(name, {file});
        world.lock = lock;
        world.runnerLock = runner;
        return RunStartupSequence(world).exitCode;
    };
    EXPECT_EQ(exitCode("RUNsetup", "C:\\Drv\\setup.exe", InstanceLock::Exists), 3010u);  // the setup program's own
    EXPECT_EQ(exitCode("RUNsetup", "C:\\Drv\\setup.exe", InstanceLock::Exists, RunnerLock::Busy), 1618u);
    EXPECT_EQ(exitCode("RUNsetup", "C:\\Drv\\setup.exe", InstanceLock::Exists, RunnerLock::Failed), 6u);  // its error
    EXPECT_EQ(exitCode("RUNsetup", "C:\\Drv\\up.exe", InstanceLock::Exists), 2u);  // the selected one is missing
    EXPECT_EQ(exitCode("XYZsetup", "C:\\Drv\\setup.exe", InstanceLock::Exists), 2u);
    EXPECT_EQ(exitCode("RUNsetup", "C:\\Drv\\setup.exe", InstanceLock::Failed), 5u);  // the one the report names
    EXPECT_EQ(exitCode("RUNsetup", "C:\\Drv\\other.exe", InstanceLock::Taken), 2u);
}
