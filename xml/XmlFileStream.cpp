#include "xml/XmlFileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "xml/EncodingTable.h"
#include "xml/ResultReport.h"
#include "xml/TextConverter.h"
#include "xml/XmlDocument.h"

namespace {

constexpr std::size_t kMarkTestBytes = 1024;
constexpr std::size_t kErrorTextRoom = 100;
constexpr int kLinkHopLimit = 40;
constexpr int kTempNameAttempts = 100;
constexpr bool kHostBigEndian = std::endian::native == std::endian::big;

struct ByteOrderMark {
  std::string_view bytes;
  std::u16string_view name;
  std::uint32_t flag;
  std::int32_t unitSize;
  bool bigEndian;
};

// In the order they are looked for and written.
constexpr std::array<ByteOrderMark, 3> kMarks = {{
    {"\xEF\xBB\xBF", u"UTF-8", kModeBomUtf8, 1, false},
    {"\xFF\xFE", u"UTF-16LE", kModeBomUtf16LE, 2, false},
    {"\xFE\xFF", u"UTF-16BE", kModeBomUtf16BE, 2, true},
}};
constexpr std::uint32_t kMarkBits = kModeBomUtf8 | kModeBomUtf16LE | kModeBomUtf16BE;

// Works with both the GNU and the XSI flavour of strerror_r.
[[maybe_unused]] const char* PickMessage(int result, const char* buffer) {
  return result == 0 ? buffer : "";
}
[[maybe_unused]] const char* PickMessage(const char* result, const char*) { return result; }

// The system's text for an error, up to its first line end; empty when it would not fit in
// kErrorTextRoom code units with its terminator, as the platform's message call would give.
std::u16string ErrorText(int error) {
  std::array<char, 256> buffer{};
  const char* message = PickMessage(strerror_r(error, buffer.data(), buffer.size()), buffer.data());
  std::u16string text = CTextConverter::Utf8ToUtf16(message != nullptr ? message : "");
  if (text.size() >= kErrorTextRoom)
    return {};
  text.resize(std::min(text.size(), text.find_first_of(u"\r\n")));
  return text;
}

bool WriteAll(int file, const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = write(file, bytes, count);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    if (written == 0) {
      errno = ENOSPC;
      return false;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

// Reads until count bytes or the end of the file; the bytes read, or nullopt on an error.
std::optional<std::size_t> ReadAll(int file, char* bytes, std::size_t count) {
  std::size_t total = 0;
  while (total < count) {
    const ssize_t got = read(file, bytes + total, count - total);
    if (got < 0) {
      if (errno == EINTR)
        continue;
      return std::nullopt;
    }
    if (got == 0)
      break;
    total += static_cast<std::size_t>(got);
  }
  return total;
}

bool IsZeroUnit(const char* unit, std::size_t unitSize) {
  for (std::size_t i = 0; i < unitSize; ++i) {
    if (unit[i] != 0)
      return false;
  }
  return true;
}

// Takes every zero unit out, the rest closing up in order; returns how many there were.
std::size_t RemoveZeroUnits(char* bytes, std::size_t units, std::size_t unitSize) {
  std::size_t first = 0;
  if (unitSize == 1) {
    const void* zero = std::memchr(bytes, 0, units);
    if (zero == nullptr)
      return 0;
    first = static_cast<std::size_t>(static_cast<const char*>(zero) - bytes);
  } else {
    while (first < units && !IsZeroUnit(bytes + first * unitSize, unitSize))
      ++first;
  }
  std::size_t kept = first;
  for (std::size_t i = first; i < units; ++i) {
    const char* unit = bytes + i * unitSize;
    if (IsZeroUnit(unit, unitSize))
      continue;
    std::memmove(bytes + kept * unitSize, unit, unitSize);
    ++kept;
  }
  return units - kept;
}

void SwapUnits(char* bytes, std::size_t units, std::size_t unitSize) {
  for (std::size_t i = 0; i < units; ++i)
    std::reverse(bytes + i * unitSize, bytes + (i + 1) * unitSize);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path finally names, following symbolic links; nullopt for a loop or a link that
// cannot be read, which the caller leaves to the system to report.
std::optional<std::string> ResolveLinks(std::string path) {
  for (int hop = 0; hop < kLinkHopLimit; ++hop) {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
      return path;
    std::array<char, PATH_MAX> target;
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size())
      return std::nullopt;
    std::string next(target.data(), static_cast<std::size_t>(length));
    path = next.front() == '/' ? next : FolderOf(path) + "/" + next;
  }
  return std::nullopt;
}

// Errors of creating the temporary file after which writing in place is still worth trying.
bool AllowsWritingInPlace(int error) {
  return error == EACCES || error == EPERM || error == EROFS || error == ENAMETOOLONG;
}

std::string TempPathFor(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  const unsigned serial = counter.fetch_add(1, std::memory_order_relaxed);
  return FolderOf(target) + "/." + NameOf(target) + "." + std::to_string(getpid()) + "." +
         std::to_string(serial) + ".tmp";
}

// Durability of the rename itself; a folder that cannot be synced costs nothing more.
void SyncFolder(const std::string& path) {
  const int folder = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0)
    return;
  (void)fsync(folder);
  close(folder);
}

bool EndsWithBigEndianTag(std::u16string_view name) {
  if (name.size() < 2)
    return false;
  const char16_t b = name[name.size() - 2];
  const char16_t e = name[name.size() - 1];
  return (b == u'B' || b == u'b') && (e == u'E' || e == u'e');
}

// Whether units of this encoding are big-endian in a file (without a byte-order mark).
bool IsBigEndianEncoding(std::u16string_view name, int codePage) {
  return codePage == kCodePageUtf16BE || codePage == kCodePageUtf32BE ||
         (codePage == kCodePageUtf32 && EndsWithBigEndianTag(name));
}

}  // namespace

CXmlFileStream::~CXmlFileStream() {
  if (m_nFile < 0)
    return;
  if (IsReplacing())
    DiscardReplacement();
  else
    close(m_nFile);
}

bool CXmlFileStream::HasUtf16Mark() const {
  return (m_nFlags & (kModeBomUtf16LE | kModeBomUtf16BE)) != 0 && (m_nFlags & kModeBomUtf8) == 0;
}

bool CXmlFileStream::FileError(int error) {
  AddReportEntry(m_strReport, u"file_error", ReportText::kMsg, ErrorText(error), ReportNumber::kN,
                 error);
  return false;
}

bool CXmlFileStream::FileError() {
  return FileError(errno);
}

bool CXmlFileStream::Open(const char16_t* path) {
  m_strReport.clear();
  m_nUnitSize = 1;
  if (path == nullptr || *path == u'\0')
    return FileError(ENOENT);
  const std::string fileName = CTextConverter::Utf16ToUtf8(path);
  const bool opened = (m_nFlags & (kStreamWrite | kStreamAppend)) != 0 ? OpenForWriting(fileName)
                                                                        : OpenForReading(fileName);
  if (!opened)
    Close(false);
  return opened;
}

bool CXmlFileStream::OpenForReading(const std::string& path) {
  // Non-blocking, so that a FIFO does not hold the open up; such files are refused below.
  m_nFile = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (m_nFile < 0)
    return FileError();
  struct stat status;
  if (fstat(m_nFile, &status) != 0)
    return FileError();
  if (S_ISDIR(status.st_mode))
    return FileError(EISDIR);
  if (!S_ISREG(status.st_mode))
    return FileError(EINVAL);
  if (status.st_size > INT32_MAX)
    return FileError(EFBIG);
  m_nFileSize = static_cast<std::int32_t>(status.st_size);
  m_nFilePos = 0;
  if (m_nFileSize == 0)
    return true;
  return ReadMark();
}

bool CXmlFileStream::ReadMark() {
  std::array<char, kMarkTestBytes> head;
  const std::size_t wanted = std::min<std::size_t>(kMarkTestBytes, static_cast<std::size_t>(m_nFileSize));
  const std::optional<std::size_t> got = ReadAll(m_nFile, head.data(), wanted);
  if (!got)
    return FileError();
  if (*got < wanted)
    return FileError(EIO);  // the file shrank under us
  const std::string_view bytes(head.data(), wanted);

  m_nFlags &= ~kMarkBits;
  std::size_t markLength = 0;
  for (const ByteOrderMark& mark : kMarks) {
    if (!bytes.starts_with(mark.bytes))
      continue;
    m_nFlags |= mark.flag;
    m_strEncoding = mark.name;
    m_nUnitSize = mark.unitSize;
    m_bSwapUnits = mark.unitSize > 1 && mark.bigEndian != kHostBigEndian;
    markLength = mark.bytes.size();
    break;
  }
  if (lseek(m_nFile, static_cast<off_t>(markLength), SEEK_SET) < 0)
    return FileError();
  m_nFilePos = static_cast<std::int32_t>(markLength);
  if (markLength > 0)
    AddReportEntry(m_strReport, u"bom");
  else
    FindUndeclaredEncoding(bytes);
  return true;
}

void CXmlFileStream::FindUndeclaredEncoding(std::string_view head) {
  if (FindUtf32Declaration(head))
    return;
  m_strEncoding = CXmlDocument::EncodingFromText(CTextConverter::Utf8ToUtf16(head));
  if (m_strEncoding.empty() && head.front() == '<')
    m_strEncoding = u"UTF-8";
}

// A UTF-32 file without mark begins with '<' and three zero bytes (or the reverse); its
// declaration can only be read as UTF-32. When it names UTF-32, the file is read in 32-bit
// units; anything else is left to the byte-wise path.
bool CXmlFileStream::FindUtf32Declaration(std::string_view head) {
  if (head.size() < 4)
    return false;
  const bool littleEndian = head.starts_with(std::string_view("<\0\0\0", 4));
  const bool bigEndian = head.starts_with(std::string_view("\0\0\0<", 4));
  if (!littleEndian && !bigEndian)
    return false;
  const std::size_t units = head.size() / 4;
  std::string ordered(head.substr(0, units * 4));
  const bool swap = bigEndian != kHostBigEndian;
  if (swap)
    SwapUnits(ordered.data(), units, 4);
  CTextConverter converter(kCodePageUtf32, kCodePageUtf16LE);
  std::u16string text(converter.Convert(ordered.data(), units, nullptr, 0), u'\0');
  text.resize(converter.Convert(ordered.data(), units, text.data(), text.size()));
  std::u16string declared = CXmlDocument::EncodingFromText(text);
  if (!CTextConverter::IsUtf32(CEncodingTable::CodePageFromName(declared)))
    return false;
  m_strEncoding = std::move(declared);
  m_nUnitSize = 4;
  m_bSwapUnits = swap;
  return true;
}

bool CXmlFileStream::OpenForWriting(const std::string& path) {
  if ((m_nFlags & kStreamAppend) != 0) {
    if (!OpenInPlace(path, O_WRONLY | O_CREAT | O_APPEND))
      return false;
    struct stat status;
    if (fstat(m_nFile, &status) != 0)
      return FileError();
    if (status.st_size > INT32_MAX)
      return FileError(EFBIG);
    m_nFileSize = static_cast<std::int32_t>(status.st_size);
  } else if (!OpenReplacement(path)) {
    return false;
  }
  return WriteMark();
}

bool CXmlFileStream::OpenInPlace(const std::string& path, int openFlags) {
  // Non-blocking open: a FIFO without a reader fails at once instead of hanging the caller.
  m_nFile = open(path.c_str(), openFlags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (m_nFile < 0)
    return FileError();
  const int fileFlags = fcntl(m_nFile, F_GETFL);
  if (fileFlags < 0 || fcntl(m_nFile, F_SETFL, fileFlags & ~O_NONBLOCK) < 0)
    return FileError();
  return true;
}

bool CXmlFileStream::OpenReplacement(const std::string& path) {
  constexpr int kInPlace = O_WRONLY | O_CREAT | O_TRUNC;
  const std::optional<std::string> target = ResolveLinks(path);
  if (!target)
    return OpenInPlace(path, kInPlace);
  struct stat status;
  const bool exists = stat(target->c_str(), &status) == 0;
  if (exists && !S_ISREG(status.st_mode))
    return OpenInPlace(path, kInPlace);

  const mode_t createMode = exists ? (status.st_mode & 0777) : 0666;
  std::string tempPath;
  for (int attempt = 0; attempt < kTempNameAttempts && m_nFile < 0; ++attempt) {
    tempPath = TempPathFor(*target);
    m_nFile = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
    if (m_nFile < 0 && errno != EEXIST)
      break;
  }
  if (m_nFile < 0) {
    if (AllowsWritingInPlace(errno))
      return OpenInPlace(path, kInPlace);
    return FileError();
  }
  m_strTempPath = std::move(tempPath);
  m_strTargetPath = *target;
  if (exists) {
    // Owner first: a change of owner clears set-user-ID bits that fchmod then puts back. Both
    // are best effort; only the superuser may give a file away.
    if (status.st_uid != geteuid() || status.st_gid != getegid()) {
      if (fchown(m_nFile, status.st_uid, status.st_gid) != 0) {
      }
    }
    (void)fchmod(m_nFile, status.st_mode & 07777);
  }
  return true;
}

bool CXmlFileStream::WriteMark() {
  const bool appendingToData = (m_nFlags & kStreamAppend) != 0 && m_nFileSize > 0;
  m_nFilePos = appendingToData ? m_nFileSize : 0;
  for (const ByteOrderMark& mark : kMarks) {
    if ((m_nFlags & mark.flag) == 0)
      continue;
    m_strEncoding = mark.name;
    m_nUnitSize = mark.unitSize;
    m_bSwapUnits = mark.unitSize > 1 && mark.bigEndian != kHostBigEndian;
    if (appendingToData)
      return true;
    if (!WriteAll(m_nFile, mark.bytes.data(), mark.bytes.size()))
      return FileError();
    m_nFilePos = static_cast<std::int32_t>(mark.bytes.size());
    AddReportEntry(m_strReport, u"bom");
    return true;
  }
  return true;
}

void CXmlFileStream::UseEncoding(std::u16string_view encoding) {
  m_strEncoding = encoding;
  const int codePage = CEncodingTable::CodePageFromName(encoding);
  m_nUnitSize = CTextConverter::UnitSizeOf(codePage);
  m_bSwapUnits = m_nUnitSize > 1 && IsBigEndianEncoding(encoding, codePage) != kHostBigEndian;
}

bool CXmlFileStream::ReadUnits(void* buffer) {
  char* bytes = static_cast<char*>(buffer);
  const auto count = static_cast<std::size_t>(std::max(m_nTransferBytes, 0));
  const std::optional<std::size_t> got = ReadAll(m_nFile, bytes, count);
  if (!got)
    return FileError();
  if (*got < count)
    return FileError(EIO);  // the file shrank under us
  const auto unitSize = static_cast<std::size_t>(m_nUnitSize);
  std::size_t units = count / unitSize;
  m_nFilePos += m_nTransferBytes;
  AddReportEntry(m_strReport, u"read", ReportText::kEncoding, m_strEncoding, ReportNumber::kLength,
                 static_cast<std::int64_t>(units));
  const std::size_t removed = RemoveZeroUnits(bytes, units, unitSize);
  if (removed > 0) {
    AddReportEntry(m_strReport, u"nulls_removed", ReportNumber::kCount,
                   static_cast<std::int64_t>(removed));
    units -= removed;
  }
  m_nUnits = static_cast<std::int32_t>(units);
  if (m_bSwapUnits) {
    SwapUnits(bytes, units, unitSize);
    AddReportEntry(m_strReport, u"endian_swap");
  }
  return true;
}

bool CXmlFileStream::WriteUnits(const void* units, std::size_t count) {
  const auto unitSize = static_cast<std::size_t>(m_nUnitSize);
  if (count > static_cast<std::size_t>(INT32_MAX) / unitSize)
    return FileError(EFBIG);
  const std::size_t bytes = count * unitSize;
  m_nTransferBytes = static_cast<std::int32_t>(bytes);
  m_nUnits = static_cast<std::int32_t>(count);
  const char* out = static_cast<const char*>(units);
  std::unique_ptr<char[]> swapped;
  if (m_bSwapUnits) {
    // Swapped in a copy: the source is the caller's text.
    swapped = std::make_unique_for_overwrite<char[]>(bytes);
    std::memcpy(swapped.get(), out, bytes);
    SwapUnits(swapped.get(), count, unitSize);
    out = swapped.get();
    AddReportEntry(m_strReport, u"endian_swap");
  }
  if (!WriteAll(m_nFile, out, bytes))
    return FileError();
  m_nFilePos += m_nTransferBytes;
  AddReportEntry(m_strReport, u"write", ReportText::kEncoding, m_strEncoding, ReportNumber::kLength,
                 static_cast<std::int64_t>(count));
  return true;
}

bool CXmlFileStream::Close(bool commit) {
  if (m_nFile < 0)
    return true;
  if (IsReplacing()) {
    if (commit)
      return CommitReplacement();
    DiscardReplacement();
    return true;
  }
  const int file = std::exchange(m_nFile, -1);
  if (close(file) != 0)
    return FileError();
  return true;
}

bool CXmlFileStream::CommitReplacement() {
  const int file = std::exchange(m_nFile, -1);
  int error = 0;
  if (fsync(file) != 0)
    error = errno;
  if (close(file) != 0 && error == 0)
    error = errno;
  if (error == 0 && rename(m_strTempPath.c_str(), m_strTargetPath.c_str()) != 0)
    error = errno;
  if (error != 0) {
    unlink(m_strTempPath.c_str());
    m_strTempPath.clear();
    return FileError(error);
  }
  SyncFolder(m_strTargetPath);
  m_strTempPath.clear();
  return true;
}

void CXmlFileStream::DiscardReplacement() {
  if (m_nFile >= 0)
    close(std::exchange(m_nFile, -1));
  unlink(m_strTempPath.c_str());
  m_strTempPath.clear();
}
