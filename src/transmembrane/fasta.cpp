#include "transmembrane/fasta.h"

#include <algorithm>
#include <cctype>

#include "base/gzip.h"
#include "base/text.h"
#include "transmembrane/helix_builder.h"

namespace tessmol {

namespace {

// The header's first word, after any blanks; a header without one names the record by its
// line, so that every record has a name to be told by (and a model from a sequence is
// known for one by it).
std::string NameOf(const std::string& header, int line) {
  const size_t start = std::min(header.size(), header.find_first_not_of(" \t", 1));
  std::string name = header.substr(start, header.find_first_of(" \t", start) - start);
  return name.empty() ? "unnamed_line_" + std::to_string(line) : name;
}

bool IsRare(char letter) {
  return letter == 'B' || letter == 'J' || letter == 'O' || letter == 'U' || letter == 'X' || letter == 'Z';
}

std::string Shown(unsigned char c) {
  if (c >= 0x20 && c < 0x7f) return std::string("'") + static_cast<char>(c) + "'";
  static const char* kHex = "0123456789abcdef";
  return std::string("byte 0x") + kHex[c >> 4] + kHex[c & 15];
}

}  // namespace

FastaReader::FastaReader(const std::string& path, uint64_t maxUnpackedBytes)
    : path_(path), status_(FileStatus::Ok(path)) {
  if (!OpenForReading(file_, path)) {
    status_ = ReadFailure(path);
    ended_ = true;
    return;
  }
  char head[2] = {0, 0};
  file_.read(head, 2);
  const bool gzipped = file_.gcount() == 2 && LooksGzipped(head, 2);
  file_.clear();
  file_.seekg(0);
  if (gzipped) {
    std::string text;
    if (FileStatus unpacked = Gunzip(file_, path, text, maxUnpackedBytes); !unpacked) {
      status_ = unpacked;
      ended_ = true;
      return;
    }
    unpacked_.str(std::move(text));
    in_ = &unpacked_;
  }
  line_ = 1;
  const bool read = ReadLine(*in_, header_);
  // A byte-order mark is the encoding's, not the first line's.
  if (read && header_.rfind("\xEF\xBB\xBF", 0) == 0) header_.erase(0, 3);
  if (!read || header_.empty() || header_[0] != '>') {
    status_ = ReadFailed(*in_) ? FileStatus::Unreadable(path, "read error")
                               : FileStatus::Format(path, 1, kFastaNoHeader);
    ended_ = true;
  } else if (header_.find('\r') != std::string::npos) {
    // Lines ended by a carriage return alone (classic Mac OS) read as one line: the whole
    // file would be one header without a sequence.
    status_ = FileStatus::Format(path, 1, kFastaCarriageReturns);
    ended_ = true;
  }
}

bool FastaReader::Next(FastaRecord& record) {
  if (ended_) return false;
  record.name = NameOf(header_, line_);
  record.sequence.clear();
  record.rareLetters.clear();
  record.headerLine = line_;
  const auto [first, added] = firstLines_.try_emplace(record.name, line_);
  record.sameNameLine = added ? 0 : first->second;
  record.fault = FileStatus::Ok(path_);
  // A record's fault is its own: the rest of it is skipped and the next header read as usual.
  const auto fault = [&](int line, const std::string& what) {
    record.fault = FileStatus::Format(path_, line, what + "; record " + record.name + " is not modelled");
  };
  bool stopped = false;  // a '*' ended the sequence: only skipped characters may follow
  std::string line;
  while (true) {
    if (!ReadLine(*in_, line)) {
      ended_ = true;
      if (ReadFailed(*in_)) {
        status_ = FileStatus::Unreadable(path_, "read error");
        return false;
      }
      break;
    }
    ++line_;
    if (!line.empty() && line[0] == '>') {
      header_ = line;
      break;
    }
    if (!record.fault) continue;
    for (const char raw : line) {
      const auto c = static_cast<unsigned char>(raw);
      if (c == ' ' || c == '\t' || c == '\r' || std::isdigit(c)) continue;
      if (std::isalpha(c) && !stopped) {
        const char letter = static_cast<char>(std::toupper(c));
        record.sequence.push_back(letter);
        if (IsRare(letter) && record.rareLetters.find(letter) == std::string::npos)
          record.rareLetters.push_back(letter);
        continue;
      }
      if (c == '*' && !stopped) {
        stopped = true;
        continue;
      }
      fault(line_, stopped ? Shown(c) + " after the '*' that ends the sequence"
                           : Shown(c) + " is no residue letter");
      break;
    }
  }
  if (record.fault && record.sequence.empty()) fault(record.headerLine, "no sequence");
  return true;
}

FastaFile ReadFasta(const std::string& path) {
  FastaFile file;
  FastaReader reader(path);
  FastaRecord record;
  while (reader.Next(record)) file.records.push_back(record);
  file.status = reader.status();
  return file;
}

std::string NucleotideWarning(const std::string& where, const FastaRecord& record) {
  const std::string& s = record.sequence;
  if (s.size() < 20) return {};
  const size_t codes = static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) {
    return c == 'A' || c == 'C' || c == 'G' || c == 'T' || c == 'U' || c == 'N';
  }));
  if (codes * 10 < s.size() * 9) return {};
  return "Warning: " + where + " looks like a nucleotide sequence (" +
         std::to_string(codes * 100 / s.size()) + " % A, C, G, T, U and N): it is read as protein";
}

std::string RareLetterWarning(const std::string& where, const FastaRecord& record, bool segmentationOnly) {
  if (record.rareLetters.empty()) return {};
  std::string letters, names;
  for (const char letter : record.rareLetters) {
    if (!letters.empty()) {
      letters += ", ";
      names += ", ";
    }
    letters += letter;
    // The segmentation takes X for what it is; a model needs a side chain for it.
    names += segmentationOnly && letter == 'X' ? std::string("unknown") : ResidueNameForLetter(letter);
  }
  const bool unknown = record.rareLetters.find('X') != std::string::npos;
  return "Warning: " + where + " holds " + letters + (segmentationOnly ? ": read as " : ": modelled as ") +
         names + (!segmentationOnly && unknown ? " (X read as unknown by the segmentation)" : "");
}

std::string SameNameWarning(const std::string& where, const FastaRecord& record) {
  if (record.sameNameLine <= 0) return {};
  return "Warning: " + where + " has the name of the record at line " + std::to_string(record.sameNameLine) +
         ": outputs that name records alone (3-line, the analysis list) cannot tell them apart";
}

std::vector<std::string> RecordWarnings(const std::string& where, const FastaRecord& record,
                                        bool segmentationOnly) {
  std::vector<std::string> warnings;
  for (std::string warning : {SameNameWarning(where, record), NucleotideWarning(where, record),
                              RareLetterWarning(where, record, segmentationOnly)})
    if (!warning.empty()) warnings.push_back(std::move(warning));
  return warnings;
}

}  // namespace tessmol
