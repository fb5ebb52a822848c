// FASTA files: a header line (">...") before each sequence; sequence lines are taken
// exactly as they stand, so anything but the twenty upper-case letters becomes UNK.
#pragma once

#include <string>
#include <vector>

namespace tessmol {

enum class FastaStatus { kOk, kCannotOpen, kNotFasta };

struct FastaFile {
  FastaStatus status = FastaStatus::kOk;
  std::vector<std::string> sequences;  // one per header, in file order, possibly empty
  std::vector<std::string> names;      // each header's first word
};

FastaFile ReadFasta(const std::string& path);

}  // namespace tessmol
