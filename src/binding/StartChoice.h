#pragma once

// How a process of the loader starts the next program (the waiting instance
// its runner, the runner the setup program), and what it ends with when it
// may not. A bound copy starts the very file it holds, by that file's final
// path, never through the shell, which reads the user's own class
// registrations; only where the system cannot tell a final path (Windows XP,
// which has no elevation prompt either) does it start as an unbound one.
enum class StartWay {
    Shell,    // ShellExecuteEx with the path as started, as an unbound loader does
    Exact,    // CreateProcessW on the held file's final path
    Refused,  // nothing starts; the process ends with exitCode
};

struct StartChoice {
    StartWay way;
    unsigned long exitCode;  // for Refused
};

// finalPathSupported: the system has GetFinalPathNameByHandleW;
// finalPathError: why it gave no path (0: it gave one).
StartChoice ChooseStart(bool bound, bool finalPathSupported, unsigned long finalPathError);

// What a runner ends with after an exact start: the setup program's own code
// when it started, else CreateProcessW's error (740 among them: it asks for
// rights the runner lacks), with no second try through the shell.
unsigned long ExactStartEnd(bool started, unsigned long startError, unsigned long setupCode);
