#include "Err.h"

#include "Win32.h"

namespace {

unsigned long g_number = 0;

Text& DescriptionSlot() {
    static Text description;
    return description;
}

Text SystemMessage(unsigned long code) {
    char* buffer = nullptr;
    DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    Text message;
    if (length && buffer) {
        while (length && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' || buffer[length - 1] == ' ' ||
                          buffer[length - 1] == '.'))
            --length;
        message = Text(buffer, length);
    }
    if (buffer) ::LocalFree(buffer);
    return message;
}

}  // namespace

namespace Err {

void Clear() {
    g_number = 0;
    DescriptionSlot() = Text();
}

void Raise(unsigned long number, const Text& description) {
    g_number = number;
    DescriptionSlot() = description;
}

void RaiseSystem(unsigned long code, const Text& what) {
    // Some calls fail without leaving a code; quoting "success" would mislead.
    if (code == 0) {
        Raise(ERROR_GEN_FAILURE, what + "; the system gave no reason.");
        return;
    }
    Text message = SystemMessage(code);
    Text description = what;
    if (!message.empty()) description += Text(": ") + message;
    description += Text(" (error ") + DecimalText(code) + ").";
    Raise(code, description);
}

unsigned long Number() { return g_number; }
const Text& Description() { return DescriptionSlot(); }

}  // namespace Err
