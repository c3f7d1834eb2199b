#pragma once
#include "../runtime/text/Text.h"

// An elevating copy of the loader is bound to its setup program: it carries,
// as a resource of its own, the file name it was bound to and that file's
// SHA-256, and starts nothing else. Without the record a loader is unbound.
struct Binding {
    Text fileName;  // UTF-8, as the launcher name selects it (setup.exe)
    Text sha256;    // 64 lower-case hex digits
};

constexpr const char kBindingResourceType[] = "SETUPBINDING";
constexpr unsigned short kBindingResourceName = 1;
// What an unbound copy made from a bound loader carries in the record's
// place: Wine's resource update loads the file's own resources only after
// the changes asked for, so it cannot delete one.
constexpr const char kUnboundRecord[] = "SetupLoaderBinding none\r\n";

// What the loader's own record says of it.
enum class OwnBinding {
    None,        // no record, or the unbound mark: an unbound loader
    Bound,       // a record this loader reads: binding holds it
    Unreadable,  // a record it cannot read: bound all the same, to nothing it could start
};
OwnBinding ClassifyBindingRecord(bool found, const Text& record, Binding& binding);

Text EncodeBinding(const Binding& binding);
// False when the bytes are no record that this loader writes.
bool DecodeBinding(const Text& bytes, Binding& binding);

// The file name of the setup program that a UTF-8 launcher name selects;
// false when the name carries no recognised prefix.
bool TargetFileName(const Text& launcherName, Text& fileName);

// Names compare without regard to the letter case of A-Z, hashes exactly.
bool MatchesBinding(const Binding& bound, const Text& fileName, const Text& sha256);

// The success box's second line for a bound copy.
Text BoundCopyLine(const Text& fileName, const Text& sha256);
extern const char kNothingToBind[];
// The runner's refusal of a file that is not the one bound.
Text NotBoundFileMessage(const Text& targetPath);
// A bound copy that cannot confirm it holds the file it runs from.
Text OwnFileUnconfirmedMessage(const Text& executablePath);
// Manifest mode asked of a bound copy.
extern const char kBoundCopyRefusesManifest[];
