#include "transmembrane/symmetry.h"

#include <algorithm>
#include <cmath>

namespace tessmol {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The eigenvector of the largest eigenvalue of a symmetric 4 x 4 matrix, by cyclic Jacobi
// rotations (exact to rounding for so small a matrix); the eigenvalue in `value`.
std::array<double, 4> LargestEigenvector(std::array<std::array<double, 4>, 4> a, double& value) {
  std::array<std::array<double, 4>, 4> v{};
  for (int i = 0; i < 4; ++i) v[i][i] = 1.0;
  for (int sweep = 0; sweep < 50; ++sweep) {
    double off = 0.0;
    for (int p = 0; p < 4; ++p)
      for (int q = p + 1; q < 4; ++q) off += a[p][q] * a[p][q];
    if (off < 1e-30) break;
    for (int p = 0; p < 4; ++p) {
      for (int q = p + 1; q < 4; ++q) {
        if (a[p][q] == 0.0) continue;
        const double theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
        const double t = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
        const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
        for (int k = 0; k < 4; ++k) {
          const double akp = a[k][p], akq = a[k][q];
          a[k][p] = c * akp - s * akq;
          a[k][q] = s * akp + c * akq;
        }
        for (int k = 0; k < 4; ++k) {
          const double apk = a[p][k], aqk = a[q][k];
          a[p][k] = c * apk - s * aqk;
          a[q][k] = s * apk + c * aqk;
        }
        for (int k = 0; k < 4; ++k) {
          const double vkp = v[k][p], vkq = v[k][q];
          v[k][p] = c * vkp - s * vkq;
          v[k][q] = s * vkp + c * vkq;
        }
      }
    }
  }
  int best = 0;
  for (int i = 1; i < 4; ++i)
    if (a[i][i] > a[best][best]) best = i;
  value = a[best][best];
  return {v[0][best], v[1][best], v[2][best], v[3][best]};
}

Vec3d Centroid(const std::vector<Vec3d>& points) {
  Vec3d sum;
  for (const Vec3d& p : points) sum += p;
  return points.empty() ? sum : sum * (1.0 / static_cast<double>(points.size()));
}

// The CA-bearing residues of a chain, in order.
std::vector<int32_t> ChainResidues(const Structure& s, const Chain& chain) {
  std::vector<int32_t> list;
  for (int32_t r = chain.firstResidue; r >= 0 && r <= chain.lastResidue; ++r)
    if (s.residues[static_cast<size_t>(r)].caIndex >= 0) list.push_back(r);
  return list;
}

// The residues of two chains paired by a global alignment of their residue names (match 1,
// mismatch and gap -1), only identical names kept: copies numbered differently (one chain
// renumbered on from the other's end) or missing different loops still pair right.
std::vector<std::pair<int32_t, int32_t>> AlignChains(const Structure& s, const std::vector<int32_t>& a,
                                                     const std::vector<int32_t>& b) {
  const size_t n = a.size(), m = b.size();
  auto same = [&](size_t i, size_t j) {
    return s.residues[static_cast<size_t>(a[i])].name == s.residues[static_cast<size_t>(b[j])].name;
  };
  // Scores row by row; the moves kept for the way back (0 diagonal, 1 up, 2 left).
  std::vector<int> previous(m + 1), current(m + 1);
  std::vector<unsigned char> move((n + 1) * (m + 1), 2);
  for (size_t j = 0; j <= m; ++j) previous[j] = -static_cast<int>(j);
  for (size_t i = 1; i <= n; ++i) {
    current[0] = -static_cast<int>(i);
    move[i * (m + 1)] = 1;
    for (size_t j = 1; j <= m; ++j) {
      const int diagonal = previous[j - 1] + (same(i - 1, j - 1) ? 1 : -1);
      const int up = previous[j] - 1, left = current[j - 1] - 1;
      int best = diagonal;
      unsigned char step = 0;
      if (up > best) best = up, step = 1;
      if (left > best) best = left, step = 2;
      current[j] = best;
      move[i * (m + 1) + j] = step;
    }
    std::swap(previous, current);
  }
  std::vector<std::pair<int32_t, int32_t>> pairs;
  for (size_t i = n, j = m; i > 0 || j > 0;) {
    const unsigned char step = i == 0 ? 2 : j == 0 ? 1 : move[i * (m + 1) + j];
    if (step == 0) {
      if (same(i - 1, j - 1)) pairs.push_back({a[i - 1], b[j - 1]});
      --i, --j;
    } else if (step == 1) {
      --i;
    } else {
      --j;
    }
  }
  std::reverse(pairs.begin(), pairs.end());
  return pairs;
}

}  // namespace

Vec3d Superposition::Apply(const Vec3d& x) const {
  const std::array<double, 9>& r = rotation;
  return {r[0] * x.x + r[1] * x.y + r[2] * x.z + translation.x,
          r[3] * x.x + r[4] * x.y + r[5] * x.z + translation.y,
          r[6] * x.x + r[7] * x.y + r[8] * x.z + translation.z};
}

