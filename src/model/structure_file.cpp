#include "model/structure_file.h"

#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/pdb_reader.h"
#include "model/text.h"

namespace tessmol {

namespace {

bool IsGzip(const std::string& text) {
  return text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0x1f &&
         static_cast<unsigned char>(text[1]) == 0x8b;
}

// Inflates every gzip member of `packed` (concatenated members are one file to gzip).
bool Gunzip(const std::string& packed, std::string& out) {
  z_stream z{};
  if (inflateInit2(&z, 15 + 32) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = static_cast<uInt>(packed.size());
  char buffer[1 << 16];
  int result = Z_OK;
  while (true) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    result = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
    if (result == Z_STREAM_END) {
      if (z.avail_in == 0) break;
      if (inflateReset(&z) != Z_OK) break;  // the next member
      continue;
    }
    if (result != Z_OK) break;
  }
  inflateEnd(&z);
  return result == Z_STREAM_END;
}

}  // namespace

FileStatus ReadFileText(const std::string& path, std::string& text, bool* compressed) {
  text.clear();
  if (compressed) *compressed = false;
  std::ifstream in;
  if (!OpenForReading(in, path)) return ReadFailure(path);
  // Read in one piece of the file's size where it has one (not a pipe), else as a stream.
  std::error_code error;
  const auto size = std::filesystem::is_regular_file(path, error) ? std::filesystem::file_size(path, error) : 0;
  if (!error && size > 0) {
    text.resize(static_cast<size_t>(size));
    in.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<size_t>(in.gcount()));
    if (in.bad()) return FileStatus::Unreadable(path, "read error");
    if (in) {  // a file that grew while it was read
      std::ostringstream rest;
      rest << in.rdbuf();
      text += rest.str();
    }
  } else {
    std::ostringstream all;
    all << in.rdbuf();
    if (in.bad()) return FileStatus::Unreadable(path, "read error");
    text = all.str();
  }
  if (!IsGzip(text)) return FileStatus::Ok(path);
  if (compressed) *compressed = true;
  std::string plain;
  if (!Gunzip(text, plain)) return FileStatus::Format(path, 0, "a damaged gzip stream");
  text = std::move(plain);
  return FileStatus::Ok(path);
}

StructureFormat DetectFormat(const std::string& text) {
  if (text.compare(0, 10, "STRUCTURE\t") == 0) return StructureFormat::kResult;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line(text.data() + at, end - at);
    const size_t first = line.find_first_not_of(" \t\r");
    if (first != std::string_view::npos && line[first] != '#') {
      return line.substr(first, 5) == "data_" ? StructureFormat::kMmcif : StructureFormat::kPdb;
    }
    at = end + 1;
  }
  return StructureFormat::kPdb;
}

StructureFile ReadStructureText(const std::string& text, const std::string& name, const HetAtomRadii& hetRadii) {
  StructureFile file;
  file.format = DetectFormat(text);
  if (file.format == StructureFormat::kResult) {
    file.status = FileStatus::Format(name, 1, "a Tessmol result file, not a structure");
    return file;
  }
  if (file.format == StructureFormat::kMmcif) {
    StructureBuilder builder(hetRadii);
    file.status = ReadMmcif(text, name, builder, file.isNMR);
    file.summary = builder.summary();
    file.structure = builder.Finish();
  } else {
    PdbReader reader(hetRadii);
    file.status = reader.Read(std::string_view(text), name);
    file.summary = reader.summary();
    file.isNMR = reader.isNMR();
    file.structure = std::move(reader.structure());
  }
  file.hadSecondaryStructure = !file.structure.helices.empty() || !file.structure.sheets.empty();
  return file;
}

StructureFile ReadStructure(const std::string& path, const HetAtomRadii& hetRadii) {
  std::string text;
  StructureFile file;
  bool compressed = false;
  file.status = ReadFileText(path, text, &compressed);
  if (!file.status) return file;
  file = ReadStructureText(text, path, hetRadii);
  file.compressed = compressed;
  return file;
}

}  // namespace tessmol
