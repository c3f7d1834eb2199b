#include "StartChoice.h"

#include "../runtime/process/ExitCodes.h"

StartChoice ChooseStart(bool bound, bool finalPathKnown, unsigned long finalPathError) {
    // Without the call at all (Windows XP, which has no elevation prompt either).
    if (!bound || (!finalPathKnown && finalPathError == 0)) return {StartWay::Shell, ExitCode::kSuccess};
    // The path as started could name another file by now.
    if (!finalPathKnown) return {StartWay::Refused, ExitCode::OfFailure(finalPathError)};
    return {StartWay::Exact, ExitCode::kSuccess};
}

StartChoice ChooseRelaunch(bool runsHeldFile, bool finalPathKnown, unsigned long finalPathError) {
    StartChoice choice = ChooseStart(true, finalPathKnown, finalPathError);
    if (choice.way == StartWay::Exact && !runsHeldFile) return {StartWay::Refused, ExitCode::kBadImageHash};
    return choice;
}

unsigned long OwnFileEnd(const OwnFileFacts& facts) {
    if (!facts.bound) return ExitCode::kSuccess;
    if (!facts.runsHeldFile) return ExitCode::kBadImageHash;
    StartChoice choice = ChooseStart(true, facts.finalPathKnown, facts.finalPathError);
    if (choice.way == StartWay::Refused) return choice.exitCode;
    // Where final paths exist, its folder must be held too: a rename of it would move what starts.
    if (choice.way == StartWay::Exact && facts.folderError && !facts.folderKnown)
        return ExitCode::OfFailure(facts.folderError);
    return ExitCode::kSuccess;
}

unsigned long ExactStartEnd(bool started, unsigned long startError, unsigned long setupCode) {
    return started ? setupCode : ExitCode::OfFailure(startError);
}
