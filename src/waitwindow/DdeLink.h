#pragma once
#include "../runtime/text/Text.h"

// The waiting window as a DDE link source. A client that connects to the
// service (the launcher name) with the topic "TellMe" can request the text
// of each label, the item being the label's name. Advise loops, pokes and
// executes are refused. It serves on the thread that started it, from that
// thread's message loop.
namespace DdeLink {

constexpr const char* kTopic = "TellMe";

// False when DDE cannot be set up; the window works on without it.
bool Start(const Text& service);
void Stop();

}  // namespace DdeLink
