// Scores transmembrane predictions against annotated segments, all in the 3-line layout
// (">id", sequence, one label per residue: 1 or M in a transmembrane segment, anything
// else outside).
// A predicted segment is found when it overlaps an annotated one by at least 5 residues,
// each annotated segment matched at most once.
//
// Usage: bench_tm_score TRUTH.3line NAME=PREDICTIONS.3line...
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

std::map<std::string, std::string> ReadLabels(const std::string& path,
                                              std::vector<std::string>* order = nullptr) {
  std::map<std::string, std::string> labels;
  std::ifstream in(path);
  std::string id, sequence, label;
  while (std::getline(in, id) && std::getline(in, sequence) && std::getline(in, label)) {
    if (!id.empty() && id.back() == '\r') id.pop_back();
    if (!label.empty() && label.back() == '\r') label.pop_back();
    labels[id] = label;
    if (order) order->push_back(id);
  }
  return labels;
}

using Segment = std::pair<int, int>;

std::vector<Segment> Segments(const std::string& labels) {
  std::vector<Segment> segments;
  for (size_t i = 0; i < labels.size(); ++i) {
    auto membrane = [&](size_t k) { return labels[k] == '1' || labels[k] == 'M'; };
    if (!membrane(i)) continue;
    if (i == 0 || !membrane(i - 1)) segments.push_back({int(i), int(i)});
    segments.back().second = int(i);
  }
  return segments;
}

int Overlap(Segment a, Segment b) {
  return std::max(0, std::min(a.second, b.second) - std::max(a.first, b.first) + 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_tm_score TRUTH.3line NAME=PREDICTIONS.3line...\n");
    return 2;
  }
  std::vector<std::string> ids;
  const auto truth = ReadLabels(argv[1], &ids);
  std::printf("%-12s %8s %9s %9s %10s %8s\n", "predictor", "chains", "recall", "precision", "all right",
              "Q2");
  for (int a = 2; a < argc; ++a) {
    const std::string arg = argv[a];
    const size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const auto predicted = ReadLabels(arg.substr(eq + 1));
    int annotated = 0, predictedCount = 0, found = 0, chains = 0, perfect = 0;
    long residues = 0, agree = 0;
    for (const std::string& id : ids) {
      const auto p = predicted.find(id);
      if (p == predicted.end()) continue;
      const std::string& t = truth.at(id);
      ++chains;
      const auto ts = Segments(t);
      const auto ps = Segments(p->second);
      std::vector<bool> used(ts.size(), false);
      int matched = 0;
      for (const Segment& s : ps) {
        for (size_t k = 0; k < ts.size(); ++k) {
          if (!used[k] && Overlap(s, ts[k]) >= 5) {
            used[k] = true;
            ++matched;
            break;
          }
        }
      }
      annotated += int(ts.size());
      predictedCount += int(ps.size());
      found += matched;
      if (matched == int(ts.size()) && matched == int(ps.size())) ++perfect;
      for (size_t i = 0; i < t.size(); ++i) {
        ++residues;
        const char q = i < p->second.size() ? p->second[i] : '0';
        if ((q == '1' || q == 'M') == (t[i] == '1')) ++agree;
      }
    }
    std::printf("%-12s %8d %9.3f %9.3f %10.3f %8.3f\n", name.c_str(), chains,
                annotated ? double(found) / annotated : 0.0,
                predictedCount ? double(found) / predictedCount : 0.0,
                chains ? double(perfect) / chains : 0.0, residues ? double(agree) / residues : 0.0);
  }
  return 0;
}
