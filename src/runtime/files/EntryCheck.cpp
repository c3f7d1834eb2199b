#include "EntryCheck.h"

namespace {

constexpr unsigned long kAttributeDirectory = 0x10;
constexpr unsigned long kAttributeReparsePoint = 0x400;

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool FinalPathInFolder(const Text& finalPath, const Text& folderFinalPath, const Text& name) {
    size_t folderLength = folderFinalPath.length();
    if (folderLength && folderFinalPath[folderLength - 1] == '\\') --folderLength;
    if (folderLength == 0 || name.empty() || finalPath.length() != folderLength + 1 + name.length()) return false;
    if (finalPath.Left(folderLength) != folderFinalPath.Left(folderLength) || finalPath[folderLength] != '\\')
        return false;
    for (size_t i = 0; i < name.length(); ++i)
        if (UpperAscii(finalPath[folderLength + 1 + i]) != UpperAscii(name[i])) return false;
    return true;
}

bool IsPlainEntry(const EntryFacts& facts, const Text& folderFinalPath, const Text& name) {
    if (facts.attributes & (kAttributeDirectory | kAttributeReparsePoint)) return false;
    if (facts.links != 1) return false;
    if (folderFinalPath.empty()) return true;
    return facts.finalPathKnown && FinalPathInFolder(facts.finalPath, folderFinalPath, name);
}

unsigned long EntryOpenError(int32_t status, unsigned long errorOfStatus) {
    constexpr int32_t kOplockBreakInProgress = 0x108;  // STATUS_OPLOCK_BREAK_IN_PROGRESS: a success status
    if (status == kOplockBreakInProgress) return kOplockedEntry;
    return status < 0 ? (errorOfStatus ? errorOfStatus : 31 /* ERROR_GEN_FAILURE */) : 0;
}

Text CreatorOnlySecurity(const Text& creatorSid) {
    Text sddl = "D:P(A;;FA;;;SY)(A;;FA;;;BA)";
    return creatorSid.empty() ? sddl : sddl + "(A;;FA;;;" + creatorSid + ")";
}
