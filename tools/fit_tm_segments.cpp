// Fits the parameters of the segmentation method (transmembrane/segments.h) on the
// training chains and nothing else, and cross-validates them. By default the joint
// labelling (FitJoint below): one multinomial window model of inside, outside, membrane
// and signal, the grammar's costs by a coordinate search on the same objective as below
// plus the share of signal-peptide chains told right, and both chain-level decisions over
// each candidate's decodings. With --separate, the earlier method:
//   1. the membrane model: logistic regression of "in a transmembrane helix" on the
//      residue types within +-10 residues and the distance from the N-terminus, over every
//      residue of the training chains (topology_train, train328, soluble3209);
//   2. the signal model: the same for "in a signal peptide", over the first 60 residues of
//      the topology_train chains (the only ones labelled for it), and the decision whether
//      the best N-terminal prefix is a signal peptide (a logistic model over
//      SignalFeatures; calls on membrane chains weigh four times);
//   3. the segmentation's bias, cost, window, lengths, loops and positive-inside term by a
//      coordinate search that maximises segment F1 plus the share of membrane chains
//      predicted all right plus the share with all segments and the N-terminal side right
//      (single-pass chains weighted up), with at most 1 % of the soluble chains of
//      topology_train and 1 % of soluble3209 given a segment; for each candidate, the
//      membrane-or-soluble decision (a logistic model over the best set's features,
//      ChainFeatures) is fitted on the same training chains.
// Folds: topology_train's own (cv0 to cv4, homology partitions). A train328 or soluble3209
// chain that topology_train flags as similar goes to the fold of the topology_train
// protein it shares the most distinct 5-mers with (at least 10); every other chain to the
// fold given by a hash of its name (FNV-1a mod 5). Each chain is predicted by the fit of
// the four folds without it; the final fit uses every chain and is written out.
// The joint method is an ensemble (bagging over training orders, Breiman 1996): the same
// fit --members times, the per-residue model trained in the orders seeded SEED, SEED + 1,
// ...; a chain's prediction is the members' medoid (TopologyMedoid). One order's fit moves
// Qok by up to 0.02 either way, and the medoid of three sits above their mean.
//
// Usage: fit_tm_segments [--separate] [--seed N] [--members N] TM_DATA_FOLDER OUT.txt
//                        [CV-PREDICTIONS.3line]
// TM_DATA_FOLDER holds topology_train.3line, topology_train.tsv, train328.truth.3line and
// soluble3209.fasta. The last file gets each topology_train chain's cross-validated
// prediction (S signal peptide, M segment, i/o loops, - unknown).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/structure.h"
#include "transmembrane/segments.h"

namespace {

// The single-anchor rule (SegmentParams::isolatedGap).
constexpr int kIsolatedGap = 60;
constexpr float kIsolatedHydropathy = 1.5f;

using tessmol::ChainTopology;
using tessmol::SegmentParams;
using tessmol::TmSegment;
using tessmol::WindowModel;

enum class Source { kTopology, kTrain328, kSoluble };

constexpr double kMembraneSignalWeight = 4.0;
constexpr int kSideReach = 20;
constexpr int kLabelEpochs = 10;
// The order the per-residue models see the residues in (a seeded shuffle): the same seed,
// the same model. The shipped file is fitted with this one.
constexpr unsigned kDefaultSeed = 20261207u;
// The ensemble: members fitted with the seeds from kDefaultSeed on, one apart.
constexpr int kDefaultMembers = 3;
constexpr double kJointSolubleLimit = 0.006;
// A residue in a loop whose side its window cannot tell (far from every helix): the
// model learns even odds for inside and outside there, so that no helix is placed only
// to move a soluble domain to the side its composition happens to favour.
constexpr unsigned char kEvenOdds = 128;
constexpr unsigned char kEitherSide = 3 | kEvenOdds;
constexpr unsigned char kEitherCap = 1 << tessmol::kLabelCapInside | 1 << tessmol::kLabelCapOutside;

struct Chain {
  std::string id, cls, sequence;
  Source source = Source::kTopology;
  std::vector<int> types;
  std::vector<char> inHelix;  // per residue
  std::vector<char> inSignal;
  // The labels each residue may have, one bit per LabelIndex: one bit where the data say
  // which, i and o where they say only "not in a helix".
  std::vector<unsigned char> allowed;
  std::vector<std::pair<int, int>> truth;
  int signalEnd = 0;
  char firstSide = '-';  // I or O after any signal peptide, for membrane chains
  int fold = 0;
  bool membrane = false;  // has helices to find
  std::string similar;    // topology_train's flag
};

std::vector<std::pair<int, int>> Runs(const std::vector<char>& flags) {
  std::vector<std::pair<int, int>> runs;
  for (size_t i = 0; i < flags.size(); ++i) {
    if (!flags[i]) continue;
    if (i == 0 || !flags[i - 1]) runs.push_back({int(i), int(i)});
    runs.back().second = int(i);
  }
  return runs;
}

uint32_t Hash(const std::string& text) {
  uint32_t h = 2166136261u;
  for (unsigned char c : text) h = (h ^ c) * 16777619u;
  return h;
}

// A helix's first and last residues are labelled by the side they face (HelixLabel): the
// side it is entered from is that of the loop before it, else the opposite of the loop
// after; with neither labelled (train328's sides are PDBTM's), either cap will do.
void MarkCaps(Chain& c, const std::string& labels) {
  const int n = static_cast<int>(c.allowed.size());
  auto side = [&](int i) { return i >= 0 && i < n && i < int(labels.size()) ? labels[i] : '-'; };
  for (const auto& [first, last] : c.truth) {
    const char before = side(first - 1), after = side(last + 1);
    const bool known = before == 'I' || before == 'O' || after == 'I' || after == 'O';
    const bool fromInside = before == 'I' || before == 'O' ? before == 'I' : after == 'O';
    const int length = last - first + 1;
    for (int i = first; i <= last; ++i) {
      const int label = tessmol::HelixLabel(i - first, length, fromInside);
      if (label == tessmol::kLabelMembrane) continue;
      c.allowed[i] = known ? static_cast<unsigned char>(1 << label) : kEitherCap;
    }
  }
}

bool ReadTopology(const std::string& folder, std::vector<Chain>& chains) {
  std::ifstream table(folder + "/topology_train.tsv");
  std::map<std::string, std::pair<int, std::string>> folds;
  std::string line;
  std::getline(table, line);
  while (std::getline(table, line)) {
    std::istringstream f(line);
    std::string id, cls, fold, tm, beta, side, similar;
    f >> id >> cls >> fold >> tm >> beta >> side >> similar;
    folds[id] = {fold.size() == 3 ? fold[2] - '0' : 0, similar};
  }
  std::ifstream in(folder + "/topology_train.3line");
  std::string header, sequence, labels;
  while (std::getline(in, header) && std::getline(in, sequence) && std::getline(in, labels)) {
    Chain c;
    std::istringstream h(header.substr(1));
    std::string bar;
    h >> c.id >> bar >> c.cls;
    c.sequence = sequence;
    c.types = tessmol::TypesOfSequence(sequence);
    for (char l : labels) {
      c.inHelix.push_back(l == 'M');
      c.inSignal.push_back(l == 'S');
      c.allowed.push_back(l == 'I' ? 1 : l == 'O' ? 2 : l == 'M' ? 4 : l == 'S' ? 8 : 3);
    }
    c.truth = Runs(c.inHelix);
    MarkCaps(c, labels);
    // Inside and outside are told only near a helix, where the positive-inside rule and
    // the helix's flanks say which: a whole soluble domain's side is not in its residues
    // (a GLOB chain is "I" by convention, an SP chain's mature part "O").
    for (size_t i = 0; i < c.allowed.size(); ++i) {
      if (c.allowed[i] != 1 && c.allowed[i] != 2) continue;
      bool near = false;
      for (const auto& [first, last] : c.truth)
        near = near || (int(i) >= first - kSideReach && int(i) <= last + kSideReach);
      if (!near) c.allowed[i] = kEitherSide;
    }
    while (c.signalEnd < int(labels.size()) && labels[c.signalEnd] == 'S') ++c.signalEnd;
    if (c.signalEnd < int(labels.size())) c.firstSide = labels[c.signalEnd];
    c.membrane = c.cls == "TM" || c.cls == "SP+TM";
    const auto found = folds.find(c.id);
    if (found == folds.end()) return false;
    c.fold = found->second.first;
    c.similar = found->second.second;
    chains.push_back(std::move(c));
  }
  return !chains.empty();
}

// The fold of the flagged topology_train protein sharing the most distinct 5-mers with
// the chain, or -1 when none shares 10.
struct KmerLinks {
  std::unordered_map<std::string, std::vector<int>> index;  // 5-mer -> flagged chains
  const std::vector<Chain>* chains = nullptr;

