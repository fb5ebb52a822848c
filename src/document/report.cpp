#include "document/report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

#include "base/text.h"
#include "surface/sphere_points.h"

namespace tessmol {

std::vector<TransmembraneDomain> TransmembraneDomains(const Protein& protein) {
  // The same runs as TransmembraneSegments: a numbering jump ends one.
  const Structure& s = protein.structure;
  const std::vector<ResidueMembrane>& flags = protein.transmembrane.residues;
  std::vector<TransmembraneDomain> domains;
  for (size_t i = 0; i < s.residues.size(); ++i) {
    const Residue& r = s.residues[i];
    if (!flags[i].transmembrane) continue;
    if (i > 0 && flags[i - 1].transmembrane && r.resSeq - s.residues[i - 1].resSeq <= 1 &&
        flags[i - 1].tmTopology == flags[i].tmTopology && flags[i - 1].kind == flags[i].kind) {
      domains.back().lastResSeq = r.resSeq;
    } else {
      domains.push_back({s.ChainNameOfResidue(i), r.resSeq, r.resSeq, flags[i].tmTopology, flags[i].kind});
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
      peptides.push_back({s.ChainNameOfResidue(i), s.residues[i].resSeq, s.residues[i].resSeq, 0,
                          SegmentKind::kSignalPeptide});
    }
  }
  return peptides;
}

double CompatibleScore(float expected) {
  return static_cast<double>(expected) * static_cast<double>(0.45f);
}

std::string ParametersLine(const RunParameters& p) {
  if (!p.recorded()) return "Parameters: not recorded (a result file of an older version)";
  std::string line = "Tessmol " + p.version + "; resolution " + std::to_string(p.resolution);
  if (p.resolution >= 0 && p.resolution < kSasaResolutionCount)
    line += " (" + std::to_string(SpherePointCount(p.resolution)) + " points per atom)";
  line +=
      p.ignoreHeteroAtoms ? "; heteroatoms: all left out" : "; heteroatoms: waters left out, others cover";
  line += "; secondary structure: " + p.secondaryStructure + "; score table: " + p.scoreTable;
  if (!p.method.empty()) line += "; transmembrane method: " + p.method;
  return line;
}

std::vector<std::string> SummaryLines(const Protein& protein, std::optional<float> expectedScore) {
  const Structure& s = protein.structure;
  std::vector<std::string> lines = {
      "Protein summary for " + protein.fileName + ":",
      "",
      "Number of chains: " + std::to_string(s.chains.size()),
      "Number of Residues: " + std::to_string(s.residues.size()),
      "Total Solvent Accessible Surface Area: " + FormatFixed(protein.surface.totalSASA) + " \u00c5\u00b2",
      "Average Residue Score: " + FormatFixed(protein.scores.averageScore),
  };
  if (expectedScore) {
    lines.push_back("Expected Residue Score: " + FormatFixed(*expectedScore));
    lines.push_back("Compatible Residue Score: " + FormatFixed(CompatibleScore(*expectedScore)));
  }
  const RunParameters& p = protein.parameters;
  if (p.coveringHetAtoms >= 0) {
    lines.push_back("Heteroatoms covering the surface: " + std::to_string(p.coveringHetAtoms) +
                    (p.ignoreHeteroAtoms ? " (heteroatoms ignored)" : "") +
                    "; waters left out: " + std::to_string(p.watersLeftOut));
  }
  for (const char* line : {"", "Predicted Transmembrane Domains:", "           Chain           Residues"})
    lines.emplace_back(line);
  // A chain's signal peptide, at its N-terminus, comes before its segments.
  std::vector<TransmembraneDomain> domains = SignalPeptides(protein);
  for (TransmembraneDomain& d : TransmembraneDomains(protein)) domains.push_back(std::move(d));
  for (const TransmembraneDomain& d : domains) {
    // The orientation where a method gave one: the N-terminal end inside or outside.
    const std::string orientation = DomainOrientationText(d);
    lines.push_back(std::string(13, ' ') + d.chain + std::string(21, ' ') + std::to_string(d.firstResSeq) +
                    "  -  " + std::to_string(d.lastResSeq) + (orientation.empty() ? "" : "  " + orientation));
  }
  if (protein.transmembrane.lowConfidence > 0 && protein.membranes.empty())
    lines.push_back(LowConfidenceLine(protein.transmembrane.lowConfidence));
  for (std::string& line : MembraneReport(s, protein.membranes)) lines.push_back(std::move(line));
  // The window test and a model's confident scores come last, so the lines above keep
  // their places.
  const ProfileVerdict verdict = JudgeProfile(s, protein.scores);
  if (std::vector<std::string> quality = QualityLines(protein, verdict); !quality.empty()) {
    lines.emplace_back();
    for (std::string& line : quality) lines.push_back(std::move(line));
  }
  if (!verdict.lowRuns.empty() && !protein.FromSequence()) {
    lines.insert(lines.end(), {"", "Below the 3D-1D Window Test:", "           Chain           Residues"});
    for (const LowStretch& stretch : LowStretches(s, verdict)) {
      lines.push_back(std::string(13, ' ') + stretch.chain + std::string(21, ' ') +
                      std::to_string(stretch.firstResSeq) + "  -  " + std::to_string(stretch.lastResSeq));
    }
  }
  lines.emplace_back();
  lines.push_back(ParametersLine(p));
  return lines;
}

std::string DomainOrientationText(const TransmembraneDomain& d) {
  if (d.kind == SegmentKind::kSignalPeptide) return "signal peptide";
  if (d.kind == SegmentKind::kReEntrant) {
    return d.topology > 0   ? "in\u2192in (re-entrant)"
           : d.topology < 0 ? "out\u2192out (re-entrant)"
                            : "re-entrant";
  }
  return d.topology > 0 ? "in\u2192out" : d.topology < 0 ? "out\u2192in" : "";
}

std::string MissingMainChainWarning(const Protein& protein, const std::string& name) {
  size_t missing = 0;
  for (const Residue& residue : protein.structure.residues) missing += residue.HasMainChain() ? 0 : 1;
  if (missing == 0) return {};
  return "Warning: " + std::to_string(missing) + " of " + std::to_string(protein.structure.residues.size()) +
         " residues of " + name +
         " lack main-chain atoms (N, CA, C, O); their areas and scores are not to be trusted";
}

std::string LowConfidenceLine(int32_t count) {
  return "Residues left out for low confidence (pLDDT below 50): " + std::to_string(count);
}

std::vector<std::string> MembraneReport(const Structure& s, const std::vector<MembranePlacement>& membranes) {
  std::vector<std::string> lines;
  if (membranes.empty()) return lines;
  lines.emplace_back();
  if (membranes.size() > 1) {
    lines.push_back("The chains cannot share one membrane (crystal copies lying apart or antiparallel): " +
                    std::to_string(membranes.size()) + " placements");
  }
  for (size_t k = 0; k < membranes.size(); ++k) {
    const MembranePlacement& m = membranes[k];
    if (membranes.size() > 1) {
      std::string chains;
      for (int32_t c : m.chains) chains += (chains.empty() ? "" : ", ") + s.ChainName(static_cast<size_t>(c));
      lines.push_back("Membrane " + std::to_string(k + 1) + " of " + std::to_string(membranes.size()) +
                      ", chains " + chains + ":");
    }
    for (std::string& line : MembraneLines(s, m)) lines.push_back(std::move(line));
  }
  if (membranes.front().lowConfidence > 0)
    lines.push_back(LowConfidenceLine(membranes.front().lowConfidence));
  if (const int missing = ChainsBesidesThePlacement(s, membranes); missing > 0) {
    lines.push_back("Placed on the file's " + std::to_string(s.chains.size()) +
                    (s.chains.size() == 1 ? " chain" : " chains") + " alone: its first " +
                    "biological assembly has " + std::to_string(s.chains.size() + missing) +
                    ", and on the whole assembly the normal and the tilts may differ");
  }
  return lines;
}

int ChainsBesidesThePlacement(const Structure& s, const std::vector<MembranePlacement>& membranes) {
  const bool placed =
      std::any_of(membranes.begin(), membranes.end(), [](const MembranePlacement& m) { return m.placed; });
  return placed ? s.MissingAssemblyChains() : 0;
}

std::string AssemblyLine(const Structure& s) {
  if (s.assemblyCopies <= 0) return {};
  std::string chains;
  for (const std::string& name : s.assemblyChains) chains += (chains.empty() ? "" : ", ") + name;
  std::string line = "Biological assembly: " + std::to_string(s.assemblyCopies) +
                     (s.assemblyCopies == 1 ? " copy" : " copies");
  if (!chains.empty())
    line += std::string(" of chain") + (s.assemblyChains.size() == 1 ? " " : "s ") + chains;
  const int missing = s.MissingAssemblyChains();
  if (missing > 0) {
    line += " (the file holds " + std::to_string(s.chains.size()) + " of its " +
            std::to_string(s.chains.size() + missing) + " chains)";
  }
  return line;
}

std::vector<LowStretch> LowStretches(const Structure& s, const ProfileVerdict& verdict) {
  std::vector<LowStretch> stretches;
  for (const ResidueRun& run : verdict.lowRuns) {
    stretches.push_back({s.ChainNameOfResidue(static_cast<size_t>(run.first)), s.residues[run.first].resSeq,
                         s.residues[run.last].resSeq});
  }
  return stretches;
}

std::string PercentText(float fraction) {
  return FormatFixed(100.0f * fraction, 1) + "%";
}

std::vector<std::string> QualityLines(const Protein& protein, const ProfileVerdict& verdict) {
  // A model's confidence first, so that the window test's line is followed by its stretches.
  std::vector<std::string> lines;
  const ConfidentScores confident = ScoreConfident(protein.structure, protein.scores, protein.confidentPlddt);
  if (confident.model) {
    lines.push_back(ModelLine(protein.structure));
    lines.push_back("Confident Residues (pLDDT >= " + FormatFixed(confident.threshold, 1) +
                    "): " + std::to_string(confident.confident) + ", Average Residue Score: " +
                    // An average over no residue is none.
                    (confident.confident > 0 ? FormatFixed(confident.averageScore) : std::string("-")) +
                    ", left out: " + std::to_string(confident.leftOut));
  }
  // A sequence's model is an ideal helix, not a fold to judge.
  if (protein.FromSequence()) return lines;
  lines.push_back("3D-1D Window Test: " + PercentText(verdict.passFraction) + " of residues score at least " +
                  FormatFixed(kWindowPassScore, 1) + " over " + std::to_string(kProfileWindow) +
                  " residues (" + (verdict.passes ? "pass" : "fail") + ", " +
                  PercentText(kStructurePassFraction) + " needed)");
  return lines;
}

std::string ModelLine(const Structure& s) {
  const ConfidentScores c = ScoreConfident(s, ScoreResult{}, kDefaultConfidentPlddt);
  return "predicted model (" + (s.modelSource.empty() ? std::string("predicted") : s.modelSource) +
         "), mean pLDDT " + FormatFixed(c.meanPlddt, 1) + ", " + std::to_string(c.lowConfidence) +
         (c.lowConfidence == 1 ? " residue below " : " residues below ") +
         FormatFixed(kLowConfidencePlddt, 0);
}

std::vector<std::string> MembraneLines(const Structure& s, const MembranePlacement& m) {
  if (!m.placed) {
    // The best slab gains enough, but no stretch of the chain runs through it.
    if (m.score >= m.threshold)
      return {"Membrane: no membrane placement (score " + FormatFixed(m.score, 1) +
              " kcal/mol, but no stretch of the chain crosses the slab)"};
    return {"Membrane: no membrane placement (score " + FormatFixed(m.score, 1) + " kcal/mol, at least " +
            FormatFixed(m.threshold, 1) + " needed)"};
  }
  auto number = [](float value, int decimals) {
    // A component that rounds to zero is written 0.0000, not -0.0000.
    std::string text = FormatFixed(value, decimals);
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
  };
  auto triple = [&](const Vec3& v, int decimals) {
    return number(v[0], decimals) + " " + number(v[1], decimals) + " " + number(v[2], decimals);
  };
  std::vector<std::string> lines = {
      "Membrane normal: " + triple(m.normal, 4),
      "Membrane centre: " + triple(m.centre, 3) + " \u00c5",
      "Membrane half-thickness: " + FormatFixed(m.halfThickness, 1) + " \u00c5",
      "Membrane score: " + FormatFixed(m.score, 1) + " kcal/mol",
      "Segments in the membrane:",
  };
  // The orientation column is as wide as its longest entry ("out→out (re-entrant)"), so
  // that the tilts stand in one column; the arrow is one character of three bytes.
  auto width = [](const std::string& text) {
    size_t n = 0;
    for (unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
  };
  std::vector<std::string> orientations;
  size_t column = 15;
  for (const SlabSegment& segment : m.segments) {
    TransmembraneDomain domain;
    domain.topology = segment.nInside ? 1 : -1;
    domain.kind = segment.kind;
    orientations.push_back(DomainOrientationText(domain));
    column = std::max(column, width(orientations.back()) + 2);
  }
  lines.push_back("           Chain           Residues        " + std::string("Orientation") +
                  std::string(column - 12, ' ') + "Tilt (\u00b0)");
  if (m.symmetryOrder > 0)
    lines.insert(lines.begin() + 1, "Membrane normal along the chains' " + std::to_string(m.symmetryOrder) +
                                        "-fold symmetry axis");
  for (size_t k = 0; k < m.segments.size(); ++k) {
    const SlabSegment& segment = m.segments[k];
    std::string residues = std::to_string(s.residues[segment.first].resSeq) + "  -  " +
                           std::to_string(s.residues[segment.last].resSeq);
    residues.resize(std::max<size_t>(residues.size() + 2, 16), ' ');
    std::string chain = s.ChainName(static_cast<size_t>(segment.chain));
    chain.resize(std::max<size_t>(chain.size() + 1, 16), ' ');
    const std::string& orientation = orientations[k];
    lines.push_back(std::string(13, ' ') + chain + residues + orientation +
                    std::string(column - width(orientation), ' ') + FormatFixed(segment.tiltDegrees, 1));
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

std::vector<std::string> ResidueTableHeadings(const Protein* protein) {
  std::vector<std::string> headings = ResidueTableHeadings();
  if (protein != nullptr && !protein->structure.confidence.empty()) headings.emplace_back("pLDDT");
  return headings;
}

std::vector<std::string> ResidueTableRow(const Protein& protein, size_t index) {
  const Structure& structure = protein.structure;
  const Residue& r = structure.residues[index];
  const ResidueSurface& surface = protein.surface.residues[index];
  const ResidueScore& scores = protein.scores.residues[index];
  const float sasa = surface.sideSASA + surface.mainSASA;
  // A chain identifier of code 0 (a line too short to hold one) shows as a blank.
  std::vector<std::string> cells = {std::to_string(index),
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
  if (structure.confidence.size() == structure.residues.size())
    cells.push_back(FormatFixed(structure.confidence[index], 2));
  return cells;
}

}  // namespace tessmol

namespace tessmol {

void WriteResidueTable(std::ostream& out, const Protein& protein) {
  auto line = [&](const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) out << (i ? "\t" : "") << cells[i];
    out << '\n';
  };
  line(ResidueTableHeadings(&protein));
  for (size_t i = 0; i < protein.structure.residues.size(); ++i) line(ResidueTableRow(protein, i));
}

}  // namespace tessmol

namespace tessmol {

std::string ShortestText(float value) {
  if (std::isnan(value)) return "nan";
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc() ? std::string(text, end) : FormatFixed(value);
}

void WriteResidueTsv(std::ostream& out, const Protein& protein, bool headings) {
  static const char* const kHeadings[] = {"structure",
                                          "index",
                                          "name",
                                          "chain",
                                          "number",
                                          "insertion_code",
                                          "area_buried",
                                          "fraction_polar",
                                          "kavelin_fp",
                                          "category",
                                          "kavelin_category",
                                          "main_sasa",
                                          "side_sasa",
                                          "sasa",
                                          "solvent_score",
                                          "kavelin_score",
                                          "overall_score",
                                          "transmembrane",
                                          "plddt",
                                          "tessmol_version",
                                          "resolution",
                                          "heteroatoms",
                                          "secondary_structure",
                                          "score_table",
                                          "method"};
  for (size_t i = 0; headings && i < std::size(kHeadings); ++i) out << (i ? "\t" : "") << kHeadings[i];
  if (headings) out << '\n';
  const RunParameters& p = protein.parameters;
  // A name can hold no TAB or line end, or the row would split.
  auto clean = [](std::string text) {
    for (char& c : text) {
      if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return text;
  };
  std::string run = "\t" + clean(p.version) + "\t" + (p.resolution >= 0 ? std::to_string(p.resolution) : "") +
                    "\t" + (p.recorded() ? (p.ignoreHeteroAtoms ? "all_left_out" : "waters_left_out") : "") +
                    "\t" + clean(p.secondaryStructure) + "\t" + clean(p.scoreTable) + "\t" + clean(p.method);
  const std::string structure = clean(protein.fileName);
  const Structure& s = protein.structure;
  for (size_t i = 0; i < s.residues.size(); ++i) {
    const Residue& r = s.residues[i];
    const ResidueSurface& surface = protein.surface.residues[i];
    const ResidueScore& scores = protein.scores.residues[i];
    out << structure << '\t' << i << '\t' << clean(r.name) << '\t' << clean(s.ChainNameOfResidue(i)) << '\t'
        << r.resSeq << '\t' << (r.iCode == ' ' || r.iCode == '\0' ? "" : clean(std::string(1, r.iCode)))
        << '\t' << ShortestText(surface.areaBuried) << '\t' << ShortestText(surface.fractionPolar) << '\t'
        << ShortestText(surface.kavelinFP) << '\t' << scores.profEnv << '\t' << scores.kavelinEnv << '\t'
        << ShortestText(surface.mainSASA) << '\t' << ShortestText(surface.sideSASA) << '\t'
        << ShortestText(surface.sideSASA + surface.mainSASA) << '\t' << ShortestText(scores.solventScore)
        << '\t' << ShortestText(scores.kavelinScore) << '\t' << ShortestText(scores.overallScore) << '\t'
        << (protein.transmembrane.residues[i].transmembrane ? 1 : 0)
        << '\t'
        // A predicted model's confidence; empty for an experimental structure, so that one
        // table can hold both.
        << (s.confidence.size() == s.residues.size() ? ShortestText(s.confidence[i]) : "") << run << '\n';
  }
}

}  // namespace tessmol
