// The speed tricks of the core against the plain code they replace, each on the same input
// and checked to give the same result: user CPU time of this thread, best of `--rounds`
// (default 5), so that other work on a shared machine counts as little as it can.
//   number text:   FormatNumberTo against std::to_chars(general, 6)
//   number read:   ParseReal's plain-decimal path against strtod
//   neighbour sort: SortNeighbourKeys against std::sort, on lists of 40 keys
//   surface pass:  the patches with eight lanes, with four lanes, and one point at a time
//                  over the same neighbour lists, on the structure given
//   result file:   WriteResult of the structure given (wall time: its second thread saves
//                  time, not work; run once under `taskset -c 0` to see one core's time),
//                  and its process CPU time against the stream operators writing only the
//                  atom records (user time of the process, both threads)
// Usage: bench_kernels STRUCTURE.pdb [--rounds N]
#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/program_folder.h"
#include "base/text.h"
#include "document/result_file.h"
#include "model/het_radii_file.h"
#include "model/neighbour_grid.h"
#include "model/pdb_reader.h"
#include "model/protein.h"
#include "surface/sasa.h"
#include "surface/sphere_points.h"

namespace {

using namespace tessmol;

int rounds = 5;

double ThreadUserSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec) + 1e-6 * static_cast<double>(usage.ru_utime.tv_usec);
}

// Best of the rounds, in user seconds of this thread; `setup` runs untimed before each.
double Best(
    const std::function<void()>& work, const std::function<void()>& setup = [] {}) {
  double best = 1e30;
  for (int r = 0; r < rounds; ++r) {
    setup();
    const double start = ThreadUserSeconds();
    work();
    best = std::min(best, ThreadUserSeconds() - start);
  }
  return best;
}

double BestWall(const std::function<void()>& work) {
  double best = 1e30;
  for (int r = 0; r < rounds; ++r) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

void Line(const char* what, double trick, double plain) {
  std::printf("%-16s %8.4f s  plain %8.4f s  ratio %.2f\n", what, trick, plain, trick / plain);
}

bool NumberText() {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(-200.0f, 200.0f);
  std::vector<float> values(2000000);
  for (float& v : values) v = coordinate(random);
  char a[32], b[32];
  size_t sum = 0;
  const double trick = Best([&] {
    for (float v : values) sum += static_cast<size_t>(FormatNumberTo(a, static_cast<double>(v)) - a);
  });
  const double plain = Best([&] {
    for (float v : values)
      sum += static_cast<size_t>(
          std::to_chars(b, b + 32, static_cast<double>(v), std::chars_format::general, 6).ptr - b);
  });
  Line("number text", trick, plain);
  for (float v : values) {
    if (std::string(a, FormatNumberTo(a, v)) !=
        std::string(b, std::to_chars(b, b + 32, static_cast<double>(v), std::chars_format::general, 6).ptr))
      return false;
  }
  return sum > 0;
}

bool NumberRead() {
  std::mt19937 random(8);
  std::uniform_real_distribution<double> coordinate(-200.0, 200.0);
  std::vector<std::string> texts(2000000);
  char buffer[32];
  for (std::string& t : texts) {
    std::snprintf(buffer, sizeof buffer, "%.3f", coordinate(random));
    t = buffer;
  }
  double sum = 0.0;
  const double trick = Best([&] {
    for (const std::string& t : texts) sum += ParseReal(t);
  });
  const double plain = Best([&] {
    for (const std::string& t : texts) sum += std::strtod(t.c_str(), nullptr);
  });
  Line("number read", trick, plain);
  for (const std::string& t : texts) {
    if (ParseReal(t) != std::strtod(t.c_str(), nullptr)) return false;
  }
  return sum != 0.5;
}

bool NeighbourSort() {
  std::mt19937_64 random(9);
  std::vector<std::vector<uint64_t>> lists(200000);
  for (std::vector<uint64_t>& keys : lists) {
    for (int k = 0; k < 40; ++k) {
      // A squared distance up to 49 above an atom index, as the grid makes them.
      const float d2 = std::uniform_real_distribution<float>(0.0f, 49.0f)(random);
      uint32_t bits;
      std::memcpy(&bits, &d2, sizeof bits);
      keys.push_back((uint64_t{bits} << 32) | (random() & 0xffffu));
    }
  }
  std::vector<std::vector<uint64_t>> a = lists, b = lists;
  std::vector<uint64_t> spare;
  const double trick = Best([&] {
    a = lists;
    for (std::vector<uint64_t>& keys : a) SortNeighbourKeys(keys, spare);
  });
  const double copy = Best([&] { b = lists; });
  const double plain = Best([&] {
    b = lists;
    for (std::vector<uint64_t>& keys : b) std::sort(keys.begin(), keys.end());
  });
  Line("neighbour sort", trick - copy, plain - copy);
  return a == b;
}

// The pass one point at a time over each atom's neighbour list, nearest first: the plain
// form of what the patches do (tests/surface/sasa_test.cpp holds the two equal).
std::vector<float> OnePointAtATime(const Protein& protein, const std::vector<SpherePoint>& points) {
  const Structure& s = protein.structure;
  std::vector<float> areas;
  for (size_t i = 0; i < s.atoms.size(); ++i) {
    const Atom& a = s.atoms[i];
    const std::vector<Neighbour> near =
        protein.neighbourGrid->NeighboursOf(AtomRef::Protein(static_cast<int32_t>(i)));
    uint32_t buried = 0;
    for (const SpherePoint& p : points) {
      const float px = a.radius * p[0], py = a.radius * p[1], pz = a.radius * p[2];
      for (const Neighbour& n : near) {
        const Atom& b = n.second.hetero() ? s.hetAtoms[n.second.index()] : s.atoms[n.second.index()];
        const float dx = px - (b.x - a.x), dy = py - (b.y - a.y), dz = pz - (b.z - a.z);
        if (dx * dx + dy * dy + dz * dz < b.radius * b.radius) {
          ++buried;
          break;
        }
      }
    }
    areas.push_back(static_cast<float>(buried));
  }
  return areas;
}

bool SurfacePass(Protein& protein) {
  SilentFeedback quiet;
  const std::vector<SpherePoint> points = ReadSpherePoints(ExecutableFolder() + SpherePointFile(3));
  if (points.empty()) return false;
  const SurfacePoints grouped(points);
  SasaSettings one;
  one.threads = 1;
  SasaSettings four = one;
  four.wideVectors = false;
  // The pass takes the grid Load made; each round is given it again, untimed.
  const std::shared_ptr<const NeighbourGrid> grid = protein.neighbourGrid;
  const auto regrid = [&] { protein.neighbourGrid = grid; };
  bool ok = true;
  const double wide = Best([&] { ok = ok && CalculateSASA(protein, grouped, quiet, one); }, regrid);
  const double narrow = Best([&] { ok = ok && CalculateSASA(protein, grouped, quiet, four); }, regrid);
  regrid();
  // The result file below writes the areas of this pass.
  if (auto surface = CalculateSASA(protein, grouped, quiet, one)) protein.surface = std::move(*surface);
  regrid();
  std::vector<float> buried;
  const double plain = Best([&] { buried = OnePointAtATime(protein, points); });
  std::printf("surface pass     %8.4f s  four lanes %8.4f s  one point at a time %8.4f s  ratio %.2f\n", wide,
              narrow, plain, wide / plain);
  return ok && !buried.empty();
}

double ProcessUserSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec) + 1e-6 * static_cast<double>(usage.ru_utime.tv_usec);
}

