// Spanner3D and Spanner2D: transmembrane segments from ideal-helix models of the open
// structure's sequence or of FASTA sequences. The models and the scan are the
// transmembrane layer's; what the document does with them (flags, rows, result files,
// messages) is here.
#include <algorithm>

#include "base/text.h"
#include "document/result_file.h"
#include "document/tessmol_doc.h"
#include "scoring/residue_scores.h"
#include "surface/sasa.h"
#include "transmembrane/fasta.h"
#include "transmembrane/helix_builder.h"
#include "transmembrane/membrane_slab.h"
#include "transmembrane/scan.h"
#include "transmembrane/segments.h"

namespace tessmol {

bool CTessmolDoc::AnalyseModel(Protein& model, SurfacePoints* points) {
  SilentFeedback quiet;
  model.Load(quiet);
  SasaSettings sasa;
  sasa.threads = settings_.threads;
  sasa.log = state_.logFile();
  std::optional<SurfaceResult> surface;
  if (points == nullptr) {
    surface = CalculateSASA(model, settings_.sasaResolution, state_.programFolder(), feedback_, sasa);
  } else {
    // The run's point set, read and grouped for its first model.
    if (points->empty())
      *points = ReadSurfacePoints(settings_.sasaResolution, state_.programFolder(), feedback_);
    if (!points->empty()) surface = CalculateSASA(model, *points, feedback_, sasa);
  }
  model.neighbourGrid.reset();
  if (!surface) return false;
  model.surface = std::move(*surface);
  model.scores = ScoreResidues(model.structure, model.surface, state_.scoringTable);
  model.transmembrane = TransmembraneResult::None(model.structure.residues.size());
  return true;
}

namespace {

// Marks a chain's `count` residues from `first` by the segments, with their orientation.
void MarkSegments(std::vector<ResidueMembrane>& residues, int32_t first, int32_t count,
                  const std::vector<TmSegment>& segments, int signalEnd = 0) {
  for (int32_t i = 0; i < count; ++i) residues[first + i] = {};
  // A signal peptide is no transmembrane segment: its residues keep the flag off.
  for (int32_t i = 0; i < signalEnd && i < count; ++i) residues[first + i].kind = SegmentKind::kSignalPeptide;
  for (const TmSegment& s : segments) {
    for (int i = s.first; i <= s.last; ++i) {
      residues[first + i].transmembrane = true;
      residues[first + i].tmTopology = s.nInside ? 1 : -1;
    }
  }
}

// A predicted model's residues placed with low confidence are in no segment: where they
// lie is a guess.
void LeaveOutLowConfidence(const Structure& structure, TransmembraneResult& result) {
  const SlabSearch defaults;
  if (structure.confidence.size() != structure.residues.size()) return;
  result.lowConfidence = 0;
  for (size_t i = 0; i < result.residues.size(); ++i) {
    if (structure.confidence[i] >= defaults.minConfidence) continue;
    result.residues[i] = {};
    ++result.lowConfidence;
  }
}

}  // namespace

TransmembraneResult SlabResult(const Structure& structure, const std::vector<MembranePlacement>& slabs) {
  TransmembraneResult result = TransmembraneResult::None(structure.residues.size());
  for (const MembranePlacement& slab : slabs) {
    result.lowConfidence = slab.lowConfidence;
    for (const SlabSegment& segment : slab.segments) {
      for (int32_t i = segment.first; i <= segment.last; ++i)
        result.residues[i] = {true, static_cast<int8_t>(segment.nInside ? 1 : -1), segment.kind};
    }
  }
  return result;
}

bool CTessmolDoc::SegmentParamsReady() {
  if (state_.segmentParamsStatus) return true;
  feedback_.ShowMessage("Error: the segmentation method has no parameters: " +
                        state_.segmentParamsStatus.Describe());
  return false;
}

TransmembraneResult CTessmolDoc::SegmentStructure(const Structure& structure, const ScoreResult* scores,
                                                  const std::vector<int>* types) const {
  const SegmentParams& p = state_.segmentParams;
  TransmembraneResult result = TransmembraneResult::None(structure.residues.size());
  for (const Chain& chain : structure.chains) {
    // A gap in the numbering is a stretch the structure does not have: no segment spans it.
    for (int32_t first = chain.firstResidue; first >= 0 && first <= chain.lastResidue;) {
      int32_t last = first;
      while (last < chain.lastResidue &&
             structure.residues[last + 1].resSeq - structure.residues[last].resSeq <= 1)
        ++last;
      SegmentPiece(structure, first, last, scores, p, result, types);
      first = last + 1;
    }
  }
  return result;
}

void CTessmolDoc::SegmentPiece(const Structure& structure, int32_t first, int32_t last,
                               const ScoreResult* scores, const SegmentParams& p, TransmembraneResult& result,
                               const std::vector<int>* sequenceTypes) const {
  const int32_t count = last - first + 1;
  std::vector<int> types;
  bool polypeptide = false;
  for (int32_t i = first; i <= last; ++i) {
    types.push_back(sequenceTypes != nullptr ? (*sequenceTypes)[i] : structure.residues[i].type);
    polypeptide = polypeptide || structure.residues[i].type < kResidueTypeCount;
  }
  if (count < p.minLength || !polypeptide) {
    MarkSegments(result.residues, first, count, {});
    return;
  }
  std::vector<float> evidence;
  if (scores != nullptr) {
    // The structure's own evidence: how much better each residue scores as if in the
    // bilayer than in its place in water, both as log-odds.
    for (int32_t i = first; i <= last; ++i) {
      const ResidueScore& r = scores->residues[i];
      evidence.push_back(p.structureWeight * (r.kavelinScore - r.solventScore));
    }
  }
  // A signal peptide is only one at the chain's start: a later piece has none. Nor has an
  // experimental structure: what was crystallised or measured is the mature chain, its
  // signal peptide cut off before it folded. Sequences (scores == nullptr) and predicted
  // models, which show the whole precursor, keep it.
  SegmentParams piece = p;
  const bool chainStart = std::any_of(structure.chains.begin(), structure.chains.end(),
                                      [&](const Chain& c) { return c.firstResidue == first; });
  const bool experimental = scores != nullptr && structure.confidence.empty();
  if (!chainStart || experimental) {
    piece.signalMax = 0;  // no prefix is long enough
    for (SegmentParams& member : piece.others) member.signalMax = 0;
  }
  const ChainTopology topology = PredictTopology(types, piece, scores != nullptr ? &evidence : nullptr);
  MarkSegments(result.residues, first, count, topology.segments, topology.signalEnd);
}

bool CTessmolDoc::RunSpanner3D(ModelHelixRange range) {
  if (!structureLoaded_) {
    feedback_.ShowMessage(kNoStructureSelected);
    return false;
  }
  protein_.membranes.clear();
  protein_.parameters.method = MethodName(settings_.tmMethod);
  const TmMethod method = settings_.tmMethod;
  if (method == TmMethod::kSlab || method == TmMethod::kSlabElseSegments) {
    PlaceMembraneOnStructure();
    bool placed = false;
    for (const MembranePlacement& m : protein_.membranes) placed = placed || m.placed;
    if (placed || method == TmMethod::kSlab) {
      protein_.transmembrane = SlabResult(protein_.structure, protein_.membranes);
      return FinishSpanner3D();
    }
    // No membrane fits the surface: the sequence's own evidence decides, as with segments.
  }
  if (method == TmMethod::kSegments || method == TmMethod::kSlabElseSegments) {
    if (!SegmentParamsReady()) return false;
    protein_.transmembrane = SegmentStructure(protein_.structure, &protein_.scores);
    LeaveOutLowConfidence(protein_.structure, protein_.transmembrane);
    return FinishSpanner3D();
  }
  HelixBuilder builder(state_.programFolder(), feedback_);
  if (!settings_.writeHelixInspection) builder.inspectionPath.clear();
  Protein model;
  model.structure = builder.BuildFromStructure(protein_.structure, range);
  // The model keeps the source's heteroatom list, but waters and ligands placed around
  // the real structure have nothing to do with an ideal helix: they stay out.
  model.ignoreHeteroAtoms = true;
  if (!AnalyseModel(model)) return false;
  const TransmembraneResult scanned =
      ScanTransmembrane(model.structure, model.surface, model.scores, settings_.spanner2DParams);
  // A missing amino-acid template was reported: the flags come from a model lacking side
  // chains. Residues of other names (UNK, modified residues) have no template by design.
  const bool complete = !builder.MissesAminoAcidTemplate();
  if (complete && !builder.missingNames.empty())
    feedback_.ShowMessage(NoTemplateWarning(builder.missingNames));

  // The model has the structure's residues in order; the scan gives no orientation.
  std::vector<ResidueMembrane>& residues = protein_.transmembrane.residues;
  for (size_t i = 0; i < residues.size() && i < scanned.residues.size(); ++i)
    residues[i] = {scanned.residues[i].transmembrane, 0};
  LeaveOutLowConfidence(protein_.structure, protein_.transmembrane);
  return FinishSpanner3D() && complete;
}

bool CTessmolDoc::PlaceMembraneOnStructure() {
  if (!structureLoaded_) {
    feedback_.ShowMessage(kNoStructureSelected);
    return false;
  }
  protein_.membranes = PlaceMembranes(protein_);
  return true;
}

std::vector<MembranePlacement> CTessmolDoc::PlaceMembranes(const Protein& protein) {
  SlabSearch search;
  search.threads = settings_.threads;
  SilentFeedback quiet;
  // The areas at hand serve when no heteroatom covered them. A stored result keeps no
  // heteroatoms but areas that they covered (its parameters count them): those are measured
  // again, so that a result gets the placement of the structure it came from.
  const bool covered = !protein.structure.hetAtoms.empty() || protein.parameters.coveringHetAtoms > 0;
  if (protein.ignoreHeteroAtoms || !covered)
    return tessmol::PlaceMembranes(protein.structure, protein.surface, search, quiet);
  Protein bare;
  bare.structure = protein.structure;
  bare.ignoreHeteroAtoms = true;
  bare.Load(quiet);
  SasaSettings sasa;
  sasa.threads = settings_.threads;
  std::optional<SurfaceResult> surface =
      CalculateSASA(bare, settings_.sasaResolution, state_.programFolder(), feedback_, sasa);
  if (!surface) return {};
  return tessmol::PlaceMembranes(bare.structure, *surface, search, quiet);
}

bool CTessmolDoc::FinishSpanner3D() {
  SumScores(protein_.transmembrane, protein_.scores);
  // The flags go to the row's own result file, which the row, show and a double-click read.
  const bool hasRow =
      currentEntry_ && *currentEntry_ >= 0 && *currentEntry_ < static_cast<int>(entries_.size());
  const std::string path =
      hasRow ? entries_[*currentEntry_].resultPath : ResultFolder() + ResultNameFor(protein_.fileName);
  bool ok = true;
  if (hasRow) {
    // The row shows what the analysis gave, written or not: the average and the window
    // test now take the segments' scores.
    AnalysisEntry& row = entries_[*currentEntry_];
    ScoreRow(row, protein_, row.scoreTableName.empty() ? scoreTable_.fileName : row.scoreTableName,
             scoreTable_, protein_.confidentPlddt);
  }
  if (const FileStatus written = WriteResult(protein_, path); !written) {
    const std::string message = WithFile(kSpanner3DWriteFailed, written);
    feedback_.ShowMessage(message);
    if (hasRow) entries_[*currentEntry_].unstored = message;
    ok = false;
  } else if (hasRow) {
    entries_[*currentEntry_].unstored.clear();  // the row's file now holds it
  }
  feedback_.DocumentChanged();
  return ok;
}

std::string FastaOpenFailure(const FileStatus& status, const std::string& path) {
  if (status.problem == FileProblem::kMissing) return "Error: Failed to open " + path;
  if (status.problem != FileProblem::kUnreadable) return {};
  return "Error: Failed to open " + path + (status.detail.empty() ? "" : ": " + status.detail);
}

namespace {

// Why a FASTA file cannot be read at all, or nothing when its records can be.
std::string FastaOpenError(const FastaReader& reader, const std::string& path) {
  if (std::string failure = FastaOpenFailure(reader.status(), path); !failure.empty()) return failure;
  if (!reader.status()) {
    const std::string& detail = reader.status().detail;
    return WithFile(kNotFasta, path) + (detail == kFastaNoHeader ? "" : ": " + detail);
  }
  return {};
}

}  // namespace

bool CTessmolDoc::RunSpanner2D(const std::vector<std::string>& paths,
                               const std::function<void(size_t, const Protein&, const FastaRecord&)>& onModel,
                               const std::function<void(size_t, const FastaRecord&)>& onFailure,
                               bool keepResults, bool pastUnreadable) {
  HelixBuilder builder(state_.programFolder(), feedback_);
  if (!settings_.writeHelixInspection) builder.inspectionPath.clear();
  // A sequence has no structure to place a slab on: `auto` segments it.
  const bool segments =
      settings_.tmMethod == TmMethod::kSegments || settings_.tmMethod == TmMethod::kSlabElseSegments;
  if (segments && !SegmentParamsReady()) return false;
  if (settings_.tmMethod == TmMethod::kSlab) {
    feedback_.ShowMessage(kSlabNeedsStructure);
    return false;
  }
  BeginRun(paths);
  bool ok = true;
  SurfacePoints points;
  for (size_t file = 0; file < paths.size(); ++file) {
    const std::string& path = paths[file];
    FastaReader reader(path, MebibytesToBytes(settings_.maxUnpackedMiB));
    if (const std::string error = FastaOpenError(reader, path); !error.empty()) {
      feedback_.ShowMessage(error);
      if (!pastUnreadable) return false;
      ok = false;
      continue;
    }
    // One record is modelled at a time; each is its own model, so a record's result does
    // not depend on its neighbours in the file.
    FastaRecord record;
    while (reader.Next(record)) {
      const std::string where = FastaRecordPlace(path, record);
      // A faulty record is named and left out; the records after it are still modelled.
      if (!record.fault) {
        feedback_.ShowMessage(FastaRecordFault(path, record));
        ok = false;
        if (onFailure) onFailure(file, record);
        continue;
      }
      for (const std::string& warning : RecordWarnings(where, record)) feedback_.ShowMessage(warning);
      Protein model;
      model.structure = builder.BuildFromSequences({record.sequence});
      // A missing amino-acid template leaves residues without side chains: a wrong model,
      // not a result.
      if (builder.MissesAminoAcidTemplate()) ok = false;
      model.fileName = BareName(path);
      model.fastaRecord = record.name;
      model.ignoreHeteroAtoms = settings_.ignoreHeteroAtoms;
      model.parameters = ParametersFor(settings_, scoreTable_.fileName);
      model.parameters.method = segments ? MethodName(TmMethod::kSegments) : MethodName(settings_.tmMethod);
      if (!AnalyseModel(model, &points)) return false;
      const std::vector<int> letters = TypesOfSequence(record.sequence);
      model.transmembrane =
          segments
              ? SegmentStructure(model.structure, nullptr,
                                 letters.size() == model.structure.residues.size() ? &letters : nullptr)
              : ScanTransmembrane(model.structure, model.surface, model.scores, settings_.spanner2DParams);
      SumScores(model.transmembrane, model.scores);
      // The row's result file is the one the residues are stored in; one write serves both.
      if (keepResults) {
        if (const FileStatus written = AddSummaryEntry(model); !written) {
          feedback_.ShowMessage(WithFile(kSpanner2DWriteFailed, written));
          ok = false;
        }
      }
      if (onModel) onModel(file, model, record);
    }
    if (!reader.status()) {
      feedback_.ShowMessage(reader.status().Describe());
      ok = false;
    }
  }
  feedback_.DocumentChanged();
  return ok;
}

}  // namespace tessmol
