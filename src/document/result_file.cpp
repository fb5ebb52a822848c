#include "document/result_file.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <string_view>
#include <thread>
#include <type_traits>

#include "base/text.h"
#include "document/report.h"

namespace tessmol {

namespace {

// Control characters (TAB among them) would split or end a record: they are written
// as '?'. A chain without a name is written as a blank, as the PDB leaves it.
bool Printable(char c) {
  return static_cast<unsigned char>(c) >= 0x20 && c != 0x7f;
}

char ChainChar(char c) {
  if (c == '\0') return ' ';
  return Printable(c) ? c : '?';
}

std::string Name(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    if (!Printable(c)) c = '?';
  }
  return out;
}

// A number as the result format writes it (FormatNumber's text), for RecordBuffer.
struct Num {
  explicit Num(double number) : value(number) {}
  double value;
};

// Records built in one buffer with std::to_chars, the same text as the stream operators
// give, and handed to the stream in large pieces: a structure of 50,000 atoms is written
// without a formatted stream operation per field. Each piece is stored straight into room
// made before it, without a string's bookkeeping per character. 1AON's whole 5.5 MB file
// takes 0.011 s of CPU, against 0.056 s for the stream operators writing its atom records
// alone, with the same text (bench/kernels.sh, process user time, best of 5). ResultFile
// tests hold every field to FormatNumber's text and read the files back.
class RecordBuffer {
 public:
  explicit RecordBuffer(std::ostream& out) : out_(&out) { Room(size_t{1} << 16); }
  // Without a stream: the text is only collected, for text().
  RecordBuffer() = default;
  RecordBuffer(const RecordBuffer&) = delete;
  RecordBuffer& operator=(const RecordBuffer&) = delete;
  ~RecordBuffer() { Flush(); }

  RecordBuffer& operator<<(char c) {
    Room(1);
    data_[used_++] = c;
    if (c == '\n' && out_ != nullptr && used_ >= kFlushAt) Flush();
    return *this;
  }
  RecordBuffer& operator<<(std::string_view text) {
    if (text.empty()) return *this;  // an empty buffer's text may have no storage at all
    Room(text.size());
    std::memcpy(data_.get() + used_, text.data(), text.size());
    used_ += text.size();
    return *this;
  }
  RecordBuffer& operator<<(const char* text) { return *this << std::string_view(text); }
  RecordBuffer& operator<<(const std::string& text) { return *this << std::string_view(text); }
  template <class Integer, class = std::enable_if_t<std::is_integral_v<Integer>>>
  RecordBuffer& operator<<(Integer value) {
    constexpr size_t kDigits = 24;
    Room(kDigits);
    char* at = data_.get() + used_;
    used_ += static_cast<size_t>(std::to_chars(at, at + kDigits, value).ptr - at);
    return *this;
  }
  RecordBuffer& operator<<(Num number) {
    Room(kNumberRoom);
    used_ = static_cast<size_t>(FormatNumberTo(data_.get() + used_, number.value) - data_.get());
    return *this;
  }
  void Flush() {
    if (out_ == nullptr) return;
    out_->write(data_.get(), static_cast<std::streamsize>(used_));
    used_ = 0;
  }
  std::string_view text() const { return {data_.get(), used_}; }
  void Clear() { used_ = 0; }