  KmerLinks(const std::vector<Chain>& all, const std::string& flag) : chains(&all) {
    for (size_t k = 0; k < all.size(); ++k) {
      if (all[k].similar != flag) continue;
      std::unordered_set<std::string> seen;
      for (size_t i = 0; i + 5 <= all[k].sequence.size(); ++i) seen.insert(all[k].sequence.substr(i, 5));
      for (const std::string& kmer : seen) index[kmer].push_back(int(k));
    }
  }
  int Fold(const std::string& sequence) const {
    std::unordered_set<std::string> seen;
    for (size_t i = 0; i + 5 <= sequence.size(); ++i) seen.insert(sequence.substr(i, 5));
    std::unordered_map<int, int> shared;
    for (const std::string& kmer : seen) {
      const auto at = index.find(kmer);
      if (at == index.end()) continue;
      for (int k : at->second) ++shared[k];
    }
    int best = -1, count = 9;
    for (const auto& [k, n] : shared) {
      if (n > count || (n == count && best >= 0 && k < best)) {
        best = k;
        count = n;
      }
    }
    return best < 0 ? -1 : (*chains)[best].fold;
  }
};

void ReadTrain328(const std::string& path, const KmerLinks& links, std::vector<Chain>& chains, int& linked) {
  std::ifstream in(path);
  std::string id, sequence, labels;
  while (std::getline(in, id) && std::getline(in, sequence) && std::getline(in, labels)) {
    Chain c;
    c.id = id.substr(1);
    c.cls = "train328";
    c.source = Source::kTrain328;
    c.sequence = sequence;
    c.types = tessmol::TypesOfSequence(sequence);
    for (char l : labels) {
      c.inHelix.push_back(l == '1');
      c.inSignal.push_back(0);
      c.allowed.push_back(l == '1' ? 4 : 3);  // the sides are PDBTM's, not inside and outside
    }
    for (size_t i = 0; i < c.allowed.size(); ++i) {
      bool near = false;
      for (size_t j = i >= kSideReach ? i - kSideReach : 0; j < c.allowed.size() && j <= i + kSideReach; ++j)
        near = near || c.allowed[j] == 4;
      if (!near) c.allowed[i] = kEitherSide;
    }
    c.truth = Runs(c.inHelix);
    MarkCaps(c, "");
    c.membrane = true;
    const int fold = links.Fold(sequence);
    linked += fold >= 0;
    c.fold = fold >= 0 ? fold : int(Hash(c.id) % 5);
    chains.push_back(std::move(c));
  }
}

void ReadSoluble(const std::string& path, const KmerLinks& links, std::vector<Chain>& chains, int& linked) {
  std::ifstream in(path);
  std::string line, name, sequence;
  auto flush = [&]() {
    if (!sequence.empty()) {
      Chain c;
      c.id = name;
      c.cls = "soluble3209";
      c.source = Source::kSoluble;
      c.sequence = sequence;
      c.types = tessmol::TypesOfSequence(sequence);
      c.inHelix.assign(sequence.size(), 0);
      c.inSignal.assign(sequence.size(), 0);
      c.allowed.assign(sequence.size(), kEitherSide);
      const int fold = links.Fold(sequence);
      linked += fold >= 0;
      c.fold = fold >= 0 ? fold : int(Hash(c.id) % 5);
      chains.push_back(std::move(c));
    }
    sequence.clear();
  };
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '>') {
      flush();
      name = line.substr(1, line.find_first_of(" \t") == std::string::npos ? std::string::npos
                                                                           : line.find_first_of(" \t") - 1);
    } else {
      sequence += line;
    }
  }
  flush();
}

// The window model's active features at residue i of a chain padded by kWindowHalf
// beyond-the-chain entries at each end: the residue type at each offset, the
// N-terminal position bin, and the intercept.
void WindowFeatures(const std::vector<int>& padded, int i, std::vector<int>& active) {
  const int positionBase = (2 * tessmol::kWindowHalf + 1) * tessmol::kWindowTypes;
  active.clear();
  for (int o = 0; o <= 2 * tessmol::kWindowHalf; ++o)
    active.push_back(o * tessmol::kWindowTypes + padded[i + o]);
  if (i / tessmol::kPositionBinWidth < tessmol::kPositionBins)
    active.push_back(positionBase + i / tessmol::kPositionBinWidth);
  active.push_back(tessmol::kWindowModelSize - 1);
}

