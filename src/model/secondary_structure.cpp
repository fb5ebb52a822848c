#include "model/secondary_structure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "base/vec3.h"

namespace tessmol {

namespace {

using Point = Vec3d;

Point Of(const Atom& a) {
  return {a.x, a.y, a.z};
}

double Distance(const Point& a, const Point& b) {
  const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

constexpr double kCoupling = -27.888;  // -332 * 0.42 * 0.2, kcal/mol and angstrom
constexpr double kMinEnergy = -9.9;
constexpr double kMaxBondEnergy = -0.5;
constexpr double kMinDistance = 0.5;
constexpr double kMaxCaDistance = 9.0;

struct Backbone {
  bool complete = false;
  bool proline = false;
  bool breakBefore = true;  // no peptide bond to the residue before
  Point n, ca, c, o, h;
  // The two lowest-energy acceptors of this residue's N-H: residue index and energy.
  std::array<std::pair<int, double>, 2> acceptors{{{-1, 0.0}, {-1, 0.0}}};
};

double Energy(const Backbone& donor, const Backbone& acceptor) {
  const double ho = Distance(donor.h, acceptor.o), hc = Distance(donor.h, acceptor.c);
  const double nc = Distance(donor.n, acceptor.c), no = Distance(donor.n, acceptor.o);
  if (ho < kMinDistance || hc < kMinDistance || nc < kMinDistance || no < kMinDistance) return kMinEnergy;
  const double e = kCoupling / ho - kCoupling / hc + kCoupling / nc - kCoupling / no;
  // DSSP rounds to 1/1000 kcal/mol before comparing.
  return std::max(kMinEnergy, std::round(e * 1000.0) / 1000.0);
}

void Keep(Backbone& donor, int acceptor, double energy) {
  auto& a = donor.acceptors;
  if (energy < a[0].second) {
    a[1] = a[0];
    a[0] = {acceptor, energy};
  } else if (energy < a[1].second) {
    a[1] = {acceptor, energy};
  }
}

// Main-chain atoms of every residue, with the amide hydrogen placed and chain breaks found.
std::vector<Backbone> ReadBackbones(const Structure& s) {
  const int n = static_cast<int>(s.residues.size());
  std::vector<Backbone> bb(s.residues.size());
  std::vector<bool> chainStart(s.residues.size(), false);
  for (const Chain& c : s.chains) {
    if (c.firstResidue >= 0 && c.firstResidue < n) chainStart[c.firstResidue] = true;
  }
  for (int i = 0; i < n; ++i) {
    const Residue& r = s.residues[i];
    Backbone& b = bb[i];
    b.complete = r.HasMainChain();
    b.proline = r.name == "PRO";
    if (!b.complete) continue;
    b.n = Of(s.atoms[r.nIndex]);
    b.ca = Of(s.atoms[r.caIndex]);
    b.c = Of(s.atoms[r.cIndex]);
    b.o = Of(s.atoms[r.oIndex]);
    b.h = b.n;
    if (i > 0 && !chainStart[i] && bb[i - 1].complete && Distance(bb[i - 1].c, b.n) <= 2.5) {
      b.breakBefore = false;
      // The amide hydrogen lies opposite the previous carbonyl's oxygen, 1 angstrom off N.
      const Backbone& p = bb[i - 1];
      const double co = Distance(p.c, p.o);
      if (co > 0) {
        b.h = {b.n.x + (p.c.x - p.o.x) / co, b.n.y + (p.c.y - p.o.y) / co, b.n.z + (p.c.z - p.o.z) / co};
      }
    }
  }
  return bb;
}

// Pairs of residues whose CA atoms lie closer than 9 angstrom, found through a grid of
// 9-angstrom cells, in the order of an all-pairs loop (i, then j > i), so that equal
// energies are kept as DSSP keeps them.
std::vector<std::pair<int, int>> ClosePairs(const std::vector<Backbone>& bb) {
  const int n = static_cast<int>(bb.size());
  std::unordered_map<int64_t, std::vector<int>> cells;
  auto cellOf = [](double v) { return static_cast<int64_t>(std::floor(v / kMaxCaDistance)); };
  auto key = [](int64_t x, int64_t y, int64_t z) {
    return ((x & 0x1fffff) << 42) | ((y & 0x1fffff) << 21) | (z & 0x1fffff);
  };
  for (int i = 0; i < n; ++i) {
    if (bb[i].complete) cells[key(cellOf(bb[i].ca.x), cellOf(bb[i].ca.y), cellOf(bb[i].ca.z))].push_back(i);
  }
  std::vector<std::pair<int, int>> pairs;
  for (int i = 0; i < n; ++i) {
    if (!bb[i].complete) continue;
    const int64_t x = cellOf(bb[i].ca.x), y = cellOf(bb[i].ca.y), z = cellOf(bb[i].ca.z);
    for (int64_t dx = -1; dx <= 1; ++dx) {
      for (int64_t dy = -1; dy <= 1; ++dy) {
        for (int64_t dz = -1; dz <= 1; ++dz) {
          const auto found = cells.find(key(x + dx, y + dy, z + dz));
          if (found == cells.end()) continue;
          for (int j : found->second) {
            if (j > i && Distance(bb[i].ca, bb[j].ca) < kMaxCaDistance) pairs.emplace_back(i, j);
          }
        }
      }
    }
  }
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

enum class Bridge { kNone, kParallel, kAntiparallel };

// The backbone hydrogen bonds of a structure, and the questions the assignment asks of them.
class HydrogenBonds {
 public:
  explicit HydrogenBonds(const Structure& s) : bb_(ReadBackbones(s)), n_(static_cast<int>(bb_.size())) {
    for (const auto& [i, j] : ClosePairs(bb_)) {
      if (!bb_[i].proline) Keep(bb_[i], j, Energy(bb_[i], bb_[j]));
      if (j != i + 1 && !bb_[j].proline) Keep(bb_[j], i, Energy(bb_[j], bb_[i]));
    }
  }

  int size() const { return n_; }
  const Backbone& operator[](int i) const { return bb_[static_cast<size_t>(i)]; }

  // The N-H of `donor` is hydrogen-bonded to the C=O of `acceptor`.
  bool Bond(int donor, int acceptor) const {
    if (donor < 0 || donor >= n_ || acceptor < 0) return false;
    for (const auto& [index, energy] : bb_[donor].acceptors) {
      if (index == acceptor && energy < kMaxBondEnergy) return true;
    }
    return false;
  }

  bool NoBreak(int from, int to) const {
    for (int i = from; i <= to; ++i) {
      if (i < 0 || i >= n_ || !bb_[i].complete) return false;
      if (i > from && bb_[i].breakBefore) return false;
    }
    return true;
  }

  Bridge BridgeOf(int i, int j) const {
    if (!NoBreak(i - 1, i + 1) || !NoBreak(j - 1, j + 1)) return Bridge::kNone;
    const int a = i - 1, b = i, c = i + 1, d = j - 1, e = j, f = j + 1;
    if ((Bond(c, e) && Bond(e, a)) || (Bond(f, b) && Bond(b, d))) return Bridge::kParallel;
    if ((Bond(c, d) && Bond(f, a)) || (Bond(e, b) && Bond(b, e))) return Bridge::kAntiparallel;
    return Bridge::kNone;
  }

 private:
  std::vector<Backbone> bb_;
  int n_;
};

struct Ladder {
  Bridge type;
  std::vector<int> i, j;  // partner residues, in the order of i
  int link = -1;          // the ladder this one is joined to through a bulge
};

// Bridges, grown into ladders as they continue. A bridge between i and j needs a hydrogen
// bond between a neighbour of i and one of j: only those j are tried, in increasing order,
// as an all-pairs loop would.
std::vector<Ladder> FindLadders(const HydrogenBonds& hb) {
  const int n = hb.size();
  std::vector<std::vector<int>> partners(static_cast<size_t>(n));
  for (int donor = 0; donor < n; ++donor) {
    for (const auto& [acceptor, energy] : hb[donor].acceptors) {
      if (acceptor < 0 || energy >= kMaxBondEnergy) continue;
      partners[static_cast<size_t>(donor)].push_back(acceptor);
      partners[static_cast<size_t>(acceptor)].push_back(donor);
    }
  }
  std::vector<Ladder> ladders;
  std::vector<int> candidates;
  for (int i = 1; i + 4 < n; ++i) {
    candidates.clear();
    for (int x = i - 1; x <= i + 1; ++x) {
      for (int y : partners[static_cast<size_t>(x)]) {
        for (int j = y - 1; j <= y + 1; ++j) {
          if (j >= i + 3 && j + 1 < n) candidates.push_back(j);
        }
      }
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    for (int j : candidates) {
      const Bridge type = hb.BridgeOf(i, j);
      if (type == Bridge::kNone) continue;
      // A bridge continuing a ladder: the next i with the next (parallel) or previous
      // (antiparallel) j.
      auto continues = [&](const Ladder& l) {
        if (l.type != type || l.i.back() + 1 != i) return false;
        return type == Bridge::kParallel ? l.j.back() + 1 == j : l.j.back() - 1 == j;
      };
      const auto ladder = std::find_if(ladders.begin(), ladders.end(), continues);
      if (ladder == ladders.end()) {
        ladders.push_back({type, {i}, {j}, -1});
      } else {
        ladder->i.push_back(i);
        ladder->j.push_back(j);
      }
    }
  }
  return ladders;
}

// Ladders of one kind joined through a bulge: a gap of up to 4 residues on one strand and 1
// on the other.
void JoinBulges(const HydrogenBonds& hb, std::vector<Ladder>& ladders) {
  for (size_t a = 0; a < ladders.size(); ++a) {
    for (size_t b = a + 1; b < ladders.size(); ++b) {
      const Ladder& l = ladders[a];
      const Ladder& m = ladders[b];
      if (l.type != m.type) continue;
      const int gapI = m.i.front() - l.i.back();
      if (gapI < 1 || gapI >= 6) continue;
      const int gapJ = l.type == Bridge::kParallel ? m.j.front() - l.j.back() : l.j.back() - m.j.front();
      if (gapJ < 0) continue;
      if ((gapI < 6 && gapJ < 3) || (gapI < 3 && gapJ < 6)) {
        if (hb.NoBreak(l.i.back(), m.i.front()) && ladders[a].link < 0) ladders[a].link = static_cast<int>(b);
      }
    }
  }
}

// E on both strands of every ladder of two or more bridges or joined to another one.
void MarkStrands(const std::vector<Ladder>& ladders, std::string& ss) {
  std::vector<bool> linked(ladders.size(), false);
  for (const Ladder& l : ladders) {
    if (l.link >= 0) linked[static_cast<size_t>(l.link)] = true;
  }
  auto mark = [&](int from, int to) {
    for (int r = std::min(from, to); r <= std::max(from, to); ++r) ss[r] = 'E';
  };
  for (size_t a = 0; a < ladders.size(); ++a) {
    const Ladder& l = ladders[a];
    if (l.i.size() < 2 && l.link < 0 && !linked[a]) continue;  // a lone bridge is no strand
    mark(l.i.front(), l.i.back());
    mark(l.j.front(), l.j.back());
    if (l.link >= 0) {
      const Ladder& m = ladders[static_cast<size_t>(l.link)];
      mark(l.i.back(), m.i.front());
      mark(l.j.back(), m.j.front());
    }
  }
}

// H for two consecutive 4-turns; pi helices (two consecutive 5-turns) win over alpha
// helices, never over strands, and count as coil here.
void MarkHelices(const HydrogenBonds& hb, std::string& ss) {
  const int n = hb.size();
  // Turns: an n-turn at i when the C=O of i takes the N-H of i + n.
  auto turns = [&](int k) {
    std::vector<bool> start(static_cast<size_t>(n), false);
    for (int i = 0; i + k < n; ++i) start[i] = hb.NoBreak(i, i + k) && hb.Bond(i + k, i);
    return start;
  };
  const std::vector<bool> turn4 = turns(4), turn5 = turns(5);
  for (int i = 1; i + 4 < n; ++i) {
    if (turn4[i] && turn4[i - 1]) {
      for (int j = i; j <= i + 3; ++j) ss[j] = 'H';
    }
  }
  std::vector<bool> pi(static_cast<size_t>(n), false);
  for (int i = 1; i + 5 < n; ++i) {
    if (!turn5[i] || !turn5[i - 1]) continue;
    bool free = true;
    for (int j = i; j <= i + 4; ++j) free = free && (ss[j] == '-' || ss[j] == 'H' || pi[j]);
    if (!free) continue;
    for (int j = i; j <= i + 4; ++j) pi[j] = true;
  }
  for (int i = 0; i < n; ++i) {
    if (pi[i]) ss[i] = '-';
  }
}

}  // namespace

std::string AssignSecondaryStructure(const Structure& structure) {
  const HydrogenBonds hb(structure);
  std::string ss(static_cast<size_t>(hb.size()), '-');
  std::vector<Ladder> ladders = FindLadders(hb);
  JoinBulges(hb, ladders);
  MarkStrands(ladders, ss);
  MarkHelices(hb, ss);
  return ss;
}

bool ApplySecondaryStructure(Structure& structure, bool hadRecords, SecondaryStructureSource source) {
  if (source == SecondaryStructureSource::kRecords) return false;
  if (source == SecondaryStructureSource::kRecordsElseComputed && hadRecords) return false;
  const std::string ss = AssignSecondaryStructure(structure);
  structure.helices.clear();
  structure.sheets.clear();
  for (size_t i = 0; i < ss.size(); ++i) {
    Residue& r = structure.residues[i];
    r.secStruct = ss[i] == 'H'   ? SecondaryStructure::kHelix
                  : ss[i] == 'E' ? SecondaryStructure::kSheet
                                 : SecondaryStructure::kCoil;
    if (ss[i] == '-') continue;
    // Runs of one state in one chain become the structure's ranges (for result files).
    std::vector<SecondaryRange>& ranges = ss[i] == 'H' ? structure.helices : structure.sheets;
    if (i > 0 && ss[i - 1] == ss[i] && structure.residues[i - 1].chainId == r.chainId && !ranges.empty()) {
      ranges.back().lastResSeq = r.resSeq;
    } else {
      ranges.push_back({r.resSeq, r.resSeq, r.chainId});
    }
  }
  return true;
}

}  // namespace tessmol
