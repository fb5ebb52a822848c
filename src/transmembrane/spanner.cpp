#include "transmembrane/spanner.h"

#include "document/result_file.h"
#include "model/text.h"
#include "surface/environment.h"
#include "surface/sasa.h"
#include "transmembrane/fasta.h"
#include "transmembrane/scan.h"

namespace tessmol {

namespace {

// Assembly, surface areas and scores of a model, as for a structure read from a file.
bool AnalyseModel(CTessmolDoc& doc, Protein& model) {
  SilentFeedback quiet;
  model.Load(quiet, doc.sasaThreads);
  SasaSettings settings;
  settings.threads = doc.sasaThreads;
  settings.log = doc.state().logFile();
  if (!CalculateSASA(model, doc.generalOptions.sasaResolution, doc.state().programFolder(), doc.feedback(),
                     settings)) {
    return false;
  }
  ScoreResidues(model, doc.state().scoringTable);
  return true;
}

}  // namespace

bool RunSpanner3D(CTessmolDoc& doc, ModelHelixRange range) {
  if (!doc.structureLoaded) {
    doc.feedback().ShowMessage(kNoStructureSelected);
    return false;
  }
  HelixBuilder builder(doc.state().programFolder(), doc.feedback());
  if (!doc.writeHelixInspection) builder.inspectionPath.clear();
  Protein model;
  model.structure = builder.BuildFromStructure(doc.protein.structure, range);
  // The model keeps the source's heteroatom list, but waters and ligands placed around
  // the real structure have nothing to do with an ideal helix: they stay out.
  model.ignoreHeteroAtoms = true;
  if (!AnalyseModel(doc, model)) return false;
  ScanTransmembrane(model, doc.spanner2DParams);

  std::vector<Residue>& residues = doc.protein.structure.residues;
  for (size_t i = 0; i < residues.size() && i < model.structure.residues.size(); ++i) {
    residues[i].transmembrane = model.structure.residues[i].transmembrane;
  }
  SumScores(doc.protein);
  if (doc.currentEntry && *doc.currentEntry >= 0 &&
      *doc.currentEntry < static_cast<int>(doc.entries.size())) {
    doc.entries[*doc.currentEntry].averageScore = doc.protein.structure.averageScore;
  }
  if (!WriteResult(doc.protein.structure, doc.workFolder + ResultNameFor(doc.protein.fileName))) {
    doc.feedback().ShowMessage(kSpanner3DWriteFailed);
  }
  doc.feedback().DocumentChanged();
  return true;
}

bool RunSpanner2D(CTessmolDoc& doc, const std::vector<std::string>& paths,
                  const std::function<void(const Protein&)>& onModel) {
  HelixBuilder builder(doc.state().programFolder(), doc.feedback());
  if (!doc.writeHelixInspection) builder.inspectionPath.clear();
  for (const std::string& path : paths) {
    const FastaFile fasta = ReadFasta(path);
    if (fasta.status == FastaStatus::kCannotOpen) {
      doc.feedback().ShowMessage("Error: Failed to open " + path);
      return false;
    }
    if (fasta.status == FastaStatus::kNotFasta) {
      doc.feedback().ShowMessage(kNotFasta);
      return false;
    }
    Protein model;
    model.structure = builder.BuildFromSequences(fasta.sequences);
    if (model.structure.atoms.empty()) {
      doc.feedback().ShowMessage(kFastaNotProcessed);
      return false;
    }
    model.fileName = BareName(path);
    model.ignoreHeteroAtoms = doc.generalOptions.ignoreHeteroAtoms != 0;
    if (!AnalyseModel(doc, model)) return false;
    ScanTransmembrane(model, doc.spanner2DParams);
    SumScores(model);
    // The row's result file is the one the residues are stored in; one write serves both.
    if (!doc.AddSummaryEntry(model)) doc.feedback().ShowMessage(kSpanner2DWriteFailed);
    if (onModel) onModel(model);
  }
  doc.feedback().DocumentChanged();
  return true;
}

}  // namespace tessmol