 private:
  static constexpr size_t kFlushAt = size_t{1} << 20;
  static constexpr size_t kNumberRoom = 32;  // FormatNumberTo's longest text
  void Room(size_t bytes) {
    if (capacity_ - used_ >= bytes) return;
    const size_t capacity = std::max({2 * capacity_, used_ + bytes, size_t{4096}});
    std::unique_ptr<char[]> grown = std::make_unique_for_overwrite<char[]>(capacity);
    if (used_ > 0) std::memcpy(grown.get(), data_.get(), used_);
    data_ = std::move(grown);
    capacity_ = capacity;
  }
  std::ostream* out_ = nullptr;
  std::unique_ptr<char[]> data_;
  size_t used_ = 0, capacity_ = 0;
};

void WriteRange(RecordBuffer& out, const char* keyword, const SecondaryRange& range) {
  out << keyword << '\t' << ChainChar(range.chainId) << '\t' << range.firstResSeq << '\t' << range.lastResSeq
      << '\n';
}

constexpr size_t kAtomsForTwoWriters = 20000;

void WriteAtoms(RecordBuffer& out, const Protein& p, size_t begin, size_t end) {
  for (size_t i = begin; i < end; ++i) {
    const Atom& a = p.structure.atoms[i];
    const AtomSurface& surface = p.surface.atoms[i];
    out << "ATOM\t" << Name(a.name) << '\t' << ChainChar(a.chainId) << '\t' << a.index << '\t' << a.serial
        << '\t' << Num(a.x) << '\t' << Num(a.y) << '\t' << Num(a.z) << '\t' << a.resSeq << '\t'
        << static_cast<int32_t>(a.atomClass) << '\t' << Num(a.radius) << '\t' << Num(a.sphereArea) << '\t'
        << Num(surface.sasa) << '\t' << (a.polar ? 1 : 0) << '\t' << surface.contactPoints << '\t'
        << surface.polarPoints << '\n';
  }
}

// The atom records, in order.
void WriteAtomRecords(RecordBuffer& out, const Protein& p) {
  const Structure& s = p.structure;
  // A large structure's atom records are formatted on two threads, in pairs of blocks: a
  // second thread formats each pair's second block while this one formats the first,
  // and the two go out in order. Only one block is held apart at a time. Measured on a
  // shared two-core machine (load about 4), it gained nothing: 1AON's result file took
  // 0.011 s of wall time with two cores and with the process held to one (bench/kernels.sh,
  // best of 9); the gain needs an idle second core. A ResultFile test holds the two-thread
  // records to those of the same atoms written on one thread.
  const size_t count = s.atoms.size();
  if (count < kAtomsForTwoWriters) {
    WriteAtoms(out, p, 0, count);
  } else {
    constexpr size_t kBlock = 4096;
    RecordBuffer other;
    for (size_t first = 0; first < count; first += 2 * kBlock) {
      const size_t middle = std::min(first + kBlock, count), last = std::min(first + 2 * kBlock, count);
      other.Clear();
      std::exception_ptr failed;
      std::thread helper([&] {
        try {
          WriteAtoms(other, p, middle, last);
        } catch (...) {
          failed = std::current_exception();
        }
      });
      WriteAtoms(out, p, first, middle);
      helper.join();
      if (failed) std::rethrow_exception(failed);
      out << other.text();
    }
  }
}

// How the structure was analysed, as optional NAME=VALUE fields after the STRUCTURE record's
// two numbers: readers that predate them ignore trailing fields, and a name read in any
// order leaves room for more.
template <class Out>
void WriteParameterFields(Out& out, const RunParameters& p) {
  if (!p.recorded()) return;
  out << "\tversion=" << Name(p.version) << "\tresolution=" << p.resolution
      << "\theteroatoms=" << (p.ignoreHeteroAtoms ? "all-out" : "waters-out")
      << "\tsecondary-structure=" << Name(p.secondaryStructure) << "\tscore-table=" << Name(p.scoreTable);
  if (!p.method.empty()) out << "\tmethod=" << Name(p.method);
  if (p.coveringHetAtoms >= 0) out << "\thet-covering=" << p.coveringHetAtoms;
  if (p.watersLeftOut >= 0) out << "\twaters-left-out=" << p.watersLeftOut;
}

// A model's confident scores are read again with the cut-off it was analysed with.
template <class Out>
void WriteConfidentPlddt(Out& out, const Protein& p) {
  if (p.parameters.recorded() && !p.structure.confidence.empty())
    out << "\tconfident-plddt=" << Num(p.confidentPlddt);
}

// The fields of how the structure was analysed; the error when one that counts is faulty.
std::string ReadParameterFields(const std::vector<std::string>& f, RunParameters& p) {
  for (size_t i = 3; i < f.size(); ++i) {
    const size_t equals = f[i].find('=');
    if (equals == std::string::npos) continue;
    const std::string key = f[i].substr(0, equals), value = f[i].substr(equals + 1);
    if (key == "version") p.version = value;
    if (key == "resolution") p.resolution = static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
    if (key == "heteroatoms") p.ignoreHeteroAtoms = value == "all-out";
    if (key == "secondary-structure") p.secondaryStructure = value;
    if (key == "score-table") p.scoreTable = value;
    if (key == "method") p.method = value;
    if (key == "het-covering") p.coveringHetAtoms = std::strtoll(value.c_str(), nullptr, 10);
    if (key == "waters-left-out") p.watersLeftOut = std::strtoll(value.c_str(), nullptr, 10);
    if (key == "confident-plddt") {
      // It decides the model's confident scores: a faulty one is no default's to replace.
      const std::optional<double> cut = ParseWholeReal(value);
      if (!cut || !(*cut >= 0.0 && *cut <= 100.0)) return "confident-plddt is not a number from 0 to 100";
      p.confidentPlddt = static_cast<float>(*cut);
    }
  }
  return {};
}

void WriteRecords(std::ostream& stream, const Protein& p) {
  const Structure& s = p.structure;
  RecordBuffer out(stream);
  // The two totals exactly as analysed (the shortest text that reads back to the same
  // float): six digits would show a large structure's area changed once stored.
  out << "STRUCTURE\t" << ShortestText(p.surface.totalSASA) << '\t' << ShortestText(p.scores.averageScore);
  // A predicted model's source as a third field (experimental structures write none), then
  // how the structure was analysed as NAME=VALUE fields. The source never holds '=', so
  // the reader tells the two apart.
  if (!s.confidence.empty()) {
    std::string source = Name(s.modelSource.empty() ? "predicted" : s.modelSource);
    std::replace(source.begin(), source.end(), '=', '-');
    out << '\t' << source;
  }
  WriteParameterFields(out, p.parameters);
  WriteConfidentPlddt(out, p);
  // A sequence's model keeps the record it was built from: its one link to the protein.
  if (!p.fastaRecord.empty()) out << "\trecord=" << Name(p.fastaRecord);
  out << '\n';
  for (size_t k = 0; k < s.chains.size(); ++k) {
    const Chain& c = s.chains[k];
    out << "CHAIN\t" << ChainChar(c.chainId) << '\t' << c.firstResidue << '\t' << c.lastResidue;
    // A name longer than its one-character identifier (mmCIF) follows as a fifth field.
    if (k < s.chainNames.size() && s.chainNames[k].size() > 1) out << '\t' << Name(s.chainNames[k]);
    out << '\n';
  }
  for (const SecondaryRange& h : s.helices) WriteRange(out, "HELIX", h);
  for (const SecondaryRange& h : s.sheets) WriteRange(out, "SHEET", h);
  for (const FloatPair& p : s.xyzExtremities) {
    out << "XYZEX\t" << Num(p.f1) << '\t' << Num(p.f2) << '\n';
  }
  for (size_t k = 0; k < s.residues.size(); ++k) {
    const Residue& r = s.residues[k];
    const ResidueSurface& surface = p.surface.residues[k];
    const ResidueScore& scores = p.scores.residues[k];
    const ResidueMembrane& membrane = p.transmembrane.residues[k];
    // Residue numbers are written signed, so negative numbers read back unchanged.
    out << "RESIDUE\t" << Name(r.name) << '\t' << r.resSeq << '\t' << ChainChar(r.chainId) << '\t' << r.cIndex
        << '\t' << r.caIndex << '\t' << r.nIndex << '\t' << r.oIndex << '\t' << surface.contactPoints << '\t'
        << static_cast<int32_t>(r.secStruct) << '\t' << surface.polarPoints << '\t' << Num(surface.mainSASA)
        << '\t' << Num(surface.sideSASA) << '\t' << Num(surface.areaBuried) << '\t'
        << Num(surface.fractionPolar) << '\t' << Num(surface.kavelinFP) << '\t' << scores.profEnv << '\t'
        << scores.kavelinEnv << '\t' << Num(scores.solventScore) << '\t' << Num(scores.kavelinScore) << '\t'
        << Num(scores.overallScore) << '\t' << (membrane.transmembrane ? 1 : 0) << '\t'
        << static_cast<int32_t>(r.type);
    // Optional trailing fields, each written when it or a later one says something: the
    // segment's orientation (0 unknown), the segment's kind (0 a crossing), and a predicted
    // model's pLDDT.
    const bool plddt = s.confidence.size() == s.residues.size();
    const bool kind = membrane.kind != SegmentKind::kCrossing;
    if (membrane.tmTopology != 0 || kind || plddt) out << '\t' << static_cast<int>(membrane.tmTopology);
    if (kind || plddt) out << '\t' << static_cast<int>(membrane.kind);
    if (plddt) out << '\t' << Num(s.confidence[k]);
    out << '\n';
    out << "SIDECHAIN\t";
    for (int32_t index : r.sideChain) out << index << '\t';
    out << '\n';
  }
  WriteAtomRecords(out, p);
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

// The ranges of the numbers a result file may hold; anything else (an infinity or NaN,
// a number past a double's range, or one out of its range) refuses the file with its
// line, so nothing read can make an area, score or chart infinite or NaN. Each range is
// far past what any structure gives:
// - coordinates and the box: within +-1e6 angstrom (the PDB format's fields stop at 1e5);
constexpr double kMaxCoordinate = 1e6;
// - an atom's expanded radius: 0 to 10 angstrom (van der Waals radii stop near 3, the
//   heteroatom radius file at 5, plus the 1.4 angstrom probe);
constexpr double kMaxRadius = 10.0;
// - an atom's sphere and accessible areas and a residue's main-chain and side-chain areas:
//   0 to 1e5 square angstrom (a sphere of 10 angstrom is 1257, and a residue of 50 such
//   atoms wholly exposed still fits); the area buried (the reference side area less the
//   side chain's, below 0 for a side chain more exposed than the reference) and the
//   KAVELIN fraction polar (the fraction less the side area over the reference) within
//   +-1e5;
constexpr double kMaxArea = 1e5;
// - a structure's total area: 0 to 1e9 square angstrom (ten million atoms of 100 each);
constexpr double kMaxTotalArea = 1e9;
// - the fraction polar: 0 to 1;
// - scores (a residue's, a structure's average): within +-1e6, as the score table's own;
constexpr double kMaxScore = 1e6;
// - whole numbers (indices, serials, residue numbers, classes, counts): 32-bit.

// The numbers of one record, each checked as it is read; the first that fails is kept as
// the record's error (its field, counted from 1 after the keyword, and what it should be).
class NumberReader {
 public:
  explicit NumberReader(const std::vector<std::string>& fields) : fields_(fields) {}

  // The writer writes every number whole. An empty field reads as 0, as files of older
  // versions may hold; anything else that is not one whole number (a word, a number with
  // something after it, a fraction where a whole number belongs) is damage, never 0.
  float Real(size_t i, const char* what, double low, double high) {
    const std::string& field = FieldAt(fields_, i);
    const std::optional<double> value = field.empty() ? 0.0 : ParseWholeReal(field);
    if (value && *value >= low && *value <= high) return static_cast<float>(*value);
    Fail(i, std::string(what) + " is not a number from " + FormatNumber(low) + " to " + FormatNumber(high));
    return 0.0f;
  }
  float Coordinate(size_t i, const char* what) { return Real(i, what, -kMaxCoordinate, kMaxCoordinate); }
  float Area(size_t i, const char* what) { return Real(i, what, 0.0, kMaxArea); }
  float Score(size_t i, const char* what) { return Real(i, what, -kMaxScore, kMaxScore); }

  int32_t Int(size_t i, const char* what) {
    if (const std::optional<int32_t> value = WholeInt(i)) return *value;
    Fail(i, std::string(what) + " is not a whole number of 32 bits");
    return 0;
  }

  int32_t IntIn(size_t i, const char* what, int32_t low, int32_t high) {
    const std::optional<int32_t> value = WholeInt(i);
    if (value && *value >= low && *value <= high) return *value;
    Fail(i, std::string(what) + " is not a whole number from " + std::to_string(low) + " to " +
                std::to_string(high));
    return low;
  }

  const std::string& error() const { return error_; }
  void Refuse(size_t i, const std::string& detail) { Fail(i, detail); }

 private:
  std::optional<int32_t> WholeInt(size_t i) const {
    const std::string& field = FieldAt(fields_, i);
    return field.empty() ? 0 : ParseWholeInt(field);
  }
  void Fail(size_t i, const std::string& detail) {
    if (error_.empty()) error_ = "field " + std::to_string(i) + " (" + detail + ")";
  }
  const std::vector<std::string>& fields_;
  std::string error_;
};

// Names as the writer leaves them: control characters read as '?', so a file read and
// written again stays as it was.
std::string NameField(const std::vector<std::string>& fields, size_t i) {
  std::string name = FieldAt(fields, i);
  MaskControlCharacters(name);
  return name;
}

char ChainField(const std::vector<std::string>& fields, size_t i) {
  return ChainChar(CharField(fields, i));
}

SecondaryRange ReadRange(const std::vector<std::string>& f, NumberReader& n) {
  return {n.Int(2, "first residue number"), n.Int(3, "last residue number"), ChainField(f, 1)};
}

Residue ReadResidue(const std::vector<std::string>& f, NumberReader& n, ResidueSurface& surface,
                    ResidueScore& scores, ResidueMembrane& membrane) {
  Residue r(NameField(f, 1), n.Int(2, "residue number"), ChainField(f, 3));
  r.cIndex = n.Int(4, "C index");
  r.caIndex = n.Int(5, "CA index");
  r.nIndex = n.Int(6, "N index");
  r.oIndex = n.Int(7, "O index");
  surface.contactPoints = n.IntIn(8, "contact points", 0, std::numeric_limits<int32_t>::max());
  // Any number is kept as it was written: one outside the enumeration scores as coil.
  r.secStruct = static_cast<SecondaryStructure>(n.Int(9, "secondary structure"));
  surface.polarPoints = n.IntIn(10, "polar points", 0, std::numeric_limits<int32_t>::max());
  surface.mainSASA = n.Area(11, "main-chain area");
  surface.sideSASA = n.Area(12, "side-chain area");
  surface.areaBuried = n.Real(13, "area buried", -kMaxArea, kMaxArea);
  surface.fractionPolar = n.Real(14, "fraction polar", 0.0, 1.0);
  surface.kavelinFP = n.Real(15, "KAVELIN fraction polar", -kMaxArea, kMaxArea);
  // The classes a residue can have: 0 to 17, and for KAVELIN 18 where the type is unknown.
  scores.profEnv = n.IntIn(16, "environment", 0, kEnvironmentCount - 1);
  scores.kavelinEnv = n.IntIn(17, "KAVELIN environment", 0, kKavelinUnknownEnv);
  scores.solventScore = n.Score(18, "Profiles-3D score");
  scores.kavelinScore = n.Score(19, "KAVELIN score");
  scores.overallScore = n.Score(20, "overall score");
  membrane.transmembrane = n.Int(21, "transmembrane flag") != 0;
  // 0 to 19 the score table's columns, 21 any other residue: 20 would be a column past the
  // table's last.
  const int32_t type = n.IntIn(22, "residue type", 0, kUnknownResidueType);
  if (type == kResidueTypeCount) n.Refuse(22, "residue type 20 is none; 0 to 19 or 21");
  r.type = static_cast<ResidueType>(type == kResidueTypeCount ? kUnknownResidueType : type);
  membrane.tmTopology = static_cast<int8_t>(std::clamp(n.Int(23, "orientation"), -1, 1));
  // A kind this reader does not know is read as a crossing.
  const int kind = n.Int(24, "segment kind");
  membrane.kind = kind == 1 || kind == 2 ? static_cast<SegmentKind>(kind) : SegmentKind::kCrossing;
  return r;
}

Atom ReadAtom(const std::vector<std::string>& f, NumberReader& n, AtomSurface& surface) {
  Atom a;
  a.name = NameField(f, 1);
  a.chainId = ChainField(f, 2);
  a.index = n.Int(3, "atom index");
  a.serial = n.Int(4, "serial number");
  a.x = n.Coordinate(5, "x");
  a.y = n.Coordinate(6, "y");
  a.z = n.Coordinate(7, "z");
  a.resSeq = n.Int(8, "residue number");
  a.atomClass = static_cast<AtomClass>(n.Int(9, "atom class"));
  a.radius = n.Real(10, "radius", 0.0, kMaxRadius);
  a.sphereArea = n.Area(11, "sphere area");
  surface.sasa = n.Area(12, "accessible area");
  a.polar = n.Int(13, "polar flag") != 0;
  return a;
}

// A count of sphere points: a whole number from 0 up.
bool CountField(NumberReader& n, size_t i, uint32_t& count) {
  const int32_t value = n.Int(i, "point count");
  if (value < 0) return false;
  count = static_cast<uint32_t>(value);
  return true;
}

// What the records refer to must be there: every residue's atoms, every chain's residues.
// `line` is set to the line of the record that refers amiss (residueLines: each residue's
// RESIDUE line, its SIDECHAIN line the next), and left as it is for a chain.
std::string MissingReference(const Structure& s, const std::vector<int>& residueLines, int& line) {
  const auto atoms = static_cast<int32_t>(s.atoms.size());
  const auto residues = static_cast<int32_t>(s.residues.size());
  for (size_t r = 0; r < s.residues.size(); ++r) {
    const Residue& residue = s.residues[r];
    for (int32_t i : {residue.nIndex, residue.caIndex, residue.cIndex, residue.oIndex}) {
      if (i < -1 || i >= atoms) {
        if (r < residueLines.size()) line = residueLines[r];
        return "residue " + std::to_string(r) + " refers to atom " + std::to_string(i);
      }
    }
    for (int32_t i : residue.sideChain) {
      if (i < 0 || i >= atoms) {
        if (r < residueLines.size()) line = residueLines[r] + 1;
        return "residue " + std::to_string(r) + " refers to atom " + std::to_string(i);
      }
    }
  }
  for (const Chain& c : s.chains) {
    if (c.firstResidue < 0 || int64_t{c.firstResidue} > int64_t{c.lastResidue} + 1 ||
        c.lastResidue >= residues)
      return "a chain covers residues " + std::to_string(c.firstResidue) + " to " +
             std::to_string(c.lastResidue);
  }
  return {};
}

}  // namespace

void WriteResult(const Protein& protein, std::ostream& out) {
  WriteRecords(out, protein);
}

FileStatus CheckResultName(const std::string& path) {
  // Nothing there, or no regular file (a pipe would block the read; the writer refuses it).
  std::error_code error;
  if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error)))
    return FileStatus::Ok(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) return FileStatus::Ok(path);  // unreadable: the writer's own checks decide
  constexpr std::string_view kStart = "STRUCTURE\t";
  std::string start(kStart.size(), '\0');
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<size_t>(in.gcount()));
  if (start.empty() || start == kStart) return FileStatus::Ok(path);
  return FileStatus::WriteFailed(path,
                                 "it holds no result (a result file begins with STRUCTURE); "
                                 "nothing is written over it");
}

