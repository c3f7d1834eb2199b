#pragma once

// Who started this process. Only a process that a waiting instance started
// is a runner: no name that another program can create first decides it.

// What the loader learns of its parent process through the handle it holds.
struct ParentFacts {
    bool opened = false;        // the parent could be opened
    bool createdFirst = false;  // ... and was created before this process
    bool sameImage = false;     // ... and runs from the file this process holds
    bool sameFolder = false;    // ... by a name in this process's folder (a hard link elsewhere serves another)
};
// True when the parent is a waiting instance of this very loader and of this
// folder: a process of the same file, started from this folder, which starts
// its own file only for its runner.
bool StartedByWaitingInstance(const ParentFacts& facts);

namespace WaitingParent {

// Opens the parent, once, as the process starts: it may end meanwhile.
void Capture();
// True when a waiting instance of this loader started this process.
bool StartedUs();
// True while that waiting instance lives.
bool Alive();

}  // namespace WaitingParent
