#include "document/report.h"

#include "model/text.h"

namespace tessmol {

std::string ChainNameOf(const Structure& s, size_t index) {
  const char id = s.residues[index].chainId == '\0' ? ' ' : s.residues[index].chainId;
  if (s.chainNames.empty()) return std::string(1, id);
  for (size_t k = 0; k < s.chains.size(); ++k) {
    if (static_cast<int32_t>(index) >= s.chains[k].firstResidue && static_cast<int32_t>(index) <= s.chains[k].lastResidue) {
      const std::string name = s.ChainName(k);
      return name.size() == 1 ? std::string(1, id) : name;
    }
  }
  return std::string(1, id);
}

std::vector<std::string> SummaryLines(const Protein& protein) {
  const Structure& s = protein.structure;
  std::vector<std::string> lines = {
      "Protein summary for " + protein.fileName + ":",
      "",
      "Number of chains: " + std::to_string(s.chains.size()),
      "Number of Residues: " + std::to_string(s.residues.size()),
      "Total Solvent Accessible Surface Area: " + FormatFixed(s.totalSASA),
      "Average Residue Score: " + FormatFixed(s.averageScore),
      "",
      "Predicted Transmembrane Domains:",
      "           Chain           Residues",
  };
  // The transmembrane runs, as TransmembraneSegments gives them, with their chain's name.
  const std::vector<SecondaryRange> domains = s.TransmembraneSegments();
  size_t next = 0;
  for (size_t i = 0; i < s.residues.size() && next < domains.size(); ++i) {
    const bool continues = i > 0 && s.residues[i - 1].transmembrane && s.residues[i].resSeq - s.residues[i - 1].resSeq <= 1;
    if (!s.residues[i].transmembrane || continues) continue;
    const SecondaryRange& domain = domains[next++];
    // The orientation where a method gave one: the N-terminal end inside or outside.
    const int8_t topology = s.residues[i].tmTopology;
    lines.push_back(std::string(13, ' ') + ChainNameOf(s, i) + std::string(21, ' ') +
                    std::to_string(domain.firstResSeq) + "  -  " + std::to_string(domain.lastResSeq) +
                    (topology > 0 ? "  in\u2192out" : topology < 0 ? "  out\u2192in" : ""));
  }
  return lines;
}

const std::vector<std::string>& ResidueTableHeadings() {
  static const std::vector<std::string> headings = {
      "Index",         "Residue",        "Chain",         "No.",
      "Area Buried",   "Fraction Polar", "KAVELIN FP",    "Category",
      "KAVELIN Cat",   "Main SASA",      "Side SASA",     "SASA",
      "Solvent Score", "KAVELIN Score",  "Overall Score", "is transmembrane"};
  return headings;
}

std::vector<std::string> ResidueTableRow(const Structure& structure, size_t index) {
  const Residue& r = structure.residues[index];
  const float sasa = r.sideSASA + r.mainSASA;
  // A chain identifier of code 0 (a line too short to hold one) shows as a blank.
  return {std::to_string(index),        r.name,
          ChainNameOf(structure, index), std::to_string(r.resSeq),
          FormatFixed(r.areaBuried),    FormatFixed(r.fractionPolar),
          FormatFixed(r.kavelinFP),     std::to_string(r.profEnv),
          std::to_string(r.kavelinEnv), FormatFixed(r.mainSASA),
          FormatFixed(r.sideSASA),      FormatFixed(sasa),
          FormatFixed(r.solventScore),  FormatFixed(r.kavelinScore),
          FormatFixed(r.overallScore),  r.transmembrane ? "1" : "0"};
}

}  // namespace tessmol
