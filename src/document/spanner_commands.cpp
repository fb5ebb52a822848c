// Spanner3D and Spanner2D: transmembrane segments from ideal-helix models of the open
// structure's sequence or of FASTA sequences. The models and the scan are the
// transmembrane layer's; what the document does with them (flags, rows, result files,
// messages) is here.
#include "document/result_file.h"
#include "document/tessmol_doc.h"
#include "model/text.h"
#include "surface/environment.h"
#include "surface/sasa.h"
#include "transmembrane/fasta.h"
#include "transmembrane/helix_builder.h"
#include "transmembrane/scan.h"

namespace tessmol {

bool CTessmolDoc::AnalyseModel(Protein& model) {
  SilentFeedback quiet;
  model.Load(quiet, settings_.threads);
  SasaSettings sasa;
  sasa.threads = settings_.threads;
  sasa.log = state_.logFile();
  if (!CalculateSASA(model, settings_.sasaResolution, state_.programFolder(), feedback_, sasa)) return false;
  ScoreResidues(model, state_.scoringTable);
  return true;
}

bool CTessmolDoc::RunSpanner3D(ModelHelixRange range) {
  if (!structureLoaded_) {
    feedback_.ShowMessage(kNoStructureSelected);
    return false;
  }
  HelixBuilder builder(state_.programFolder(), feedback_);
  if (!settings_.writeHelixInspection) builder.inspectionPath.clear();
  Protein model;
  model.structure = builder.BuildFromStructure(protein_.structure, range);
  // The model keeps the source's heteroatom list, but waters and ligands placed around
  // the real structure have nothing to do with an ideal helix: they stay out.
  model.ignoreHeteroAtoms = true;
  if (!AnalyseModel(model)) return false;
  ScanTransmembrane(model, settings_.spanner2DParams);

  std::vector<Residue>& residues = protein_.structure.residues;
  for (size_t i = 0; i < residues.size() && i < model.structure.residues.size(); ++i) {
    residues[i].transmembrane = model.structure.residues[i].transmembrane;
  }
  SumScores(protein_);
  // The flags go to the row's own result file, which the row, show and a double-click read.
  const bool hasRow = currentEntry_ && *currentEntry_ >= 0 && *currentEntry_ < static_cast<int>(entries_.size());
  const std::string path = hasRow ? entries_[*currentEntry_].resultPath : "./" + ResultNameFor(protein_.fileName);
  bool ok = true;
  if (const FileStatus written = WriteResult(protein_.structure, path); !written) {
    feedback_.ShowMessage(WithFile(kSpanner3DWriteFailed, path));
    ok = false;
  } else if (hasRow) {
    entries_[*currentEntry_].averageScore = protein_.structure.averageScore;
  }
  feedback_.DocumentChanged();
  return ok;
}

bool CTessmolDoc::RunSpanner2D(const std::vector<std::string>& paths,
                               const std::function<void(const Protein&)>& onModel) {
  HelixBuilder builder(state_.programFolder(), feedback_);
  if (!settings_.writeHelixInspection) builder.inspectionPath.clear();
  BeginRun();
  bool ok = true;
  for (const std::string& path : paths) {
    const FastaFile fasta = ReadFasta(path);
    if (fasta.status == FastaStatus::kCannotOpen) {
      feedback_.ShowMessage("Error: Failed to open " + path);
      return false;
    }
    if (fasta.status == FastaStatus::kNotFasta) {
      feedback_.ShowMessage(WithFile(kNotFasta, path));
      return false;
    }
    Protein model;
    model.structure = builder.BuildFromSequences(fasta.sequences);
    if (model.structure.atoms.empty()) {
      feedback_.ShowMessage(WithFile(kFastaNotProcessed, path));
      return false;
    }
    model.fileName = BareName(path);
    model.ignoreHeteroAtoms = settings_.ignoreHeteroAtoms;
    if (!AnalyseModel(model)) return false;
    ScanTransmembrane(model, settings_.spanner2DParams);
    SumScores(model);
    // The row's result file is the one the residues are stored in; one write serves both.
    if (!AddSummaryEntry(model)) {
      feedback_.ShowMessage(WithFile(kSpanner2DWriteFailed, entries_.back().resultPath));
      ok = false;
    }
    if (onModel) onModel(model);
  }
  feedback_.DocumentChanged();
  return ok;
}

}  // namespace tessmol
