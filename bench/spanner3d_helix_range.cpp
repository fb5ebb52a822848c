// Spanner3D with either typing of the helix model's residues (no helix range, or the whole
// model as one helix), with the segmentation method and with the membrane slab, scored
// against structure-derived transmembrane segments (.span files, residues numbered 1.. in
// file order). A predicted segment counts as found when it overlaps an annotated one by at
// least 5 residues, each annotated segment matched once.
//
// Usage: bench_spanner3d_helix_range STRUCTURE.pdb SEGMENTS.span [...]
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "base/program_folder.h"
#include "document/tessmol_doc.h"

namespace {

using Segment = std::pair<int, int>;  // first and last residue, numbered from 1

std::vector<Segment> ReadSpan(const std::string& path, int& residues) {
  std::ifstream in(path);
  std::string line;
  std::vector<Segment> segments;
  std::getline(in, line);  // title
  int count = 0;
  in >> count >> residues;
  std::getline(in, line);
  std::getline(in, line);  // antiparallel
  std::getline(in, line);  // n2c
  int first, last;
  while (in >> first >> last) segments.push_back({first, last});
  return segments;
}

std::vector<Segment> Predicted(const tessmol::TransmembraneResult& t) {
  std::vector<Segment> segments;
  for (size_t i = 0; i < t.residues.size(); ++i) {
    if (!t.residues[i].transmembrane) continue;
    const int number = static_cast<int>(i) + 1;
    if (i == 0 || !t.residues[i - 1].transmembrane) segments.push_back({number, number});
    segments.back().second = number;
  }
  return segments;
}

int Overlap(Segment a, Segment b) {
  return std::max(0, std::min(a.second, b.second) - std::max(a.first, b.first) + 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc % 2 == 0) {
    std::fprintf(stderr, "usage: bench_spanner3d_helix_range STRUCTURE.pdb SEGMENTS.span [...]\n");
    return 2;
  }
  tessmol::ProcessState state(tessmol::ExecutableFolder());
  tessmol::SilentFeedback quiet;
  // The window scan with either helix typing of the model; the segmentation method and the
  // membrane slab on the structure's own residues.
  const char* names[4] = {"no range", "whole model", "segments", "slab"};
  const tessmol::ModelHelixRange ranges[2] = {tessmol::ModelHelixRange::kNone,
                                              tessmol::ModelHelixRange::kWholeModel};
  int totalAnnotated = 0, totalFound[4] = {}, totalPredicted[4] = {}, totalTrue[4] = {};
  std::printf("%-12s %9s | %-28s | %-28s | %-28s | %-28s\n", "structure", "annotated",
              "no range: found / predicted", "whole model: found / predicted", "segments: found / predicted",
              "slab: found / predicted");
  for (int a = 1; a + 1 < argc; a += 2) {
    tessmol::CTessmolDoc doc(state, quiet);
    tessmol::AnalysisSettings settings;
    settings.writeHelixInspection = false;
    doc.SetSettings(settings);
    state.CloseLog();
    if (doc.OpenStructure(argv[a]) != tessmol::CTessmolDoc::OpenResult::kOpened) {
      std::fprintf(stderr, "cannot analyse %s\n", argv[a]);
      continue;
    }
    int residues = 0;
    const std::vector<Segment> annotated = ReadSpan(argv[a + 1], residues);
    if (residues != static_cast<int>(doc.protein().structure.residues.size())) {
      std::fprintf(stderr, "%s: %d residues in the span file, %zu read\n", argv[a], residues,
                   doc.protein().structure.residues.size());
    }
    totalAnnotated += static_cast<int>(annotated.size());
    std::string name = argv[a];
    name = name.substr(name.find_last_of('/') + 1);
    std::printf("%-12s %9zu", name.substr(0, 12).c_str(), annotated.size());
    for (int r = 0; r < 4; ++r) {
      tessmol::AnalysisSettings method = doc.settings();
      method.tmMethod = r == 3   ? tessmol::TmMethod::kSlab
                        : r == 2 ? tessmol::TmMethod::kSegments
                                 : tessmol::TmMethod::kWindow;
      doc.SetSettings(method);
      doc.RunSpanner3D(ranges[r < 2 ? r : 1]);
      const std::vector<Segment> predicted = Predicted(doc.protein().transmembrane);
      std::vector<bool> used(annotated.size(), false);
      int found = 0, onTarget = 0;
      for (const Segment& p : predicted) {
        bool hit = false;
        for (size_t t = 0; t < annotated.size(); ++t) {
          if (Overlap(p, annotated[t]) < 5) continue;
          hit = true;
          if (!used[t]) {
            used[t] = true;
            ++found;
            break;
          }
        }
        if (hit) ++onTarget;
      }
      totalFound[r] += found;
      totalPredicted[r] += static_cast<int>(predicted.size());
      totalTrue[r] += onTarget;
      std::printf(" | %-11s %4d / %-10zu", names[r], found, predicted.size());
    }
    std::printf("\n");
  }
  for (int r = 0; r < 4; ++r) {
    std::printf(
        "%-12s recall %.2f (%d of %d), precision %.2f (%d of %d predicted segments on an annotated one)\n",
        names[r], totalAnnotated ? double(totalFound[r]) / totalAnnotated : 0.0, totalFound[r],
        totalAnnotated, totalPredicted[r] ? double(totalTrue[r]) / totalPredicted[r] : 0.0, totalTrue[r],
        totalPredicted[r]);
  }
  return 0;
}
