#pragma once
#include <stddef.h>

#include "Text.h"

// The folder text the ANSI entry points are given. The process reads its path
// with the wide calls; the platform calls it makes take ANSI text of at most
// kAnsiPathLimit characters, so the folder must convert exactly and leave
// room for the longest name the loader forms beside itself.

constexpr size_t kAnsiPathLimit = 259;  // MAX_PATH less the terminating zero

// A wide text converted to the ANSI code page.
struct AnsiText {
    bool exact = false;  // every character was represented as it is
    Text text;
};

enum class PathProblem {
    None,
    NameNotRepresentable,    // the loader's own name
    FolderNotRepresentable,  // and no short form that is
    FolderTooLong,           // and no short form that fits
};

struct AnsiFolderChoice {
    PathProblem problem = PathProblem::None;
    Text folder;  // the ANSI folder to use when there is no problem
};

// The longest file name formed beside the loader: name + ".exe.manifest".
size_t LongestNameBeside(const Text& launcherName);

// The long folder when it converts exactly and fits, else its short (8.3)
// form on the same terms, else the problem of the long folder. An absent
// short form is passed as inexact.
AnsiFolderChoice ChooseAnsiFolder(const AnsiText& launcherName, const AnsiText& longFolder,
                                  const AnsiText& shortFolder);

// The message that names what cannot be used and why (UTF-8 in and out).
Text PathRefusalMessage(PathProblem problem, const Text& folder, const Text& launcherName, size_t folderLength);

// "\\?\C:\x" -> "C:\x", "\\?\UNC\server\share" -> "\\server\share".
Text WithoutLongPathPrefix(const Text& path);
// The prefixed form the wide calls need for a path of MAX_PATH or more.
Text WithLongPathPrefix(const Text& path);
// The prefixed form of any full path: the system then takes it as it is, so
// that a name ending in a dot or a blank is not cut to another name.
Text PrefixedPath(const Text& path);
// A final path ("\\?\C:\x") as programs expect to be started from and to
// find themselves: without the prefix, unless the path then reaches
// MAX_PATH or a name in it ends in a dot or a blank, which the system would
// strip from the plain form.
Text StartableForm(const Text& finalPath);
