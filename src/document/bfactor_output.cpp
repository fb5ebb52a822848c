#include "document/bfactor_output.h"

#include <optional>

// gemmi's writer, compiled here once. Debian's gemmi comes without its bundled
// stb_sprintf; the C library's snprintf formats its numbers instead.
#define GEMMI_WRITE_IMPLEMENTATION
#define USE_STD_SNPRINTF
#include <cmath>
#include <cstdio>
#include <functional>
#include <gemmi/assembly.hpp>
#include <gemmi/cif.hpp>
#include <gemmi/mmcif.hpp>
#include <gemmi/pdb.hpp>
#include <gemmi/to_cif.hpp>
#include <gemmi/to_mmcif.hpp>
// gemmi's PDB writer formats into fixed-width fields on purpose; GCC warns about it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-truncation"
#include <gemmi/to_pdb.hpp>
#pragma GCC diagnostic pop
#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <tuple>

#include "base/text.h"
#include "model/pdb_reader.h"
#include "model/structure_file.h"

namespace tessmol {

std::optional<BFactorValue> BFactorValueNamed(const std::string& name) {
  static const std::map<std::string, BFactorValue> kValues = {
      {"overall", BFactorValue::kOverall},
      {"solvent", BFactorValue::kSolvent},
      {"kavelin", BFactorValue::kKavelin},
      {"sasa", BFactorValue::kSasa},
      {"transmembrane", BFactorValue::kTransmembrane}};
  const auto found = kValues.find(name);
  if (found == kValues.end()) return std::nullopt;
  return found->second;
}

namespace {

double Value(const Protein& protein, size_t i, BFactorValue which) {
  const ResidueSurface& surface = protein.surface.residues[i];
  const ResidueScore& scores = protein.scores.residues[i];
  switch (which) {
    case BFactorValue::kOverall:
      return scores.overallScore;
    case BFactorValue::kSolvent:
      return scores.solventScore;
    case BFactorValue::kKavelin:
      return scores.kavelinScore;
    case BFactorValue::kSasa:
      return static_cast<double>(surface.mainSASA) + surface.sideSASA;
    case BFactorValue::kTransmembrane:
      return protein.transmembrane.residues[i].transmembrane ? 1.0 : 0.0;
  }
  return 0.0;
}

// The atoms of a residue in file order.
std::vector<int32_t> AtomsOf(const Residue& r) {
  std::vector<int32_t> atoms;
  for (int32_t i : {r.nIndex, r.caIndex, r.cIndex, r.oIndex}) {
    if (i >= 0) atoms.push_back(i);
  }
  atoms.insert(atoms.end(), r.sideChain.begin(), r.sideChain.end());
  std::sort(atoms.begin(), atoms.end());
  return atoms;
}

std::string Element(const std::string& name) {
  for (char c : name) {
    if (std::isalpha(static_cast<unsigned char>(c))) return std::string(1, c);
  }
  return "X";
}

std::string StructureNameOf(const std::string& fileName) {
  std::string name = fileName;
  const size_t dot = name.find('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name.empty() ? std::string("structure") : name;
}

std::string PdbName(const std::string& name) {
  char field[8];
  std::snprintf(field, sizeof field, name.size() < 4 ? " %-3s" : "%-4s", name.c_str());
  return std::string(field, 4);
}

void WritePdb(std::ostream& out, const Structure& s, const std::vector<double>& values,
              const std::function<void(int&)>& extra = {}) {
  char line[128];
  int serial = 0;
  for (size_t i = 0; i < s.residues.size(); ++i) {
    const Residue& r = s.residues[i];
    for (int32_t index : AtomsOf(r)) {
      const Atom& a = s.atoms[index];
      std::snprintf(
          line, sizeof line, "ATOM  %5d %4s %-3.3s %c%4d%c   %8.3f%8.3f%8.3f%6.2f%6.2f          %2s\n",
          ++serial % 100000, PdbName(a.name).c_str(), r.name.c_str(), r.chainId == '\0' ? ' ' : r.chainId,
          r.resSeq, r.iCode == '\0' ? ' ' : r.iCode, a.x, a.y, a.z, 1.0, values[i], Element(a.name).c_str());
      out << line;
    }
  }
  for (const HetAtom& h : s.hetAtoms) {
    std::snprintf(line, sizeof line, "HETATM%5d %4.4s %-3.3s %c%4d    %8.3f%8.3f%8.3f%6.2f%6.2f\n",
                  ++serial % 100000, h.name.c_str(), h.residueName.c_str(),
                  h.chainId == '\0' ? ' ' : h.chainId, h.resSeq, h.x, h.y, h.z, 1.0, 0.0);
    out << line;
  }
  if (extra) extra(serial);
  out << "END\n";
}

void WriteMmcif(std::ostream& out, const Structure& s, const std::vector<double>& values,
                const std::string& name) {
  gemmi::Structure st;
  st.name = StructureNameOf(name);
  gemmi::Model model("1");
  for (size_t k = 0; k < s.chains.size(); ++k) {
    gemmi::Chain chain(s.ChainName(k));
    for (int32_t i = s.chains[k].firstResidue; i >= 0 && i <= s.chains[k].lastResidue; ++i) {
      const Residue& r = s.residues[i];
      gemmi::Residue residue(
          gemmi::ResidueId{gemmi::SeqId(r.resSeq, r.iCode == '\0' ? ' ' : r.iCode), "", r.name});
      residue.het_flag = 'A';
      residue.subchain = s.ChainName(k);
      for (int32_t index : AtomsOf(r)) {
        const Atom& a = s.atoms[index];
        gemmi::Atom atom;
        atom.name = a.name;
        atom.element = gemmi::Element(Element(a.name));
        atom.pos = gemmi::Position(a.x, a.y, a.z);
        atom.occ = 1.0f;
        atom.b_iso = static_cast<float>(values[i]);
        residue.atoms.push_back(atom);
      }
      chain.residues.push_back(std::move(residue));
    }
    model.chains.push_back(std::move(chain));
  }
  st.models.push_back(std::move(model));
  gemmi::cif::write_cif_to_stream(out, gemmi::make_mmcif_document(st));
}

}  // namespace

std::vector<double> ResidueValues(const Protein& protein, BFactorValue which, int window) {
  const Structure& s = protein.structure;
  std::vector<double> values(s.residues.size(), 0.0);
  for (size_t i = 0; i < s.residues.size(); ++i) values[i] = Value(protein, i, which);
  if (window <= 1) return values;
  // The chart's window: for an even width one more residue behind than ahead.
  const int behind = window / 2, ahead = window % 2 == 1 ? window / 2 : window / 2 - 1;
  std::vector<double> smoothed = values;
  for (const Chain& c : s.chains) {
    for (int32_t i = c.firstResidue; i >= 0 && i <= c.lastResidue; ++i) {
      double sum = 0.0;
      int n = 0;
      for (int32_t j = std::max(c.firstResidue, i - behind); j <= std::min(c.lastResidue, i + ahead); ++j) {
        sum += values[j];
        ++n;
      }
      smoothed[i] = sum / n;
    }
  }
  return smoothed;
}

namespace {

// Two unit vectors in the plane perpendicular to `n`, and n itself.
void PlaneBasis(const Vec3& n, Vec3d& u, Vec3d& v) {
  const Vec3d helper = std::fabs(n[0]) < 0.9f ? Vec3d{1, 0, 0} : Vec3d{0, 1, 0};
  u = {n[1] * helper[2] - n[2] * helper[1], n[2] * helper[0] - n[0] * helper[2],
       n[0] * helper[1] - n[1] * helper[0]};
  const double length = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
  for (size_t k = 0; k < 3; ++k) u[k] /= length;
  v = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2], n[0] * u[1] - n[1] * u[0]};
}

}  // namespace

