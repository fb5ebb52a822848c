#include "document/report.h"

#include "model/text.h"

namespace tessmol {

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
  for (const SecondaryRange& domain : s.TransmembraneSegments()) {
    lines.push_back(std::string(13, ' ') + (domain.chainId == '\0' ? ' ' : domain.chainId) +
                    std::string(21, ' ') + std::to_string(domain.firstResSeq) + "  -  " +
                    std::to_string(domain.lastResSeq));
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
  const char chain = r.chainId == '\0' ? ' ' : r.chainId;
  return {std::to_string(index),        r.name,
          std::string(1, chain),        std::to_string(r.resSeq),
          FormatFixed(r.areaBuried),    FormatFixed(r.fractionPolar),
          FormatFixed(r.kavelinFP),     std::to_string(r.profEnv),
          std::to_string(r.kavelinEnv), FormatFixed(r.mainSASA),
          FormatFixed(r.sideSASA),      FormatFixed(sasa),
          FormatFixed(r.solventScore),  FormatFixed(r.kavelinScore),
          FormatFixed(r.overallScore),  r.transmembrane ? "1" : "0"};
}

}  // namespace tessmol