Superposition Superpose(const std::vector<Vec3d>& from, const std::vector<Vec3d>& to) {
  Superposition result;
  const size_t n = std::min(from.size(), to.size());
  if (n == 0) return result;
  const Vec3d cf = Centroid(from), ct = Centroid(to);
  double sab[3][3] = {};
  double squares = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const Vec3d a = from[i] - cf, b = to[i] - ct;
    for (size_t j = 0; j < 3; ++j)
      for (size_t k = 0; k < 3; ++k) sab[j][k] += a[j] * b[k];
    squares += a.LengthSquared() + b.LengthSquared();
  }
  const double sxx = sab[0][0], sxy = sab[0][1], sxz = sab[0][2], syx = sab[1][0], syy = sab[1][1],
               syz = sab[1][2], szx = sab[2][0], szy = sab[2][1], szz = sab[2][2];
  const std::array<std::array<double, 4>, 4> horn = {{
      {sxx + syy + szz, syz - szy, szx - sxz, sxy - syx},
      {syz - szy, sxx - syy - szz, sxy + syx, szx + sxz},
      {szx - sxz, sxy + syx, -sxx + syy - szz, syz + szy},
      {sxy - syx, szx + sxz, syz + szy, -sxx - syy + szz},
  }};
  double largest = 0.0;
  std::array<double, 4> q = LargestEigenvector(horn, largest);
  if (q[0] < 0.0)
    for (double& c : q) c = -c;
  const double w = q[0], x = q[1], y = q[2], z = q[3];
  result.rotation = {
      w * w + x * x - y * y - z * z, 2 * (x * y - w * z),           2 * (x * z + w * y),
      2 * (x * y + w * z),           w * w - x * x + y * y - z * z, 2 * (y * z - w * x),
      2 * (x * z - w * y),           2 * (y * z + w * x),           w * w - x * x - y * y + z * z};
  result.translation = Vec3d{};
  result.translation = ct - result.Apply(cf);
  result.rmsd = std::sqrt(std::max(0.0, squares - 2.0 * largest) / static_cast<double>(n));
  const double sine = std::sqrt(x * x + y * y + z * z);
  if (sine > 0.0) result.axis = Vec3d{x, y, z} * (1.0 / sine);
  result.angle = 2.0 * std::atan2(sine, w);
  result.screw = result.translation.Dot(result.axis);
  return result;
}

SymmetryAxis FindSymmetryAxis(const Structure& s, const std::vector<int32_t>& chains, const SymmetrySearch& p,
                              const std::vector<char>& residues) {
  SymmetryAxis found;
  const size_t n = chains.size();
  if (n < 2) return found;
  std::vector<std::vector<int32_t>> members;
  for (int32_t c : chains) members.push_back(ChainResidues(s, s.chains[static_cast<size_t>(c)]));
  auto position = [&](int32_t r) {
    const Atom& a = s.atoms[static_cast<size_t>(s.residues[static_cast<size_t>(r)].caIndex)];
    return Vec3d{a.x, a.y, a.z};
  };
  auto kept = [&](int32_t r) { return residues.empty() || residues[static_cast<size_t>(r)]; };
  // Each copy onto the first: the axes agree and the angles, seen along one axis, are
  // distinct multiples of 360 / order.
  std::vector<double> angles;  // degrees about the common axis
  std::vector<Vec3d> axes;
  Vec3d sum;
  for (size_t j = 1; j < n; ++j) {
    const std::vector<std::pair<int32_t, int32_t>> pairs = AlignChains(s, members[0], members[j]);
    const double shorter = static_cast<double>(std::min(members[0].size(), members[j].size()));
    if (static_cast<double>(pairs.size()) < p.minPairedShare * shorter) return found;  // another sequence
    std::vector<Vec3d> from, to;
    for (const auto& [r0, rj] : pairs) {
      if (!kept(r0) || !kept(rj)) continue;
      from.push_back(position(r0));
      to.push_back(position(rj));
    }
    const int paired = static_cast<int>(from.size());
    if (paired < p.minPaired) return found;
    const Superposition fit = Superpose(from, to);
    if (fit.rmsd > p.maxRmsd || std::fabs(fit.screw) > p.maxScrew) return found;
    Vec3d axis = fit.axis;
    double angle = fit.angle / kPi * 180.0;
    // A turn by a about u is a turn by 360 - a about -u: all angles are read along the first axis.
    if (!axes.empty() && axis.Dot(axes.front()) < 0.0) axis = -axis, angle = 360.0 - angle;
    angles.push_back(angle);
    axes.push_back(axis);
    sum += axis * static_cast<double>(paired);
    found.rmsd = std::max(found.rmsd, fit.rmsd);
    found.screw = std::max(found.screw, std::fabs(fit.screw));
    found.paired = j == 1 ? paired : std::min(found.paired, paired);
  }
  found.direction = sum.Normalised();
  for (const Vec3d& axis : axes)
    if (axis.Dot(found.direction) < std::cos(p.maxAxisSpread * kPi / 180.0)) return found;
  for (int order = std::max<int>(2, static_cast<int>(n)); order <= p.maxOrder; ++order) {
    const double step = 360.0 / order;
    std::vector<int> multiples;
    double worst = 0.0;
    bool fits = true;
    for (double angle : angles) {
      const int k = static_cast<int>(std::lround(angle / step));
      const double error = std::fabs(angle - k * step);
      if (k < 1 || k >= order || error > p.maxAngleError ||
          std::find(multiples.begin(), multiples.end(), k) != multiples.end()) {
        fits = false;
        break;
      }
      multiples.push_back(k);
      worst = std::max(worst, error);
    }
    if (!fits) continue;
    found.found = true;
    found.order = order;
    found.copies = static_cast<int>(n);
    found.angleError = worst;
    return found;
  }
  return found;
}

}  // namespace tessmol
