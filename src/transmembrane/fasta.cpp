#include "transmembrane/fasta.h"

#include <filesystem>
#include <fstream>

#include "base/text.h"

namespace tessmol {

FastaFile ReadFasta(const std::string& path) {
  FastaFile result;
  std::ifstream in;
  if (!OpenForReading(in, path)) {
    result.status = FastaStatus::kCannotOpen;
    return result;
  }
  std::string line;
  if (!ReadLine(in, line) || line.empty() || line[0] != '>') {
    result.status = FastaStatus::kNotFasta;
    return result;
  }
  auto name = [](const std::string& header) {
    const std::string text = header.substr(1);
    return text.substr(0, text.find_first_of(" \t"));
  };
  result.sequences.emplace_back();
  result.names.push_back(name(line));
  while (ReadLine(in, line)) {
    if (line.empty()) continue;
    if (line[0] == '>') {
      result.sequences.emplace_back();
      result.names.push_back(name(line));
    } else {
      result.sequences.back() += line;
    }
  }
  return result;
}

}  // namespace tessmol
