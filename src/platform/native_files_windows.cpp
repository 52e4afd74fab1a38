// The file and process services on Windows: wide-character calls throughout (paths arrive as
// UTF-8), handles that child processes do not inherit, Windows error codes translated into the
// C library's error numbers.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cerrno>
#include <string>

#include "platform/native_files.h"

namespace qm {

namespace {}  // namespace

std::wstring WideFromUtf8(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

namespace {

std::string Utf8(const wchar_t* wide, std::size_t length) {
  if (length == 0) return std::string();
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), utf8.data(), n, nullptr,
                        nullptr);
  return utf8;
}

int ErrnoFor(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    default:
      return EINVAL;  // a name Windows does not allow, among others
  }
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool NameExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Reads and writes move at most this much per call (the calls count in 32 bits).
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

}  // namespace

NativeFile NativeFile::Open(const std::string& path, Mode mode, int& error) {
  // A colon anywhere but after a drive letter would name a stream inside another file, not a
  // file of its own.
  const auto colon = path.find(':');
  if (colon != std::string::npos && (colon != 1 || path.find(':', 2) != std::string::npos)) {
    error = EINVAL;
    return NativeFile();
  }
  const std::wstring wide = WideFromUtf8(path);
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD share = 0;
  DWORD disposition = CREATE_ALWAYS;
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  switch (mode) {
    case Mode::kRead:
      access = GENERIC_READ;
      share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
      disposition = OPEN_EXISTING;
      break;
    case Mode::kCreateOrTruncate:
      break;
    case Mode::kCreateNew:
      // CREATE_NEW fails for any existing name, a link or junction included, and never
      // follows it.
      disposition = CREATE_NEW;
      share = FILE_SHARE_READ;
      break;
  }
  // Handles are not inherited: no child process keeps our files open.
  HANDLE h = CreateFileW(wide.c_str(), access, share, nullptr, disposition, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    error = ErrnoFor(code);
    if (code == ERROR_ACCESS_DENIED && IsDirectory(wide))
      error = mode == Mode::kRead ? EISDIR : EEXIST;
    if (mode == Mode::kCreateNew && error == EACCES && NameExists(wide)) error = EEXIST;
    return NativeFile();
  }
  return NativeFile(h);
}

int64_t NativeFile::Read(void* buffer, std::size_t count, int& error) {
  DWORD got = 0;
  if (!ReadFile(handle_, buffer, static_cast<DWORD>(count < kMaxTransfer ? count : kMaxTransfer),
                &got, nullptr)) {
    const DWORD code = GetLastError();
    if (code == ERROR_HANDLE_EOF || code == ERROR_BROKEN_PIPE) return 0;
    error = ErrnoFor(code);
    return -1;
  }
  return got;
}

int64_t NativeFile::Write(const void* buffer, std::size_t count, int& error) {
  DWORD put = 0;
  if (!WriteFile(handle_, buffer, static_cast<DWORD>(count < kMaxTransfer ? count : kMaxTransfer),
                 &put, nullptr)) {
    error = ErrnoFor(GetLastError());
    return -1;
  }
  return put;
}

bool NativeFile::Seek(uint64_t position) {
  if (position > static_cast<uint64_t>(INT64_MAX)) return false;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) != 0;
}

bool NativeFile::Stat(Info& info, int& error) const {
  BY_HANDLE_FILE_INFORMATION data;
  if (!GetFileInformationByHandle(handle_, &data)) {
    error = ErrnoFor(GetLastError());
    return false;
  }
  info.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  info.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.regular = !info.directory && GetFileType(handle_) == FILE_TYPE_DISK;
  return true;
}

bool NativeFile::Reserve(uint64_t) {
  // NTFS lays out files written in large blocks well on its own: nothing to ask for.
  return false;
}

void NativeFile::ReleaseReserve() {}

bool NativeFile::SetMode(unsigned, int&) {
  return true;
}

int64_t NativeFile::CopyTo(NativeFile&, std::size_t, int& error) {
  error = ENOSYS;
  return -1;
}

bool NativeFile::Close(int& error) {
  if (handle_ == kInvalid) return true;
  const BOOL ok = CloseHandle(handle_);
  handle_ = kInvalid;
  if (ok) return true;
  error = ErrnoFor(GetLastError());
  return false;
}

std::string OwnExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) return Utf8(path.data(), n);
    if (path.size() >= 32768) return std::string();
    path.resize(path.size() * 2);
  }
}

std::string FullPath(const std::string& path) {
  // GetFullPathNameW rather than the C++ library's paths, which would bring its whole locale
  // machinery into the player.
  const std::wstring wide = WideFromUtf8(path);
  std::wstring full(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return path;
    if (n < full.size()) return Utf8(full.data(), n);
    full.resize(n + 1);
  }
  return path;
}

std::string FileNamePart(const std::string& path) {
  const auto separator = path.find_last_of("/\\");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string TemporaryDirectory() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH + 1) return ".\\";
  std::string path = Utf8(buffer, n);
  if (path.back() != '\\' && path.back() != '/') path += '\\';
  return path;
}

bool RemoveFile(const std::string& path, int& error) {
  if (DeleteFileW(WideFromUtf8(path).c_str())) return true;
  error = ErrnoFor(GetLastError());
  return false;
}

uint32_t ProcessId() {
  return GetCurrentProcessId();
}

uint64_t PhysicalMemoryBytes() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

}  // namespace qm