namespace {

// The membrane's two boundary planes as DUM pseudo-atoms over the shadow of the
// placement's chains (all when it names none), 4 angstrom beyond it, on a 2 angstrom grid.
void WritePlanes(std::ostream& out, const Structure& s, const MembranePlacement& m, int& serial) {
  auto covers = [&](size_t residue) {
    if (m.chains.empty()) return true;
    for (int32_t c : m.chains) {
      const Chain& chain = s.chains[static_cast<size_t>(c)];
      if (static_cast<int32_t>(residue) >= chain.firstResidue &&
          static_cast<int32_t>(residue) <= chain.lastResidue)
        return true;
    }
    return false;
  };
  Vec3d u, v;
  PlaneBasis(m.normal, u, v);
  double uLo = 1e30, uHi = -1e30, vLo = 1e30, vHi = -1e30;
  bool any = false;
  auto extend = [&](int32_t index) {
    if (index < 0) return;
    const Atom& a = s.atoms[static_cast<size_t>(index)];
    any = true;
    const double du = (a.x - m.centre[0]) * u[0] + (a.y - m.centre[1]) * u[1] + (a.z - m.centre[2]) * u[2];
    const double dv = (a.x - m.centre[0]) * v[0] + (a.y - m.centre[1]) * v[1] + (a.z - m.centre[2]) * v[2];
    uLo = std::min(uLo, du), uHi = std::max(uHi, du), vLo = std::min(vLo, dv), vHi = std::max(vHi, dv);
  };
  for (size_t r = 0; r < s.residues.size(); ++r) {
    if (!covers(r)) continue;
    const Residue& residue = s.residues[r];
    for (int32_t index : {residue.nIndex, residue.caIndex, residue.cIndex, residue.oIndex}) extend(index);
    for (int32_t index : residue.sideChain) extend(index);
  }
  if (!any) return;
  const double spacing = 2.0;
  auto grid = [&](double lo, double hi) {
    return std::pair<long, long>{static_cast<long>(std::floor((lo - 4.0) / spacing)),
                                 static_cast<long>(std::ceil((hi + 4.0) / spacing))};
  };
  const auto [i0, i1] = grid(uLo, uHi);
  const auto [j0, j1] = grid(vLo, vHi);
  char line[128];
  for (long i = i0; i <= i1; ++i) {
    for (long j = j0; j <= j1; ++j) {
      for (int side : {-1, 1}) {
        double p[3];
        for (int c = 0; c < 3; ++c)
          p[c] = m.centre[c] + spacing * (i * u[c] + j * v[c]) + side * m.halfThickness * m.normal[c];
        ++serial;
        std::snprintf(line, sizeof line, "HETATM%5d  %c   DUM  %4d    %8.3f%8.3f%8.3f\n", serial % 100000,
                      side < 0 ? 'N' : 'O', serial % 10000, p[0], p[1], p[2]);
        out << line;
      }
    }
  }
}

// 1 for the residues inside the placements' segments, 0 for the rest.
std::vector<double> SegmentFlags(const Structure& s, const std::vector<MembranePlacement>& membranes) {
  std::vector<double> values(s.residues.size(), 0.0);
  for (const MembranePlacement& m : membranes)
    for (const SlabSegment& segment : m.segments)
      for (int32_t i = segment.first; i <= segment.last; ++i) values[static_cast<size_t>(i)] = 1.0;
  return values;
}

}  // namespace

