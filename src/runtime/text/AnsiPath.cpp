#include "AnsiPath.h"

namespace {

// The longest name formed beside the loader is its manifest's.
constexpr size_t kManifestSuffixLength = sizeof(".exe.manifest") - 1;
const char kPrefix[] = "\\\\?\\";
const char kUncPrefix[] = "\\\\?\\UNC\\";

bool StartsWith(const Text& text, const char* start) {
    size_t i = 0;
    for (; start[i]; ++i)
        if (i >= text.length() || text[i] != start[i]) return false;
    return true;
}

bool Usable(const AnsiText& folder, size_t longestName) {
    return folder.exact && !folder.text.empty() && folder.text.length() + 1 + longestName <= kAnsiPathLimit;
}

}  // namespace

size_t LongestNameBeside(const Text& launcherName) { return launcherName.length() + kManifestSuffixLength; }

AnsiFolderChoice ChooseAnsiFolder(const AnsiText& launcherName, const AnsiText& longFolder,
                                  const AnsiText& shortFolder) {
    AnsiFolderChoice choice;
    size_t longest = LongestNameBeside(launcherName.text);
    if (!launcherName.exact)
        choice.problem = PathProblem::NameNotRepresentable;
    else if (Usable(longFolder, longest))
        choice.folder = longFolder.text;
    else if (Usable(shortFolder, longest))
        choice.folder = shortFolder.text;
    else
        choice.problem = longFolder.exact ? PathProblem::FolderTooLong : PathProblem::FolderNotRepresentable;
    return choice;
}

Text PathRefusalMessage(PathProblem problem, const Text& folder, const Text& launcherName, size_t folderLength) {
    const char* charset = "this system's code page for programs that do not use Unicode cannot represent";
    switch (problem) {
    case PathProblem::NameNotRepresentable:
        return Text("The setup loader cannot run under this name:\r\n") + launcherName +
               ".exe\r\n\r\nThe name holds characters that " + charset + ". Rename the file.";
    case PathProblem::FolderNotRepresentable:
        return Text("The setup loader cannot run from this folder:\r\n") + folder +
               "\r\n\r\nThe folder's path holds characters that " + charset +
               ", and the folder has no short (8.3) name to use instead. Copy the files to a folder with another name.";
    case PathProblem::FolderTooLong: {
        size_t longest = LongestNameBeside(launcherName);
        size_t fits = kAnsiPathLimit > longest + 1 ? kAnsiPathLimit - longest - 1 : 0;
        return Text("The setup loader cannot run from this folder:\r\n") + folder + "\r\n\r\nThe folder's path is " +
               DecimalText(folderLength) + " characters long, but at most " + DecimalText(fits) +
               " fit, and the folder has no short (8.3) name that is short enough. Copy the files to a folder with a "
               "shorter path.";
    }
    case PathProblem::None:
        break;
    }
    return Text();
}

Text WithoutLongPathPrefix(const Text& path) {
    if (StartsWith(path, kUncPrefix)) return Text("\\\\") + path.Mid(sizeof kUncPrefix - 1);
    if (StartsWith(path, kPrefix)) return path.Mid(sizeof kPrefix - 1);
    return path;
}

Text WithLongPathPrefix(const Text& path) { return path.length() < kAnsiPathLimit + 1 ? path : PrefixedPath(path); }

Text PrefixedPath(const Text& path) {
    if (StartsWith(path, kPrefix)) return path;
    if (StartsWith(path, "\\\\")) return Text(kUncPrefix) + path.Mid(2);
    return Text(kPrefix) + path;
}

Text StartableForm(const Text& finalPath) {
    Text plain = WithoutLongPathPrefix(finalPath);
    if (plain.length() > kAnsiPathLimit) return finalPath;
    for (size_t i = 0; i < plain.length(); ++i) {
        bool endsName = i + 1 == plain.length() || plain[i + 1] == '\\';
        if (endsName && (plain[i] == '.' || plain[i] == ' ')) return finalPath;
    }
    return plain;
}