// The atom records through the stream operators, as the writer once made them (a float
// written by a default stream is printf's %g, FormatNumber's text).
std::string AtomRecordsByStream(const Protein& p) {
  std::ostringstream out;
  for (size_t i = 0; i < p.structure.atoms.size(); ++i) {
    const Atom& a = p.structure.atoms[i];
    const AtomSurface& area = p.surface.atoms[i];
    out << "ATOM\t" << a.name << '\t' << (a.chainId == '\0' ? ' ' : a.chainId) << '\t' << a.index << '\t'
        << a.serial << '\t' << a.x << '\t' << a.y << '\t' << a.z << '\t' << a.resSeq << '\t'
        << static_cast<int32_t>(a.atomClass) << '\t' << a.radius << '\t' << a.sphereArea << '\t' << area.sasa
        << '\t' << (a.polar ? 1 : 0) << '\t' << area.contactPoints << '\t' << area.polarPoints << '\n';
  }
  return out.str();
}

std::string AtomLines(const std::string& text) {
  std::string atoms;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("ATOM\t", 0) == 0) atoms += line + '\n';
  }
  return atoms;
}

bool ResultFile(const Protein& s) {
  std::string text, plain;
  const double wall = BestWall([&] {
    std::ostringstream out;
    WriteResult(s, out);
    text = out.str();
  });
  // CPU of both threads: the work the record buffer does, against the stream operators
  // doing the atom records alone.
  double best = 1e30, bestPlain = 1e30;
  for (int r = 0; r < rounds; ++r) {
    double start = ProcessUserSeconds();
    std::ostringstream out;
    WriteResult(s, out);
    best = std::min(best, ProcessUserSeconds() - start);
    start = ProcessUserSeconds();
    plain = AtomRecordsByStream(s);
    bestPlain = std::min(bestPlain, ProcessUserSeconds() - start);
  }
  std::printf("result file      %8.4f s wall for %zu atoms, %.1f MB\n", wall, s.structure.atoms.size(),
              static_cast<double>(text.size()) / 1e6);
  Line("result records", best, bestPlain);
  return AtomLines(text) == plain;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_kernels STRUCTURE.pdb [--rounds N]\n");
    return 2;
  }
  if (argc > 3 && std::string(argv[2]) == "--rounds") rounds = std::max(1, std::atoi(argv[3]));
  SilentFeedback quiet;
  HetAtomRadii radii;
  if (const FileStatus loaded = LoadHetAtomRadii(ExecutableFolder() + kHetRadiiFile, radii, quiet); !loaded) {
    std::fprintf(stderr, "%s\n", loaded.Describe().c_str());
    return 1;
  }
  PdbReader reader(radii);
  if (!reader.Open(argv[1])) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  if (const FileStatus read = reader.Read(); !read) {
    std::fprintf(stderr, "%s\n", read.Describe().c_str());
    return 1;
  }
  Protein protein;
  protein.structure = std::move(reader.structure());
  protein.Load(quiet);
  std::printf("%s: %zu atoms; best of %d rounds, user seconds of one thread\n", argv[1],
              protein.structure.atoms.size(), rounds);
  bool same = NumberText();
  same = NumberRead() && same;
  same = NeighbourSort() && same;
  same = SurfacePass(protein) && same;
  same = ResultFile(protein) && same;
  if (!same) std::printf("a trick and its plain form disagree\n");
  return same ? 0 : 1;
}
