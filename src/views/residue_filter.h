// The residue table's filter: a few words a user types ("TM residues", "chain A",
// "residue 83", "LEU 80-90", "B1a") read into a test on residues.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/protein.h"

namespace tessmol {

struct ResidueFilter {
  bool transmembraneOnly = false;
  std::vector<std::string> chains;                   // chain names as the table shows them
  std::vector<std::pair<int32_t, int32_t>> numbers;  // resSeq ranges, both ends included
  std::vector<std::string> names;                    // residue names, upper case
  std::vector<int32_t> classes;                      // Profiles-3D classes
  // Terms of one kind are alternatives ("chain A chain B"); different kinds must all hold.
  bool Matches(const Protein& protein, size_t residue) const;
  bool Empty() const {
    return !transmembraneOnly && chains.empty() && numbers.empty() && names.empty() && classes.empty();
  }
};

// Reads the words of `text`, case aside: "tm", "transmembrane" (with or without
// "residues"); "chain X"; "residue N", "residues N-M" or a bare number or range; a residue
// name (three letters); a Profiles-3D class name. Nullopt when a word is not understood,
// and `unknown` is that word.
std::optional<ResidueFilter> ParseResidueFilter(std::string_view text, std::string* unknown = nullptr);

}  // namespace tessmol