// Logistic regression over the window features by AdaGrad, in a fixed order (a seeded
// shuffle): the same data give the same model.
WindowModel FitWindowModel(const std::vector<const Chain*>& chains, bool signal, unsigned seed) {
  WindowModel model;
  model.weights.assign(tessmol::kWindowModelSize, 0.0f);
  std::vector<double> w(tessmol::kWindowModelSize, 0.0), g2(tessmol::kWindowModelSize, 1e-8);
  std::vector<std::pair<int, int>> samples;
  std::vector<std::vector<int>> padded(chains.size());
  for (size_t k = 0; k < chains.size(); ++k) {
    const Chain& c = *chains[k];
    if (signal && c.source != Source::kTopology) continue;
    padded[k].assign(c.types.size() + 2 * tessmol::kWindowHalf, tessmol::kWindowTypes - 1);
    for (size_t i = 0; i < c.types.size(); ++i)
      padded[k][i + tessmol::kWindowHalf] = c.types[i] >= 0 && c.types[i] < 20 ? c.types[i] : 20;
    const size_t reach = signal ? std::min<size_t>(c.types.size(), 60) : c.types.size();
    for (size_t i = 0; i < reach; ++i) samples.push_back({int(k), int(i)});
  }
  std::mt19937 random(seed);
  std::shuffle(samples.begin(), samples.end(), random);
  std::vector<int> active;
  const double rate = 0.05, l2 = 1e-6;
  for (int epoch = 0; epoch < 3; ++epoch) {
    for (const auto& [k, i] : samples) {
      const Chain& c = *chains[k];
      WindowFeatures(padded[k], i, active);
      double z = 0.0;
      for (int j : active) z += w[j];
      const double y = signal ? c.inSignal[i] : c.inHelix[i];
      const double gradient = 1.0 / (1.0 + std::exp(-z)) - y;
      for (int j : active) {
        const double gj = gradient + l2 * w[j];
        g2[j] += gj * gj;
        w[j] -= rate * gj / std::sqrt(g2[j]);
      }
    }
  }
  for (int j = 0; j < tessmol::kWindowModelSize; ++j) model.weights[j] = static_cast<float>(w[j]);
  return model;
}

// The threshold on the signal score that tells most training chains right.
float FitSignalThreshold(const std::vector<const Chain*>& chains, const SegmentParams& p) {
  std::vector<std::pair<double, bool>> scored;
  for (const Chain* c : chains) {
    if (c->source != Source::kTopology) continue;
    int end = 0;
    scored.push_back({tessmol::SignalPeptideScore(c->types, p, end), c->signalEnd > 0});
  }
  std::sort(scored.begin(), scored.end());
  long positives = 0;
  for (const auto& s : scored) positives += s.second;
  // Threshold just above scored[k]: chains 0..k called without a signal peptide.
  long right = positives, bestRight = right;
  double best = scored.empty() ? 0.0 : scored.front().first - 1.0;
  for (size_t k = 0; k < scored.size(); ++k) {
    right += scored[k].second ? -1 : 1;
    if (right > bestRight && (k + 1 == scored.size() || scored[k + 1].first > scored[k].first)) {
      bestRight = right;
      best = k + 1 < scored.size() ? (scored[k].first + scored[k + 1].first) / 2 : scored[k].first + 1.0;
    }
  }
  return static_cast<float>(best);
}

std::vector<double> FitLogistic(const std::vector<std::vector<double>>& features,
                                const std::vector<double>& labels, const std::vector<double>& weights);

// A logistic decision fitted on rows, its intercept then moved to the most weight right.
std::vector<float> FitShiftedLogistic(const std::vector<std::vector<double>>& rows,
                                      const std::vector<double>& labels, const std::vector<double>& weights) {
  std::vector<double> w = FitLogistic(rows, labels, weights);
  if (w.empty()) return {};
  double bestShift = 0.0, best = -1;
  for (double shift = -3.0; shift <= 3.0; shift += 0.1) {
    double right = 0;
    for (size_t k = 0; k < rows.size(); ++k) {
      double z = shift;
      for (size_t a = 0; a < w.size(); ++a) z += w[a] * rows[k][a];
      right += ((z >= 0.0) == (labels[k] > 0.5)) * weights[k];
    }
    if (right > best) {
      best = right;
      bestShift = shift;
    }
  }
  w[0] += bestShift;
  return std::vector<float>(w.begin(), w.end());
}

// The signal-peptide decision over SignalFeatures, fitted on the topology_train chains
// (the only ones labelled for it), its intercept moved to the most chains right.
std::vector<float> FitSignalDecision(const std::vector<const Chain*>& chains, const SegmentParams& p) {
  std::vector<std::vector<double>> rows;
  std::vector<double> labels, weights;
  for (const Chain* c : chains) {
    if (c->source != Source::kTopology) continue;
    int end = 0;
    const double score = tessmol::SignalPeptideScore(c->types, p, end);
    if (end == 0) continue;
    const auto f = tessmol::SignalFeatures(c->types, p, score, end);
    rows.emplace_back(f.begin(), f.end());
    labels.push_back(c->signalEnd > 0 ? 1.0 : 0.0);
    // A signal peptide called on a membrane chain costs its first helix: such errors weigh
    // more than one on a soluble chain.
    weights.push_back(c->membrane ? kMembraneSignalWeight : 1.0);
  }
  return FitShiftedLogistic(rows, labels, weights);
}

struct Prepared {
  const Chain* chain;
  int signalEnd;
  // Single-pass chains, most membrane proteins of a proteome but few of the training
  // chains, weigh sqrt(multi-pass / single-pass) each.
  double weight = 1.0;
};

struct Score {
  double annotated = 0, predicted = 0, found = 0, perfect = 0, membrane = 0;
  // Membrane chains with a labelled N-terminal side, and those with every segment and that
  // side right.
  double oriented = 0, orientedRight = 0;
  // Soluble chains of topology_train (SP, GLOB, BETA) and the others (soluble3209) apart:
  // each must stay at 1 % or less.
  double soluble[2] = {0, 0}, positive[2] = {0, 0};
  double Recall() const { return annotated ? found / annotated : 0; }
  double Precision() const { return predicted ? found / predicted : 0; }
  double F1() const {
    const double r = Recall(), p = Precision();
    return r + p > 0 ? 2 * r * p / (r + p) : 0;
  }
  double Qok() const { return membrane ? perfect / membrane : 0; }
  double Topology() const { return oriented ? orientedRight / oriented : 0; }
  double FalsePositive(int group) const { return soluble[group] ? positive[group] / soluble[group] : 0; }
  double FalsePositive() const {
    return soluble[0] + soluble[1] ? (positive[0] + positive[1]) / (soluble[0] + soluble[1]) : 0;
  }
  // The share of soluble chains given a segment that the objective lets pass.
  double limit = 0.01;
  double Objective() const {
    double objective = F1() + Qok() + Topology();
    for (int group = 0; group < 2; ++group) {
      const double fp = FalsePositive(group);
      if (fp > limit) objective -= 20.0 * (fp - limit);
    }
    return objective;
  }
};

// How many of the predicted segments match annotated ones (overlap of at least 5
// residues, each annotated segment matched once).
long Matched(const std::vector<TmSegment>& segments, const std::vector<std::pair<int, int>>& truth) {
  std::vector<bool> used(truth.size(), false);
  long matched = 0;
  for (const TmSegment& s : segments) {
    for (size_t k = 0; k < truth.size(); ++k) {
      const int overlap = std::min(s.last, truth[k].second) - std::max(s.first, truth[k].first) + 1;
      if (!used[k] && overlap >= 5) {
        used[k] = true;
        ++matched;
        break;
      }
    }
  }
  return matched;
}

