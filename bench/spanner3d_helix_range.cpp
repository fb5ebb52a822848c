// Spanner3D with either typing of the helix model's residues (no helix range, or the whole
// model as one helix), with the segmentation method, with the membrane slab and with the
// default (the slab where a membrane is placed, segments otherwise), scored
// against structure-derived transmembrane segments (.span files, residues numbered 1.. in
// file order). A predicted segment counts as found when it overlaps an annotated one by at
// least 5 residues, each annotated segment matched once. Structures after --soluble must
// get no segment: the segments each method predicts on them are counted.
//
// Usage: bench_spanner3d_helix_range STRUCTURE.pdb SEGMENTS.span [...] [--soluble FILE...]
#include <cstdio>
#include <cstdlib>
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
    // A change of orientation or kind (two pieces of one run) starts a segment.
    if (i == 0 || !t.residues[i - 1].transmembrane ||
        t.residues[i - 1].tmTopology != t.residues[i].tmTopology ||
        t.residues[i - 1].kind != t.residues[i].kind)
      segments.push_back({number, number});
    segments.back().second = number;
  }
  return segments;
}

int Overlap(Segment a, Segment b) {
  return std::max(0, std::min(a.second, b.second) - std::max(a.first, b.first) + 1);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> pairs, soluble;
  for (int a = 1; a < argc; ++a) {
    if (std::string(argv[a]) == "--soluble") {
      for (++a; a < argc; ++a) soluble.push_back(argv[a]);
      break;
    }
    pairs.push_back(argv[a]);
  }
  if (pairs.size() < 2 || pairs.size() % 2 != 0) {
    std::fprintf(
        stderr, "usage: bench_spanner3d_helix_range STRUCTURE.pdb SEGMENTS.span [...] [--soluble FILE...]\n");
    return 2;
  }
  tessmol::ProcessState state(tessmol::ExecutableFolder());
  tessmol::SilentFeedback quiet;
  // The window scan with either helix typing of the model; the segmentation method, the
  // membrane slab and the default on the structure's own residues.
  constexpr int kMethods = 5;
  const char* names[kMethods] = {"no range", "whole model", "segments", "slab", "default"};
  const tessmol::TmMethod methods[kMethods] = {tessmol::TmMethod::kWindow, tessmol::TmMethod::kWindow,
                                               tessmol::TmMethod::kSegments, tessmol::TmMethod::kSlab,
                                               tessmol::TmMethod::kSlabElseSegments};
  const tessmol::ModelHelixRange ranges[2] = {tessmol::ModelHelixRange::kNone,
                                              tessmol::ModelHelixRange::kWholeModel};
  int totalAnnotated = 0, totalFound[kMethods] = {}, totalPredicted[kMethods] = {}, totalTrue[kMethods] = {};
  double endError[kMethods] = {};  // residues between matched ends, summed over both ends
  int solubleSegments[kMethods] = {}, solubleWith[kMethods] = {};
  std::printf("%-12s %9s", "structure", "annotated");
  for (const char* name : names) std::printf(" | %-11s found / predicted", name);
  std::printf("\n");
  auto open = [&](tessmol::CTessmolDoc& doc, const std::string& path) {
    tessmol::AnalysisSettings settings;
    settings.writeHelixInspection = false;
    doc.SetSettings(settings);
    state.CloseLog();
    return doc.OpenStructure(path) == tessmol::CTessmolDoc::OpenResult::kOpened;
  };
  auto run = [&](tessmol::CTessmolDoc& doc, int r) {
    tessmol::AnalysisSettings method = doc.settings();
    method.tmMethod = methods[r];
    doc.SetSettings(method);
    doc.RunSpanner3D(ranges[r < 2 ? r : 1]);
    return Predicted(doc.protein().transmembrane);
  };
  for (size_t a = 0; a + 1 < pairs.size(); a += 2) {
    tessmol::CTessmolDoc doc(state, quiet);
    if (!open(doc, pairs[a])) {
      std::fprintf(stderr, "cannot analyse %s\n", pairs[a].c_str());
      continue;
    }
    int residues = 0;
    const std::vector<Segment> annotated = ReadSpan(pairs[a + 1], residues);
    if (residues != static_cast<int>(doc.protein().structure.residues.size())) {
      std::fprintf(stderr, "%s: %d residues in the span file, %zu read\n", pairs[a].c_str(), residues,
                   doc.protein().structure.residues.size());
    }
    totalAnnotated += static_cast<int>(annotated.size());
    std::string name = pairs[a];
    name = name.substr(name.find_last_of('/') + 1);
    std::printf("%-12s %9zu", name.substr(0, 12).c_str(), annotated.size());
    for (int r = 0; r < kMethods; ++r) {
      const std::vector<Segment> predicted = run(doc, r);
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
            endError[r] += std::abs(p.first - annotated[t].first) + std::abs(p.second - annotated[t].second);
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
  for (const std::string& path : soluble) {
    tessmol::CTessmolDoc doc(state, quiet);
    if (!open(doc, path)) {
      std::fprintf(stderr, "cannot analyse %s\n", path.c_str());
      continue;
    }
    std::string name = path.substr(path.find_last_of('/') + 1);
    std::printf("%-12s %9s", name.substr(0, 12).c_str(), "soluble");
    for (int r = 0; r < kMethods; ++r) {
      const size_t count = run(doc, r).size();
      solubleSegments[r] += static_cast<int>(count);
      solubleWith[r] += count > 0 ? 1 : 0;
      std::printf(" | %-11s %4s   %-10zu", names[r], "", count);
    }
    std::printf("\n");
  }
  for (int r = 0; r < kMethods; ++r) {
    std::printf(
        "%-12s recall %.2f (%d of %d), precision %.2f (%d of %d predicted segments on an annotated one)",
        names[r], totalAnnotated ? double(totalFound[r]) / totalAnnotated : 0.0, totalFound[r],
        totalAnnotated, totalPredicted[r] ? double(totalTrue[r]) / totalPredicted[r] : 0.0, totalTrue[r],
        totalPredicted[r]);
    if (totalFound[r] > 0) std::printf("; ends %.1f residues off", endError[r] / (2.0 * totalFound[r]));
    if (!soluble.empty())
      std::printf("; soluble: %d of %zu with segments (%d segments)", solubleWith[r], soluble.size(),
                  solubleSegments[r]);
    std::printf("\n");
  }
  return 0;
}
