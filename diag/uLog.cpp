#include "diag/uLog.h"

#include <algorithm>
#include <utility>

#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

const char kBom[] = "\xFF\xFE";

std::string Utf16ToLeBytes(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  return bytes;
}

bool WriteAll(plat::Handle file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    uint32_t written = 0;
    const size_t chunk = std::min<size_t>(bytes.size() - done, 1u << 30);
    if (!plat::WriteFile(file, bytes.data() + done, static_cast<uint32_t>(chunk), &written) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

// Reads `size` bytes from the start of the file.
bool ReadFromStart(plat::Handle file, int64_t size, std::string& bytes) {
  if (plat::SetFilePointerEx(file, 0, plat::kFILE_BEGIN) != 0) return false;
  bytes.assign(static_cast<size_t>(size), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    uint32_t read = 0;
    const size_t chunk = std::min<size_t>(bytes.size() - done, 1u << 30);
    if (!plat::ReadFile(file, bytes.data() + done, static_cast<uint32_t>(chunk), &read)) {
      return false;
    }
    if (read == 0) break;
    done += read;
  }
  bytes.resize(done);
  return true;
}

std::string NumberedName(const std::string& firstName, int n) {
  std::string ext = "_";
  ext += std::to_string(n);
  ext += ".log";
  return fileutil::ChangeFileExt(firstName, ext);
}

std::string BackupName(const std::string& name, int i) {
  return name + ".bak" + std::to_string(i);
}

}  // namespace

// ---------------------------------------------------------------- TLogObj

TLogObj::TLogObj(const std::string& FileName) {
  fRequestedFileName = FileName;
  if (fRequestedFileName.empty()) {
    fModuleName = plat::GetModuleFileNameW();
    fRequestedFileName = fileutil::ChangeFileExt(fModuleName, ".log");
  }
  if (fRequestedFileName.empty()) return;
  bool foldersTried = false;
  for (int n = 0; n < kLogMaxOpenAttempts; ++n) {
    const std::string name = n == 0 ? fRequestedFileName : NumberedName(fRequestedFileName, n);
    if (Open(name)) return;
    if (plat::GetLastError() == plat::kERROR_PATH_NOT_FOUND && !foldersTried) {
      // Every name lives in the same folder: create it once, then try this name again.
      foldersTried = true;
      if (!fileutil::ForceDirectories(fileutil::ExtractFileDir(fRequestedFileName))) return;
      --n;
    }
  }
}

TLogObj::~TLogObj() {
  Close();
}

bool TLogObj::Open(const std::string& Name) {
  const plat::Handle file =
      plat::CreateFileW(Name, plat::kGENERIC_READ | plat::kGENERIC_WRITE, plat::kFILE_SHARE_READ,
                        plat::kOPEN_ALWAYS, plat::kFILE_ATTRIBUTE_NORMAL);
  if (file == plat::kInvalidHandle) return false;
  fStream = file;
  fFileName = Name;
  // A new handle reads from the start: look at the first two bytes, then go to the end.
  char mark[2] = {0, 0};
  uint32_t read = 0;
  bool ok = plat::ReadFile(file, mark, 2, &read);
  int64_t size = ok ? plat::SetFilePointerEx(file, 0, plat::kFILE_END) : -1;
  ok = size >= 0;
  if (ok && size > 0 && std::string(mark, read) != kBom) {
    try {
      ok = ConvertLegacyAnsi(size);
    } catch (...) {
      ok = false;  // too large to convert: the handle is closed below all the same
    }
    if (ok) size = plat::SetFilePointerEx(file, 0, plat::kFILE_END);
    ok = ok && size >= 0;
  }
  if (ok) fCurrentSize = size;
  if (!ok) {
    // Leave the file as it was found (not even an empty one is deleted here).
    plat::CloseHandle(file);
    fStream = plat::kInvalidHandle;
    fCurrentSize = 0;
    plat::SetLastError(plat::kERROR_INVALID_FUNCTION);
    return false;
  }
  return true;
}

// A log written by an older version has no byte-order mark: its bytes are ANSI
// text. Rewrite it as the mark followed by the same text in UTF-16.
bool TLogObj::ConvertLegacyAnsi(int64_t Size) {
  // Converted in memory: a file far larger than any log is left alone.
  constexpr int64_t kMaxLegacyBytes = int64_t{64} << 20;
  if (Size > kMaxLegacyBytes) return false;
  std::string ansi;
  if (!ReadFromStart(fStream, Size, ansi)) return false;
  const std::string converted = kBom + Utf16ToLeBytes(plat::MultiByteToWideChar(0, ansi));
  if (plat::SetFilePointerEx(fStream, 0, plat::kFILE_BEGIN) != 0) return false;
  if (!WriteAll(fStream, converted)) return false;
  return plat::SetEndOfFile(fStream);
}

void TLogObj::Close() {
  if (fStream == plat::kInvalidHandle) return;
  try {
    plat::CloseHandle(fStream);
    fStream = plat::kInvalidHandle;
    if (fCurrentSize == 0) plat::DeleteFileW(fFileName);
  } catch (...) {
    fStream = plat::kInvalidHandle;
  }
}

// Moves the content into "<name>.bak1" (older backups move up one number, the
// oldest is deleted) and empties the file. When the backup cannot be written the
// file is kept as it is and simply grows: no entry is thrown away.
bool TLogObj::Rotate() {
  if (fBackupCount > 0) {
    const std::string oldest = BackupName(fFileName, fBackupCount);
    if (fileutil::FileExists(oldest)) plat::DeleteFileW(oldest);
    for (int i = fBackupCount - 1; i >= 1; --i) {
      const std::string from = BackupName(fFileName, i);
      if (fileutil::FileExists(from)) plat::MoveFileExW(from, BackupName(fFileName, i + 1), true);
    }
    if (!CopyToBackup(BackupName(fFileName, 1))) {
      plat::SetFilePointerEx(fStream, 0, plat::kFILE_END);
      return false;
    }
  }
  if (plat::SetFilePointerEx(fStream, 0, plat::kFILE_BEGIN) != 0 || !plat::SetEndOfFile(fStream)) {
    plat::SetFilePointerEx(fStream, 0, plat::kFILE_END);
    return false;
  }
  fCurrentSize = 0;
  return true;
}

// Copies the open log into a backup file piece by piece, so that a log of any size
// is rotated without holding it in memory.
bool TLogObj::CopyToBackup(const std::string& Backup) {
  const plat::Handle out = plat::CreateFileW(Backup, plat::kGENERIC_WRITE, 0, plat::kCREATE_ALWAYS,
                                             plat::kFILE_ATTRIBUTE_NORMAL);
  if (out == plat::kInvalidHandle) return false;
  bool ok = plat::SetFilePointerEx(fStream, 0, plat::kFILE_BEGIN) == 0;
  std::string piece(64 * 1024, '\0');
  while (ok) {
    uint32_t read = 0;
    ok = plat::ReadFile(fStream, piece.data(), static_cast<uint32_t>(piece.size()), &read);
    if (!ok || read == 0) break;
    uint32_t written = 0;
    ok = plat::WriteFile(out, piece.data(), read, &written) && written == read;
  }
  plat::CloseHandle(out);
  if (!ok) plat::DeleteFileW(Backup);
  return ok;
}

bool TLogObj::Write(const std::string& Msg) {
  std::lock_guard<std::mutex> lock(fLock);
  if (!IsOpen()) return false;
  if (fCurrentSize >= fMaxSize) Rotate();
  std::string line;
  if (fTimestamp) line = txt::FormatLogTimestamp(plat::GetLocalTime()) + "  ";
  line += Msg;
  line += "\r\n";
  std::string bytes;
  if (fCurrentSize == 0) bytes = kBom;
  bytes += txt::Utf8ToUtf16LeBytes(line);
  if (!WriteAll(fStream, bytes)) {
    // Whatever part reached the file counts; the caller gives the file up.
    const int64_t size = plat::SetFilePointerEx(fStream, 0, plat::kFILE_END);
    if (size >= 0) fCurrentSize = size;
    return false;
  }
  fCurrentSize += static_cast<int64_t>(bytes.size());
  return true;
}

void TLogObj::SetMaxSize(int32_t Bytes) {
  std::lock_guard<std::mutex> lock(fLock);
  fMaxSize = Bytes;
}

void TLogObj::SetBackupCount(uint8_t Count) {
  std::lock_guard<std::mutex> lock(fLock);
  fBackupCount = Count;
}

void TLogObj::SetTimestamp(bool Enabled) {
  std::lock_guard<std::mutex> lock(fLock);
  fTimestamp = Enabled;
}

// ---------------------------------------------------------------- TLogManage

TLogManage::~TLogManage() {
  Release();
}

void TLogManage::SetFileName(const std::string& Name) {
  std::lock_guard<std::mutex> lock(fLock);
  if (fLogFile && !txt::SameText(fLogFile->RequestedFileName(), Name)) fLogFile.reset();
  fFileName = Name;
}

void TLogManage::SetMaxSize(int32_t Bytes) {
  std::lock_guard<std::mutex> lock(fLock);
  fMaxSize = Bytes;
  if (fLogFile) fLogFile->SetMaxSize(Bytes);
}

void TLogManage::SetBackupCount(uint8_t Count) {
  std::lock_guard<std::mutex> lock(fLock);
  fBackupCount = Count;
  if (fLogFile) fLogFile->SetBackupCount(Count);
}

void TLogManage::SetTimestamp(bool Enabled) {
  std::lock_guard<std::mutex> lock(fLock);
  fTimestamp = Enabled;
  if (fLogFile) fLogFile->SetTimestamp(Enabled);
}

void TLogManage::SetCloseAfterWrite(bool Enabled) {
  std::lock_guard<std::mutex> lock(fLock);
  fCloseAfterWrite = Enabled;
  if (Enabled) fLogFile.reset();
}

std::string TLogManage::GetFileName() {
  std::lock_guard<std::mutex> lock(fLock);
  return fFileName;
}

int32_t TLogManage::GetMaxSize() {
  std::lock_guard<std::mutex> lock(fLock);
  return fMaxSize;
}

uint8_t TLogManage::GetBackupCount() {
  std::lock_guard<std::mutex> lock(fLock);
  return fBackupCount;
}

void TLogManage::Write(const std::string& Msg) {
  std::lock_guard<std::mutex> lock(fLock);
  try {
    if (!fLogFile) {
      auto file = std::make_unique<TLogObj>(fFileName);
      if (!file->IsOpen()) return;
      file->SetBackupCount(fBackupCount);
      file->SetTimestamp(fTimestamp);
      file->SetMaxSize(fMaxSize);
      fLogFile = std::move(file);
    }
    const bool written = fLogFile->Write(Msg);
    if (!written || fCloseAfterWrite) fLogFile.reset();
  } catch (...) {
    fLogFile.reset();
  }
}

void TLogManage::Release() {
  std::lock_guard<std::mutex> lock(fLock);
  fLogFile.reset();
}
