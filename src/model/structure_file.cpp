#include "model/structure_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/gzip.h"
#include "base/text.h"
#include "model/pdb_reader.h"

namespace tessmol {

StructureFormat DetectFormat(const std::string& text) {
  if (text.compare(0, 10, "STRUCTURE\t") == 0) return StructureFormat::kResult;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line(text.data() + at, end - at);
    const size_t first = line.find_first_not_of(" \t\r");
    if (first != std::string_view::npos && line[first] != '#') {
      // Reserved words of CIF are case-insensitive: DATA_ opens a block as data_ does.
      const std::string_view word = line.substr(first, 5);
      const bool data = word.size() == 5 && std::equal(word.begin(), word.end(), "data_", [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) == b;
                        });
      return data ? StructureFormat::kMmcif : StructureFormat::kPdb;
    }
    at = end + 1;
  }
  return StructureFormat::kPdb;
}

std::string ConfidenceRefusedWarning(const StructureFile& file, const std::string& name) {
  const std::string experimental = name + " is analysed as an experimental structure, without confidence";
  if (file.confidenceOutOfRange && std::isnan(*file.confidenceOutOfRange))
    return "Warning: a value read as pLDDT from " + name + " is no number: " + experimental;
  if (file.confidenceOutOfRange) {
    return "Warning: the pLDDT read from " + name + " runs to " + FormatNumber(*file.confidenceOutOfRange) +
           ", beyond 0 to 100: " + experimental;
  }
  if (!file.confidenceExperiment.empty()) {
    return "Warning: " + name + " names the experiment that measured it (" + file.confidenceExperiment +
           "): its B-factors are not read as pLDDT, and " + experimental;
  }
  if (file.confidenceAnalysis) {
    return "Warning: " + name +
           " says its B-factor column holds values of an analysis, not pLDDT: " + experimental;
  }
  return {};
}

std::string NoProteinReason(const StructureFile& file) {
  if (file.sequenceText && file.structure.atoms.empty() && file.structure.hetAtoms.empty())
    return "it is a FASTA file of sequences, which spanner2d reads";
  if (!file.structure.atoms.empty() || file.structure.hetAtoms.empty()) return {};
  return file.summary.nucleotides > 0 ? "it holds DNA or RNA and no protein"
                                      : "it holds heteroatoms only (HETATM records), no protein";
}

std::string ConfidenceRefusedReason(const StructureFile& file) {
  if (file.confidenceOutOfRange && std::isnan(*file.confidenceOutOfRange))
    return "a value read as pLDDT is no number";
  if (file.confidenceOutOfRange)
    return "the values read as pLDDT run to " + FormatNumber(*file.confidenceOutOfRange) +
           ", beyond 0 to 100";
  if (!file.confidenceExperiment.empty())
    return "the file names the experiment that measured it, " + file.confidenceExperiment;
  if (file.confidenceAnalysis) return "the file says its B-factor column holds values of an analysis";
  return {};
}

void AssignConfidence(StructureFile& file, const ModelEvidence& evidence, const std::vector<float>& bFactors,
                      const std::vector<std::pair<std::string, int32_t>>& labels, ConfidenceSource source) {
  Structure& s = file.structure;
  if (!evidence.predicted && source != ConfidenceSource::kBFactors) return;
  if (bFactors.size() != s.residues.size()) return;
  // A crystal's or an NMR ensemble's B-factors are no pLDDT, whatever the user asked of a
  // list that mixes them with models.
  if (!evidence.predicted && !evidence.experiment.empty()) {
    file.confidenceExperiment = evidence.experiment;
    return;
  }
  // A copy whose B-factor column was written over (the readers note its remark or item)
  // is a model only where its own scores, ModelCIF's, remain; refused only when asked for.
  if (evidence.analysisValues && evidence.localScores.empty()) {
    file.confidenceAnalysis = source == ConfidenceSource::kBFactors;
    return;
  }
  s.confidence = bFactors;
  if (!evidence.localScores.empty() && labels.size() == s.residues.size()) {
    for (size_t k = 0; k < labels.size(); ++k) {
      if (auto found = evidence.localScores.find(labels[k]); found != evidence.localScores.end())
        s.confidence[k] = found->second;
    }
  }
  if (!s.confidence.empty() &&
      std::all_of(s.confidence.begin(), s.confidence.end(), [](float v) { return v >= 0.0f && v <= 1.0f; })) {
    for (float& v : s.confidence) v *= 100.0f;
    file.plddtScaled = true;
  }
  // pLDDT runs from 0 to 100: values beyond it (a crystal's B-factors, a damaged file) are
  // no confidence, and taking them for one would write result files no reader accepts.
  if (!std::all_of(s.confidence.begin(), s.confidence.end(),
                   [](float v) { return v >= 0.0f && v <= 100.0f; })) {
    float farthest = 0.0f;
    for (float v : s.confidence)
      if (std::abs(v - 50.0f) > std::abs(farthest - 50.0f) || std::isnan(v)) farthest = v;
    file.confidenceOutOfRange = farthest;
    s.confidence.clear();
    file.plddtScaled = false;
    return;
  }
  s.modelSource = evidence.predicted ? evidence.source : std::string("B-factors as pLDDT");
}

StructureFile ReadStructureText(const std::string& text, const std::string& name,
                                const HetAtomRadii& hetRadii, ConfidenceSource confidence) {
  StructureFile file;
  file.format = DetectFormat(text);
  if (file.format == StructureFormat::kResult) {
    file.status = FileStatus::Format(name, 1, "a Tessmol result file, not a structure");
    return file;
  }
  if (file.format == StructureFormat::kMmcif) {
    StructureBuilder builder(hetRadii);
    file.status = ReadMmcif(text, name, builder, file.isNMR);
    file.summary = builder.summary();
    file.structure = builder.Finish();
    AssignConfidence(file, builder.evidence(), builder.residueBFactors(), builder.residueLabels(),
                     confidence);
  } else {
    PdbReader reader(hetRadii);
    file.status = reader.Read(std::string_view(text), name);
    file.summary = reader.summary();
    file.isNMR = reader.isNMR();
    file.structure = std::move(reader.structure());
    AssignConfidence(file, reader.evidence(), reader.residueBFactors(), {}, confidence);
  }
  file.hadSecondaryStructure = !file.structure.helices.empty() || !file.structure.sheets.empty();
  if (file.structure.atoms.empty() && file.structure.hetAtoms.empty()) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    file.sequenceText = first != std::string::npos && text[first] == '>';
  }
  return file;
}

StructureFile ReadStructure(const std::string& path, const HetAtomRadii& hetRadii, uint64_t maxUnpackedBytes,
                            ConfidenceSource confidence) {
  std::string text;
  StructureFile file;
  bool compressed = false;
  file.status = ReadFileText(path, text, &compressed, maxUnpackedBytes);
  if (!file.status) return file;
  file = ReadStructureText(text, path, hetRadii, confidence);
  file.compressed = compressed;
  return file;
}

}  // namespace tessmol