void Add(Score& s, const Chain& c, const std::vector<TmSegment>& segments, double weight = 1.0) {
  if (c.membrane) {
    const long matched = Matched(segments, c.truth);
    s.annotated += weight * double(c.truth.size());
    s.predicted += weight * double(segments.size());
    s.found += weight * double(matched);
    s.membrane += weight;
    if (matched == long(c.truth.size()) && matched == long(segments.size())) s.perfect += weight;
    if (c.firstSide == 'I' || c.firstSide == 'O') {
      s.oriented += weight;
      if (matched == long(c.truth.size()) && matched == long(segments.size()) && !segments.empty() &&
          (segments.front().nInside ? 'I' : 'O') == c.firstSide)
        s.orientedRight += weight;
    }
  } else {
    const int group = c.source == Source::kTopology ? 0 : 1;
    s.soluble[group] += 1;
    s.positive[group] += !segments.empty();
  }
}

// One training set's segment sets for parameters p, with their chain features.
struct Segmented {
  std::vector<std::vector<TmSegment>> segments;
  std::vector<std::array<float, tessmol::kChainFeatureCount>> features;
};

Segmented Segment(const std::vector<Prepared>& chains, SegmentParams p) {
  p.chainModel = {0.0f};  // no anchor: the decision comes after
  Segmented out;
  for (const Prepared& c : chains) {
    tessmol::SegmentTracks tracks = tessmol::MakeTracks(c.chain->types, p);
    for (int i = 0; i < c.signalEnd; ++i) tracks.core[i] = -100.0f;
    std::vector<TmSegment> segments = tessmol::BestSegments(tracks, p);
    out.features.push_back(tessmol::ChainFeatures(c.chain->types, c.signalEnd, segments,
                                                  tessmol::SegmentValues(tracks, segments, p)));
    out.segments.push_back(std::move(segments));
  }
  return out;
}

// Logistic regression by Newton's method with a small ridge: weights for `features`
// (rows of equal length, the first entry 1) against 0/1 labels, each row weighted.
std::vector<double> FitLogistic(const std::vector<std::vector<double>>& features,
                                const std::vector<double>& labels, const std::vector<double>& weights) {
  const int n = features.empty() ? 0 : int(features[0].size());
  std::vector<double> w(n, 0.0);
  for (int iteration = 0; iteration < 25; ++iteration) {
    std::vector<std::vector<double>> h(n, std::vector<double>(n, 0.0));
    std::vector<double> g(n, 0.0);
    for (size_t k = 0; k < features.size(); ++k) {
      const auto& f = features[k];
      double z = 0.0;
      for (int a = 0; a < n; ++a) z += w[a] * f[a];
      const double p = 1.0 / (1.0 + std::exp(-z)), c = weights[k];
      for (int a = 0; a < n; ++a) {
        g[a] += c * (p - labels[k]) * f[a];
        for (int b = 0; b < n; ++b) h[a][b] += c * p * (1 - p) * f[a] * f[b];
      }
    }
    for (int a = 0; a < n; ++a) {
      g[a] += 1e-3 * w[a];
      h[a][a] += 1e-3;
    }
    // Solve h d = g by Gauss-Jordan elimination with partial pivoting.
    std::vector<double> d = g;
    for (int col = 0; col < n; ++col) {
      int pivot = col;
      for (int r = col + 1; r < n; ++r)
        if (std::fabs(h[r][col]) > std::fabs(h[pivot][col])) pivot = r;
      std::swap(h[col], h[pivot]);
      std::swap(d[col], d[pivot]);
      if (std::fabs(h[col][col]) < 1e-12) continue;
      for (int r = 0; r < n; ++r) {
        if (r == col) continue;
        const double factor = h[r][col] / h[col][col];
        for (int c2 = col; c2 < n; ++c2) h[r][c2] -= factor * h[col][c2];
        d[r] -= factor * d[col];
      }
    }
    for (int a = 0; a < n; ++a)
      if (std::fabs(h[a][a]) > 1e-12) w[a] -= d[a] / h[a][a];
  }
  return w;
}

// The membrane-or-soluble decision over the chains that got a segment, its intercept then
// moved to the best objective on the same chains.
std::vector<float> FitChainModel(const std::vector<Prepared>& chains, const Segmented& s, Score* scoreOut) {
  constexpr int n = tessmol::kChainFeatureCount;
  std::vector<std::vector<double>> rows;
  std::vector<double> labels, weights;
  for (size_t k = 0; k < chains.size(); ++k) {
    if (s.segments[k].empty()) continue;
    rows.emplace_back(s.features[k].begin(), s.features[k].end());
    labels.push_back(chains[k].chain->membrane ? 1.0 : 0.0);
    weights.push_back(chains[k].weight);
  }
  std::vector<double> w = FitLogistic(rows, labels, weights);
  if (w.empty()) w.assign(n, 0.0);
  std::vector<double> z(chains.size(), 0.0);
  for (size_t k = 0; k < chains.size(); ++k)
    for (int a = 0; a < n; ++a) z[k] += w[a] * s.features[k][a];
  double bestShift = 0.0, best = -1e9;
  Score bestScore;
  for (double shift = -6.0; shift <= 6.0; shift += 0.25) {
    Score score;
    for (size_t k = 0; k < chains.size(); ++k) {
      static const std::vector<TmSegment> none;
      Add(score, *chains[k].chain, z[k] + shift >= 0.0 ? s.segments[k] : none, chains[k].weight);
    }
    if (score.Objective() > best) {
      best = score.Objective();
      bestShift = shift;
      bestScore = score;
    }
  }
  w[0] += bestShift;
  if (scoreOut) *scoreOut = bestScore;
  return std::vector<float>(w.begin(), w.end());
}

SegmentParams Fit(const std::vector<const Chain*>& train, unsigned seed) {
  SegmentParams p;
  p.capLength = 0;
  p.flankLength = 0;
  p.window = 1;
  p.bias = 0.0f;
  p.cost = 2.0f;
  p.minLength = 16;
  p.maxLength = 30;
  p.minLoop = 3;
  p.preferredLength = 32;
  p.topologyWeight = 0.3f;
  p.topologyReach = 15;
  p.membraneModel = FitWindowModel(train, false, seed);
  p.signalModel = FitWindowModel(train, true, seed);
  p.signalThreshold = FitSignalThreshold(train, p);
  p.signalDecision = FitSignalDecision(train, p);
  double single = 0, multi = 0;
  for (const Chain* c : train) (c->truth.size() == 1 ? single : multi) += c->membrane;
  std::vector<Prepared> chains;
  for (const Chain* c : train)
    chains.push_back({c, tessmol::SignalPeptideEnd(c->types, p),
                      c->membrane && c->truth.size() == 1 && single > 0 ? std::sqrt(multi / single) : 1.0});
  auto evaluate = [&](SegmentParams& q) {
    Score score;
    q.chainModel = FitChainModel(chains, Segment(chains, q), &score);
    return score.Objective();
  };
  double best = evaluate(p);
  auto tryValues = [&](auto field, const auto& values) {
    for (const auto& v : values) {
      SegmentParams q = p;
      q.*field = v;
      if (q.maxLength < q.minLength || q.*field == p.*field) continue;
      const double objective = evaluate(q);
      if (objective > best) {
        best = objective;
        p = q;
      }
    }
  };
  for (int sweep = 0; sweep < 2; ++sweep) {
    tryValues(&SegmentParams::bias, std::vector<float>{-3.0f, -2.5f, -2.0f, -1.5f, -1.0f, -0.5f, 0.0f, 0.5f});
    tryValues(&SegmentParams::cost, std::vector<float>{0.0f, 2.0f, 4.0f, 6.0f, 8.0f, 12.0f});
    tryValues(&SegmentParams::window, std::vector<int>{1, 3, 5, 7});
    tryValues(&SegmentParams::minLength, std::vector<int>{12, 14, 16, 18});
    tryValues(&SegmentParams::maxLength, std::vector<int>{26, 28, 30, 33, 36});
    tryValues(&SegmentParams::minLoop, std::vector<int>{1, 2, 3, 5});
    tryValues(&SegmentParams::signalLoop, std::vector<int>{1, 3, 6, 10, 15});
    tryValues(&SegmentParams::topologyWeight, std::vector<float>{0.0f, 0.3f, 0.5f, 1.0f, 1.5f, 2.0f, 3.0f});
    tryValues(&SegmentParams::topologyReach, std::vector<int>{8, 12, 15, 20, 25, 30});
  }
  return p;
}