FileStatus WriteMembraneFile(const Protein& protein, const std::vector<MembranePlacement>& membranes,
                             const std::string& path) {
  const Structure& s = protein.structure;
  try {
    return WriteFileAtomically(path, [&](std::ostream& out) {
      WritePdb(out, s, SegmentFlags(s, membranes), [&](int& serial) {
        for (const MembranePlacement& m : membranes)
          if (m.placed) WritePlanes(out, s, m, serial);
      });
    });
  } catch (const std::exception& error) {
    return FileStatus::WriteFailed(path, error.what());
  }
}

std::string CompressedNameRefusal(const std::string& path) {
  for (const char* suffix : {".gz", ".bz2", ".xz", ".zst", ".Z"}) {
    if (EndsWithAnyCase(path, suffix))
      return std::string("the file is written uncompressed: give a name without ") + suffix;
  }
  return {};
}

FileStatus WriteBFactorFile(const Protein& protein, const std::string& path, BFactorValue which, int window) {
  if (const std::string refused = CompressedNameRefusal(path); !refused.empty())
    return FileStatus::WriteFailed(path, refused);
  const std::vector<double> values = ResidueValues(protein, which, window);
  const bool cif = path.size() > 4 && EndsWithAnyCase(path, ".cif");
  try {
    return WriteFileAtomically(path, [&](std::ostream& out) {
      if (cif) {
        WriteMmcif(out, protein.structure, values, protein.fileName);
      } else {
        WritePdb(out, protein.structure, values);
      }
    });
  } catch (const std::exception& error) {
    return FileStatus::WriteFailed(path, error.what());
  }
}

