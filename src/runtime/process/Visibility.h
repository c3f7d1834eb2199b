#pragma once

// What the process can learn about who sees its windows, kept free of the
// platform so that every combination can be tested.
struct StationFacts {
    unsigned long ntMajorVersion = 0;  // 0 when not NT or unknown
    bool sessionKnown = false;
    unsigned long sessionId = 0;
    bool flagsKnown = false;      // the window station's flags could be read
    bool stationVisible = false;  // ... and carry WSF_VISIBLE
};

// False where nobody can see a window: a window station without
// WSF_VISIBLE (a service's, a deployment agent's under SYSTEM), or session 0
// on NT 6 and later, whose WinSta0 claims to be visible though no user sits
// there. A box shown there waits for ever. What cannot be told counts as
// seen: a system without window stations (9x) has its user at the screen.
bool SomebodyCanSee(const StationFacts& facts);
