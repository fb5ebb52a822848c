#include "model/pdb_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <optional>
#include <sstream>
#include <utility>

#include "base/gzip.h"
#include "base/text.h"

namespace tessmol {

namespace {

bool StartsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

// One character column; code 0 when the line is too short to hold it.
char Column(std::string_view line, size_t column) {
  return column < line.size() ? line[column] : '\0';
}

std::string Trimmed(std::string_view field) {
  const size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(field.substr(first, field.find_last_not_of(' ') - first + 1));
}

// AlphaFold's files say "ALPHAFOLD MONOMER V2.0 PREDICTION FOR ..." in TITLE: the words
// from ALPHAFOLD up to PREDICTION name the predictor. The first header line that names
// one sets `predictor`.
void NotePredictor(std::string_view line, std::string& predictor) {
  if (!predictor.empty()) return;
  std::string upper(line.substr(std::min<size_t>(line.size(), 10)));
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const size_t at = upper.find("ALPHAFOLD");
  if (at == std::string::npos) return;
  predictor = "AlphaFold";
  const size_t end = upper.find(" PREDICTION", at);
  if (end == std::string::npos || end - at > 40) return;
  std::string words = upper.substr(at + 9, end - at - 9);
  for (char& c : words) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  predictor += words;
}

// The experiment whose details a REMARK of this number records (wwPDB format 3.3: 200
// X-ray or fibre diffraction, 210 NMR, 230 neutron diffraction, 240 and 245-247 electron
// microscopy), or "" for any other.
std::string ExperimentRemark(std::string_view number) {
  const std::string n = Trimmed(number);
  if (n == "200") return "X-RAY DIFFRACTION, by its REMARK 200";
  if (n == "210") return "NMR, by its REMARK 210";
  if (n == "230") return "NEUTRON DIFFRACTION, by its REMARK 230";
  if (n == "240" || n == "245" || n == "247") return "ELECTRON MICROSCOPY, by its REMARK " + n;
  return {};
}

// A coordinate field, or nothing when it holds no number a float can hold: a blank field,
// "xx.yy", a number cut in two by a digit lost in transfer.
std::optional<float> Coordinate(std::string_view field) {
  const std::optional<double> value = ParseWholeReal(field);
  if (!value || std::fabs(*value) > std::numeric_limits<float>::max()) return std::nullopt;
  return static_cast<float>(*value);
}

// A proper prefix of an atom record's name: the last line of a file cut off within it.
bool CutAtomRecord(std::string_view line) {
  return !line.empty() && line.size() < 6 &&
         (std::string_view("ATOM").starts_with(line) || std::string_view("HETATM").starts_with(line));
}

}  // namespace

FileStatus PdbReader::Open(const std::string& path) {
  path_ = path;
  opened_ = false;
  FileStatus status = ReadFileText(path, text_);
  opened_ = status.ok();
  return status;
}

FileStatus PdbReader::Read() {
  if (!opened_) return ReadFailure(path_);
  return Read(std::string_view(text_), path_);
}

FileStatus PdbReader::Read(std::istream& in, const std::string& name) {
  // The whole stream first; a read error (a failing disk) is an error, not its end.
  std::string text;
  char chunk[1 << 16];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<size_t>(in.gcount()));
    if (!in) break;
  }
  if (ReadFailed(in))
    return FileStatus::Unreadable(name, "read error after byte " + std::to_string(text.size()));
  return Read(std::string_view(text), name);
}

