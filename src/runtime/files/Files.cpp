#include "Files.h"

#include "../platform/Err.h"
#include "../platform/UniqueHandle.h"
#include "../platform/Win32.h"
#include "../text/FieldLine.h"

namespace {

struct Channel {
    UniqueFileHandle file;
    Text path;
};

Channel g_channels[Files::kChannelCount + 1];

Channel* OpenChannel(int channel) {
    if (channel < 1 || channel > Files::kChannelCount || !g_channels[channel].file.Valid()) {
        Err::Raise(52, "Bad file name or number.");
        return nullptr;
    }
    return &g_channels[channel];
}

bool Open(int channel, const Text& path, DWORD access, DWORD disposition, const char* what) {
    if (channel < 1 || channel > Files::kChannelCount) {
        Err::Raise(52, "Bad file name or number.");
        return false;
    }
    Files::Close(channel);
    // Others may delete the file while it is open: the waiting window removes
    // the marker whenever it sees it, even while the runner is still writing.
    HANDLE file = ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Err::RaiseSystem(::GetLastError(), Text(what) + path);
        return false;
    }
    g_channels[channel].file.Reset(file);
    g_channels[channel].path = path;
    return true;
}

}  // namespace

namespace Files {

bool OpenForOutput(int channel, const Text& path) {
    return Open(channel, path, GENERIC_WRITE, CREATE_ALWAYS, "Cannot write ");
}

bool OpenForBinaryRead(int channel, const Text& path) {
    return Open(channel, path, GENERIC_READ, OPEN_EXISTING, "Cannot read ");
}

bool WriteFieldLine(int channel, const Text& value) {
    Channel* open = OpenChannel(channel);
    if (!open) return false;
    Text line = FieldLine(value);
    DWORD written = 0;
    if (!::WriteFile(open->file.Get(), line.data(), static_cast<DWORD>(line.length()), &written, nullptr) ||
        written != line.length()) {
        Err::RaiseSystem(::GetLastError(), Text("Cannot write ") + open->path);
        return false;
    }
    return true;
}

bool Length(int channel, unsigned long& length) {
    Channel* open = OpenChannel(channel);
    if (!open) return false;
    DWORD high = 0;
    DWORD low = ::GetFileSize(open->file.Get(), &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) {
        Err::RaiseSystem(::GetLastError(), Text("Cannot read ") + open->path);
        return false;
    }
    if (high != 0) {
        Err::Raise(ERROR_FILE_TOO_LARGE, Text("The file is too large: ") + open->path);
        return false;
    }
    length = low;
    return true;
}

bool ReadFromStart(int channel, unsigned long count, Text& bytes) {
    Channel* open = OpenChannel(channel);
    if (!open) return false;
    char* data = static_cast<char*>(::HeapAlloc(::GetProcessHeap(), 0, count ? count : 1));
    if (!data) {
        Err::Raise(7, "Out of memory.");
        return false;
    }
    DWORD read = 0;
    bool ok = ::SetFilePointer(open->file.Get(), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
              ::ReadFile(open->file.Get(), data, count, &read, nullptr) && read == count;
    if (ok) {
        bytes = Text(data, count);
    } else {
        DWORD code = ::GetLastError();
        Err::RaiseSystem(code ? code : ERROR_HANDLE_EOF, Text("Cannot read ") + open->path);
    }
    ::HeapFree(::GetProcessHeap(), 0, data);
    return ok;
}

void Close(int channel) {
    if (channel >= 1 && channel <= kChannelCount) g_channels[channel].file.Reset();
}

void CloseAll() {
    for (int channel = 1; channel <= kChannelCount; ++channel) Close(channel);
}

bool Attributes(const Text& path, unsigned long& attributes) {
    DWORD value = ::GetFileAttributesA(path.c_str());
    if (value == INVALID_FILE_ATTRIBUTES) return false;
    attributes = value;
    return true;
}

bool FileWriteTime(const Text& path, uint64_t& time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    time = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool Delete(const Text& path) {
    if (!::DeleteFileA(path.c_str())) {
        Err::RaiseSystem(::GetLastError(), Text("Cannot delete ") + path);
        return false;
    }
    return true;
}

}  // namespace Files
