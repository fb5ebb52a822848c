#include "surface/sasa.h"

#include <algorithm>
#include <atomic>
#include <ostream>
#include <thread>

namespace tessmol {

namespace {

// The neighbours of one atom, packed for the inner loop: centre relative to the atom,
// squared radius, and what a point covered by this neighbour counts as.
struct NeighbourBuffer {
  std::vector<float> x, y, z, r2;
  std::vector<uint8_t> contact, polar;

  void Fill(const Structure& s, const Atom& atom) {
    const size_t n = atom.neighbours.size();
    x.resize(n);
    y.resize(n);
    z.resize(n);
    r2.resize(n);
    contact.resize(n);
    polar.resize(n);
    for (size_t k = 0; k < n; ++k) {
      const Atom& b = s.AtomAt(atom.neighbours[k]);
      x[k] = b.x - atom.x;
      y[k] = b.y - atom.y;
      z[k] = b.z - atom.z;
      r2[k] = b.radius * b.radius;
      // Contacts with atoms of the same residue number count neither as contact nor polar.
      const bool otherResidue = b.resSeq != atom.resSeq;
      contact[k] = otherResidue ? 1 : 0;
      polar[k] = otherResidue && b.polar ? 1 : 0;
    }
  }
};

void SampleAtom(const Structure& s, Atom& atom, const std::vector<SpherePoint>& points, NeighbourBuffer& nb) {
  nb.Fill(s, atom);
  const size_t n = nb.x.size();
  const float* bx = nb.x.data();
  const float* by = nb.y.data();
  const float* bz = nb.z.data();
  const float* br2 = nb.r2.data();
  const float r = atom.radius;
  uint32_t buried = 0, contact = 0, polar = 0;
  for (const SpherePoint& p : points) {
    const float sx = r * p[0], sy = r * p[1], sz = r * p[2];
    size_t k = 0;
    for (; k < n; ++k) {
      const float dx = sx - bx[k], dy = sy - by[k], dz = sz - bz[k];
      if (dx * dx + dy * dy + dz * dz < br2[k]) break;  // the nearest covering neighbour decides
    }
    if (k == n) {  // open to solvent: a contact, and a polar one
      ++contact;
      ++polar;
    } else {
      ++buried;
      contact += nb.contact[k];
      polar += nb.polar[k];
    }
  }
  const float count = static_cast<float>(points.size());
  atom.sasa = ((count - static_cast<float>(buried)) / count) * atom.sphereArea;
  atom.contactPoints = contact;
  atom.polarPoints = polar;
}

void SumResidues(Protein& protein, std::ostream* log) {
  Structure& s = protein.structure;
  s.totalSASA = 0.0f;
  for (Residue& r : s.residues) {
    r.mainSASA = 0.0f;
    r.sideSASA = 0.0f;
    r.contactPoints = 0;
    r.polarPoints = 0;
    if (r.HasMainChain()) {
      r.mainSASA = s.atoms[r.cIndex].sasa + s.atoms[r.oIndex].sasa + s.atoms[r.nIndex].sasa;
      // CA belongs to the side chain for areas and contacts: a glycine has a side area.
      r.sideSASA = s.atoms[r.caIndex].sasa;
      r.contactPoints = static_cast<int32_t>(s.atoms[r.caIndex].contactPoints);
      r.polarPoints = static_cast<int32_t>(s.atoms[r.caIndex].polarPoints);
    } else {
      if (log) {
        *log << "Warning!! - residue " << r.name << r.resSeq
             << " missing main chain atoms. Scores may be incorrect\n";
      }
      r.contactPoints = 1;
      r.polarPoints = 1;
    }
    for (int32_t index : r.sideChain) {
      const Atom& a = s.atoms[index];
      r.sideSASA += a.sasa;
      r.contactPoints += static_cast<int32_t>(a.contactPoints);
      r.polarPoints += static_cast<int32_t>(a.polarPoints);
    }
    if (r.type < 0 || r.type >= kResidueTypeCount) {
      r.areaBuried = 0.0f;
      r.fractionPolar = 0.0f;
      r.kavelinFP = 0.0f;
      if (log)
        *log << "Warning!! Unknown residue type, residue: " << r.resSeq << " chain: " << r.chainId << '\n';
    } else {
      const float reference = kReferenceSideArea[r.type];
      r.areaBuried = reference - r.sideSASA;
      // A side chain wholly covered by its own residue touches nothing: call it apolar.
      r.fractionPolar = r.contactPoints == 0
                            ? 0.0f
                            : static_cast<float>(r.polarPoints) / static_cast<float>(r.contactPoints);
      r.kavelinFP = r.fractionPolar - r.sideSASA / reference;
    }
    s.totalSASA += r.mainSASA;
    s.totalSASA += r.sideSASA;
  }
}

}  // namespace

bool CalculateSASA(Protein& protein, int resolution, const std::string& programFolder, Feedback& feedback,
                   const SasaSettings& settings) {
  const std::string file = SpherePointFile(resolution);
  const std::string path = programFolder + file;
  const std::vector<SpherePoint> points =
      file.empty() ? std::vector<SpherePoint>{} : ReadSpherePoints(path, settings.note);
  if (points.empty()) {
    feedback.ShowMessage(file.empty()
                             ? "Error: There is no sphere point set for resolution " +
                                   std::to_string(resolution) + ". Surface areas were not calculated."
                             : "Error: Could not read sphere points from " + path +
                                   ". Surface areas were not calculated.");
    return false;
  }
  return CalculateSASA(protein, points, feedback, settings);
}

bool CalculateSASA(Protein& protein, const std::vector<SpherePoint>& points, Feedback& feedback,
                   const SasaSettings& settings) {
  if (points.empty()) {
    feedback.ShowMessage("Error: The sphere point set is empty. Surface areas were not calculated.");
    return false;
  }
  if (settings.log) *settings.log << "Creating structure " << protein.fileName << "...\n";

  Structure& s = protein.structure;
  feedback.BeginProgress(kCalculatingSasa);
  feedback.SetProgress(0);

  const size_t atomCount = s.atoms.size();
  constexpr size_t kChunk = 64;
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  // Takes the next chunk of atoms; false when none is left.
  auto work = [&](NeighbourBuffer& buffer) {
    const size_t begin = next.fetch_add(kChunk, std::memory_order_relaxed);
    if (begin >= atomCount) return false;
    const size_t end = std::min(begin + kChunk, atomCount);
    for (size_t i = begin; i < end; ++i) SampleAtom(s, s.atoms[i], points, buffer);
    done.fetch_add(end - begin, std::memory_order_release);
    return true;
  };

  unsigned threads = settings.threads > 0 ? static_cast<unsigned>(settings.threads)
                                          : std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<size_t>(threads, std::max<size_t>(1, atomCount / kChunk)));
  std::vector<std::thread> helpers;
  for (unsigned t = 1; t < threads; ++t) {
    helpers.emplace_back([&work]() {
      NeighbourBuffer buffer;
      while (work(buffer)) {
      }
    });
  }
  // This thread works too, and it alone reports progress, so the percentages arrive in
  // order and on the thread that started the pass.
  NeighbourBuffer buffer;
  int lastPercent = 0;
  auto report = [&]() {
    if (atomCount == 0) return;
    const int percent = static_cast<int>(100 * done.load(std::memory_order_acquire) / atomCount);
    if (percent > lastPercent) {
      feedback.SetProgress(percent);
      lastPercent = percent;
    }
  };
  while (work(buffer)) report();
  for (std::thread& helper : helpers) helper.join();
  report();

  SumResidues(protein, settings.log);
  feedback.EndProgress();
  return true;
}

}  // namespace tessmol
