#include "document/result_file.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>

#include "model/text.h"

namespace tessmol {

namespace {

char ChainChar(char c) {
  return c == '\0' ? ' ' : c;
}

void WriteRange(std::ostream& out, const char* keyword, const SecondaryRange& range) {
  out << keyword << '\t' << ChainChar(range.chainId) << '\t' << range.firstResSeq << '\t' << range.lastResSeq
      << '\n';
}

void WriteRecords(std::ostream& out, const Structure& s) {
  out << "STRUCTURE\t" << FormatNumber(s.totalSASA) << '\t' << FormatNumber(s.averageScore) << '\n';
  for (const Chain& c : s.chains) {
    out << "CHAIN\t" << ChainChar(c.chainId) << '\t' << c.firstResidue << '\t' << c.lastResidue << '\n';
  }
  for (const SecondaryRange& h : s.helices) WriteRange(out, "HELIX", h);
  for (const SecondaryRange& h : s.sheets) WriteRange(out, "SHEET", h);
  for (const FloatPair& p : s.xyzExtremities) {
    out << "XYZEX\t" << FormatNumber(p.f1) << '\t' << FormatNumber(p.f2) << '\n';
  }
  for (const Residue& r : s.residues) {
    // Residue numbers are written signed, so negative numbers read back unchanged.
    out << "RESIDUE\t" << r.name << '\t' << r.resSeq << '\t' << ChainChar(r.chainId) << '\t' << r.cIndex
        << '\t' << r.caIndex << '\t' << r.nIndex << '\t' << r.oIndex << '\t' << r.contactPoints << '\t'
        << r.secStruct << '\t' << r.polarPoints << '\t' << FormatNumber(r.mainSASA) << '\t'
        << FormatNumber(r.sideSASA) << '\t' << FormatNumber(r.areaBuried) << '\t'
        << FormatNumber(r.fractionPolar) << '\t' << FormatNumber(r.kavelinFP) << '\t' << r.profEnv << '\t'
        << r.kavelinEnv << '\t' << FormatNumber(r.solventScore) << '\t' << FormatNumber(r.kavelinScore)
        << '\t' << FormatNumber(r.overallScore) << '\t' << (r.transmembrane ? 1 : 0) << '\t' << r.type
        << '\n';
    out << "SIDECHAIN\t";
    for (int32_t index : r.sideChain) out << index << '\t';
    out << '\n';
  }
  for (const Atom& a : s.atoms) {
    out << "ATOM\t" << a.name << '\t' << ChainChar(a.chainId) << '\t' << a.index << '\t' << a.serial << '\t'
        << FormatNumber(a.x) << '\t' << FormatNumber(a.y) << '\t' << FormatNumber(a.z) << '\t' << a.resSeq
        << '\t' << a.atomClass << '\t' << FormatNumber(a.radius) << '\t' << FormatNumber(a.sphereArea) << '\t'
        << FormatNumber(a.sasa) << '\t' << (a.polar ? 1 : 0) << '\t' << a.contactPoints << '\t'
        << a.polarPoints << '\n';
  }
  out << "END";
}

// Field i of a record, empty when the record is shorter.
const std::string& FieldAt(const std::vector<std::string>& fields, size_t i) {
  static const std::string empty;
  return i < fields.size() ? fields[i] : empty;
}

char CharField(const std::vector<std::string>& fields, size_t i) {
  const std::string& f = FieldAt(fields, i);
  return f.empty() ? '\0' : f[0];
}

float FloatField(const std::vector<std::string>& fields, size_t i) {
  return static_cast<float>(ParseReal(FieldAt(fields, i)));
}

int32_t IntField(const std::vector<std::string>& fields, size_t i) {
  return ParseInt(FieldAt(fields, i));
}

SecondaryRange ReadRange(const std::vector<std::string>& f) {
  return {IntField(f, 2), IntField(f, 3), CharField(f, 1)};
}

Residue ReadResidue(const std::vector<std::string>& f) {
  Residue r(FieldAt(f, 1), IntField(f, 2), CharField(f, 3));
  r.cIndex = IntField(f, 4);
  r.caIndex = IntField(f, 5);
  r.nIndex = IntField(f, 6);
  r.oIndex = IntField(f, 7);
  r.contactPoints = IntField(f, 8);
  r.secStruct = IntField(f, 9);
  r.polarPoints = IntField(f, 10);
  r.mainSASA = FloatField(f, 11);
  r.sideSASA = FloatField(f, 12);
  r.areaBuried = FloatField(f, 13);
  r.fractionPolar = FloatField(f, 14);
  r.kavelinFP = FloatField(f, 15);
  r.profEnv = IntField(f, 16);
  r.kavelinEnv = IntField(f, 17);
  r.solventScore = FloatField(f, 18);
  r.kavelinScore = FloatField(f, 19);
  r.overallScore = FloatField(f, 20);
  r.transmembrane = IntField(f, 21) != 0;
  r.type = IntField(f, 22);
  return r;
}

}  // namespace

bool WriteResult(const Structure& structure, const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  fs::path temporary = target;
  temporary += ".partial-" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return false;
    WriteRecords(out, structure);
    out.flush();
    if (!out) {
      out.close();
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  fs::rename(temporary, target, error);
  if (error) {
    fs::remove(temporary, error);
    return false;
  }
  return true;
}

int ReadResult(Structure& structure, const std::string& path) {
  std::ifstream in;
  if (!OpenForReading(in, path)) return 0;
  int lineNumber = 1;
  std::string line;
  while (ReadLine(in, line)) {
    const std::vector<std::string> f = SplitFields(line);
    const std::string& keyword = f[0];
    if (keyword == "STRUCTURE") {
      structure.totalSASA = FloatField(f, 1);
      structure.averageScore = FloatField(f, 2);
    } else if (keyword == "CHAIN") {
      structure.chains.push_back({IntField(f, 2), IntField(f, 3), CharField(f, 1)});
    } else if (keyword == "HELIX") {
      structure.helices.push_back(ReadRange(f));
    } else if (keyword == "SHEET") {
      structure.sheets.push_back(ReadRange(f));
    } else if (keyword == "XYZEX" || keyword == "ATOM") {
      // The box and the atoms are not restored: a stored structure is shown and rescored
      // from its residues alone.
    } else if (keyword == "RESIDUE") {
      Residue residue = ReadResidue(f);
      ++lineNumber;
      if (ReadLine(in, line)) {
        const std::vector<std::string> side = SplitFields(line);
        if (side[0] == "SIDECHAIN") {
          for (size_t i = 1; i < side.size(); ++i) {
            if (i + 1 == side.size() && side[i].empty()) break;  // the field after the last TAB
            residue.sideChain.push_back(ParseInt(side[i]));
          }
        }
      }
      structure.residues.push_back(std::move(residue));
    } else if (keyword == "END") {
      return 0;
    } else {
      return lineNumber;
    }
    ++lineNumber;
  }
  return 0;
}

}  // namespace tessmol
