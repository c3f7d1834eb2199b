#include "DdeLink.h"

#include "../runtime/platform/Win32.h"

#include <ddeml.h>

#include "WaitLayout.h"

namespace {

struct Link {
    DWORD instance;
    HSZ service;
    HSZ topic;
};

Link g_link = {0, nullptr, nullptr};

HDDEDATA LabelText(HSZ item) {
    char name[64];
    if (!::DdeQueryStringA(g_link.instance, item, name, sizeof name, CP_WINANSI)) return nullptr;
    const LabelDefinition* label = FindLabel(name);
    if (!label) return nullptr;
    // CF_TEXT travels with its terminating zero.
    return ::DdeCreateDataHandle(g_link.instance, reinterpret_cast<LPBYTE>(const_cast<char*>(label->text)),
                                 static_cast<DWORD>(::lstrlenA(label->text)) + 1, 0, item, CF_TEXT, 0);
}

HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV, HSZ topic, HSZ item, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    bool ourTopic = ::DdeCmpStringHandles(topic, g_link.topic) == 0;
    switch (type) {
    case XTYP_CONNECT:
        return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(ourTopic ? TRUE : FALSE));
    case XTYP_REQUEST:
        return ourTopic && format == CF_TEXT ? LabelText(item) : nullptr;
    default:
        return nullptr;
    }
}

}  // namespace

namespace DdeLink {

bool Start(const Text& service) {
    if (g_link.instance) return true;
    DWORD instance = 0;
    const DWORD refused = CBF_FAIL_ADVISES | CBF_FAIL_EXECUTES | CBF_FAIL_POKES | CBF_SKIP_ALLNOTIFICATIONS;
    if (::DdeInitializeA(&instance, Callback, APPCLASS_STANDARD | refused, 0) != DMLERR_NO_ERROR) return false;
    g_link.instance = instance;
    g_link.service = ::DdeCreateStringHandleA(instance, service.c_str(), CP_WINANSI);
    g_link.topic = ::DdeCreateStringHandleA(instance, kTopic, CP_WINANSI);
    if (g_link.service && g_link.topic && ::DdeNameService(instance, g_link.service, nullptr, DNS_REGISTER))
        return true;
    Stop();
    return false;
}

void Stop() {
    if (!g_link.instance) return;
    ::DdeNameService(g_link.instance, nullptr, nullptr, DNS_UNREGISTER);
    if (g_link.service) ::DdeFreeStringHandle(g_link.instance, g_link.service);
    if (g_link.topic) ::DdeFreeStringHandle(g_link.instance, g_link.topic);
    ::DdeUninitialize(g_link.instance);
    g_link = {0, nullptr, nullptr};
}

}  // namespace DdeLink