namespace {

// One REMARK 350 line of the first biomolecule: "BIOMOLECULE: 1", "APPLY THE FOLLOWING TO
// CHAINS: A, B" (continued by "AND CHAINS: C"), then a BIOMT1-3 triple per operator.
void ReadAssemblyRemark(std::string_view line, int& biomolecule, int& operators, int& copies,
                        std::vector<std::string>& chains) {
  const std::string_view text = line.size() > 11 ? line.substr(11) : std::string_view();
  if (text.find("BIOMOLECULE:") != std::string_view::npos) {
    ++biomolecule;
    return;
  }
  if (biomolecule != 1) return;
  const bool apply = text.find("APPLY THE FOLLOWING TO CHAINS:") != std::string_view::npos;
  if (apply || text.find("AND CHAINS:") != std::string_view::npos) {
    if (apply) operators = 0;
    std::string_view list = text.substr(text.find(':') + 1);
    while (!list.empty()) {
      const size_t comma = list.find(',');
      const std::string name = Trimmed(list.substr(0, comma));
      if (!name.empty() && std::find(chains.begin(), chains.end(), name) == chains.end())
        chains.push_back(name);
      if (comma == std::string_view::npos) break;
      list.remove_prefix(comma + 1);
    }
    return;
  }
  if (Trimmed(Field(line, 13, 6)) == "BIOMT1") copies = std::max(copies, ++operators);
}

}  // namespace

FileStatus PdbReader::Read(std::string_view text, const std::string& name) {
  int lineNumber = 0;
  bool sawModel = false;
  bool modelHasAtoms = false;
  bool stopped = false;   // after the first ENDMDL of a model that held atoms
  bool measured = false;  // an EXPDTA record names an experiment
  std::string predictor;  // the header's words for the predictor, when it names one
  std::string remarked;   // the experiment its REMARK 200-247 records describe
  // REMARK 350's first biomolecule: its chains, and the most BIOMT operators one APPLY
  // line's chains take.
  int biomolecule = 0, operators = 0, copies = 0;
  std::vector<std::string> assemblyChains;
  std::string recordChains;  // every chain identifier on a coordinate record, each once
  // A coordinate line takes 81 bytes: room for every atom the text can hold is set
  // aside at once (pages never touched cost nothing), so the atoms are never moved.
  builder_.Reserve(text.size() / 81 + 1);
  for (size_t at = 0; at < text.size();) {
    const size_t newline = text.find('\n', at);
    const size_t end = newline == std::string_view::npos ? text.size() : newline;
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (++lineNumber == 1 && StartsWith(line, "STRUCTURE\t")) {
      isResultFile_ = true;
      return FileStatus::Format(name, 1, "a Tessmol result file, not a structure");
    }
    const bool atom = StartsWith(line, "ATOM");
    const bool het = !atom && StartsWith(line, "HETATM");
    if (atom || het) {
      if (stopped) {
        builder_.summary().modelsSkipped = true;
        continue;
      }
      modelHasAtoms = true;
      if (line.size() > 21 && recordChains.find(line[21]) == std::string::npos) recordChains += line[21];
      if (const char* fault = ReadAtomLine(line, het)) return FileStatus::Format(name, lineNumber, fault);
    } else if (newline == std::string_view::npos && !stopped && CutAtomRecord(line)) {
      return FileStatus::Format(name, lineNumber, kAtomLineTooShort);
    } else if (StartsWith(line, "TER")) {
      builder_.EndChain();
    } else if (StartsWith(line, "EXPDTA")) {
      // The method as wwPDB writes it today ("SOLUTION NMR", "SOLID-STATE NMR; X-RAY
      // DIFFRACTION") or as older files did ("NMR" alone).
      if (line.find("NMR", 10) != std::string::npos) isNMR_ = true;
      const std::string method = Trimmed(Field(line, 10, 70));
      if (method != "THEORETICAL MODEL") {
        measured = true;
        if (builder_.evidence().experiment.empty()) builder_.evidence().experiment = method;
      }
    } else if (StartsWith(line, "TITLE") || StartsWith(line, "HEADER") || StartsWith(line, "REMARK")) {
      NotePredictor(line, predictor);
      if (StartsWith(line, kNotConfidenceRemark)) builder_.evidence().analysisValues = true;
      // A file cut down to its coordinates and remarks (a membrane-frame copy) may have lost
      // EXPDTA but keeps the remarks that describe the experiment.
      if (remarked.empty() && StartsWith(line, "REMARK")) remarked = ExperimentRemark(Field(line, 7, 3));
      if (StartsWith(line, "REMARK 350"))
        ReadAssemblyRemark(line, biomolecule, operators, copies, assemblyChains);
    } else if (StartsWith(line, "MODRES")) {
      builder_.AddModifiedResidue(Trimmed(Field(line, 12, 3)), Trimmed(Field(line, 24, 3)));
    } else if (StartsWith(line, "HELIX")) {
      ReadRange(line, true);
    } else if (StartsWith(line, "SHEET")) {
      ReadRange(line, false);
    } else if (StartsWith(line, "MODEL")) {
      sawModel = true;
    } else if (StartsWith(line, "ENDMDL")) {
      // Only the first model is read: NMR ensembles say "SOLUTION NMR" or "NMR" in many
      // forms, and reading every model puts them all on top of each other.
      if (sawModel && modelHasAtoms) {
        stopped = true;
        builder_.EndChain();
      }
    }
    // ANISOU, SIGATM and SIGUIJ lines belong to the ATOM line before them and, like every
    // other record, change nothing.
  }
  // Chains the assembly names but no record of the file holds: a chain cut out of its
  // complex with the header kept (one protomer of a channel).
  int absent = 0;
  for (const std::string& chain : assemblyChains)
    absent += chain.size() == 1 && recordChains.find(chain[0]) == std::string::npos;
  builder_.SetAssembly(std::move(assemblyChains), copies, absent);
  if (!remarked.empty() && builder_.evidence().experiment.empty()) {
    measured = true;
    builder_.evidence().experiment = remarked;
  }
  // Experimental entries name AlphaFold too (a search model for molecular replacement):
  // only a file that names no experiment is taken for a prediction.
  if (!predictor.empty() && !measured) {
    builder_.evidence().predicted = true;
    builder_.evidence().source = predictor;
  }
  structure_ = builder_.Finish();
  return FileStatus::Ok(name);
}

