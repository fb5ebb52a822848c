// The membrane placed on structures whose frame is known, each first turned and moved at
// random (seeded) so that no method can assume the frame:
// - MEMBRANE.pdb with MEMBRANE.span: coordinates in the membrane frame (normal z, centre
//   z = 0) and structure-derived segments numbered 1.. in file order;
// - OPM.pdb: the frame and the planes from its DUM pseudo-atoms;
// - anything after --soluble: must get no placement.
// Prints the normal's angle to the true one, the centre's offset along it, the
// half-thickness against OPM's, segments found (5-residue overlap) and the time of the
// placement alone.
//
// Usage: bench_membrane_placement [--seed N] [--threads N] [--surface-weight W] [--plateau P] [--axis-rounds
// N] [--symmetry-angle DEGREES] FILE... [--soluble FILE...]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/program_folder.h"
#include "document/tessmol_doc.h"
#include "transmembrane/geometry.h"
#include "transmembrane/membrane_slab.h"

namespace {

using tessmol::Vec3;
using Segment = std::pair<int, int>;

struct Truth {
  Vec3 normal{0, 0, 1};
  Vec3 centre{0, 0, 0};
  float halfThickness = 0.0f;  // 0: not known
  std::vector<Segment> segments;
  bool hasSegments = false;
};

std::vector<Segment> ReadSpan(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::vector<Segment> segments;
  for (int i = 0; i < 4; ++i) std::getline(in, line);
  int first, last;
  while (in >> first >> last) segments.push_back({first, last});
  return segments;
}

// Turns and moves every coordinate of a PDB file; the DUM planes give the truth first.
Truth Transform(const std::string& in, const std::string& out, const tessmol::Mat4& m) {
  Truth truth;
  std::ifstream src(in);
  std::ofstream dst(out);
  std::string line;
  float zN = 0, zO = 0;
  bool dum = false;
  while (std::getline(src, line)) {
    const bool atom = line.rfind("ATOM  ", 0) == 0 || line.rfind("HETATM", 0) == 0;
    if (atom && line.size() >= 54) {
      const Vec3 p{std::stof(line.substr(30, 8)), std::stof(line.substr(38, 8)),
                   std::stof(line.substr(46, 8))};
      if (line.substr(17, 3) == "DUM") {
        dum = true;
        (line[13] == 'N' ? zN : zO) = p.z;
        continue;
      }
      const Vec3 q = m.Apply(p);
      char xyz[32];
      std::snprintf(xyz, sizeof xyz, "%8.3f%8.3f%8.3f", q.x, q.y, q.z);
      line.replace(30, 24, xyz);
    }
    dst << line << '\n';
  }
  if (dum) {
    truth.halfThickness = std::fabs(zO - zN) / 2.0f;
    truth.centre = {0, 0, (zO + zN) / 2.0f};
  }
  truth.normal = m.ApplyDirection(truth.normal);
  truth.centre = m.Apply(truth.centre);
  return truth;
}

int Overlap(Segment a, Segment b) {
  return std::max(0, std::min(a.second, b.second) - std::max(a.first, b.first) + 1);
}

}  // namespace

