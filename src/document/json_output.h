// Results as JSON for scripts: one document per run, with the summary of every structure
// (and, when asked, every residue's row) and the analysis list, under stable snake_case
// keys that schema/tessmol-output.schema.json describes. Numbers are numbers, at full
// precision.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "document/tessmol_doc.h"

namespace tessmol {

// One structure: its summary, its row of the analysis list when it has one, and with
// `residues` every residue.
nlohmann::json StructureJson(const Protein& protein, const AnalysisEntry* row, bool residues);

// One row of the analysis list.
nlohmann::json RowJson(const std::vector<AnalysisEntry>& entries, size_t index);

// The document of a run: {"tessmol": version, "command": name, "structures": [...],
// "analysis_list": [...]}.
nlohmann::json RunJson(const std::string& command, const nlohmann::json& structures,
                       const std::vector<AnalysisEntry>& entries);

}  // namespace tessmol
