// Everything a user can set for the analyses of one document: the General page of the
// options sheet, the Spanner 2D page and the command line's options. The options sheet
// and the command line both check a candidate with Validate before handing it over.
#pragma once

#include <optional>
#include <string>

#include "base/gzip.h"
#include "model/run_parameters.h"
#include "model/secondary_structure.h"
#include "model/structure_file.h"
#include "scoring/model_quality.h"
#include "transmembrane/scan.h"

namespace tessmol {

// How Spanner2D and Spanner3D find transmembrane segments: the window scan of ideal-helix
// models, the exact segmentation of a per-residue membrane score, or (structures only)
// the residues inside the lipid slab placed on the structure; the default takes the slab
// where a membrane is placed and the segmentation elsewhere (for sequences, the window scan).
// On the benchmark structures it finds more segments than either alone, and no soluble
// structure gets one (bench/spanner3d_helix_range.sh).
enum class TmMethod { kWindow, kSegments, kSlab, kSlabElseSegments };

struct AnalysisSettings {
  // Where result files are written (the options sheet's Working Directory, the command
  // line's --out-dir); empty for the current folder.
  std::string workingDirectory;
  bool ignoreHeteroAtoms = false;
  int sasaResolution = 2;  // 0 to 5: 92, 162, 252, 392, 482, 1002 points per atom
  int threads = 0;         // surface-area pass of single structures; 0 = one per core
  SecondaryStructureSource secondaryStructure = SecondaryStructureSource::kRecordsElseComputed;
  ScanParams spanner2DParams;
  TmMethod tmMethod = TmMethod::kSlabElseSegments;
  bool writeHelixInspection = true;  // helix models also go to ./helixtest.pdb
  // What one compressed structure may unpack to (the command line's --max-unpacked-mib;
  // the desktop keeps the default).
  int maxUnpackedMiB = kDefaultMaxUnpackedMiB;
  // Predicted models: where their pLDDT comes from (the command line's --confidence), and
  // the pLDDT from which a residue counts as confident (--confident-plddt, 0 to 100).
  ConfidenceSource confidenceSource = ConfidenceSource::kHeader;
  float confidentPlddt = kDefaultConfidentPlddt;

  // The first value out of its range, in the order the options pages read their fields.
  struct Problem {
    std::string field;    // the member's name, as the command line's option is named
    std::string message;  // the toolkit's standard range message
  };
  std::optional<Problem> Validate() const;
};

// The method's name as the command line takes it: window, segments or slab.
std::string MethodName(TmMethod method);

// What an analysis with these settings and the score table named records of itself; the
// method stays empty until a transmembrane run sets it.
RunParameters ParametersFor(const AnalysisSettings& settings, const std::string& scoreTable);

}  // namespace tessmol
