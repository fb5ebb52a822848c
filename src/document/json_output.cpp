#include "document/json_output.h"

#include <charconv>
#include <cmath>

#include "base/version.h"
#include "document/report.h"
#include "surface/sphere_points.h"

namespace tessmol {

namespace {

nlohmann::json Compatible(float expected) {
  // As a 32-bit float, like the scores it is compared with.
  return JsonNumber(static_cast<float>(CompatibleScore(expected)));
}

// A confident figure of a model; null where no residue is confident: an average over
// nothing is no score, and 0 would read as one.
nlohmann::json OverConfident(const nlohmann::json& value, int confidentCount) {
  return confidentCount > 0 ? value : nlohmann::json(nullptr);
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
      {"area_buried", JsonNumber(surface.areaBuried)},
      {"fraction_polar", JsonNumber(surface.fractionPolar)},
      {"kavelin_fp", JsonNumber(surface.kavelinFP)},
      {"category", scores.profEnv},
      {"kavelin_category", scores.kavelinEnv},
      {"main_sasa", JsonNumber(surface.mainSASA)},
      {"side_sasa", JsonNumber(surface.sideSASA)},
      {"sasa", JsonNumber(surface.sideSASA + surface.mainSASA)},
      {"solvent_score", JsonNumber(scores.solventScore)},
      {"kavelin_score", JsonNumber(scores.kavelinScore)},
      {"overall_score", JsonNumber(scores.overallScore)},
      {"transmembrane", protein.transmembrane.residues[i].transmembrane}};
  if (s.confidence.size() == s.residues.size()) j["plddt"] = JsonNumber(s.confidence[i]);
  return j;
}

// The window test for every structure; a predicted model's confidence and confident scores.
void AddQuality(nlohmann::json& j, const Protein& protein) {
  const Structure& s = protein.structure;
  const ProfileVerdict verdict = JudgeProfile(s, protein.scores);
  nlohmann::json low = nlohmann::json::array();
  for (const LowStretch& stretch : LowStretches(s, verdict)) {
    low.push_back({{"chain", stretch.chain},
                   {"first_number", stretch.firstResSeq},
                   {"last_number", stretch.lastResSeq}});
  }
  // A sequence's model is an ideal helix, not a fold to judge.
  if (!protein.FromSequence()) {
    j["window_pass_fraction"] = JsonNumber(verdict.passFraction);
    j["window_test_passed"] = verdict.passes;
    j["below_window_test"] = low;
  }
  const ConfidentScores c = ScoreConfident(s, protein.scores, protein.confidentPlddt);
  if (!c.model) return;
  j["model_source"] = s.modelSource;
  j["mean_plddt"] = JsonNumber(c.meanPlddt);
  j["low_confidence_count"] = c.lowConfidence;
  j["confident_plddt"] = JsonNumber(c.threshold);
  j["confident_count"] = c.confident;
  j["left_out_count"] = c.leftOut;
  j["confident_average_score"] = OverConfident(JsonNumber(c.averageScore), c.confident);
}

}  // namespace

const char* OrientationName(int topology, SegmentKind kind) {
  if (topology == 0) return "unknown";
  if (kind == SegmentKind::kReEntrant) return topology > 0 ? "in-in" : "out-out";
  return topology > 0 ? "in-out" : "out-in";
}

const char* KindName(SegmentKind kind) {
  return kind == SegmentKind::kReEntrant       ? "re-entrant"
         : kind == SegmentKind::kSignalPeptide ? "signal-peptide"
                                               : "crossing";
}

