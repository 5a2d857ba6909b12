// Files on Windows: a temporary file, FlushFileBuffers and MoveFileExA with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH for replacing a file in
// one step, through a symbolic link to its target; GetModuleFileNameA for the
// program's folder. Paths are the system's single-byte code page, as
// everywhere in the program.
//
// Our headers come before <windows.h>, and its macro FormatMessage (the
// name of FormatMessageA) goes right after it: the program has a
// FormatMessage of its own.
#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/FilesDetail.h"

#define NOMINMAX 1  // the value libstdc++ of mingw-w64 gives it: no redefinition
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#undef FormatMessage

#include <cstdlib>
#include <cstring>
#include <string>

namespace tempolog {
namespace {

using files_detail::FailCreate;
using files_detail::FailOpen;
using files_detail::FailWrite;

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// The file a save must replace: a symbolic link is followed to its target.
// Any other path, or one that does not exist yet, is its own target.
std::string FinalPath(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
    return path;
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return path;
  char buffer[MAX_PATH * 4];
  const DWORD n = GetFinalPathNameByHandleA(file, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
  CloseHandle(file);
  if (n == 0 || n >= sizeof buffer) return path;
  std::string final(buffer, n);
  // "\\?\C:\..." names a drive path; "\\?\UNC\server\..." a share.
  if (final.rfind("\\\\?\\UNC\\", 0) == 0) return "\\" + final.substr(7);
  if (final.rfind("\\\\?\\", 0) == 0) return final.substr(4);
  return final;
}

}  // namespace

std::string SystemErrorText(int error) {
  char* buffer = nullptr;
  const DWORD n = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = n > 0 && buffer != nullptr ? std::string(buffer, n) : std::string();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.'))
    text.pop_back();
  return text;
}

char PathSeparator() { return '\\'; }

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
  const std::string target = FinalPath(path);
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    FailCreate(path, ERROR_ACCESS_DENIED);

  const std::string temp = target + ".tmp" + std::to_string(GetCurrentProcessId());
  HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) FailCreate(path, static_cast<int>(GetLastError()));
  int error = 0;
  if (!WriteAll(file, bytes) || !FlushFileBuffers(file)) error = static_cast<int>(GetLastError());
  if (!CloseHandle(file) && error == 0) error = static_cast<int>(GetLastError());
  // The new file takes the place of the old one in one step and keeps its
  // attributes (read-only, hidden, archive, ...); its access rights are the
  // folder's, as for any file made there.
  if (error == 0 && !MoveFileExA(temp.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = static_cast<int>(GetLastError());
  if (error == 0 && attributes != INVALID_FILE_ATTRIBUTES)
    SetFileAttributesA(target.c_str(), attributes);
  if (error != 0) {
    DeleteFileA(temp.c_str());
    FailWrite(path, error);
  }
}

std::string ReadFileShared(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) FailOpen(path, static_cast<int>(GetLastError()));
  std::string data;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0)
    data.reserve(static_cast<std::size_t>(size.QuadPart));
  char buffer[1 << 16];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
      const int error = static_cast<int>(GetLastError());
      CloseHandle(file);
      FailOpen(path, error);
    }
    if (n == 0) break;
    data.append(buffer, n);
  }
  CloseHandle(file);
  return data;
}

std::string ProgramFolder() {
  char buffer[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  const std::string exe(buffer, n);
  const std::string::size_type slash = exe.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

bool IsSystemFolder(const std::string& folder) {
  for (const char* name : {"SystemRoot", "ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
    const char* top = std::getenv(name);
    const std::size_t n = top != nullptr ? std::strlen(top) : 0;
    if (n > 0 && folder.size() >= n && _strnicmp(folder.c_str(), top, n) == 0 &&
        (folder.size() == n || folder[n] == '\\' || folder[n] == '/'))
      return true;
  }
  return false;
}

std::string UserDataFolder() {
  const char* appData = std::getenv("APPDATA");
  return std::string(appData != nullptr ? appData : ".") + "\\tempolog";
}

}  // namespace tempolog
