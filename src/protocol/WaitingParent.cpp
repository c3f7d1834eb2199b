#include "WaitingParent.h"

#include "../runtime/platform/UniqueHandle.h"
#include "../runtime/process/App.h"
#include "../runtime/process/ProcessImage.h"

namespace {

UniqueKernelHandle g_parent;
ParentFacts g_facts;

}  // namespace

namespace WaitingParent {

void Capture() {
    g_parent.Reset(OpenParentProcess(g_facts.createdFirst));
    g_facts.opened = g_parent.Valid();
    HANDLE self = App::HeldExecutable();
    g_facts.sameImage = g_facts.opened && self != INVALID_HANDLE_VALUE && ProcessImageIs(g_parent.Get(), self);
    HANDLE folder = App::KnownFolder();
    g_facts.sameFolder = g_facts.sameImage && folder != INVALID_HANDLE_VALUE && ProcessFolderIs(g_parent.Get(), folder);
}

bool StartedUs() { return StartedByWaitingInstance(g_facts); }

bool Alive() { return g_parent.Valid() && ::WaitForSingleObject(g_parent.Get(), 0) == WAIT_TIMEOUT; }

}  // namespace WaitingParent
