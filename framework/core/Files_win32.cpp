// Files on Windows: a temporary file, FlushFileBuffers and MoveFileExA with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH for replacing a file in
// one step, through a symbolic link to its target; CreateFileA with
// CREATE_NEW for a file made new; GetModuleFileNameA for the program's
// folder. Paths are the system's single-byte code page, as everywhere in the
// program.
// Not defended here, as it is on POSIX systems: links planted by another user
// in a folder both may write. Making a symbolic link takes a privilege that
// ordinary users lack, and the shared folders of Unix (/tmp) have no match.
//
// Our headers come before <windows.h>, and its macro FormatMessage (the
// name of FormatMessageA) goes right after it: the program has a
// FormatMessage of its own.
#include "framework/core/Exceptions.h"
#include "framework/core/Files.h"
#include "framework/core/FilesDetail.h"

#define NOMINMAX 1  // the value libstdc++ of mingw-w64 gives it: no redefinition
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#undef FormatMessage

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

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

namespace {

// Writes `bytes` to a temporary file beside `target`, flushed with `flush`,
// and moves it over `target`; `path` names it in errors.
void Replace(const std::string& path, const std::string& target, std::string_view bytes,
             bool flush) {
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    FailCreate(path, ERROR_ACCESS_DENIED);

  const std::string temp = target + ".tmp" + std::to_string(GetCurrentProcessId());
  HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) FailCreate(path, static_cast<int>(GetLastError()));
  int error = 0;
  if (!WriteAll(file, bytes) || (flush && !FlushFileBuffers(file)))
    error = static_cast<int>(GetLastError());
  if (!CloseHandle(file) && error == 0) error = static_cast<int>(GetLastError());
  // The new file takes the place of the old one in one step and keeps its
  // attributes (read-only, hidden, archive, ...); its access rights are the
  // folder's, as for any file made there.
  const DWORD move = MOVEFILE_REPLACE_EXISTING | (flush ? MOVEFILE_WRITE_THROUGH : 0);
  if (error == 0 && !MoveFileExA(temp.c_str(), target.c_str(), move))
    error = static_cast<int>(GetLastError());
  if (error == 0 && attributes != INVALID_FILE_ATTRIBUTES)
    SetFileAttributesA(target.c_str(), attributes);
  if (error != 0) {
    DeleteFileA(temp.c_str());
    FailWrite(path, error);
  }
}

}  // namespace

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
  Replace(path, FinalPath(path), bytes, true);
}

void ReplaceFileUnflushed(const std::string& path, std::string_view bytes) {
  Replace(path, path, bytes, false);
}

std::unique_ptr<TNewFile> TNewFile::Create(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return nullptr;
    FailCreate(path, static_cast<int>(error));
  }
  return std::unique_ptr<TNewFile>(new TNewFile(path, reinterpret_cast<std::intptr_t>(file)));
}

TNewFile::~TNewFile() {
  if (file_ != -1) CloseHandle(reinterpret_cast<HANDLE>(file_));
  if (!finished_) DeleteFileA(path_.c_str());
}

void TNewFile::Write(std::string_view bytes) {
  if (file_ == -1 || !WriteAll(reinterpret_cast<HANDLE>(file_), bytes))
    FailWrite(path_, static_cast<int>(file_ == -1 ? ERROR_INVALID_HANDLE : GetLastError()));
}

void TNewFile::Finish() {
  const HANDLE file = reinterpret_cast<HANDLE>(std::exchange(file_, -1));
  int error = FlushFileBuffers(file) ? 0 : static_cast<int>(GetLastError());
  if (!CloseHandle(file) && error == 0) error = static_cast<int>(GetLastError());
  if (error != 0) FailWrite(path_, error);
  finished_ = true;
}

void ReadFileShared(const std::string& path, TGrowingArray<char>& into) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) FailOpen(path, static_cast<int>(GetLastError()));
  const std::unique_ptr<void, decltype(&CloseHandle)> closer(file, &CloseHandle);
  constexpr DWORD kPiece = DWORD{1} << 20;
  for (;;) {
    const std::size_t held = into.size();
    DWORD n = 0;
    const bool read = ReadFile(file, into.Extend(kPiece), kPiece, &n, nullptr);
    const int error = static_cast<int>(GetLastError());
    into.Shorten(held + n);
    if (!read) FailOpen(path, error);
    if (n == 0) break;
  }
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