namespace {

// A residue as files name it: chain, number and insertion code. Within one chain of a
// PDB or mmCIF file no two residues share these.
using ResidueKey = std::tuple<std::string, int32_t, char>;

std::map<ResidueKey, double> ValuesByResidue(const Protein& protein, const std::vector<double>& values) {
  const Structure& s = protein.structure;
  std::map<ResidueKey, double> byResidue;
  for (size_t i = 0; i < s.residues.size(); ++i) {
    const Residue& r = s.residues[i];
    const char iCode = r.iCode == '\0' ? ' ' : r.iCode;
    byResidue.try_emplace({s.ChainNameOfResidue(i), r.resSeq, iCode}, values[i]);
  }
  return byResidue;
}

std::string StructureName(const std::string& fileName) {
  std::string name = fileName;
  for (const char* suffix : {".gz", ".cif", ".mmcif", ".pdb", ".ent"}) {
    const std::string s(suffix);
    if (name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0)
      name.resize(name.size() - s.size());
  }
  return name.empty() ? std::string("structure") : name;
}

std::string Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

const double* Lookup(const std::map<ResidueKey, double>& values, const std::string& chain, int32_t number,
                     char iCode, const std::string& residueName) {
  // Waters are never residues of the analysis, whatever their numbers.
  if (IsWaterName(residueName)) return nullptr;
  const auto found = values.find({chain, number, iCode == '\0' || iCode == '?' ? ' ' : iCode});
  return found == values.end() ? nullptr : &found->second;
}

// PDB text edited in place: only columns 61 to 66 of the analysed residues' ATOM and
// HETATM lines change. `notConfidence`: the text is a predicted model's, whose B-factors
// (its pLDDT) are written over, and the remark that says so goes before the first
// coordinate or MODEL record, so that the file read again is no model with that column for
// its confidence.
void EditPdb(std::ostream& out, const std::string& text, const std::map<ResidueKey, double>& values,
             bool notConfidence) {
  size_t start = 0;
  bool crlf = false;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const bool lineEnd = end != std::string::npos;
    if (!lineEnd) end = text.size();
    std::string line = text.substr(start, end - start);
    const bool cr = !line.empty() && line.back() == '\r';
    crlf = crlf || cr;
    if (cr) line.pop_back();
    const std::string_view record = std::string_view(line).substr(0, 6);
    if (notConfidence && (record == "ATOM  " || record == "HETATM" || record == "MODEL ")) {
      out << kNotConfidenceRemark << (cr ? "\r\n" : "\n");
      notConfidence = false;
    }
    if ((record == "ATOM  " || record == "HETATM") && line.size() >= 27) {
      const std::string residueName = Trim(std::string_view(line).substr(17, 3));
      const std::string number = Trim(std::string_view(line).substr(22, 4));
      char* numberEnd = nullptr;
      const long resSeq = std::strtol(number.c_str(), &numberEnd, 10);
      if (!number.empty() && numberEnd != nullptr && *numberEnd == '\0') {
        if (const double* value = Lookup(values, std::string(1, line[21]), static_cast<int32_t>(resSeq),
                                         line[26], residueName)) {
          if (line.size() < 66) line.resize(66, ' ');
          char field[16];
          std::snprintf(field, sizeof field, "%6.2f", std::clamp(*value, -999.99, 9999.99));
          line.replace(60, 6, field, 6);
        }
      }
    }
    out << line << (cr ? "\r" : "") << (lineEnd ? "\n" : "");
    start = end + 1;
  }
  // No coordinate record: the remark closes the text, on a line of its own.
  if (notConfidence) {
    if (!text.empty() && text.back() != '\n') out << (crlf ? "\r\n" : "\n");
    out << kNotConfidenceRemark << (crlf ? "\r\n" : "\n");
  }
}

// Says in an mmCIF block that its B-factor column holds an analysis's values.
void MarkNotConfidence(gemmi::cif::Block& block) {
  block.set_pair(kNotConfidenceItem, gemmi::cif::quote(kNotConfidenceText));
}

