// Results as JSON for scripts: one document per run, with the summary of every structure
// (and, when asked, every residue's row) and the analysis list, under stable snake_case
// keys that schema/tessmol-output.schema.json describes. Numbers are numbers, at full
// precision. Names come from files (paths, residue and chain names) and may hold any
// bytes: JsonText writes a byte that is not part of valid UTF-8 as U+FFFD.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "document/tessmol_doc.h"

namespace tessmol {

// How JSON (and the Python module) names a segment's orientation and kind: "in-out",
// "out-in", "unknown" (topology 0), a re-entrant one "in-in" or "out-out" (it leaves on
// the side it entered from); "crossing", "re-entrant", "signal-peptide".
const char* OrientationName(int topology, SegmentKind kind);
const char* KindName(SegmentKind kind);

// The membranes placed on a structure (one, or one per group of chains that cannot share
// a membrane): normal, centre, half-thickness, score, the chains each was placed on, the
// symmetry order its normal follows, and the segments inside it.
nlohmann::json MembranesJson(const Structure& structure, const std::vector<MembranePlacement>& membranes);

// One structure: its summary, its row of the analysis list when it has one, and with
// `residues` every residue.
nlohmann::json StructureJson(const Protein& protein, const AnalysisEntry* row, bool residues);

// One row of the analysis list.
nlohmann::json RowJson(const std::vector<AnalysisEntry>& entries, size_t index);

// The document of a run: {"tessmol": version, "command": name, "structures": [...],
// "analysis_list": [...]}.
nlohmann::json RunJson(const std::string& command, const nlohmann::json& structures,
                       const std::vector<AnalysisEntry>& entries);

// A 32-bit float as the shortest decimal that reads back to the same float (0.91, not
// 0.9100000262260437); null when not finite, which JSON cannot hold.
nlohmann::json JsonNumber(float value);

// How the structure was analysed: version, resolution, heteroatom rule, secondary-structure
// source, score table, transmembrane method; null for an older result file without them.
nlohmann::json ParametersJson(const RunParameters& parameters);

// One input file that was not analysed: {"file", "input_index", "message"}.
nlohmann::json FailureJson(const std::string& path, int inputIndex, const std::string& message);

// The document as text, indented by `indent` (-1: one line); never throws on invalid
// UTF-8, which nlohmann::json's plain dump() does.
std::string JsonText(const nlohmann::json& document, int indent = 2);

}  // namespace tessmol
