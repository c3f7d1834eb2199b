#include "Binding.h"

#include <string.h>

#include "../protocol/LauncherName.h"
#include "../runtime/text/CodePage.h"

namespace {

const char kHead[] = "SetupLoaderBinding 1\r\nsha256=";
const char kFileField[] = "\r\nfile=";
constexpr size_t kHexDigits = 64;

bool IsLowerHex(const Text& text) {
    for (size_t i = 0; i < text.length(); ++i) {
        if (!strchr("0123456789abcdef", text[i]) || text[i] == '\0') return false;
    }
    return text.length() == kHexDigits;
}

const CharacterWidths& Utf8Widths() {
    static const CharacterWidths widths(kCodePageUtf8, nullptr, 0);
    return widths;
}

}  // namespace

Text EncodeBinding(const Binding& binding) {
    return Text(kHead) + binding.sha256 + kFileField + binding.fileName + "\r\n";
}

bool DecodeBinding(const Text& bytes, Binding& binding) {
    size_t head = sizeof kHead - 1, field = sizeof kFileField - 1;
    if (bytes.Left(head) != kHead || bytes.length() < head + kHexDigits + field + 3) return false;
    Text sha256 = bytes.Mid(head).Left(kHexDigits);
    Text rest = bytes.Mid(head + kHexDigits);
    if (!IsLowerHex(sha256) || rest.Left(field) != kFileField || !rest.EndsWith("\r\n")) return false;
    Text name = rest.Mid(field).Left(rest.length() - field - 2);
    for (size_t i = 0; i < name.length(); ++i) {
        if (strchr("\r\n\\/", name[i])) return false;
    }
    binding.fileName = name;
    binding.sha256 = sha256;
    return true;
}

bool TargetFileName(const Text& launcherName, Text& fileName) {
    Text target;
    if (!SelectTargetPath(launcherName, BuildCandidatePaths("", launcherName, Utf8Widths()), target)) return false;
    fileName = target.Mid(1);  // the path is "\" + name
    return !fileName.empty();
}

bool MatchesBinding(const Binding& bound, const Text& fileName, const Text& sha256) {
    const CharacterWidths& widths = Utf8Widths();
    return widths.ToLowerAscii(bound.fileName) == widths.ToLowerAscii(fileName) && bound.sha256 == sha256;
}

Text BoundCopyLine(const Text& fileName, const Text& sha256) {
    return "Bound to " + fileName + ", SHA-256 " + sha256.Left(16) + "...";
}

const char kNothingToBind[] =
    "The manifest asks for administrator rights, so the copy must be bound to the setup program beside the "
    "loader, and there is none. No copy was written.";

Text NotBoundFileMessage(const Text& targetPath) {
    return targetPath + ": This is not the setup program this loader was prepared for. It was not started.";
}

Text OwnFileUnconfirmedMessage(const Text& executablePath) {
    return executablePath + ": This copy cannot confirm that it runs from this file. Nothing was started.";
}

const char kBoundCopyRefusesManifest[] =
    "This copy is bound to its setup program; embed the manifest with the unbound loader.";

OwnBinding ClassifyBindingRecord(bool found, const Text& record, Binding& binding) {
    if (!found || record == kUnboundRecord) return OwnBinding::None;
    return DecodeBinding(record, binding) ? OwnBinding::Bound : OwnBinding::Unreadable;
}
