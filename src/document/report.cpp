#include "document/report.h"

#include <algorithm>

#include "base/text.h"

namespace tessmol {

std::vector<TransmembraneDomain> TransmembraneDomains(const Protein& protein) {
  // The same runs as TransmembraneSegments: a numbering jump ends one.
  const Structure& s = protein.structure;
  const std::vector<ResidueMembrane>& flags = protein.transmembrane.residues;
  std::vector<TransmembraneDomain> domains;
  for (size_t i = 0; i < s.residues.size(); ++i) {
    const Residue& r = s.residues[i];
    if (!flags[i].transmembrane) continue;
    if (i > 0 && flags[i - 1].transmembrane && r.resSeq - s.residues[i - 1].resSeq <= 1) {
      domains.back().lastResSeq = r.resSeq;
    } else {
      domains.push_back({s.ChainNameOfResidue(i), r.resSeq, r.resSeq, flags[i].tmTopology});
    }
  }
  return domains;
}

std::vector<TransmembraneDomain> SignalPeptides(const Protein& protein) {
  const Structure& s = protein.structure;
  const std::vector<ResidueMembrane>& flags = protein.transmembrane.residues;
  std::vector<TransmembraneDomain> peptides;
  for (size_t i = 0; i < s.residues.size() && i < flags.size(); ++i) {
    if (flags[i].kind != SegmentKind::kSignalPeptide) continue;
    if (i > 0 && flags[i - 1].kind == SegmentKind::kSignalPeptide) {
      peptides.back().lastResSeq = s.residues[i].resSeq;
    } else {
      peptides.push_back({s.ChainNameOfResidue(i), s.residues[i].resSeq, s.residues[i].resSeq, 0});
    }
  }
  return peptides;
}

std::vector<std::string> SummaryLines(const Protein& protein) {
  const Structure& s = protein.structure;
  std::vector<std::string> lines = {
      "Protein summary for " + protein.fileName + ":",
      "",
      "Number of chains: " + std::to_string(s.chains.size()),
      "Number of Residues: " + std::to_string(s.residues.size()),
      "Total Solvent Accessible Surface Area: " + FormatFixed(protein.surface.totalSASA),
      "Average Residue Score: " + FormatFixed(protein.scores.averageScore),
      "",
      "Predicted Transmembrane Domains:",
      "           Chain           Residues",
  };
  for (const TransmembraneDomain& d : TransmembraneDomains(protein)) {
    // The orientation where a method gave one: the N-terminal end inside or outside.
    lines.push_back(std::string(13, ' ') + d.chain + std::string(21, ' ') + std::to_string(d.firstResSeq) +
                    "  -  " + std::to_string(d.lastResSeq) +
                    (d.topology > 0   ? "  in\u2192out"
                     : d.topology < 0 ? "  out\u2192in"
                                      : ""));
  }
  for (const TransmembraneDomain& d : SignalPeptides(protein)) {
    lines.push_back(std::string(13, ' ') + d.chain + std::string(21, ' ') + std::to_string(d.firstResSeq) +
                    "  -  " + std::to_string(d.lastResSeq) + "  signal peptide");
  }
  if (protein.membrane) {
    lines.emplace_back();
    for (std::string& line : MembraneLines(s, *protein.membrane)) lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> MembraneLines(const Structure& s, const MembranePlacement& m) {
  if (!m.placed) {
    return {"Membrane: no membrane placement (score " + FormatFixed(m.score, 1) + " kcal/mol, at least " +
            FormatFixed(m.threshold, 1) + " needed)"};
  }
  auto triple = [](const Vec3& v, int decimals) {
    return FormatFixed(v[0], decimals) + " " + FormatFixed(v[1], decimals) + " " +
           FormatFixed(v[2], decimals);
  };
  std::vector<std::string> lines = {
      "Membrane normal: " + triple(m.normal, 4),
      "Membrane centre: " + triple(m.centre, 3),
      "Membrane half-thickness: " + FormatFixed(m.halfThickness, 1),
      "Membrane score: " + FormatFixed(m.score, 1) + " kcal/mol",
      "Segments in the membrane:",
      "           Chain           Residues        Orientation   Tilt",
  };
  for (const SlabSegment& segment : m.segments) {
    std::string residues = std::to_string(s.residues[segment.first].resSeq) + "  -  " +
                           std::to_string(s.residues[segment.last].resSeq);
    residues.resize(std::max<size_t>(residues.size() + 2, 16), ' ');
    std::string chain = s.ChainName(static_cast<size_t>(segment.chain));
    chain.resize(std::max<size_t>(chain.size() + 1, 16), ' ');
    lines.push_back(std::string(13, ' ') + chain + residues +
                    (segment.nInside ? "in\u2192out" : "out\u2192in") + "        " +
                    FormatFixed(segment.tiltDegrees, 1));
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

std::vector<std::string> ResidueTableRow(const Protein& protein, size_t index) {
  const Structure& structure = protein.structure;
  const Residue& r = structure.residues[index];
  const ResidueSurface& surface = protein.surface.residues[index];
  const ResidueScore& scores = protein.scores.residues[index];
  const float sasa = surface.sideSASA + surface.mainSASA;
  // A chain identifier of code 0 (a line too short to hold one) shows as a blank.
  return {std::to_string(index),
          r.name,
          structure.ChainNameOfResidue(index),
          std::to_string(r.resSeq),
          FormatFixed(surface.areaBuried),
          FormatFixed(surface.fractionPolar),
          FormatFixed(surface.kavelinFP),
          std::to_string(scores.profEnv),
          std::to_string(scores.kavelinEnv),
          FormatFixed(surface.mainSASA),
          FormatFixed(surface.sideSASA),
          FormatFixed(sasa),
          FormatFixed(scores.solventScore),
          FormatFixed(scores.kavelinScore),
          FormatFixed(scores.overallScore),
          protein.transmembrane.residues[index].transmembrane ? "1" : "0"};
}

}  // namespace tessmol

namespace tessmol {

void WriteResidueTable(std::ostream& out, const Protein& protein) {
  auto line = [&](const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) out << (i ? "\t" : "") << cells[i];
    out << '\n';
  };
  line(ResidueTableHeadings());
  for (size_t i = 0; i < protein.structure.residues.size(); ++i) line(ResidueTableRow(protein, i));
}

}  // namespace tessmol