// ---- The joint labelling ----------------------------------------------------------

// Multinomial logistic regression of each residue's label (i, o, M, S) over the window
// features, by AdaGrad in a fixed order. Where the data allow several labels (the sides of
// train328 and soluble3209 chains are unknown), the likelihood is that of the set.
tessmol::LabelModel FitLabelModel(const std::vector<const Chain*>& chains, unsigned seed) {
  constexpr int kLabels = tessmol::kLabelCount, kSize = tessmol::kLabelModelSize;
  std::vector<double> w(kLabels * kSize, 0.0), g2(kLabels * kSize, 1e-8);
  std::vector<std::pair<int, int>> samples;
  std::vector<std::vector<int>> padded(chains.size());
  std::vector<std::vector<std::array<int, tessmol::kHydropathyReaches>>> hydropathy(chains.size());
  for (size_t k = 0; k < chains.size(); ++k) {
    const Chain& c = *chains[k];
    padded[k].assign(c.types.size() + 2 * tessmol::kWindowHalf, tessmol::kWindowTypes - 1);
    for (size_t i = 0; i < c.types.size(); ++i)
      padded[k][i + tessmol::kWindowHalf] = c.types[i] >= 0 && c.types[i] < 20 ? c.types[i] : 20;
    hydropathy[k] = tessmol::HydropathyFeatures(c.types);
    for (size_t i = 0; i < c.types.size(); ++i) samples.push_back({int(k), int(i)});
  }
  std::mt19937 random(seed);
  std::shuffle(samples.begin(), samples.end(), random);
  std::vector<int> active;
  const double rate = 0.05, l2 = 1e-6;
  for (int epoch = 0; epoch < kLabelEpochs; ++epoch) {
    for (const auto& [k, i] : samples) {
      const Chain& c = *chains[k];
      WindowFeatures(padded[k], i, active);
      for (int bin : hydropathy[k][i]) active.push_back(bin);
      double z[kLabels], top = -1e300;
      for (int l = 0; l < kLabels; ++l) {
        z[l] = 0.0;
        for (int j : active) z[l] += w[l * kSize + j];
        top = std::max(top, z[l]);
      }
      double total = 0.0, allowedTotal = 0.0;
      for (int l = 0; l < kLabels; ++l) {
        z[l] = std::exp(z[l] - top);
        total += z[l];
        if (c.allowed[i] >> l & 1) allowedTotal += z[l];
      }
      for (int l = 0; l < kLabels; ++l) {
        const double p = z[l] / total;
        const double q = !(c.allowed[i] >> l & 1)     ? 0.0
                         : (c.allowed[i] & kEvenOdds) ? 0.5
                                                      : z[l] / allowedTotal;
        const double gradient = p - q;
        for (int j : active) {
          double& wj = w[l * kSize + j];
          const double gj = gradient + l2 * wj;
          g2[l * kSize + j] += gj * gj;
          wj -= rate * gj / std::sqrt(g2[l * kSize + j]);
        }
      }
    }
  }
  tessmol::LabelModel model;
  for (int l = 0; l < kLabels; ++l)
    model.labels[l].weights.assign(w.begin() + l * kSize, w.begin() + (l + 1) * kSize);
  for (auto& m : model.labels)
    for (float& v : m.weights) v = static_cast<float>(double(v));
  return model;
}

struct JointChain {
  const Chain* chain;
  double weight = 1.0;
  std::array<std::vector<float>, tessmol::kLabelCount> logProbabilities;
};

tessmol::LabelScores ScoresOf(const JointChain& c, const SegmentParams& p) {
  return tessmol::LabelScoresFrom(c.logProbabilities, c.chain->types, p);
}

double Dot(const float* f, size_t n, const std::vector<float>& w) {
  double z = 0.0;
  for (size_t a = 0; a < n && a < w.size(); ++a) z += double(f[a]) * w[a];
  return z;
}

