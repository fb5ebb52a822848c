// Spanner3D and Spanner2D: transmembrane segments from ideal-helix models of an open
// structure's sequence or of FASTA sequences.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "document/tessmol_doc.h"
#include "transmembrane/helix_builder.h"

namespace tessmol {

// Chosen by measurement on membrane structures with known segments: see the note in
// spanner.cpp.
inline constexpr ModelHelixRange kSpanner3DHelixRange = ModelHelixRange::kWholeModel;

// Models the open structure's sequence as one ideal helix, scans the model and copies its
// transmembrane flags onto the open structure; rescoring and its result file follow.
bool RunSpanner3D(CTessmolDoc& doc, ModelHelixRange range = kSpanner3DHelixRange);

// For each FASTA file, in order: a helix model of its sequences, analysed and scanned,
// added to the analysis list with its result file. Stops at the first file that cannot be
// read, is no FASTA or holds no residue. `onModel` sees each analysed model.
bool RunSpanner2D(CTessmolDoc& doc, const std::vector<std::string>& paths,
                  const std::function<void(const Protein&)>& onModel = {});

inline constexpr const char* kNoStructureSelected = "Error no structure selected";
inline constexpr const char* kSpanner3DWriteFailed =
    "Error: Failed to create output (.tsm) file for the structure";
inline constexpr const char* kSpanner2DWriteFailed =
    "Error: Failed to create output (.tsm) file for the residues";
inline constexpr const char* kNotFasta = "Error: file not in FASTA format";
inline constexpr const char* kFastaNotProcessed = "Error: Could not process FASTA file";

}  // namespace tessmol