nlohmann::json MembranesJson(const Structure& s, const std::vector<MembranePlacement>& membranes) {
  nlohmann::json list = nlohmann::json::array();
  for (const MembranePlacement& m : membranes) {
    nlohmann::json chains = nlohmann::json::array(), segments = nlohmann::json::array();
    for (int32_t c : m.chains) chains.push_back(s.ChainName(static_cast<size_t>(c)));
    for (const SlabSegment& g : m.segments) {
      segments.push_back({{"chain", s.ChainName(static_cast<size_t>(g.chain))},
                          {"first_number", s.residues[static_cast<size_t>(g.first)].resSeq},
                          {"last_number", s.residues[static_cast<size_t>(g.last)].resSeq},
                          {"orientation", OrientationName(g.nInside ? 1 : -1, g.kind)},
                          {"kind", KindName(g.kind)},
                          {"tilt", JsonNumber(g.tiltDegrees)}});
    }
    list.push_back({{"placed", m.placed},
                    {"normal", {JsonNumber(m.normal.x), JsonNumber(m.normal.y), JsonNumber(m.normal.z)}},
                    {"centre", {JsonNumber(m.centre.x), JsonNumber(m.centre.y), JsonNumber(m.centre.z)}},
                    {"half_thickness", JsonNumber(m.halfThickness)},
                    {"score", JsonNumber(m.score)},
                    {"threshold", JsonNumber(m.threshold)},
                    {"chains", chains},
                    {"symmetry_order", m.symmetryOrder},
                    {"segments", segments}});
  }
  return list;
}

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
                        {"orientation", OrientationName(d.topology, d.kind)},
                        {"kind", KindName(d.kind)}});
  }
  nlohmann::json j = {{"file", protein.fileName},
                      {"chain_count", s.chains.size()},
                      {"chains", chains},
                      {"residue_count", s.residues.size()},
                      {"total_sasa", JsonNumber(protein.surface.totalSASA)},
                      {"average_score", JsonNumber(protein.scores.averageScore)},
                      {"transmembrane_segments", segments},
                      {"parameters", ParametersJson(protein.parameters)}};
  AddQuality(j, protein);
  // A sequence's model names its FASTA record: a file of many records gives many models.
  if (!protein.fastaRecord.empty()) j["record"] = protein.fastaRecord;
  // Signal peptides (the segmentation's, alone or as the default's fallback): an empty list
  // when there are none, whatever the method, so that a script can read the key on every
  // structure.
  {
    nlohmann::json list = nlohmann::json::array();
    for (const TransmembraneDomain& d : SignalPeptides(protein))
      list.push_back({{"chain", d.chain}, {"first_number", d.firstResSeq}, {"last_number", d.lastResSeq}});
    j["signal_peptides"] = list;
  }
  // Only where the slab (or the default method) placed one: older readers see nothing new.
  if (!protein.membranes.empty()) j["membranes"] = MembranesJson(s, protein.membranes);
  // A membrane placed on part of the biological assembly (one protomer of a channel) may
  // sit otherwise on the whole: said where it happened.
  if (const int missing = ChainsBesidesThePlacement(s, protein.membranes); missing > 0)
    j["assembly_missing_chains"] = missing;
  if (row != nullptr) {
    if (row->expectedKnown) {
      j["expected_score"] = JsonNumber(row->expectedScore);
      j["compatible_score"] = Compatible(row->expectedScore);
    }
    j["score_table"] = row->scoreTableName;
    j["result_file"] = row->unstored.empty() ? nlohmann::json(row->resultPath) : nlohmann::json();
    if (row->model && row->expectedKnown) {
      j["confident_expected_score"] = OverConfident(JsonNumber(row->confidentExpected), row->confidentCount);
      j["confident_compatible_score"] =
          OverConfident(Compatible(row->confidentExpected), row->confidentCount);
    }
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
  nlohmann::json row = {
      {"index", index},
      {"structure", e.resultName},
      {"score_table", e.scoreTableName},
      {"average_score", JsonNumber(e.averageScore)},
      {"expected_score", JsonNumber(e.expectedScore)},
      {"compatible_score", Compatible(e.expectedScore)},
      {"result_file", e.unstored.empty() ? nlohmann::json(e.resultPath) : nlohmann::json()}};
  if (e.inputIndex >= 0) row["input_index"] = e.inputIndex;
  if (e.judged) row["window_pass_fraction"] = JsonNumber(e.passFraction);
  if (e.model) {
    row["confident_average_score"] = OverConfident(JsonNumber(e.confidentAverage), e.confidentCount);
    row["confident_expected_score"] = OverConfident(JsonNumber(e.confidentExpected), e.confidentCount);
    row["confident_compatible_score"] = OverConfident(Compatible(e.confidentExpected), e.confidentCount);
    row["confident_count"] = e.confidentCount;
    row["left_out_count"] = e.leftOut;
  }
  return row;
}