// Decodes every chain with q, fits both chain-level decisions on the same chains (the
// signal decision on topology_train's, the membrane decision on all), and returns the
// objective: segment F1 + Qok + topology + the share of signal-peptide chains told right,
// less the soluble penalty.
double EvaluateJoint(const std::vector<JointChain>& chains, SegmentParams& q) {
  const size_t n = chains.size();
  std::vector<tessmol::LabelDecoding> with(n), without(n);
  std::vector<std::array<float, tessmol::kSignalFeatureCount>> signalFeatures(n);
  std::vector<std::array<float, tessmol::kJointChainFeatureCount>> chainWith(n), chainWithout(n);
  std::vector<tessmol::LabelPath> againWith(n), againWithout(n);  // membrane chains labelled again
  for (size_t k = 0; k < n; ++k) {
    const std::vector<int>& types = chains[k].chain->types;
    const tessmol::LabelScores scores = ScoresOf(chains[k], q);
    without[k] = tessmol::DecodeLabels(scores, q, false);
    with[k] = tessmol::DecodeLabels(scores, q, true);
    signalFeatures[k] = tessmol::JointSignalFeatures(types, scores, with[k], without[k]);
    chainWith[k] = tessmol::JointChainFeatures(types, scores, with[k], q);
    chainWithout[k] = tessmol::JointChainFeatures(types, scores, without[k], q);
    againWith[k] = tessmol::MembraneLabelling(scores, q, true, with[k].withHelix);
    againWithout[k] = tessmol::MembraneLabelling(scores, q, false, without[k].withHelix);
  }
  {
    std::vector<std::vector<double>> rows;
    std::vector<double> labels, weights;
    for (size_t k = 0; k < n; ++k) {
      const Chain& c = *chains[k].chain;
      // A train328 chain whose first helix (seen in its structure) starts where a signal
      // peptide would lie has none there: the first helices of structures' chains, which
      // the UniProt chains give few examples of, are the decision's hardest negatives.
      const bool helixAtStart =
          c.source == Source::kTrain328 && !c.truth.empty() && c.truth.front().first < q.signalMax;
      if ((c.source != Source::kTopology && !helixAtStart) ||
          !(with[k].withHelix.valid || with[k].withoutHelix.valid))
        continue;
      rows.emplace_back(signalFeatures[k].begin(), signalFeatures[k].end());
      labels.push_back(c.signalEnd > 0 ? 1.0 : 0.0);
      weights.push_back(c.membrane ? kMembraneSignalWeight : 1.0);
    }
    q.jointSignalDecision = FitShiftedLogistic(rows, labels, weights);
  }
  // The signal decision's intercept, like the membrane decision's, goes where the whole
  // objective is best: its own fit counts chains, not what a wrong call costs the helices.
  const std::vector<float> signalFitted = q.jointSignalDecision;
  double overall = -1e9;
  std::vector<float> bestSignal = signalFitted, bestChain;
  for (double signalShift : {-1.5, -1.0, -0.5, 0.0, 0.5, 1.0, 1.5}) {
    std::vector<float> decision = signalFitted;
    if (!decision.empty()) decision[0] += static_cast<float>(signalShift);
    std::vector<char> signal(n, 0);
    for (size_t k = 0; k < n; ++k)
      signal[k] = (with[k].withHelix.valid || with[k].withoutHelix.valid) &&
                  Dot(signalFeatures[k].data(), signalFeatures[k].size(), decision) >= 0.0;
    constexpr int m = tessmol::kJointChainFeatureCount;
    std::vector<std::vector<double>> rows;
    std::vector<double> labels, weights;
    for (size_t k = 0; k < n; ++k) {
      const tessmol::LabelDecoding& d = signal[k] ? with[k] : without[k];
      if (!d.withHelix.valid) continue;
      const auto& f = signal[k] ? chainWith[k] : chainWithout[k];
      rows.emplace_back(f.begin(), f.end());
      labels.push_back(chains[k].chain->membrane ? 1.0 : 0.0);
      weights.push_back(chains[k].weight);
    }
    std::vector<double> w = FitLogistic(rows, labels, weights);
    if (w.empty()) w.assign(m, 0.0);
    std::vector<double> z(n, -1e9);
    for (size_t k = 0; k < n; ++k) {
      const tessmol::LabelDecoding& d = signal[k] ? with[k] : without[k];
      if (!d.withHelix.valid) continue;
      const auto& f = signal[k] ? chainWith[k] : chainWithout[k];
      z[k] = 0.0;
      for (int a = 0; a < m; ++a) z[k] += w[a] * f[a];
    }
    double bestShift = 0.0, best = -1e9;
    static const std::vector<TmSegment> none;
    for (double shift = -6.0; shift <= 6.0; shift += 0.25) {
      Score score;
      // A margin below the 1 % goal: chains not seen in the fit come out above it.
      score.limit = kJointSolubleLimit;
      double signalChains = 0, signalRight = 0;
      for (size_t k = 0; k < n; ++k) {
        const Chain& c = *chains[k].chain;
        const bool membrane = z[k] + shift >= 0.0;
        // A chain called a membrane protein has a labelling with a helix (z is -1e9 otherwise).
        const std::vector<TmSegment>& segments =
            membrane ? (signal[k] ? againWith[k] : againWithout[k]).segments : none;
        Add(score, c, segments, chains[k].weight);
        if (c.source == Source::kTopology && c.signalEnd > 0) {
          ++signalChains;
          signalRight += signal[k] && (c.membrane == !segments.empty());
        }
      }
      const double objective = score.Objective() + (signalChains ? signalRight / signalChains : 0.0);
      if (objective > best) {
        best = objective;
        bestShift = shift;
      }
    }
    w[0] += bestShift;
    if (best > overall) {
      overall = best;
      bestSignal = decision;
      bestChain.assign(w.begin(), w.end());
    }
  }
  q.jointSignalDecision = bestSignal;
  q.jointChainModel = bestChain;
  return overall;
}

SegmentParams FitJoint(const std::vector<const Chain*>& train, unsigned seed) {
  SegmentParams p;
  p.window = 1;
  p.bias = 0.0f;
  p.cost = 2.0f;
  p.minLength = 16;
  p.maxLength = 30;
  p.minLoop = 2;
  p.preferredLength = 32;
  p.topologyWeight = 0.0f;
  p.topologyReach = 15;
  p.signalMin = 10;
  p.signalMax = 45;
  p.labelModel = FitLabelModel(train, seed);
  double single = 0, multi = 0;
  for (const Chain* c : train) (c->truth.size() == 1 ? single : multi) += c->membrane;
  std::vector<JointChain> chains;
  for (const Chain* c : train) {
    JointChain j{c, c->membrane && c->truth.size() == 1 && single > 0 ? std::sqrt(multi / single) : 1.0, {}};
    j.logProbabilities = tessmol::LabelLogProbabilities(c->types, p.labelModel);
    chains.push_back(std::move(j));
  }
  double best = EvaluateJoint(chains, p);
  auto tryValues = [&](auto field, const auto& values) {
    for (const auto& v : values) {
      SegmentParams q = p;
      q.*field = v;
      if (q.maxLength < q.minLength || q.*field == p.*field) continue;
      const double objective = EvaluateJoint(chains, q);
      if (objective > best) {
        best = objective;
        p = q;
      }
    }
  };
  for (int sweep = 0; sweep < 2; ++sweep) {
    tryValues(&SegmentParams::bias, std::vector<float>{-1.0f, -0.5f, 0.0f, 0.5f, 1.0f, 1.5f, 2.0f});
    tryValues(&SegmentParams::cost, std::vector<float>{0.0f, 2.0f, 4.0f, 6.0f, 8.0f, 12.0f});
    tryValues(&SegmentParams::signalBias,
              std::vector<float>{-0.5f, 0.0f, 0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f});
    tryValues(&SegmentParams::signalCost, std::vector<float>{0.0f, 2.0f, 4.0f, 8.0f});
    tryValues(&SegmentParams::minLength, std::vector<int>{12, 14, 16, 18});
    tryValues(&SegmentParams::maxLength, std::vector<int>{26, 28, 30, 33, 36});
    tryValues(&SegmentParams::minLoop, std::vector<int>{1, 2, 3, 5});
    tryValues(&SegmentParams::topologyWeight, std::vector<float>{0.0f, 0.5f, 1.0f, 2.0f, 3.0f, 4.0f, 6.0f});
    tryValues(&SegmentParams::topologyReach, std::vector<int>{8, 12, 15, 20, 25});
    tryValues(&SegmentParams::membraneBias, std::vector<float>{-1.0f, -0.5f, 0.0f, 0.5f, 1.0f, 1.5f, 2.0f});
  }
  std::printf("  joint fit: objective %.4f\n", best);
  std::fflush(stdout);
  return p;
}

// Cross-validated results of one class of chains.
struct ClassRow {
  Score score;
  long chains = 0, withSegment = 0, oriented = 0, orientedRight = 0, signalRight = 0;
  long signalLabelled = 0;  // chains whose signal peptide is labelled (topology_train's)
};

}  // namespace

