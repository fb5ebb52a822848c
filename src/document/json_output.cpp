#include "document/json_output.h"

#include "document/report.h"

namespace tessmol {

namespace {

// The compatible score as the analysis list shows it: 45 % of the expected one.
double Compatible(float expected) {
  return static_cast<double>(expected) * static_cast<double>(0.45f);
}

nlohmann::json ResidueJson(const Protein& protein, size_t i) {
  const Structure& s = protein.structure;
  const Residue& r = s.residues[i];
  const ResidueSurface& surface = protein.surface.residues[i];
  const ResidueScore& scores = protein.scores.residues[i];
  nlohmann::json j = {
      {"index", i},
      {"name", r.name},
      {"chain", s.ChainNameOfResidue(i)},
      {"number", r.resSeq},
      {"insertion_code", r.iCode == ' ' || r.iCode == '\0' ? std::string() : std::string(1, r.iCode)},
      {"area_buried", surface.areaBuried},
      {"fraction_polar", surface.fractionPolar},
      {"kavelin_fp", surface.kavelinFP},
      {"category", scores.profEnv},
      {"kavelin_category", scores.kavelinEnv},
      {"main_sasa", surface.mainSASA},
      {"side_sasa", surface.sideSASA},
      {"sasa", surface.sideSASA + surface.mainSASA},
      {"solvent_score", scores.solventScore},
      {"kavelin_score", scores.kavelinScore},
      {"overall_score", scores.overallScore},
      {"transmembrane", protein.transmembrane.residues[i].transmembrane}};
  return j;
}

}  // namespace

nlohmann::json StructureJson(const Protein& protein, const AnalysisEntry* row, bool residues) {
  const Structure& s = protein.structure;
  nlohmann::json chains = nlohmann::json::array();
  for (size_t k = 0; k < s.chains.size(); ++k) {
    const Chain& c = s.chains[k];
    const bool any = c.firstResidue >= 0 && c.lastResidue >= c.firstResidue &&
                     c.lastResidue < static_cast<int32_t>(s.residues.size());
    chains.push_back({{"name", s.ChainName(k)},
                      {"residue_count", any ? c.lastResidue - c.firstResidue + 1 : 0},
                      {"first_number", any ? s.residues[c.firstResidue].resSeq : 0},
                      {"last_number", any ? s.residues[c.lastResidue].resSeq : 0}});
  }
  nlohmann::json segments = nlohmann::json::array();
  for (const TransmembraneDomain& d : TransmembraneDomains(protein)) {
    segments.push_back({{"chain", d.chain},
                        {"first_number", d.firstResSeq},
                        {"last_number", d.lastResSeq},
                        {"orientation", d.topology > 0   ? "in-out"
                                        : d.topology < 0 ? "out-in"
                                                         : "unknown"}});
  }
  nlohmann::json j = {{"file", protein.fileName},
                      {"chain_count", s.chains.size()},
                      {"chains", chains},
                      {"residue_count", s.residues.size()},
                      {"total_sasa", protein.surface.totalSASA},
                      {"average_score", protein.scores.averageScore},
                      {"transmembrane_segments", segments}};
  // Signal peptides only where the segmentation found one: older readers see nothing new.
  if (const std::vector<TransmembraneDomain> peptides = SignalPeptides(protein); !peptides.empty()) {
    nlohmann::json list = nlohmann::json::array();
    for (const TransmembraneDomain& d : peptides)
      list.push_back({{"chain", d.chain}, {"first_number", d.firstResSeq}, {"last_number", d.lastResSeq}});
    j["signal_peptides"] = list;
  }
  if (row != nullptr) {
    j["expected_score"] = row->expectedScore;
    j["compatible_score"] = Compatible(row->expectedScore);
    j["score_table"] = row->scoreTableName;
    j["result_file"] = row->resultPath;
  }
  if (residues) {
    nlohmann::json rows = nlohmann::json::array();
    for (size_t i = 0; i < s.residues.size(); ++i) rows.push_back(ResidueJson(protein, i));
    j["residues"] = rows;
  }
  return j;
}

nlohmann::json RowJson(const std::vector<AnalysisEntry>& entries, size_t index) {
  const AnalysisEntry& e = entries[index];
  nlohmann::json row = {{"index", index},
                        {"structure", e.resultName},
                        {"score_table", e.scoreTableName},
                        {"average_score", e.averageScore},
                        {"expected_score", e.expectedScore},
                        {"compatible_score", Compatible(e.expectedScore)},
                        {"result_file", e.resultPath}};
  if (e.inputIndex >= 0) row["input_index"] = e.inputIndex;
  return row;
}

nlohmann::json RunJson(const std::string& command, const nlohmann::json& structures,
                       const std::vector<AnalysisEntry>& entries) {
  nlohmann::json list = nlohmann::json::array();
  for (size_t i = 0; i < entries.size(); ++i) list.push_back(RowJson(entries, i));
  return {{"tessmol", "0.1.0"}, {"command", command}, {"structures", structures}, {"analysis_list", list}};
}

nlohmann::json FailureJson(const std::string& path, int inputIndex, const std::string& message) {
  return {{"file", path}, {"input_index", inputIndex}, {"message", message}};
}

std::string JsonText(const nlohmann::json& document, int indent) {
  return document.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace tessmol
