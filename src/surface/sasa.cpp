#include "surface/sasa.h"

#include <algorithm>
#include <ostream>

#include "model/parallel.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessmol {

namespace {

// The neighbours of one atom, packed for the inner loop: centre relative to the atom,
// squared radius, and what a point covered by this neighbour counts as. The lists are
// padded to whole blocks of four with neighbours that cover nothing.
constexpr size_t kBlock = 4;

struct NeighbourBuffer {
  std::vector<float> x, y, z, r2;
  std::vector<uint8_t> contact, polar;
  size_t count = 0;

  void Fill(const Structure& s, const Atom& atom) {
    count = atom.neighbours.size();
    const size_t padded = (count + kBlock - 1) / kBlock * kBlock;
    x.assign(padded, 0.0f);
    y.assign(padded, 0.0f);
    z.assign(padded, 0.0f);
    r2.assign(padded, -1.0f);  // no squared distance is below -1
    contact.assign(padded, 0);
    polar.assign(padded, 0);
    for (size_t k = 0; k < count; ++k) {
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

// The first neighbour, in list order, whose sphere holds the point strictly inside;
// `count` when none does. Four neighbours are tested at once with the same arithmetic as
// one at a time, so the answer is the same to the bit.
size_t FirstCover(const NeighbourBuffer& nb, float sx, float sy, float sz) {
#if defined(__SSE2__)
  const __m128 px = _mm_set1_ps(sx), py = _mm_set1_ps(sy), pz = _mm_set1_ps(sz);
  for (size_t k = 0; k < nb.count; k += kBlock) {
    const __m128 dx = _mm_sub_ps(px, _mm_loadu_ps(nb.x.data() + k));
    const __m128 dy = _mm_sub_ps(py, _mm_loadu_ps(nb.y.data() + k));
    const __m128 dz = _mm_sub_ps(pz, _mm_loadu_ps(nb.z.data() + k));
    const __m128 d2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
    const int mask = _mm_movemask_ps(_mm_cmplt_ps(d2, _mm_loadu_ps(nb.r2.data() + k)));
    if (mask != 0) return k + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
  return nb.count;
#else
  for (size_t k = 0; k < nb.count; ++k) {
    const float dx = sx - nb.x[k], dy = sy - nb.y[k], dz = sz - nb.z[k];
    if (dx * dx + dy * dy + dz * dz < nb.r2[k]) return k;
  }
  return nb.count;
#endif
}

void SampleAtom(const Structure& s, Atom& atom, const std::vector<SpherePoint>& points, NeighbourBuffer& nb) {
  nb.Fill(s, atom);
  const float r = atom.radius;
  uint32_t buried = 0, contact = 0, polar = 0;
  for (const SpherePoint& p : points) {
    // The nearest covering neighbour decides what the point touches.
    const size_t k = FirstCover(nb, r * p[0], r * p[1], r * p[2]);
    if (k == nb.count) {  // open to solvent: a contact, and a polar one
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
  ParallelChunks<NeighbourBuffer>(s.atoms.size(), 64, settings.threads, feedback,
                                  [&](size_t begin, size_t end, NeighbourBuffer& buffer) {
                                    for (size_t i = begin; i < end; ++i)
                                      SampleAtom(s, s.atoms[i], points, buffer);
                                  });

  SumResidues(protein, settings.log);
  feedback.EndProgress();
  return true;
}

}  // namespace tessmol