FileStatus WriteResult(const Protein& protein, const std::string& path) {
  if (FileStatus name = CheckResultName(path); !name) return name;
  return WriteFileAtomically(path, [&](std::ostream& out) { WriteRecords(out, protein); });
}

FileStatus ReadResult(Protein& protein, const std::string& path) {
  std::ifstream in;
  if (!OpenForReading(in, path)) return ReadFailure(path);
  return ReadResult(protein, in, path);
}

namespace {

// Each record kind's reader adds what its record holds to the protein and returns what was
// wrong with it, empty when nothing was.

std::string ReadChainRecord(Protein& protein, const std::vector<std::string>& f, NumberReader& n) {
  if (f.size() < 4) return "CHAIN record with too few fields";
  Structure& s = protein.structure;
  s.chains.push_back({n.Int(2, "first residue"), n.Int(3, "last residue"), ChainField(f, 1)});
  if (f.size() > 4 && !f[4].empty()) {
    s.chainNames.resize(s.chains.size());
    s.chainNames.back() = NameField(f, 4);
  }
  return {};
}

std::string ReadAtomRecord(Protein& protein, const std::vector<std::string>& f, NumberReader& n) {
  if (f.size() < 16) return "ATOM record with too few fields";
  AtomSurface& atomSurface = protein.surface.atoms.emplace_back();
  protein.structure.atoms.push_back(ReadAtom(f, n, atomSurface));
  if ((!CountField(n, 14, atomSurface.contactPoints) || !CountField(n, 15, atomSurface.polarPoints)) &&
      n.error().empty()) {
    return "ATOM record with a negative point count";
  }
  return {};
}

// A RESIDUE record and the SIDECHAIN line that must follow it, which is read here (and
// counted in `lineNumber`). `ended` is set when the file ends before that line.
std::string ReadResidueRecords(Protein& protein, const std::vector<std::string>& f, NumberReader& n,
                               std::istream& in, int& lineNumber, bool& ended) {
  if (f.size() < 23) return "RESIDUE record with too few fields";
  ResidueSurface residueSurface;
  ResidueScore residueScores;
  ResidueMembrane residueMembrane;
  Residue residue = ReadResidue(f, n, residueSurface, residueScores, residueMembrane);
  if (!n.error().empty()) return "RESIDUE record: " + n.error();
  ++lineNumber;
  std::string line;
  if (!ReadLine(in, line)) {
    ended = true;
    return {};
  }
  const std::vector<std::string> side = SplitFields(line);
  if (side[0] != "SIDECHAIN") return "RESIDUE record without its SIDECHAIN line";
  NumberReader indices(side);
  for (size_t i = 1; i < side.size(); ++i) {
    if (i + 1 == side.size() && side[i].empty()) break;  // the field after the last TAB
    residue.sideChain.push_back(indices.Int(i, "atom index"));
  }
  if (!indices.error().empty()) return "SIDECHAIN record: " + indices.error();
  protein.structure.residues.push_back(std::move(residue));
  protein.surface.residues.push_back(residueSurface);
  protein.scores.residues.push_back(residueScores);
  protein.transmembrane.residues.push_back(residueMembrane);
  if (f.size() > 25 && !f[25].empty()) {
    // Parallel to the residues or not kept at all (ReadResult checks at END).
    const float plddt = n.Real(25, "pLDDT", 0.0, 100.0);
    if (protein.structure.confidence.size() + 1 == protein.structure.residues.size())
      protein.structure.confidence.push_back(plddt);
  }
  return {};
}

}  // namespace

