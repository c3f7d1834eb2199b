#pragma once

// How a process of the loader starts the next program (the waiting instance
// its runner, the runner the setup program), and what it ends with when it
// may not. A bound copy starts the very file it holds, by that file's final
// path, never through the shell, which reads the user's own class
// registrations; only where the system cannot tell a final path (Windows XP,
// which has no elevation prompt either) does it start as an unbound one.
enum class StartWay {
    Shell,    // ShellExecuteEx with the path as started (Windows XP), as an unbound setup program starts
    Exact,    // CreateProcessW on the held file's final path
    Refused,  // nothing starts; the process ends with exitCode
};

struct StartChoice {
    StartWay way;
    unsigned long exitCode;  // for Refused
};

// finalPathKnown: the system gave the held file's final path;
// finalPathError: why it gave none (0: it has no such call, Windows XP).
StartChoice ChooseStart(bool bound, bool finalPathKnown, unsigned long finalPathError);

// How any copy, bound or not, starts its runner: the file it holds, by its
// final path, and only when that file is its running image (runsHeldFile):
// a link retargeted before the hold would make it another program's.
StartChoice ChooseRelaunch(bool runsHeldFile, bool finalPathKnown, unsigned long finalPathError);

// What a bound copy learns of itself before it starts anything.
struct OwnFileFacts {
    bool bound = false;           // it carries a record, readable or not
    bool runsHeldFile = false;    // the file it holds is the image it runs from
    bool finalPathKnown = false;  // the system told the held file's final path
    unsigned long finalPathError = 0;
    unsigned long folderError = 0;  // why its folder could not be held (0: held)
    bool folderKnown = false;       // ... but was opened for its attributes, so its claim is the folder's own
};
// 0 when it may go on; else what it ends with: 577 when it cannot confirm
// that it runs from the file it holds, the system's error when it cannot
// tell that file's final path or hold its folder, nor even open it for its
// identity. A folder that another process holds sharing nothing stops
// nothing: the suspended start's image check confirms what runs. An unbound
// loader goes on.
unsigned long OwnFileEnd(const OwnFileFacts& facts);

// What a runner ends with after an exact start: the setup program's own code
// when it started, else CreateProcessW's error (740 among them: it asks for
// rights the runner lacks), with no second try through the shell.
unsigned long ExactStartEnd(bool started, unsigned long startError, unsigned long setupCode);