// mmCIF: the B_iso_or_equiv column of _atom_site, matched by author chain, number and
// insertion code as the reader names residues; `notConfidence` as EditPdb's.
bool EditMmcif(std::ostream& out, const std::string& text, const std::string& name,
               const std::map<ResidueKey, double>& values, bool notConfidence) {
  gemmi::cif::Document doc = gemmi::cif::read_string(text);
  if (doc.blocks.empty()) return false;
  gemmi::cif::Block& block = doc.blocks.front();
  gemmi::cif::Table sites =
      block.find("_atom_site.", {"B_iso_or_equiv", "auth_asym_id", "auth_seq_id", "?pdbx_PDB_ins_code",
                                 "?auth_comp_id", "?label_comp_id"});
  for (auto row : sites) {
    const std::string chain = row.str(1);
    char* numberEnd = nullptr;
    const std::string number = row.str(2);
    const long resSeq = std::strtol(number.c_str(), &numberEnd, 10);
    if (number.empty() || *numberEnd != '\0') continue;
    const std::string insertion = row.has(3) ? row.str(3) : std::string();
    const std::string residueName = row.has(4) ? row.str(4) : row.has(5) ? row.str(5) : std::string();
    const char iCode = insertion.empty() || insertion == "?" || insertion == "." ? ' ' : insertion[0];
    if (const double* value = Lookup(values, chain, static_cast<int32_t>(resSeq), iCode, residueName)) {
      char field[32];
      std::snprintf(field, sizeof field, "%.2f", *value);
      row[0] = field;
    }
  }
  block.name = name;
  if (notConfidence) MarkNotConfidence(block);
  gemmi::cif::write_cif_to_stream(out, doc);
  return true;
}

void SetGemmiBFactors(gemmi::Structure& st, const std::map<ResidueKey, double>& values) {
  for (gemmi::Model& model : st.models) {
    for (gemmi::Chain& chain : model.chains) {
      for (gemmi::Residue& residue : chain.residues) {
        if (const double* value =
                Lookup(values, chain.name, residue.seqid.num.value, residue.seqid.icode, residue.name)) {
          for (gemmi::Atom& atom : residue.atoms) atom.b_iso = static_cast<float>(*value);
        }
      }
    }
  }
}

}  // namespace

FileStatus WriteBFactorsIntoSource(const Protein& protein, const std::string& source, const std::string& path,
                                   BFactorValue which, int window, uint64_t maxUnpackedBytes) {
  if (const std::string refused = CompressedNameRefusal(path); !refused.empty())
    return FileStatus::WriteFailed(path, refused);
  std::string text;
  if (const FileStatus read = ReadFileText(source, text, nullptr, maxUnpackedBytes); !read) return read;
  const std::map<ResidueKey, double> values = ValuesByResidue(protein, ResidueValues(protein, which, window));
  const bool sourceCif = DetectFormat(text) == StructureFormat::kMmcif;
  const bool cif = path.size() > 4 && EndsWithAnyCase(path, ".cif");
  const std::string name = StructureName(protein.fileName);
  const bool model = !protein.structure.confidence.empty();
  try {
    return WriteFileAtomically(path, [&](std::ostream& out) {
      if (!sourceCif && !cif) {
        EditPdb(out, text, values, model);
      } else if (sourceCif && cif) {
        if (!EditMmcif(out, text, name, values, model))
          throw std::runtime_error("no data block in " + source);
      } else {
        // The other format: gemmi reads the whole file and writes it anew.
        gemmi::Structure st = sourceCif ? gemmi::make_structure(gemmi::cif::read_string(text))
                                        : gemmi::read_pdb_string(text, name);
        st.name = name;
        SetGemmiBFactors(st, values);
        if (cif) {
          gemmi::cif::Document doc = gemmi::make_mmcif_document(st);
          if (model) MarkNotConfidence(doc.blocks.front());
          gemmi::cif::write_cif_to_stream(out, doc);
        } else {
          // PDB holds one character per chain: assembly names are shortened as
          // gemmi convert --shorten does.
          gemmi::shorten_chain_names(st);
          if (model) {
            // gemmi writes the model's title too: the written text gets the remark.
            std::ostringstream pdb;
            gemmi::write_pdb(st, pdb);
            EditPdb(out, pdb.str(), {}, true);
          } else {
            gemmi::write_pdb(st, out);
          }
        }
      }
    });
  } catch (const std::exception& error) {
    return FileStatus::WriteFailed(path, error.what());
  }
}