FileStatus ReadResult(Protein& protein, std::istream& in, const std::string& name) {
  Structure& structure = protein.structure;
  int lineNumber = 0;
  size_t box = 0;
  std::vector<int> residueLines;  // each residue's RESIDUE line, for MissingReference
  std::string line;
  auto formatError = [&](const std::string& detail) { return FileStatus::Format(name, lineNumber, detail); };
  while (ReadLine(in, line)) {
    ++lineNumber;
    const std::vector<std::string> f = SplitFields(line);
    const std::string& keyword = f[0];
    NumberReader n(f);
    std::string wrong;
    if (keyword == "STRUCTURE") {
      if (f.size() < 3) return formatError("STRUCTURE record with too few fields");
      protein.surface.totalSASA = n.Real(1, "total area", 0.0, kMaxTotalArea);
      protein.scores.averageScore = n.Score(2, "average score");
      if (f.size() > 3 && f[3].find('=') == std::string::npos) structure.modelSource = NameField(f, 3);
      wrong = ReadParameterFields(f, protein.parameters);
      for (size_t i = 3; i < f.size(); ++i)
        if (f[i].rfind("record=", 0) == 0) protein.fastaRecord = f[i].substr(7);
    } else if (keyword == "CHAIN") {
      wrong = ReadChainRecord(protein, f, n);
    } else if (keyword == "HELIX" || keyword == "SHEET") {
      if (f.size() < 4) return formatError(keyword + " record with too few fields");
      (keyword == "HELIX" ? structure.helices : structure.sheets).push_back(ReadRange(f, n));
    } else if (keyword == "XYZEX") {
      if (f.size() < 3) return formatError("XYZEX record with too few fields");
      if (box >= structure.xyzExtremities.size()) return formatError("more than three XYZEX records");
      structure.xyzExtremities[box++] = {n.Coordinate(1, "least coordinate"),
                                         n.Coordinate(2, "greatest coordinate")};
    } else if (keyword == "ATOM") {
      wrong = ReadAtomRecord(protein, f, n);
    } else if (keyword == "RESIDUE") {
      bool ended = false;
      const int residueLine = lineNumber;
      wrong = ReadResidueRecords(protein, f, n, in, lineNumber, ended);
      if (residueLines.size() < structure.residues.size()) residueLines.push_back(residueLine);
      if (ended) break;  // the end of the file is reported below
    } else if (keyword == "END") {
      // pLDDT stands for every residue or for none.
      if (structure.confidence.size() != structure.residues.size()) structure.confidence.clear();
      if (structure.confidence.empty()) structure.modelSource.clear();
      if (const std::string missing = MissingReference(structure, residueLines, lineNumber); !missing.empty())
        return formatError(missing);
      if (protein.parameters.confidentPlddt >= 0.0f && !structure.confidence.empty())
        protein.confidentPlddt = protein.parameters.confidentPlddt;
      return FileStatus::Ok(name);
    } else {
      return formatError("no record keyword");
    }
    if (!wrong.empty()) return formatError(wrong);
    if (!n.error().empty()) return formatError(keyword + " record: " + n.error());
  }
  if (ReadFailed(in))
    return FileStatus::Unreadable(name, "read error on line " + std::to_string(lineNumber + 1));
  lineNumber += 1;
  return formatError("the file ends before END");
}

}  // namespace tessmol