const char* PdbReader::ReadAtomLine(std::string_view line, bool hetero) {
  // x, y and z fill columns 31-54 right-justified: a line that ends before column 54 was
  // cut off (a download that stopped), whatever digits it still holds. Occupancy and
  // what follows may be missing in real files.
  if (line.size() < 54) return kAtomLineTooShort;
  const std::optional<float> x = Coordinate(Field(line, 30, 8));
  const std::optional<float> y = Coordinate(Field(line, 38, 8));
  const std::optional<float> z = Coordinate(Field(line, 46, 8));
  if (!x || !y || !z) return kImplausibleCoordinates;
  AtomRecord r;
  r.hetero = hetero;
  r.field = std::string(Field(line, 12, 4));
  r.name = std::string(TrimAtomName(Field(line, 12, 4)));
  r.altLoc = Column(line, 16);
  r.residueName = std::string(Field(line, 17, 3));
  r.chainName = std::string(1, Column(line, 21));
  r.resSeq = ParseInt(Field(line, 22, 4));
  r.iCode = Column(line, 26);
  r.serial = ParseInt(Field(line, 6, 5));
  r.x = *x;
  r.y = *y;
  r.z = *z;
  r.element = std::string(Field(line, 76, 2));
  // A B-factor field that is no number (blank, stars) is no confidence either: NaN, which
  // the confidence check refuses, not the 0 that would read as pLDDT 0.
  r.bFactor = ParseWholeFloatOrNan(Field(line, 60, 6));
  if (!PlausibleCoordinates(r)) return kImplausibleCoordinates;
  builder_.AddAtom(std::move(r));
  return nullptr;
}

void PdbReader::ReadRange(std::string_view line, bool helix) {
  SecondaryRange range;
  if (helix) {
    range.chainId = Column(line, 19);
    range.firstResSeq = ParseInt(Field(line, 21, 4));
  } else {
    range.chainId = Column(line, 21);
    range.firstResSeq = ParseInt(Field(line, 22, 4));
  }
  range.lastResSeq = ParseInt(Field(line, 33, 4));
  if (helix && !StructureBuilder::HelixClassCounts(ParseCheckedInt(Field(line, 38, 2)).value_or(0))) return;
  builder_.AddRange(range, helix);
}

}  // namespace tessmol