nlohmann::json RunJson(const std::string& command, const nlohmann::json& structures,
                       const std::vector<AnalysisEntry>& entries) {
  nlohmann::json list = nlohmann::json::array();
  for (size_t i = 0; i < entries.size(); ++i) list.push_back(RowJson(entries, i));
  return {{"tessmol", kVersion}, {"command", command}, {"structures", structures}, {"analysis_list", list}};
}

nlohmann::json JsonNumber(float value) {
  if (!std::isfinite(value)) return nullptr;
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  if (error != std::errc()) return static_cast<double>(value);
  // The double nearest the shortest text that reads back to this float: JSON writes that
  // double as the same short text, and a reader rounding it to float gets the value back.
  double shortest = 0.0;
  std::from_chars(text, end, shortest);
  return shortest;
}

nlohmann::json ParametersJson(const RunParameters& p) {
  if (!p.recorded()) return nullptr;
  nlohmann::json j = {{"version", p.version},
                      {"resolution", p.resolution},
                      {"heteroatoms", p.ignoreHeteroAtoms ? "all_left_out" : "waters_left_out"},
                      {"secondary_structure", p.secondaryStructure},
                      {"score_table", p.scoreTable},
                      {"method", p.method.empty() ? nlohmann::json(nullptr) : nlohmann::json(p.method)}};
  if (p.resolution >= 0 && p.resolution < kSasaResolutionCount)
    j["points_per_atom"] = SpherePointCount(p.resolution);
  if (p.coveringHetAtoms >= 0) j["heteroatoms_covering"] = p.coveringHetAtoms;
  if (p.watersLeftOut >= 0) j["waters_left_out"] = p.watersLeftOut;
  return j;
}

nlohmann::json FailureJson(const std::string& path, int inputIndex, const std::string& message) {
  return {{"file", path}, {"input_index", inputIndex}, {"message", message}};
}

namespace {

// A double as the shortest text that reads back to it. nlohmann::json's own writer
// (Grisu2) sometimes gives a digit or two more (0.8617886300000001 for 0.86178863).
void AppendNumber(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";  // as nlohmann::json writes it: JSON has no infinity or NaN
    return;
  }
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  const std::string number(text, error == std::errc() ? end : text);
  out += number;
  // Still a floating-point number to a reader that tells the two apart.
  if (number.find_first_of(".e") == std::string::npos) out += ".0";
}

void AppendJson(std::string& out, const nlohmann::json& value, int indent, int depth) {
  const auto newline = [&](int level) {
    if (indent < 0) return;
    out += '\n';
    out.append(static_cast<size_t>(indent * level), ' ');
  };
  if (value.is_number_float()) {
    AppendNumber(out, value.get<double>());
  } else if (value.is_object() && !value.empty()) {
    out += '{';
    bool first = true;
    for (auto it = value.begin(); it != value.end(); ++it) {
      if (!first) out += ',';
      first = false;
      newline(depth + 1);
      out += nlohmann::json(it.key()).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
      out += indent < 0 ? ":" : ": ";
      AppendJson(out, it.value(), indent, depth + 1);
    }
    newline(depth);
    out += '}';
  } else if (value.is_array() && !value.empty()) {
    out += '[';
    bool first = true;
    for (const nlohmann::json& item : value) {
      if (!first) out += ',';
      first = false;
      newline(depth + 1);
      AppendJson(out, item, indent, depth + 1);
    }
    newline(depth);
    out += ']';
  } else {
    out += value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }
}

}  // namespace

std::string JsonText(const nlohmann::json& document, int indent) {
  // Laid out as nlohmann::json lays it out; only the numbers are written here.
  std::string out;
  AppendJson(out, document, indent, 0);
  return out;
}

}  // namespace tessmol
