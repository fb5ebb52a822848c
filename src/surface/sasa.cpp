#include "surface/sasa.h"

#include <algorithm>
#include <ostream>

#include "model/parallel.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tessmol {

namespace {

// The neighbours of one atom, packed for the inner loop: centre relative to the atom,
// squared radius, and what a point covered by this neighbour counts as. The lists are
// padded to whole blocks of eight with neighbours that cover nothing.
constexpr size_t kBlock = 8;

struct NeighbourBuffer {
  std::vector<float> x, y, z, r2;
  std::vector<uint8_t> contact, polar;
  // The same flags of the first 64 neighbours as bits: what the nearest cover of a point
  // counts as is then read from a register, not loaded from where the point says.
  uint64_t contactBits = 0, polarBits = 0;
  size_t count = 0;

  void Fill(const Structure& s, const Atom& atom, const std::vector<Neighbour>& neighbours) {
    count = neighbours.size();
    // Whole blocks, with room for the solvent's entry after the last neighbour.
    const size_t padded = (count + kBlock) / kBlock * kBlock;
    x.assign(padded, 0.0f);
    y.assign(padded, 0.0f);
    z.assign(padded, 0.0f);
    r2.assign(padded, -1.0f);  // no squared distance is below -1
    contact.assign(padded, 0);
    polar.assign(padded, 0);
    for (size_t k = 0; k < count; ++k) {
      const Atom& b = s.AtomAt(neighbours[k].second);
      x[k] = b.x - atom.x;
      y[k] = b.y - atom.y;
      z[k] = b.z - atom.z;
      r2[k] = b.radius * b.radius;
      // Contacts with atoms of the same residue number count neither as contact nor polar.
      const bool otherResidue = b.resSeq != atom.resSeq;
      contact[k] = otherResidue ? 1 : 0;
      polar[k] = otherResidue && b.polar ? 1 : 0;
    }
    contact[count] = 1;  // the solvent
    polar[count] = 1;
    contactBits = 0;
    polarBits = 0;
    for (size_t k = 0; k < std::min<size_t>(count + 1, 64); ++k) {
      contactBits |= uint64_t{contact[k]} << k;
      polarBits |= uint64_t{polar[k]} << k;
    }
  }
};

struct PassScratch {
  NeighbourScratch neighbours;
  NeighbourBuffer buffer;
};

// The first neighbour, in list order, whose sphere holds the point strictly inside;
// `count` when none does. Four or eight neighbours are tested at once, each lane with the
// same operations in the same order as one at a time (no fused multiply-add), so every
// width gives the same answer to the bit.
inline size_t FirstCover(const NeighbourBuffer& nb, float sx, float sy, float sz) {
#if defined(__SSE2__)
  const __m128 px = _mm_set1_ps(sx), py = _mm_set1_ps(sy), pz = _mm_set1_ps(sz);
  for (size_t k = 0; k < nb.count; k += 4) {
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

#if defined(__x86_64__) && defined(__GNUC__)
#define TESSMOL_AVX2 1
__attribute__((target("avx2"))) inline size_t FirstCoverWide(const NeighbourBuffer& nb, float sx, float sy,
                                                             float sz) {
  const __m256 px = _mm256_set1_ps(sx), py = _mm256_set1_ps(sy), pz = _mm256_set1_ps(sz);
  for (size_t k = 0; k < nb.count; k += 8) {
    const __m256 dx = _mm256_sub_ps(px, _mm256_loadu_ps(nb.x.data() + k));
    const __m256 dy = _mm256_sub_ps(py, _mm256_loadu_ps(nb.y.data() + k));
    const __m256 dz = _mm256_sub_ps(pz, _mm256_loadu_ps(nb.z.data() + k));
    const __m256 d2 =
        _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy)), _mm256_mul_ps(dz, dz));
    const int mask = _mm256_movemask_ps(_mm256_cmp_ps(d2, _mm256_loadu_ps(nb.r2.data() + k), _CMP_LT_OQ));
    if (mask != 0) return k + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
  return nb.count;
}
#endif

struct PointCounts {
  uint32_t buried = 0, contact = 0, polar = 0;
};

// The nearest covering neighbour decides what each point touches.
// The nearest covering neighbour decides what each point touches; a point no neighbour
// covers meets the entry after the last, the solvent, which counts as contact and polar.
#define TESSMOL_COUNT_POINTS(cover)                                  \
  for (const SpherePoint& p : points) {                              \
    const size_t k = cover(nb, r * p[0], r * p[1], r * p[2]);        \
    counts.buried += k != nb.count ? 1u : 0u;                        \
    if (k < 64) {                                                    \
      counts.contact += static_cast<uint32_t>(contactBits >> k) & 1u; \
      counts.polar += static_cast<uint32_t>(polarBits >> k) & 1u;     \
    } else {                                                         \
      counts.contact += nb.contact[k];                               \
      counts.polar += nb.polar[k];                                   \
    }                                                                \
  }

PointCounts CountPoints(const NeighbourBuffer& nb, float r, const std::vector<SpherePoint>& points) {
  PointCounts counts;
  const uint64_t contactBits = nb.contactBits, polarBits = nb.polarBits;
  TESSMOL_COUNT_POINTS(FirstCover)
  return counts;
}

#if defined(TESSMOL_AVX2)
__attribute__((target("avx2"))) PointCounts CountPointsWide(const NeighbourBuffer& nb, float r,
                                                            const std::vector<SpherePoint>& points) {
  PointCounts counts;
  const uint64_t contactBits = nb.contactBits, polarBits = nb.polarBits;
  TESSMOL_COUNT_POINTS(FirstCoverWide)
  return counts;
}
#endif
#undef TESSMOL_COUNT_POINTS

bool UseWideVectors(const SasaSettings& settings) {
#if defined(TESSMOL_AVX2)
  return settings.wideVectors && WideVectorsAvailable();
#else
  (void)settings;
  return false;
#endif
}

void SampleAtom(Atom& atom, const std::vector<SpherePoint>& points, const NeighbourBuffer& nb, bool wide) {
  const float r = atom.radius;
#if defined(TESSMOL_AVX2)
  const PointCounts counts = wide ? CountPointsWide(nb, r, points) : CountPoints(nb, r, points);
#else
  (void)wide;
  const PointCounts counts = CountPoints(nb, r, points);
#endif
  const float count = static_cast<float>(points.size());
  atom.sasa = ((count - static_cast<float>(counts.buried)) / count) * atom.sphereArea;
  atom.contactPoints = counts.contact;
  atom.polarPoints = counts.polar;
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
  // The grid of Load, or one made now; each atom's neighbours are found from it as the
  // atom is sampled, cell by cell, and the grid is let go at the end.
  std::shared_ptr<const NeighbourGrid> grid = std::move(protein.neighbourGrid);
  if (!grid) grid = std::make_shared<const NeighbourGrid>(s, !protein.ignoreHeteroAtoms);
  const bool wide = UseWideVectors(settings);
  ParallelChunks<PassScratch>(grid->CellCount(), 4, settings.threads, feedback,
                              [&](size_t begin, size_t end, PassScratch& scratch) {
                                scratch.neighbours.wideVectors = wide;
                                for (size_t c = begin; c < end; ++c) {
                                  grid->ForEachAtom(c, scratch.neighbours,
                                                    [&](AtomRef ref, const std::vector<Neighbour>& found) {
                                                      if (ref.hetero()) return;
                                                      Atom& atom = s.atoms[ref.index()];
                                                      scratch.buffer.Fill(s, atom, found);
                                                      SampleAtom(atom, points, scratch.buffer, wide);
                                                    });
                                }
                              });

  SumResidues(protein, settings.log);
  feedback.EndProgress();
  return true;
}

}  // namespace tessmol
