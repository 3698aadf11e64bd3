#pragma once
// CXmlFileStream: one open file of a CXmlDocument read or write, and what is known about it
// (size, position, unit size, encoding), with the result-report entries of its operations.
//
// A stream lives for one ReadTextFile or WriteTextFile call on its caller's thread: Open, one
// ReadUnits or WriteUnits, Close. Every failure of the system is recorded as a "file_error"
// entry (the system's message for errno and the code) and returned as false; nothing throws
// except running out of memory.
//
// Reading takes regular files only: a FIFO or a device could block or never end. Files of 2 GB
// or more are refused, since every size and offset here is a 32-bit count.
//
// Writing without appending never destroys the file it replaces: the bytes go to a temporary
// file in the target's folder, which Close flushes to disk and renames over the target only
// when everything was written. A symbolic link is followed and its target replaced, and the
// replaced file keeps its permission bits. Where that cannot work (the folder is not writable,
// the target is not a regular file) the target is opened and truncated in place.

#include <cstdint>
#include <string>
#include <string_view>

// Stream flags beside the byte-order mark bits (kModeBom* of XmlDocument.h).
constexpr std::uint32_t kStreamRead = 0x10;
constexpr std::uint32_t kStreamWrite = 0x20;
constexpr std::uint32_t kStreamAppend = 0x40;
constexpr std::uint32_t kStreamOpenBits = kStreamRead | kStreamWrite | kStreamAppend;

class CXmlFileStream {
public:
  explicit CXmlFileStream(std::uint32_t flags) : m_nFlags(flags) {}
  ~CXmlFileStream();
  CXmlFileStream(const CXmlFileStream&) = delete;
  CXmlFileStream& operator=(const CXmlFileStream&) = delete;

  // Opens the file by its UTF-16 path for the direction the flags name; reads or writes the
  // byte-order mark and, reading, finds the encoding. False after a file error.
  bool Open(const char16_t* path);
  // Reads GetTransferBytes() bytes into buffer, then drops zero units and swaps big-endian
  // units; GetUnits() tells how many units remain.
  bool ReadUnits(void* buffer);
  // Writes `units` units of GetUnitSize() bytes, swapped into the file's byte order.
  bool WriteUnits(const void* units, std::size_t count);
  // Closes the file. A replacing write is committed (flushed and renamed over the target) when
  // `commit` is true and discarded otherwise. False when closing or committing failed.
  bool Close(bool commit = true);

  // The encoding a write uses when no byte-order mark chose one.
  void UseEncoding(std::u16string_view encoding);

  std::uint32_t GetFlags() const { return m_nFlags; }
  void ClearFlags(std::uint32_t bits) { m_nFlags &= ~bits; }
  std::int32_t GetFileSize() const { return m_nFileSize; }
  std::int32_t GetFilePos() const { return m_nFilePos; }
  std::int32_t GetTransferBytes() const { return m_nTransferBytes; }
  void SetTransferBytes(std::int32_t bytes) { m_nTransferBytes = bytes; }
  std::int32_t GetUnitSize() const { return m_nUnitSize; }
  std::int32_t GetUnits() const { return m_nUnits; }
  const std::u16string& GetEncoding() const { return m_strEncoding; }
  void SetEncoding(std::u16string_view encoding) { m_strEncoding = encoding; }
  std::u16string& Report() { return m_strReport; }
  // Whether a UTF-16 byte-order mark was read or chosen: the text is moved as 16-bit units.
  bool HasUtf16Mark() const;
  // Whether a non-appending write goes through a temporary file.
  bool IsReplacing() const { return !m_strTempPath.empty(); }

private:
  bool OpenForReading(const std::string& path);
  bool OpenForWriting(const std::string& path);
  bool OpenReplacement(const std::string& path);
  bool OpenInPlace(const std::string& path, int openFlags);
  bool ReadMark();
  bool WriteMark();
  void FindUndeclaredEncoding(std::string_view head);
  bool FindUtf32Declaration(std::string_view head);
  bool CommitReplacement();
  void DiscardReplacement();
  bool FileError(int error);
  bool FileError();

  int m_nFile = -1;
  std::uint32_t m_nFlags = 0;
  std::int32_t m_nTransferBytes = 0;
  std::int32_t m_nFileSize = 0;
  std::int32_t m_nFilePos = 0;
  std::int32_t m_nUnitSize = 1;
  std::int32_t m_nUnits = 0;
  std::u16string m_strReport;
  std::u16string m_strEncoding;
  // The file's units are in the other byte order than the host's.
  bool m_bSwapUnits = false;
  // Set while a replacing write is open: the temporary file and the file it will replace.
  std::string m_strTempPath;
  std::string m_strTargetPath;
};
