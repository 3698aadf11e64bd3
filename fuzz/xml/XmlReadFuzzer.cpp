// Reads arbitrary bytes as an XML file and converts arbitrary bytes between code pages.
//
// File half: the bytes are written to a file and loaded with LoadFile, which must find a mark,
// a declared encoding or the UTF-8 test, convert, parse and index without reading past a
// buffer; the index is then checked, and the document saved and loaded again.
// Converter half: byte 0 picks a code-page pair; the converter first measures, and a conversion
// into a destination of exactly the measured size must produce exactly that many units.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/xml/XmlIndexCheck.h"
#include "xml/TextConverter.h"
#include "xml/XmlDocument.h"

namespace {

constexpr int kCodePages[] = {0, 1200, 1201, 1252, 1251, 437, 932, 936, 949, 950, 20127, 28591, 50220, 65000, 65001, 65005};
constexpr std::size_t kCodePageCount = sizeof kCodePages / sizeof kCodePages[0];

char g_folder[] = "/tmp/vitrel-fuzz-read-XXXXXX";

// The run's files go when the fuzzer ends normally; a crash leaves them for a look.
void RemoveFolderOfThisRun() {
  for (const char* name : {"/input.xml", "/saved.xml"}) unlink((std::string(g_folder) + name).c_str());
  rmdir(g_folder);
}

std::u16string FolderOfThisRun() {
  const char* folder = mkdtemp(g_folder);
  if (folder == nullptr) std::abort();
  std::atexit(RemoveFolderOfThisRun);
  std::u16string path;
  for (const char* c = folder; *c != '\0'; ++c) path += static_cast<char16_t>(*c);
  return path;
}

std::string Narrow(const std::u16string& path) { return std::string(path.begin(), path.end()); }

void WriteBytes(const std::u16string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(Narrow(path).c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

void Require(const std::string& fault, const char* when) {
  if (fault.empty()) return;
  std::fprintf(stderr, "index fault %s: %s\n", when, fault.c_str());
  std::abort();
}

void LoadSaveLoad(const std::uint8_t* data, std::size_t size) {
  static const std::u16string folder = FolderOfThisRun();
  static const std::u16string input = folder + u"/input.xml";
  static const std::u16string saved = folder + u"/saved.xml";
  WriteBytes(input, data, size);

  CXmlDocument document;
  document.LoadFile(input.c_str());
  Require(xmlcheck::CheckIndex(document, false), "after LoadFile");
  if (!document.SaveFile(saved.c_str())) return;
  CXmlDocument again;
  if (!again.LoadFile(saved.c_str())) {
    std::fprintf(stderr, "a saved file does not load again\n");
    std::abort();
  }
  Require(xmlcheck::CheckIndex(again, false), "after reloading the saved file");
}

void ConvertBothWays(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return;
  const int from = kCodePages[data[0] % kCodePageCount];
  const int to = kCodePages[(data[0] / kCodePageCount) % kCodePageCount];
  CTextConverter converter(from, to);
  const std::size_t unit = static_cast<std::size_t>(CTextConverter::UnitSizeOf(from));
  const std::size_t units = (size - 1) / unit;
  std::vector<std::uint8_t> source(data + 1, data + 1 + units * unit);
  const std::size_t needed = converter.Convert(source.data(), units, nullptr, 0);
  std::vector<std::uint8_t> destination(needed * static_cast<std::size_t>(CTextConverter::UnitSizeOf(to)) + 1);
  const std::size_t produced = converter.Convert(source.data(), units, destination.data(), needed);
  if (produced != needed) {
    std::fprintf(stderr, "code page %d to %d: measured %zu units, produced %zu\n", from, to, needed, produced);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LoadSaveLoad(data, size);
  ConvertBothWays(data, size);
  return 0;
}
