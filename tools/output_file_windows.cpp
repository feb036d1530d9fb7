#include "tools/output_file.h"

#include "sound/utf8_path.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <random>

namespace {

// The temporary file being written, for the console's control handler, which Windows runs
// on a thread of its own while the writing goes on.
wchar_t temporaryName[32768];
std::atomic<bool> temporaryKept{false};

void keepTemporary(const std::wstring& name) {
    temporaryKept = false;
    if (name.size() >= std::size(temporaryName)) return;
    std::copy(name.c_str(), name.c_str() + name.size() + 1, temporaryName);
    temporaryKept = true;
}

void forgetTemporary() {
    temporaryKept = false;
}

BOOL WINAPI removeTemporary(DWORD) {
    // The file is open for writing with delete shared: it goes when the process ends, which
    // the next handler (the default one) does.
    if (temporaryKept) DeleteFileW(temporaryName);
    return FALSE;
}

std::string systemMessage(DWORD error) {
    char* text = nullptr;
    const DWORD size = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = size > 0 && text ? std::string(text, size) : "";
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == '.' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}

std::string cannotWrite(const std::string& name, const std::string& why) {
    return "cannot write '" + name + "': " + why;
}

// Writes every piece; 0, or the error of the write that failed.
DWORD writePieces(HANDLE file, const OutputPieces& pieces) {
    for (const auto& piece : pieces) {
        size_t done = 0;
        while (done < piece.size()) {
            const DWORD step = static_cast<DWORD>(std::min<size_t>(piece.size() - done, 1 << 20));
            DWORD written = 0;
            if (!WriteFile(file, piece.data() + done, step, &written, nullptr))
                return GetLastError();
            if (written == 0) return ERROR_WRITE_FAULT;
            done += written;
        }
    }
    return 0;
}

// Into a device (NUL, CON, a port) or a pipe, as it is: the bytes straight in.
std::string writeStraight(const std::string& name, HANDLE file, const OutputPieces& pieces) {
    DWORD error = writePieces(file, pieces);
    if (!CloseHandle(file) && error == 0) error = GetLastError();
    return error != 0 ? cannotWrite(name, systemMessage(error)) : "";
}

// The file a link or another reparse point leads to; the name itself where none does.
std::wstring finalName(const std::wstring& name) {
    HANDLE file =
        CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return name;
    std::wstring final(32768, L'\0');
    const DWORD size =
        GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), 0);
    CloseHandle(file);
    if (size == 0 || size >= final.size()) return name;
    final.resize(size);
    return final;
}

// A temporary file beside `target`, moved over it once whole and flushed.
std::string replaceFile(const std::string& name, const std::wstring& target,
                        const OutputPieces& pieces) {
    std::random_device random;
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD opening = 0;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 8; ++attempt) {
        temporary = target + L".tmp-" + std::to_wstring(random());
        // Known to the handler before the file exists: the handler may run at any moment.
        keepTemporary(temporary);
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        opening = GetLastError();
        if (file != INVALID_HANDLE_VALUE) break;
        forgetTemporary();
        if (opening != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) return cannotWrite(name, systemMessage(opening));
    DWORD error = writePieces(file, pieces);
    if (error == 0 && !FlushFileBuffers(file)) error = GetLastError();
    if (!CloseHandle(file) && error == 0) error = GetLastError();
    if (error == 0 && !MoveFileExW(temporary.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != 0) DeleteFileW(temporary.c_str());
    forgetTemporary();
    return error != 0 ? cannotWrite(name, systemMessage(error)) : "";
}

bool fileIdentity(const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE file = CreateFileW(pathFromUtf8(name).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return known;
}

} // namespace

std::string writeOutputFile(const std::string& path, const OutputPieces& pieces) {
    const std::wstring name = pathFromUtf8(path).wstring();
    // A device or a pipe opens as one and takes the bytes as it is; a file is only looked at.
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        if (GetFileType(file) != FILE_TYPE_DISK) return writeStraight(path, file, pieces);
        CloseHandle(file);
    }
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return replaceFile(path, name, pieces);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return cannotWrite(path, "it is a folder");
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return cannotWrite(path, "the file is read-only (Access is denied)");
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return replaceFile(path, finalName(name), pieces);
    return replaceFile(path, name, pieces);
}

bool sameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return fileIdentity(a, first) && fileIdentity(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

void cleanUpOnInterruption() {
    SetConsoleCtrlHandler(removeTemporary, TRUE);
}