int main(int argc, char** argv) {
  unsigned seed = 1;
  int threads = 2;
  float surfaceWeight = tessmol::SlabSearch{}.surfaceWeight;
  float plateau = tessmol::SlabSearch{}.plateau;
  int axisRounds = tessmol::SlabSearch{}.axisRounds;
  float symmetryAngle = tessmol::SlabSearch{}.maxSymmetryAngle;
  std::vector<std::string> membranes, soluble;
  bool inSoluble = false;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg == "--seed" && a + 1 < argc) {
      seed = static_cast<unsigned>(std::stoul(argv[++a]));
    } else if (arg == "--threads" && a + 1 < argc) {
      threads = std::stoi(argv[++a]);
    } else if (arg == "--surface-weight" && a + 1 < argc) {
      surfaceWeight = std::stof(argv[++a]);
    } else if (arg == "--plateau" && a + 1 < argc) {
      plateau = std::stof(argv[++a]);
    } else if (arg == "--axis-rounds" && a + 1 < argc) {
      axisRounds = std::stoi(argv[++a]);
    } else if (arg == "--symmetry-angle" && a + 1 < argc) {
      symmetryAngle = std::stof(argv[++a]);
    } else if (arg == "--soluble") {
      inSoluble = true;
    } else {
      (inSoluble ? soluble : membranes).push_back(arg);
    }
  }
  if (membranes.empty() && soluble.empty()) {
    std::fprintf(stderr,
                 "usage: bench_membrane_placement [--seed N] [--threads N] [--surface-weight W] [--plateau "
                 "P] [--axis-rounds N] [--symmetry-angle DEGREES] FILE... "
                 "[--soluble FILE...]\n");
    return 2;
  }
  tessmol::ProcessState state(tessmol::ExecutableFolder());
  tessmol::SilentFeedback quiet;
  tessmol::CTessmolDoc doc(state, quiet);
  tessmol::AnalysisSettings settings;
  settings.ignoreHeteroAtoms = true;
  settings.threads = threads;
  doc.SetSettings(settings);
  state.CloseLog();
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  const std::string tmp = (std::filesystem::temp_directory_path() / "tessmol_membrane_bench.pdb").string();

  int placedWell = 0, annotated = 0, found = 0, predicted = 0, onTarget = 0, solubleRight = 0;
  double worstAngle = 0, worstCentre = 0, worstThickness = 0, slowest = 0;
  std::printf("%-16s %6s %6s %7s %6s %5s %5s %6s %9s %8s\n", "structure", "score", "frame", "angle", "centre",
              "half", "true", "atoms", "segments", "time/ms");
  auto run = [&](const std::string& path, bool isSoluble) {
    // A uniformly random rotation (Shoemake's quaternion) and a shift of up to 50 A.
    const float u1 = unit(random), u2 = unit(random), u3 = unit(random);
    const float qa = std::sqrt(1 - u1) * std::sin(2 * M_PI * u2),
                qb = std::sqrt(1 - u1) * std::cos(2 * M_PI * u2),
                qc = std::sqrt(u1) * std::sin(2 * M_PI * u3), qd = std::sqrt(u1) * std::cos(2 * M_PI * u3);
    const float angle = 2.0f * std::acos(std::min(1.0f, std::fabs(qd)));
    const Vec3 axis = Vec3{qa, qb, qc}.Normalised();
    const Vec3 shift{100 * unit(random) - 50, 100 * unit(random) - 50, 100 * unit(random) - 50};
    const tessmol::Mat4 m = tessmol::Mat4::Translation(shift) * tessmol::Mat4::Rotation(axis, angle);
    Truth truth = Transform(path, tmp, m);
    std::string span = path.substr(0, path.size() - 4) + ".span";
    if (!isSoluble && std::filesystem::exists(span)) {
      truth.segments = ReadSpan(span);
      truth.hasSegments = true;
    }
    tessmol::Protein protein;
    if (doc.AnalyseFile(tmp, protein) != tessmol::CTessmolDoc::OpenResult::kOpened) {
      std::fprintf(stderr, "cannot analyse %s\n", path.c_str());
      return;
    }
    tessmol::SlabSearch search;
    search.threads = threads;
    search.surfaceWeight = surfaceWeight;
    search.plateau = plateau;
    search.axisRounds = axisRounds;
    search.maxSymmetryAngle = symmetryAngle;
    const auto start = std::chrono::steady_clock::now();
    // As the commands place it: several placements only for chains that cannot share one.
    const std::vector<tessmol::MembranePlacement> placements =
        tessmol::PlaceMembranes(protein.structure, protein.surface, search, quiet);
    const tessmol::MembranePlacement& slab = placements.front();
    if (placements.size() > 1) std::fprintf(stderr, "%s: %zu placements\n", path.c_str(), placements.size());
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    slowest = std::max(slowest, ms);
    const std::string name = std::filesystem::path(path).filename().string();
    if (isSoluble) {
      solubleRight += slab.placed ? 0 : 1;
      std::printf("%-16s %6.1f %6s %7s %6s %5s %5s %6zu %9s %8.0f\n", name.substr(0, 16).c_str(), slab.score,
                  "", slab.placed ? "PLACED" : "none", "", "", "", protein.structure.atoms.size(), "", ms);
      return;
    }
    const Vec3 n{slab.normal[0], slab.normal[1], slab.normal[2]};
    const double angleError = std::acos(std::min(1.0f, std::fabs(n.Dot(truth.normal)))) / tessmol::kDegrees;
    const Vec3 c{slab.centre[0], slab.centre[1], slab.centre[2]};
    const double centreError = std::fabs((c - truth.centre).Dot(truth.normal));
    const tessmol::MembranePlacement along = tessmol::PlaceMembraneAlong(
        protein.structure, protein.surface, {truth.normal.x, truth.normal.y, truth.normal.z}, search);
    const bool good =
        slab.placed && angleError <= 10.0 && centreError <= 2.5 &&
        (truth.halfThickness == 0.0f || std::fabs(slab.halfThickness - truth.halfThickness) <= 3.0f);
    placedWell += good ? 1 : 0;
    worstAngle = std::max(worstAngle, angleError);
    worstCentre = std::max(worstCentre, centreError);
    if (truth.halfThickness > 0)
      worstThickness =
          std::max(worstThickness, static_cast<double>(std::fabs(slab.halfThickness - truth.halfThickness)));
    char segments[32] = "";
    if (truth.hasSegments) {
      std::vector<bool> used(truth.segments.size(), false);
      int f = 0, t = 0;
      for (const tessmol::SlabSegment& s : slab.segments) {
        const Segment p{s.first + 1, s.last + 1};
        bool hit = false;
        for (size_t k = 0; k < truth.segments.size(); ++k) {
          if (Overlap(p, truth.segments[k]) < 5) continue;
          hit = true;
          if (!used[k]) {
            used[k] = true;
            ++f;
            break;
          }
        }
        t += hit ? 1 : 0;
      }
      annotated += static_cast<int>(truth.segments.size());
      found += f;
      predicted += static_cast<int>(slab.segments.size());
      onTarget += t;
      std::snprintf(segments, sizeof segments, "%d/%zu/%zu", f, truth.segments.size(), slab.segments.size());
    }
    char half[16] = "";
    if (truth.halfThickness > 0) std::snprintf(half, sizeof half, "%.1f", truth.halfThickness);
    std::printf("%-16s %6.1f %6.1f %7.1f %6.1f %5.1f %5s %6zu %9s %8.0f%s\n", name.substr(0, 16).c_str(),
                slab.score, along.score, angleError, centreError, slab.halfThickness, half,
                protein.structure.atoms.size(), segments, ms,
                slab.placed ? (good ? "" : "  MISSED") : "  NOT PLACED");
  };
  for (const std::string& path : membranes) run(path, false);
  for (const std::string& path : soluble) run(path, true);
  std::filesystem::remove(tmp);
  std::printf("\nmembranes placed within 10 deg and 2.5 A (and 3 A of OPM's half-thickness): %d of %zu\n",
              placedWell, membranes.size());
  std::printf("worst normal %.1f deg, worst centre %.1f A, worst half-thickness %.1f A\n", worstAngle,
              worstCentre, worstThickness);
  if (annotated > 0) {
    std::printf(
        "segments: found %d of %d annotated (%.2f), %d of %d predicted on an annotated one (extra %.2f)\n",
        found, annotated, double(found) / annotated, onTarget, predicted,
        predicted ? 1.0 - double(onTarget) / predicted : 0.0);
  }
  std::printf("soluble without a placement: %d of %zu\n", solubleRight, soluble.size());
  std::printf("slowest placement: %.0f ms on %d threads\n", slowest, threads);
  return 0;
}
