// Structure files as they come: PDB or mmCIF, plain or gzip-compressed, recognised by
// their content rather than their name.
#pragma once

#include <optional>
#include <string>

#include "base/file_status.h"
#include "base/gzip.h"
#include "model/het_atom_radii.h"
#include "model/structure.h"
#include "model/structure_builder.h"

namespace tessmol {

enum class StructureFormat { kPdb, kMmcif, kResult };

// mmCIF when the first line that is neither blank nor a comment starts with "data_" (in
// any case); a
// result file when the text starts with a STRUCTURE record; PDB otherwise.
StructureFormat DetectFormat(const std::string& text);

// Where a predicted model's confidence comes from: its header or metadata only (an
// experimental structure's B-factors are never confidence), or, as the user says for
// header-less ColabFold and ESMFold files, the B-factor column taken as pLDDT.
enum class ConfidenceSource { kHeader, kBFactors };

// The residue count below which pLDDT calls a residue disordered, as predictors draw it.
inline constexpr float kDisorderedPlddt = 50.0f;

struct StructureFile {
  FileStatus status;
  Structure structure;
  StructureFormat format = StructureFormat::kPdb;
  bool compressed = false;
  bool isNMR = false;
  bool hadSecondaryStructure = false;  // helix or sheet records in the file
  ReadSummary summary;
  bool plddtScaled = false;  // the file's pLDDT ran 0 to 1 (ESMFold) and was scaled to 0 to 100
  // When the B-factors were to be read as pLDDT but some lie beyond 0 to 100: the farthest
  // of them (they are no confidence, and the structure is read as an experimental one).
  std::optional<float> confidenceOutOfRange;
  // When the B-factors were to be read as pLDDT but the file names the experiment that
  // measured it ("X-RAY DIFFRACTION"): its B-factors are no confidence either. A folder of
  // models and crystal structures read with --confidence plddt keeps the crystals' own.
  std::string confidenceExperiment;
  // When the B-factors were to be read as pLDDT but the file says they hold an analysis's
  // values (kNotConfidenceRemark: a copy this program wrote of a model).
  bool confidenceAnalysis = false;
  // No atoms, and the text begins with a FASTA header ('>'): sequences, not a structure.
  bool sequenceText = false;
};

// Sets structure.confidence and modelSource of a predicted model: from ModelCIF's local
// pLDDT scores where the file has them, else from the B-factor of each residue's CA. A file
// whose values all lie within 0 to 1 is taken to give pLDDT as a fraction and scaled by
// 100. Nothing changes for a file that says it is no model unless `source` is kBFactors,
// nor for one whose values do not all lie within 0 to 100 (they are no pLDDT), nor for a
// copy that says its B-factor column holds an analysis's values (unless ModelCIF's own
// scores remain), nor under kBFactors for one that names the experiment that measured it.
void AssignConfidence(StructureFile& file, const ModelEvidence& evidence, const std::vector<float>& bFactors,
                      const std::vector<std::pair<std::string, int32_t>>& labels, ConfidenceSource source);

// What the user is told when the confidence asked for was refused, or "" when it was not:
// "Warning: the pLDDT read from NAME runs to VALUE, beyond 0 to 100: NAME is analysed as
// an experimental structure, without confidence", or "Warning: NAME names the experiment
// that measured it (METHOD): its B-factors are not read as pLDDT, and it is analysed as
// an experimental structure, without confidence", and likewise for a value that is no
// number and for a copy that says its B-factor column holds an analysis's values.
std::string ConfidenceRefusedWarning(const StructureFile& file, const std::string& name);
// Why, in `read`'s words: "the values read as pLDDT run to VALUE, beyond 0 to 100", "the
// file names the experiment that measured it, METHOD" and the like; "" when nothing was
// refused.
std::string ConfidenceRefusedReason(const StructureFile& file);

// Why a file whose atoms make no protein has nothing to analyse: DNA or RNA (read as
// heteroatoms) alone, heteroatoms (HETATM records) alone, or sequences (a FASTA file);
// empty when it holds protein atoms, or no atom and no sequence.
std::string NoProteinReason(const StructureFile& file);

// Reads a structure file of either format; a result file is refused with kResult.
StructureFile ReadStructure(const std::string& path, const HetAtomRadii& hetRadii,
                            uint64_t maxUnpackedBytes = MebibytesToBytes(kDefaultMaxUnpackedMiB),
                            ConfidenceSource confidence = ConfidenceSource::kHeader);
// The same from text already in memory (tests, fuzzing).
StructureFile ReadStructureText(const std::string& text, const std::string& name,
                                const HetAtomRadii& hetRadii,
                                ConfidenceSource confidence = ConfidenceSource::kHeader);

// Reads mmCIF text into `builder`: the first model, author chain names and residue numbers
// with insertion codes, helix and sheet ranges, modified residues. `fast` reads the
// atom_site loop with our own tokenizer and the rest through gemmi, for the files it is
// sure to read as gemmi does, and hands the others to gemmi whole (the two agree, which
// tests and a fuzz target check); `readFast`, when given, tells whether it took the file.
// Errors name the file's own line.
FileStatus ReadMmcif(const std::string& text, const std::string& name, StructureBuilder& builder, bool& isNMR,
                     bool fast = true, bool* readFast = nullptr);

}  // namespace tessmol
