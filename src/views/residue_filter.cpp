#include "views/residue_filter.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace tessmol {

namespace {

std::string Lower(std::string word) {
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return word;
}

std::string Upper(std::string word) {
  for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return word;
}

// "83", "-3", "80-90", "-5--1": a number or a range of residue numbers.
std::optional<std::pair<int32_t, int32_t>> ReadRange(const std::string& word) {
  const char* begin = word.data();
  const char* end = begin + word.size();
  int32_t first = 0;
  auto [after, error] = std::from_chars(begin, end, first);
  if (error != std::errc() || after == begin) return std::nullopt;
  if (after == end) return std::pair{first, first};
  if (*after != '-') return std::nullopt;
  int32_t last = 0;
  auto [tail, error2] = std::from_chars(after + 1, end, last);
  if (error2 != std::errc() || tail != end) return std::nullopt;
  return std::pair{std::min(first, last), std::max(first, last)};
}

}  // namespace

bool ResidueFilter::Matches(const Protein& protein, size_t residue) const {
  const Structure& s = protein.structure;
  if (residue >= s.residues.size()) return false;
  if (transmembraneOnly && (residue >= protein.transmembrane.residues.size() ||
                            !protein.transmembrane.residues[residue].transmembrane))
    return false;
  if (!chains.empty() &&
      std::find(chains.begin(), chains.end(), s.ChainNameOfResidue(residue)) == chains.end())
    return false;
  const int32_t number = s.residues[residue].resSeq;
  if (!numbers.empty() && std::none_of(numbers.begin(), numbers.end(), [number](const auto& range) {
        return number >= range.first && number <= range.second;
      }))
    return false;
  if (!names.empty() && std::find(names.begin(), names.end(), Upper(s.residues[residue].name)) == names.end())
    return false;
  if (!classes.empty()) {
    if (residue >= protein.scores.residues.size()) return false;
    if (std::find(classes.begin(), classes.end(), protein.scores.residues[residue].profEnv) == classes.end())
      return false;
  }
  return true;
}

std::optional<ResidueFilter> ParseResidueFilter(std::string_view text, std::string* unknown) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c)) || c == ',' || c == ';') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(std::move(word));

  ResidueFilter filter;
  auto fail = [&](const std::string& bad) -> std::optional<ResidueFilter> {
    if (unknown != nullptr) *unknown = bad;
    return std::nullopt;
  };
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string lower = Lower(words[i]);
    if (lower == "tm" || lower == "transmembrane") {
      filter.transmembraneOnly = true;
    } else if (lower == "and" || lower == "in" || lower == "of" || lower == "only") {
      // Joining words of a phrase: "TM residues in chain A".
    } else if (lower == "chain" || lower == "chains") {
      if (i + 1 >= words.size()) return fail(words[i]);
      filter.chains.push_back(words[++i]);
    } else if (lower == "residue" || lower == "residues" || lower == "res" || lower == "no." ||
               lower == "no") {
      // With a number after it, that number; alone ("TM residues") it says nothing.
      if (i + 1 < words.size()) {
        if (auto range = ReadRange(words[i + 1])) {
          filter.numbers.push_back(*range);
          ++i;
        }
      }
    } else if (auto range = ReadRange(words[i])) {
      filter.numbers.push_back(*range);
    } else if (auto cls =
                   std::find_if(kEnvironmentNames.begin(), kEnvironmentNames.end(),
                                [&](std::string_view name) { return Lower(std::string(name)) == lower; });
               cls != kEnvironmentNames.end()) {
      filter.classes.push_back(static_cast<int32_t>(cls - kEnvironmentNames.begin()));
    } else if (words[i].size() == 3 && std::all_of(words[i].begin(), words[i].end(), [](char c) {
                 return std::isalnum(static_cast<unsigned char>(c));
               })) {
      filter.names.push_back(Upper(words[i]));
    } else {
      return fail(words[i]);
    }
  }
  return filter;
}

}  // namespace tessmol
