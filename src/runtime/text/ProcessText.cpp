#include "ProcessText.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

Text ArgumentTextFrom(const char* commandLine) {
    const char* p = commandLine ? commandLine : "";
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p && !IsBlank(*p)) ++p;
    }
    while (IsBlank(*p)) ++p;
    return Text(p);
}

bool SplitModulePath(const Text& fullPath, ModulePath& out) {
    size_t slash = fullPath.length();
    for (size_t i = 0; i < fullPath.length(); ++i) {
        if (fullPath[i] == '\\' || fullPath[i] == '/') slash = i;
    }
    if (slash == fullPath.length() || slash == 0) return false;
    Text fileName = fullPath.Mid(slash + 1);
    size_t dot = fileName.length();
    for (size_t i = 0; i < fileName.length(); ++i) {
        if (fileName[i] == '.') dot = i;
    }
    if (fileName.empty()) return false;
    out.folder = fullPath.Left(slash);
    out.baseName = fileName.Left(dot);
    return true;
}

namespace {

Text Hex(uint64_t value, int digits) {
    char hex[17];
    for (int i = digits - 1; i >= 0; --i) {
        hex[i] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    }
    hex[digits] = '\0';
    return Text(hex);
}

// FNV-1a over the case-folded path, as hex: kernel object names may not hold
// backslashes, and Windows paths compare without regard to case.
Text PathHash(const Text& path) {
    Text folded = path.ToUpperAscii();
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < folded.length(); ++i) {
        hash ^= static_cast<unsigned char>(folded[i]);
        hash *= 1099511628211ull;
    }
    return Hex(hash, 16);
}

// Machine-wide: the folder, its setup program and its marker are shared by
// every session on the machine, so its one runner must be too. The private
// namespace is machine-wide as well.
Text RunnerPrefix(bool inPrivateNamespace) {
    return inPrivateNamespace ? Text(kPrivateNamespaceAlias) + "\\Runner." : Text("Global\\SetupLoader.Runner.");
}

}  // namespace

Text RunnerObjectName(const Text& executablePath, bool inPrivateNamespace) {
    ModulePath parts;
    Text folder = SplitModulePath(executablePath, parts) ? parts.folder : executablePath;
    return RunnerPrefix(inPrivateNamespace) + PathHash(folder);
}

// An id that fits 64 bits (NTFS) keeps the short form, with the volume's low
// 32 bits, which is all the older call tells: a start through a share, where
// the whole id may not be read, still meets the same lock.
Text RunnerObjectName(const FolderIdentity& folder, bool inPrivateNamespace) {
    Text prefix = RunnerPrefix(inPrivateNamespace);
    if (folder.fileIdHigh == 0) return prefix + Hex(folder.volumeSerial, 8) + "." + Hex(folder.fileIndex, 16);
    return prefix + Hex(folder.volumeSerial, 16) + "." + Hex(folder.fileIdHigh, 16) + Hex(folder.fileIndex, 16);
}

Text FolderToOpen(const Text& folder) {
    return !folder.empty() && folder[folder.length() - 1] == ':' ? folder + "\\" : folder;
}