FileStatus WriteMembraneIntoSource(const Protein& protein, const std::vector<MembranePlacement>& membranes,
                                   const std::string& source, const std::string& path,
                                   uint64_t maxUnpackedBytes) {
  std::string text;
  if (const FileStatus read = ReadFileText(source, text, nullptr, maxUnpackedBytes); !read) return read;
  // From mmCIF the analysed residues are written anew.
  if (DetectFormat(text) == StructureFormat::kMmcif) return WriteMembraneFile(protein, membranes, path);
  const Structure& s = protein.structure;
  std::ostringstream edited;
  EditPdb(edited, text, ValuesByResidue(protein, SegmentFlags(s, membranes)), !s.confidence.empty());
  std::string body = edited.str();
  // The planes go into the first model (the one analysed), before its ENDMDL, so that a
  // viewer shows them with the protein; without models, after the coordinates: before the
  // CONECT and MASTER records that follow them, else before END. They are numbered on from
  // the file's largest serial (TER records take serials too), their lines end as the file's
  // do, and a MASTER record counts them among the coordinates.
  size_t end = std::string::npos, lastEnd = std::string::npos, trailer = std::string::npos;
  size_t master = std::string::npos;
  int serial = 0;
  bool crlf = false;
  for (size_t at = 0, index = 0; at < body.size(); ++index) {
    const size_t next = body.find('\n', at);
    std::string_view line =
        std::string_view(body).substr(at, next == std::string::npos ? std::string::npos : next - at);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
      crlf = crlf || index == 0;
    }
    // A bare "TER" holds no serial: Field gives it an empty one.
    if (line.rfind("ATOM  ", 0) == 0 || line.rfind("HETATM", 0) == 0 || line.rfind("TER", 0) == 0)
      serial = std::max(serial, ParseInt(Field(line, 6, 5)));
    if (end == std::string::npos && line.rfind("ENDMDL", 0) == 0) end = at;
    if (line == "END" || line.rfind("END ", 0) == 0) lastEnd = at;
    const bool isMaster = line.rfind("MASTER", 0) == 0;
    if (isMaster) master = at;
    if (trailer == std::string::npos && (isMaster || line.rfind("CONECT", 0) == 0)) trailer = at;
    at = next == std::string::npos ? body.size() : next + 1;
  }
  if (end == std::string::npos) end = trailer != std::string::npos ? trailer : lastEnd;
  if (end == std::string::npos) {
    // No END: the planes close the file, on a line of their own.
    if (!body.empty() && body.back() != '\n') body += crlf ? "\r\n" : "\n";
    end = body.size();
  }
  std::ostringstream planes;
  for (const MembranePlacement& m : membranes)
    if (m.placed) WritePlanes(planes, s, m, serial);
  std::string added = planes.str();
  if (master != std::string::npos && master >= end) {
    // MASTER's coordinate count (columns 51-55) takes the planes' atoms in.
    const size_t count = static_cast<size_t>(std::count(added.begin(), added.end(), '\n'));
    const size_t field = master + 50;
    if (std::min(body.find_first_of("\r\n", master), body.size()) >= field + 5) {
      const std::string old = body.substr(field, 5);
      if (old.find_first_not_of(' ') != std::string::npos &&
          old.find_first_not_of(" 0123456789") == std::string::npos) {
        std::string now = std::to_string(ParseInt(old) + static_cast<int>(count));
        if (now.size() <= 5) body.replace(field, 5, std::string(5 - now.size(), ' ') + now);
      }
    }
  }
  if (crlf) {
    std::string converted;
    for (char c : added) {
      if (c == '\n') converted += '\r';
      converted += c;
    }
    added = std::move(converted);
  }
  try {
    return WriteFileAtomically(path, [&](std::ostream& out) {
      out << std::string_view(body).substr(0, end) << added << std::string_view(body).substr(end);
    });
  } catch (const std::exception& error) {
    return FileStatus::WriteFailed(path, error.what());
  }
}

}  // namespace tessmol