int main(int argc, char** argv) {
  // --separate: the earlier method (separate membrane and signal models and decisions);
  // --seed N: another order for the per-residue models' training (how much the figures
  // owe to it: the fit is not convex end to end, and its search takes the first best step);
  // --members N: the joint method's ensemble size (1: a single fit).
  bool separate = false;
  unsigned seed = kDefaultSeed;
  int members = kDefaultMembers;
  bool usage = false;
  while (argc > 1 && std::string(argv[1]).rfind("--", 0) == 0) {
    const std::string flag = argv[1];
    if (flag == "--separate") {
      separate = true;
    } else if (flag == "--members" && argc > 2) {
      char* end = nullptr;
      members = static_cast<int>(std::strtol(argv[2], &end, 10));
      usage = usage || end == argv[2] || *end != '\0' || members < 1 || members > 9;
      --argc;
      ++argv;
    } else if (flag == "--seed" && argc > 2) {
      char* end = nullptr;
      seed = static_cast<unsigned>(std::strtoul(argv[2], &end, 10));
      usage = usage || end == argv[2] || *end != '\0';
      --argc;
      ++argv;
    } else {
      usage = true;
    }
    --argc;
    ++argv;
  }
  if (usage || (argc != 3 && argc != 4)) {
    std::fprintf(stderr,
                 "usage: fit_tm_segments [--separate] [--seed N] [--members N] TM_DATA_FOLDER OUT.txt "
                 "[CV-PREDICTIONS.3line]\n");
    return 2;
  }
  // The joint method's members are fitted side by side, each with its own order.
  auto fit = [&](const std::vector<const Chain*>& train) {
    if (separate) return Fit(train, seed);
    std::vector<std::future<SegmentParams>> fits;
    for (int k = 0; k < members; ++k)
      fits.push_back(std::async(std::launch::async, [&train, k, seed] { return FitJoint(train, seed + k); }));
    SegmentParams p = fits[0].get();
    for (int k = 1; k < members; ++k) p.others.push_back(fits[k].get());
    // The single-anchor rule's two values are not searched here: they were chosen on the
    // cross-validated predictions of topology_train's membrane chains, each fold's pair on
    // the other four folds (the mean of single-pass and multi-pass Qok), and every fold
    // chose these.
    p.isolatedGap = kIsolatedGap;
    p.isolatedHydropathy = kIsolatedHydropathy;
    for (SegmentParams& other : p.others) {
      other.isolatedGap = kIsolatedGap;
      other.isolatedHydropathy = kIsolatedHydropathy;
    }
    return p;
  };
  const std::string folder = argv[1];
  std::vector<Chain> chains;
  if (!ReadTopology(folder, chains)) {
    std::fprintf(stderr, "cannot read %s/topology_train.3line and .tsv\n", folder.c_str());
    return 1;
  }
  const size_t topologyCount = chains.size();
  int linked328 = 0, linkedSoluble = 0;
  {
    const std::vector<Chain> topology(chains.begin(), chains.end());
    ReadTrain328(folder + "/train328.truth.3line", KmerLinks(topology, "train328"), chains, linked328);
    ReadSoluble(folder + "/soluble3209.fasta", KmerLinks(topology, "soluble3209"), chains, linkedSoluble);
  }
  std::printf("%zu topology_train chains, %zu train328 chains (%d linked), %zu soluble3209 (%d linked)\n",
              topologyCount,
              size_t(std::count_if(chains.begin(), chains.end(),
                                   [](const Chain& c) { return c.source == Source::kTrain328; })),
              linked328,
              size_t(std::count_if(chains.begin(), chains.end(),
                                   [](const Chain& c) { return c.source == Source::kSoluble; })),
              linkedSoluble);
  std::fflush(stdout);

  std::ostringstream report;
  std::vector<ChainTopology> predicted(chains.size());
  for (int fold = 0; fold < 5; ++fold) {
    std::vector<const Chain*> train;
    for (const Chain& c : chains)
      if (c.fold != fold) train.push_back(&c);
    const SegmentParams p = fit(train);
    for (size_t k = 0; k < chains.size(); ++k)
      if (chains[k].fold == fold) predicted[k] = tessmol::PredictTopology(chains[k].types, p);
    report << "# fold cv" << fold << ": bias " << p.bias << ", cost " << p.cost << ", window " << p.window
           << ", lengths " << p.minLength << "-" << p.maxLength << ", loop " << p.minLoop
           << ", positive inside " << p.topologyWeight;
    if (p.labelModel.empty())
      report << ", signal threshold " << p.signalThreshold << "\n";
    else
      report << ", signal bias " << p.signalBias << ", signal cost " << p.signalCost << ", signal loop "
             << p.signalLoop << ", membrane bias " << p.membraneBias << "\n";
    std::printf("%s", report.str().substr(report.str().rfind("# fold")).c_str());
    std::fflush(stdout);
  }

  // The cross-validated table, one row per class.
  std::map<std::string, ClassRow> rows;
  const std::vector<std::string> order = {"single-pass", "multi-pass", "SP+TM",    "SP",
                                          "GLOB",        "BETA",       "train328", "soluble3209"};
  ClassRow membrane, soluble, signal;
  // The membrane chains of topology_train by their number of helices, signal peptide or
  // not: most membrane proteins of a proteome have one.
  ClassRow oneHelix, moreHelices;
  for (size_t k = 0; k < chains.size(); ++k) {
    const Chain& c = chains[k];
    const ChainTopology& t = predicted[k];
    std::string cls = c.cls;
    if (cls == "TM") cls = c.truth.size() == 1 ? "single-pass" : "multi-pass";
    const bool counted = c.source == Source::kTopology && c.membrane;
    auto tally = [&](ClassRow& row) {
      ++row.chains;
      row.withSegment += !t.segments.empty();
      Add(row.score, c, t.segments);
      if (c.source == Source::kTopology) {
        ++row.signalLabelled;
        const bool hasSignal = c.signalEnd > 0, found = t.signalEnd > 0;
        // With a signal peptide: found, and the anchor too where there is one; without: none found.
        row.signalRight +=
            hasSignal ? found && (c.membrane ? !t.segments.empty() : t.segments.empty()) : !found;
      }
      if (c.membrane && c.source == Source::kTopology && (c.firstSide == 'I' || c.firstSide == 'O')) {
        ++row.oriented;
        const long matched = Matched(t.segments, c.truth);
        const bool all = matched == long(c.truth.size()) && matched == long(t.segments.size());
        const bool side = !t.segments.empty() && (t.segments.front().nInside ? 'I' : 'O') == c.firstSide;
        row.orientedRight += all && side;
      }
    };
    tally(rows[cls]);
    if (counted) tally(c.truth.size() == 1 ? oneHelix : moreHelices);
    if (c.source == Source::kTopology && c.cls != "BETA") tally(c.membrane ? membrane : soluble);
    if (c.source == Source::kTopology && c.signalEnd > 0) {
      ++signal.chains;
      signal.signalRight += t.signalEnd > 0 && (c.membrane ? !t.segments.empty() : t.segments.empty());
    }
  }
  char text[400];
  std::snprintf(text, sizeof text, "# %-12s %6s %7s %7s %7s %7s %9s %9s %9s\n", "class", "chains", "recall",
                "precis", "F1", "Qok", "with-seg", "topology", "SP-right");
  report << "# Cross-validated by class (F1 and Qok of membrane classes; with-seg: share of chains\n"
         << "# given a segment; topology: all segments and the N-terminal side right; SP-right: the\n"
         << "# signal peptide found or rightly absent, with the anchor where there is one):\n"
         << text;
  auto line = [&](const std::string& name, const ClassRow& r) {
    const Score& s = r.score;
    auto share = [](long a, long b) { return b ? double(a) / b : std::nan(""); };
    std::snprintf(text, sizeof text, "# %-12s %6ld %7.3f %7.3f %7.3f %7.3f %9.4f %9.3f %9.3f\n", name.c_str(),
                  r.chains, s.Recall(), s.Precision(), s.F1(), s.Qok(), share(r.withSegment, r.chains),
                  share(r.orientedRight, r.oriented), share(r.signalRight, r.signalLabelled));
    report << text;
  };
  for (const std::string& name : order)
    if (rows.count(name)) line(name, rows[name]);
  report << "# topology_train membrane chains (TM, SP+TM) by their number of helices:\n";
  line("1 helix", oneHelix);
  line("2+ helices", moreHelices);
  std::snprintf(text, sizeof text,
                "# topology_train membrane chains (TM, SP+TM): F1 %.3f, Qok %.3f, topology %.3f\n"
                "# topology_train soluble chains (SP, GLOB): %.4f with a segment\n"
                "# signal peptides told from anchors: %.3f of the SP and SP+TM chains\n",
                membrane.score.F1(), membrane.score.Qok(), double(membrane.orientedRight) / membrane.oriented,
                soluble.score.FalsePositive(), double(signal.signalRight) / signal.chains);
  report << text;
  std::printf("%s", report.str().c_str());

  std::vector<const Chain*> all;
  for (const Chain& c : chains) all.push_back(&c);
  const SegmentParams final = fit(all);
  const std::string joint =
      "# Parameters of the transmembrane segmentation, made by tools/fit_tm_segments from\n"
      "# topology_train.3line (2,986 DeepTMHMM proteins: TM, SP+TM, SP, GLOB, BETA),\n"
      "# train328.truth.3line (328 membrane chains) and soluble3209.fasta (3,209 soluble\n"
      "# chains) only. LABELMODELI, O, M, S, C, E: one multinomial logistic model of each\n"
      "# residue's label (inside loop, outside loop, transmembrane helix, signal peptide, and\n"
      "# a helix's first or last 5 residues at its cytoplasmic or outer end) from the\n"
      "# residue types at offsets -10 to 10 (TRP PHE TYR LEU ILE VAL MET ALA GLY PRO CYS THR\n"
      "# SER GLN ASN GLU ASP HIS LYS ARG, other, beyond the chain), the N-terminal position in\n"
      "# bins of 5, an intercept, then the mean hydropathy over 5, 11 and 19 residues in 10\n"
      "# bins each; fitted on topology_train's labels (inside and outside only within 20\n"
      "# residues of a helix, even odds elsewhere), train328's helices (sides unknown, so\n"
      "# either end label at their ends) and soluble3209 (no helix). The best labelling is\n"
      "# decoded exactly: an optional signal peptide (SIGNALMIN-SIGNALMAX residues, 20 or\n"
      "# more left after it, SIGNALBIAS per residue, SIGNALCOST), then\n"
      "# loops that change side across each helix (MINLENGTH-MAXLENGTH residues, BIAS per\n"
      "# residue, COST, MINLOOP, positive-inside TOPOLOGYWEIGHT within TOPOLOGYREACH).\n"
      "# JOINTSIGNALDECISION (signal peptide or not) and JOINTCHAINMODEL (membrane protein or\n"
      "# not, its last weight on a signal-peptide chain's last helix within " +
      std::to_string(tessmol::kGpiTail) +
      " residues of\n"
      "# the C-terminus: a GPI-attachment signal): logistic models over the decodings,\n"
      "# fitted with the rest (the signal decision on topology_train's chains and on the\n"
      "# train328 chains whose first helix starts within SIGNALMAX residues, which have no\n"
      "# signal peptide there); a chain called a membrane protein with two helices or more is\n"
      "# labelled again with MEMBRANEBIAS more on every helix residue; one with a signal\n"
      "# peptide whose helices but the most hydrophobic all lie ISOLATEDGAP residues or more\n"
      "# from their neighbours with a mean hydropathy (Kyte-Doolittle) below\n"
      "# ISOLATEDHYDROPATHY is labelled again with that one alone (each fold's pair chosen\n"
      "# on the other folds' predictions).\n"
      "# MEMBER lines start the ensemble's further members: the same fit with the residues\n"
      "# in other training orders (seeds " +
      std::to_string(seed) + " on, one apart, " + std::to_string(members) +
      " members); a chain's prediction is\n"
      "# the members' medoid, the one whose labels differ least from the others' (the first\n"
      "# two's when they agree on the topology).\n"
      "# The other models are unused beside LABELMODEL. Folds: topology_train's cv0-cv4; a\n"
      "# train328 or soluble3209 chain flagged similar joins the fold of the topology_train\n"
      "# protein sharing most 5-mers with it, the others fold FNV-1a(name) mod 5.\n"
      "# Cross-validated:\n" +
      report.str();
  const std::string comment =
      !separate ? joint
                : "# Parameters of the transmembrane segmentation, made by tools/fit_tm_segments from\n"
                  "# topology_train.3line (2,986 DeepTMHMM proteins: TM, SP+TM, SP, GLOB, BETA),\n"
                  "# train328.truth.3line (328 membrane chains) and soluble3209.fasta (3,209 soluble\n"
                  "# chains) only. MEMBRANEMODEL and SIGNALMODEL: logistic models of a residue being in a\n"
                  "# transmembrane helix or a signal peptide from the residue types at offsets -10 to 10\n"
                  "# (TRP PHE TYR LEU ILE VAL MET ALA GLY PRO CYS THR SER GLN ASN GLU ASP HIS LYS ARG,\n"
                  "# other, beyond the chain), the N-terminal position in bins of 5, and an intercept.\n"
                  "# CHAINMODEL: the membrane-or-soluble decision over ChainFeatures. SCALE is unused\n"
                  "# beside MEMBRANEMODEL. Folds: topology_train's cv0-cv4; a train328 or soluble3209\n"
                  "# chain flagged similar joins the fold of the topology_train protein sharing most\n"
                  "# 5-mers with it, the others fold FNV-1a(name) mod 5. Cross-validated:\n" +
                      report.str();
  if (argc == 4) {
    std::ofstream out(argv[3]);
    for (size_t k = 0; k < topologyCount; ++k)
      out << '>' << chains[k].id << " | " << chains[k].cls << '\n'
          << chains[k].sequence << '\n'
          << tessmol::TopologyLabels(predicted[k], static_cast<int>(chains[k].types.size())) << '\n';
  }
  if (!tessmol::SaveSegmentParams(argv[2], final, comment)) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
