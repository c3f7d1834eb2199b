#pragma once

namespace MainMod {

// The start-up procedure: decides once what this process is, and either ends
// it or returns with the waiting window up, to live on in its events.
void Main();

}  // namespace MainMod
