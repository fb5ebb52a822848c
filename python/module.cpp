// The tessmol Python module: the analysis core called in process, its results as Python
// records and numpy arrays. The work itself runs in engine.cpp with the interpreter lock
// released; this file converts arguments and results, and turns failures into exceptions.
#include <dlfcn.h>
#include <pybind11/eval.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <thread>

#include "base/run_names.h"
#include "base/text.h"
#include "base/version.h"
#include "document/bfactor_output.h"
#include "document/json_output.h"
#include "document/report.h"
#include "document/result_file.h"
#include "engine.h"
#include "scoring/model_quality.h"
#include "surface/sphere_points.h"

namespace py = pybind11;

namespace tessmol::python {

namespace {

// ---- records handed to Python ----

struct ResidueRecord {
  int index = 0;
  std::string chain;
  int number = 0;
  std::string insertion_code;
  std::string name;
  std::string ss;
  float area_buried = 0, fraction_polar = 0, kavelin_fp = 0;
  int category = 0, kavelin_category = 0;
  float main_sasa = 0, side_sasa = 0, sasa = 0;
  float solvent_score = 0, kavelin_score = 0, overall_score = 0;
  bool transmembrane = false;
  int topology = 0;
  std::optional<float> plddt;
};

struct ChainRecord {
  std::string name;
  int residue_count = 0, first_number = 0, last_number = 0, first_index = -1, last_index = -1;
};

struct DomainRecord {
  std::string chain;
  int first_number = 0, last_number = 0;
  std::string orientation;
  std::string kind;
};

struct SlabSegmentRecord {
  std::string chain;
  int first_number = 0, last_number = 0;
  std::string orientation, kind;
  float tilt = 0;
};

struct MembraneRecord {
  bool placed = false;
  std::tuple<float, float, float> normal, centre;
  float half_thickness = 0, score = 0, threshold = 0;
  std::vector<std::string> chains;
  int symmetry_order = 0;
  std::vector<SlabSegmentRecord> segments;
};

// How a structure was analysed, as its outputs record it; optional values the record lacks
// (an older result file) are None.
struct ParametersRecord {
  std::string version;
  int resolution = -1;
  std::optional<int> points_per_atom;
  std::string heteroatoms;
  std::optional<long long> heteroatoms_covering, waters_left_out;
  std::string secondary_structure, score_table;
  std::optional<std::string> method;
};

struct StretchRecord {
  std::string chain;
  int first_number = 0, last_number = 0;
};

struct FailureRecord {
  std::string path, kind, message;
  int line = 0;
};

// One result as Python holds it: the analysis, shared with the residue view, and the
// record array once asked for (kept, so later calls are views, not copies).
struct PyResult {
  std::shared_ptr<const Analysis> data;
  py::dict settings;
  py::object numpy = py::none();
};

struct PyResidues {
  std::shared_ptr<PyResult> result;
};

struct PyScoreTable {
  std::shared_ptr<const ScoreTable> table;
  std::string path;
};

struct PyMany {
  // Shared with a call of __next__ waiting without the interpreter lock, so that close()
  // from another thread cannot pull the run from under it.
  std::shared_ptr<OrderedRun> run;
  py::dict settings;
  bool recordFailures = false;
  ~PyMany() {
    // The workers finish the files they hold without the interpreter.
    py::gil_scoped_release release;
    run.reset();
  }
};

std::vector<DomainRecord> DomainRecords(const std::vector<TransmembraneDomain>& list) {
  std::vector<DomainRecord> records;
  for (const TransmembraneDomain& d : list)
    records.push_back(
        {d.chain, d.firstResSeq, d.lastResSeq, OrientationName(d.topology, d.kind), KindName(d.kind)});
  return records;
}

std::string KindName(const Failure& failure) {
  if (failure.kind == Failure::Kind::kOther) return "analysis";
  switch (failure.status.problem) {
    case FileProblem::kMissing:
      return "missing";
    case FileProblem::kUnreadable:
      return "unreadable";
    case FileProblem::kFormat:
      return "format";
    case FileProblem::kWriteFailed:
      return "write failed";
    case FileProblem::kNone:
      break;
  }
  return "analysis";
}

// Names from files may hold any bytes: a byte that is not part of valid UTF-8 becomes
// U+FFFD, as in the JSON output, so nothing a file holds fails to convert.
py::str Text(const std::string& bytes) {
  PyObject* text = PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "replace");
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

// Raises tessmol.FileError, tessmol.FormatError or tessmol.Error with the core's message
// and the file, line and kind as attributes.
[[noreturn]] void Raise(const Failure& failure) {
  py::module_ m = py::module_::import("tessmol");
  const char* type = failure.kind == Failure::Kind::kFile     ? "FileError"
                     : failure.kind == Failure::Kind::kFormat ? "FormatError"
                                                              : "Error";
  py::object path =
      failure.status.path.empty() ? py::object(py::none()) : py::object(Text(failure.status.path));
  py::object error = m.attr(type)(Text(failure.message), path, failure.status.line, KindName(failure));
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
  throw py::error_already_set();
}

[[noreturn]] void RaiseValue(const std::string& message) {
  throw py::value_error(message);
}

std::string FsPath(const py::object& path) {
  py::object text = py::module_::import("os").attr("fspath")(path);
  if (!py::isinstance<py::str>(text)) RaiseValue("a path must be text, not bytes");
  return text.cast<std::string>();
}

ResidueRecord MakeResidue(const Protein& protein, size_t i) {
  const Structure& s = protein.structure;
  const Residue& r = s.residues[i];
  const ResidueSurface& surface = protein.surface.residues[i];
  const ResidueScore& scores = protein.scores.residues[i];
  ResidueRecord rec;
  rec.index = static_cast<int>(i);
  rec.chain = s.ChainNameOfResidue(i);
  rec.number = r.resSeq;
  rec.insertion_code = r.iCode == ' ' || r.iCode == '\0' ? std::string() : std::string(1, r.iCode);
  rec.name = r.name;
  rec.ss = r.secStruct == SecondaryStructure::kHelix   ? "H"
           : r.secStruct == SecondaryStructure::kSheet ? "E"
                                                       : "C";
  rec.area_buried = surface.areaBuried;
  rec.fraction_polar = surface.fractionPolar;
  rec.kavelin_fp = surface.kavelinFP;
  rec.category = scores.profEnv;
  rec.kavelin_category = scores.kavelinEnv;
  rec.main_sasa = surface.mainSASA;
  rec.side_sasa = surface.sideSASA;
  rec.sasa = surface.sideSASA + surface.mainSASA;  // summed in single precision, as the table shows it
  rec.solvent_score = scores.solventScore;
  rec.kavelin_score = scores.kavelinScore;
  rec.overall_score = scores.overallScore;
  rec.transmembrane = protein.transmembrane.residues[i].transmembrane;
  rec.topology = protein.transmembrane.residues[i].tmTopology;
  if (s.confidence.size() == s.residues.size()) rec.plddt = s.confidence[i];
  return rec;
}

// The residue table's headings and the record fields that hold their values.
const std::map<std::string, std::string>& ColumnFields() {
  static const std::map<std::string, std::string> fields = {{"Index", "index"},
                                                            {"Residue", "name"},
                                                            {"Chain", "chain"},
                                                            {"No.", "number"},
                                                            {"Area Buried", "area_buried"},
                                                            {"Fraction Polar", "fraction_polar"},
                                                            {"KAVELIN FP", "kavelin_fp"},
                                                            {"Category", "category"},
                                                            {"KAVELIN Cat", "kavelin_category"},
                                                            {"Main SASA", "main_sasa"},
                                                            {"Side SASA", "side_sasa"},
                                                            {"SASA", "sasa"},
                                                            {"Solvent Score", "solvent_score"},
                                                            {"KAVELIN Score", "kavelin_score"},
                                                            {"Overall Score", "overall_score"},
                                                            {"is transmembrane", "transmembrane"},
                                                            {"pLDDT", "plddt"}};
  return fields;
}

// ---- the record array ----

// The code points of a name, as Text decodes it. A structure has few distinct names
// (residue types, chains), so each is decoded once per array.
class CodePoints {
 public:
  const std::u32string& operator()(const std::string& bytes) {
    auto found = decoded_.find(bytes);
    if (found != decoded_.end()) return found->second;
    py::str text = Text(bytes);
    std::u32string points;
    for (py::handle c : text) points.push_back(static_cast<char32_t>(PyUnicode_ReadChar(c.ptr(), 0)));
    return decoded_.emplace(bytes, std::move(points)).first->second;
  }

 private:
  std::map<std::string, std::u32string> decoded_;
};

void PutText(char* field, const std::u32string& points) {
  std::memcpy(field, points.data(), points.size() * sizeof(char32_t));  // the rest is zero
}

py::object MakeNumpy(const Analysis& analysis) {
  const Protein& protein = analysis.protein;
  const Structure& s = protein.structure;
  const size_t n = s.residues.size();
  CodePoints points;
  std::vector<const std::u32string*> chains(n), names(n);
  size_t chainWidth = 1, nameWidth = 1;
  for (size_t i = 0; i < n; ++i) {
    chains[i] = &points(s.ChainNameOfResidue(i));
    names[i] = &points(s.residues[i].name);
    chainWidth = std::max(chainWidth, chains[i]->size());
    nameWidth = std::max(nameWidth, names[i]->size());
  }
  py::module_ numpy = py::module_::import("numpy");
  py::list fields;
  auto add = [&](const char* name, const std::string& format) {
    fields.append(py::make_tuple(name, format));
  };
  add("index", "<i4");
  add("chain", "<U" + std::to_string(chainWidth));
  add("number", "<i4");
  add("insertion_code", "<U1");
  add("name", "<U" + std::to_string(nameWidth));
  add("ss", "<U1");
  for (const char* f : {"area_buried", "fraction_polar", "kavelin_fp"}) add(f, "<f4");
  add("category", "<i4");
  add("kavelin_category", "<i4");
  for (const char* f : {"main_sasa", "side_sasa", "sasa", "solvent_score", "kavelin_score", "overall_score"})
    add(f, "<f4");
  add("transmembrane", "?");
  add("topology", "i1");
  add("plddt", "<f4");
  py::dtype dtype = py::reinterpret_borrow<py::dtype>(numpy.attr("dtype")(fields));
  py::array array(dtype, std::vector<py::ssize_t>{static_cast<py::ssize_t>(n)});
  py::dict described = dtype.attr("fields");
  auto offset = [&](const char* name) { return described[name].cast<py::tuple>()[1].cast<size_t>(); };
  const size_t stride = static_cast<size_t>(dtype.itemsize());
  const size_t oIndex = offset("index"), oChain = offset("chain"), oNumber = offset("number"),
               oIcode = offset("insertion_code"), oName = offset("name"), oSs = offset("ss"),
               oBuried = offset("area_buried"), oPolar = offset("fraction_polar"),
               oKfp = offset("kavelin_fp"), oCat = offset("category"), oKcat = offset("kavelin_category"),
               oMain = offset("main_sasa"), oSide = offset("side_sasa"), oSasa = offset("sasa"),
               oSolvent = offset("solvent_score"), oKav = offset("kavelin_score"),
               oOverall = offset("overall_score"), oTm = offset("transmembrane"), oTopo = offset("topology"),
               oConf = offset("plddt");
  char* base = static_cast<char*>(array.mutable_data());
  std::memset(base, 0, n * stride);
  auto put = [](char* at, auto value) { std::memcpy(at, &value, sizeof value); };
  for (size_t i = 0; i < n; ++i) {
    char* row = base + i * stride;
    const ResidueRecord r = MakeResidue(protein, i);
    put(row + oIndex, static_cast<int32_t>(r.index));
    PutText(row + oChain, *chains[i]);
    put(row + oNumber, static_cast<int32_t>(r.number));
    PutText(row + oIcode, points(r.insertion_code).substr(0, 1));
    PutText(row + oName, *names[i]);
    PutText(row + oSs, points(r.ss));
    put(row + oBuried, r.area_buried);
    put(row + oPolar, r.fraction_polar);
    put(row + oKfp, r.kavelin_fp);
    put(row + oCat, static_cast<int32_t>(r.category));
    put(row + oKcat, static_cast<int32_t>(r.kavelin_category));
    put(row + oMain, r.main_sasa);
    put(row + oSide, r.side_sasa);
    put(row + oSasa, r.sasa);
    put(row + oSolvent, r.solvent_score);
    put(row + oKav, r.kavelin_score);
    put(row + oOverall, r.overall_score);
    put(row + oTm, static_cast<uint8_t>(r.transmembrane ? 1 : 0));
    put(row + oTopo, static_cast<int8_t>(r.topology));
    put(row + oConf, r.plddt ? *r.plddt : std::numeric_limits<float>::quiet_NaN());
  }
  // Shared by every caller: nobody may change the numbers under another.
  array.attr("flags").attr("writeable") = false;
  return array;
}

py::object Numpy(PyResult& result) {
  if (result.numpy.is_none()) result.numpy = MakeNumpy(*result.data);
  return result.numpy;
}

MembraneRecord MembraneRecordOf(const Structure& structure, const MembranePlacement& m) {
  MembraneRecord rec;
  rec.placed = m.placed;
  rec.normal = {m.normal[0], m.normal[1], m.normal[2]};
  rec.centre = {m.centre[0], m.centre[1], m.centre[2]};
  rec.half_thickness = m.halfThickness;
  rec.score = m.score;
  rec.threshold = m.threshold;
  for (int32_t c : m.chains) rec.chains.push_back(structure.ChainName(static_cast<size_t>(c)));
  rec.symmetry_order = m.symmetryOrder;
  for (const SlabSegment& s : m.segments) {
    rec.segments.push_back({structure.ChainName(static_cast<size_t>(s.chain)),
                            structure.residues[s.first].resSeq, structure.residues[s.last].resSeq,
                            OrientationName(s.nInside ? 1 : -1, s.kind), KindName(s.kind), s.tiltDegrees});
  }
  return rec;
}

ParametersRecord ParametersRecordOf(const RunParameters& p) {
  ParametersRecord rec;
  rec.version = p.version;
  rec.resolution = p.resolution;
  if (p.resolution >= 0 && p.resolution < kSasaResolutionCount)
    rec.points_per_atom = SpherePointCount(p.resolution);
  rec.heteroatoms = p.ignoreHeteroAtoms ? "all_left_out" : "waters_left_out";
  if (p.coveringHetAtoms >= 0) rec.heteroatoms_covering = p.coveringHetAtoms;
  if (p.watersLeftOut >= 0) rec.waters_left_out = p.watersLeftOut;
  rec.secondary_structure = p.secondaryStructure;
  rec.score_table = p.scoreTable;
  if (!p.method.empty()) rec.method = p.method;
  return rec;
}

// A predicted model's confident scores, or nothing for an experimental structure.
std::optional<ConfidentScores> Confident(const PyResult& r) {
  const Protein& p = r.data->protein;
  const ConfidentScores c = ScoreConfident(p.structure, p.scores, p.confidentPlddt);
  if (!c.model) return std::nullopt;
  return c;
}

// A value of a predicted model's confident scores; None for an experimental structure.
template <typename Get>
py::object ModelValue(const PyResult& r, Get get) {
  const std::optional<ConfidentScores> c = Confident(r);
  return c ? py::cast(get(*c)) : py::object(py::none());
}

// A score over the confident residues: None for an experimental structure, and for a model
// with no confident residue, where an average over nothing is no score.
template <class Get>
py::object ConfidentScore(const PyResult& r, Get get) {
  const std::optional<ConfidentScores> c = Confident(r);
  return c && c->confident > 0 ? py::cast(get(*c)) : py::object(py::none());
}

// ---- arguments ----

TmMethod MethodNamed(const std::string& name, bool structures) {
  // Structures: the slab where a membrane is placed, else segments; sequences, which have no
  // membrane to place: segments, as the command line's default and auto.
  if (name == "default" || name == "auto")
    return structures ? TmMethod::kSlabElseSegments : TmMethod::kSegments;
  if (name == "window") return TmMethod::kWindow;
  if (name == "segments") return TmMethod::kSegments;
  if (name == "slab" && structures) return TmMethod::kSlab;
  RaiseValue((structures ? "spanner3d must be None, a bool, 'default', 'auto', 'window', 'segments' or 'slab'"
                         : "method must be 'segments', 'auto', 'default' or 'window'") +
             std::string(", not '") + name + "'");
}

void SetScan(ScanParams& p, const py::object& scan) {
  if (scan.is_none()) return;
  if (!py::isinstance<py::dict>(scan)) RaiseValue("scan must be a dict of the scan's parameters");
  std::map<std::string, float*> floats = {{"minAreaDifference", &p.minAreaDifference},
                                          {"minDifference", &p.minDifference},
                                          {"minAveSASA", &p.minAveSASA},
                                          {"kavelinMin", &p.kavelinMin},
                                          {"kavelinMax", &p.kavelinMax},
                                          {"profilesMin", &p.profilesMin},
                                          {"profilesMax", &p.profilesMax},
                                          {"lengthAreaMin", &p.lengthAreaMin},
                                          {"lengthAreaMax", &p.lengthAreaMax}};
  std::map<std::string, uint32_t*> counts = {
      {"movingAverage", &p.movingAverage}, {"tmLengthMin", &p.tmLengthMin}, {"tmLengthMax", &p.tmLengthMax}};
  for (auto [key, value] : scan.cast<py::dict>()) {
    const std::string name = py::str(key);
    if (auto f = floats.find(name); f != floats.end()) {
      if (!py::isinstance<py::float_>(value) && !py::isinstance<py::int_>(value))
        RaiseValue("scan parameter " + name + " must be a number");
      *f->second = value.cast<float>();
    } else if (auto c = counts.find(name); c != counts.end()) {
      if (!py::isinstance<py::int_>(value)) RaiseValue("scan parameter " + name + " must be an integer");
      const long long v = value.cast<long long>();
      if (v < 0 || v > 100000) RaiseValue("scan parameter " + name + " out of range: " + std::to_string(v));
      *c->second = static_cast<uint32_t>(v);
    } else {
      RaiseValue("no scan parameter named " + name);
    }
  }
}

// A parameter held as a 32-bit float, as the number it was set to (0.2, not the float's
// 0.20000000298023224): the shortest decimal that reads back to the same float.
double AsSet(float v) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  return std::strtod(std::string(text, end).c_str(), nullptr);
}

py::dict ScanDict(const ScanParams& p) {
  py::dict d;
  d["minAreaDifference"] = AsSet(p.minAreaDifference);
  d["movingAverage"] = p.movingAverage;
  d["minDifference"] = AsSet(p.minDifference);
  d["minAveSASA"] = AsSet(p.minAveSASA);
  d["tmLengthMin"] = p.tmLengthMin;
  d["tmLengthMax"] = p.tmLengthMax;
  d["kavelinMin"] = AsSet(p.kavelinMin);
  d["kavelinMax"] = AsSet(p.kavelinMax);
  d["profilesMin"] = AsSet(p.profilesMin);
  d["profilesMax"] = AsSet(p.profilesMax);
  d["lengthAreaMin"] = AsSet(p.lengthAreaMin);
  d["lengthAreaMax"] = AsSet(p.lengthAreaMax);
  return d;
}

std::shared_ptr<const ScoreTable> TableFrom(const py::object& table) {
  if (table.is_none()) return nullptr;
  if (py::isinstance<PyScoreTable>(table)) return table.cast<const PyScoreTable&>().table;
  const std::string path = FsPath(table);
  Outcome<ScoreTable> read;
  {
    py::gil_scoped_release release;
    read = ReadScoreTable(path);
  }
  if (!read.ok()) Raise(read.failure);
  return std::make_shared<const ScoreTable>(std::move(*read.value));
}

struct Call {
  Options options;
  py::dict settings;
  std::string scoreTablePath;  // the table file the call reads, when it names one
};

Call MakeOptions(const py::object& spanner3d, const std::string& method, int resolution, bool ignoreHet,
                 int threads, const py::object& scoreTable, const std::string& secondary, int maxUnpackedMiB,
                 const py::object& scan, const py::object& log, bool structures,
                 const std::string& confidence = "auto", float confidentPlddt = kDefaultConfidentPlddt) {
  Call call;
  AnalysisSettings& s = call.options.settings;
  if (confidence == "auto") {
    s.confidenceSource = ConfidenceSource::kHeader;
  } else if (confidence == "plddt") {
    s.confidenceSource = ConfidenceSource::kBFactors;
  } else {
    RaiseValue("confidence must be 'auto' or 'plddt', not '" + confidence + "'");
  }
  s.confidentPlddt = confidentPlddt;
  s.sasaResolution = resolution;
  s.ignoreHeteroAtoms = ignoreHet;
  s.threads = threads;
  s.maxUnpackedMiB = maxUnpackedMiB;
  if (secondary == "auto") {
    s.secondaryStructure = SecondaryStructureSource::kRecordsElseComputed;
  } else if (secondary == "records") {
    s.secondaryStructure = SecondaryStructureSource::kRecords;
  } else if (secondary == "computed") {
    s.secondaryStructure = SecondaryStructureSource::kComputed;
  } else {
    RaiseValue("secondary_structure must be 'auto', 'records' or 'computed', not '" + secondary + "'");
  }
  std::string spanner = method;
  if (structures) {
    // spanner3d: None or False for none, True or "default" for the default method (the slab
    // where a membrane is placed, else segments), or a method.
    if (spanner3d.is_none() || (py::isinstance<py::bool_>(spanner3d) && !spanner3d.cast<bool>())) {
      spanner.clear();
    } else if (py::isinstance<py::bool_>(spanner3d)) {
      spanner = "default";
    } else if (py::isinstance<py::str>(spanner3d)) {
      spanner = spanner3d.cast<std::string>();
    } else {
      RaiseValue("spanner3d must be None, a bool or a method name");
    }
  }
  call.options.spanner3d = structures && !spanner.empty();
  if (!spanner.empty()) s.tmMethod = MethodNamed(spanner, structures);
  SetScan(s.spanner2DParams, scan);
  if (auto problem = s.Validate()) RaiseValue(problem->field + ": " + problem->message);
  // As tessmol-cli refuses them: settings that no part of the call would read.
  if (!scan.is_none() && (spanner.empty() || s.tmMethod != TmMethod::kWindow))
    RaiseValue(std::string("scan sets the window scan, which only runs with ") +
               (structures ? "spanner3d='window'" : "method='window'"));
  if (!log.is_none()) call.options.logPath = FsPath(log);
  call.options.scoreTable = TableFrom(scoreTable);
  if (py::isinstance<PyScoreTable>(scoreTable))
    call.scoreTablePath = scoreTable.cast<const PyScoreTable&>().path;
  else if (!scoreTable.is_none())
    call.scoreTablePath = FsPath(scoreTable);

  py::dict& d = call.settings;
  d["resolution"] = resolution;
  d["ignore_het"] = ignoreHet;
  d["threads"] = threads;
  d["secondary_structure"] = secondary;
  d["max_unpacked_mib"] = maxUnpackedMiB;
  if (structures) {
    d["confidence"] = confidence;
    d["confident_plddt"] = confidentPlddt;
  }
  if (structures) {
    d["spanner3d"] = spanner.empty() ? py::object(py::none()) : py::object(py::str(spanner));
  } else {
    d["method"] = spanner;
  }
  d["scan"] = ScanDict(s.spanner2DParams);
  d["score_table"] = call.options.scoreTable ? call.options.scoreTable->fileName : std::string("Default.stb");
  return call;
}

void Warn(const std::vector<std::string>& messages) {
  for (const std::string& m : messages) {
    if (PyErr_WarnEx(PyExc_UserWarning, m.c_str(), 1) != 0) throw py::error_already_set();
  }
}

std::shared_ptr<PyResult> MakeResult(Analysis&& analysis, const py::dict& settings) {
  auto result = std::make_shared<PyResult>();
  result->settings = py::dict(settings);  // each result its own copy
  if (analysis.fromResultFile) result->settings["score_table"] = analysis.row.scoreTableName;
  result->data = std::make_shared<const Analysis>(std::move(analysis));
  return result;
}

// The log is opened (and emptied) before anything is read: never one of the call's inputs.
void RefuseLogOnInput(const Call& call, std::vector<std::string> inputs) {
  if (call.options.logPath.empty()) return;
  if (EndsWithAnyCase(call.options.logPath, ".tsm"))
    Raise(FileFailure(FileStatus::WriteFailed(call.options.logPath,
                                              "a result file's name, which only an analysis writes")));
  inputs.push_back(call.scoreTablePath);
  RunNames names;
  names.Clear(std::move(inputs));
  if (const FileStatus refused = names.CheckNotInput(call.options.logPath); !refused)
    Raise(FileFailure(refused));
}

// ---- the functions ----

std::shared_ptr<PyResult> Analyse(const py::object& path, const py::object& spanner3d, int resolution,
                                  bool ignoreHet, int threads, const py::object& scoreTable,
                                  const std::string& secondary, int maxUnpackedMiB, const py::object& scan,
                                  const py::object& log, const std::string& confidence,
                                  float confidentPlddt) {
  const std::string file = FsPath(path);
  Call call = MakeOptions(spanner3d, "window", resolution, ignoreHet, threads, scoreTable, secondary,
                          maxUnpackedMiB, scan, log, true, confidence, confidentPlddt);
  RefuseLogOnInput(call, {file});
  Outcome<Analysis> out;
  {
    py::gil_scoped_release release;
    out = AnalyseStructure(file, call.options);
  }
  if (!out.ok()) Raise(out.failure);
  Warn(out.value->messages);
  return MakeResult(std::move(*out.value), call.settings);
}

std::shared_ptr<PyMany> AnalyseMany(const py::iterable& paths, int jobs, const std::string& errors,
                                    const py::object& spanner3d, int resolution, bool ignoreHet, int threads,
                                    const py::object& scoreTable, const std::string& secondary,
                                    int maxUnpackedMiB, const py::object& scan, const std::string& confidence,
                                    float confidentPlddt) {
  if (errors != "raise" && errors != "record")
    RaiseValue("errors must be 'raise' or 'record', not '" + errors + "'");
  if (jobs < 0 || jobs > 1024) RaiseValue("jobs: Please enter an integer between 0 and 1024.");
  if (jobs == 0) jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  // One path is iterable too, letter by letter: never a list of one-letter files.
  if (py::isinstance<py::str>(paths) || py::isinstance<py::bytes>(paths) || py::hasattr(paths, "__fspath__"))
    throw py::type_error("paths: give a list of paths, not one path (analyse takes one)");
  std::vector<std::string> files;
  for (py::handle p : paths) files.push_back(FsPath(py::reinterpret_borrow<py::object>(p)));
  Call call = MakeOptions(spanner3d, "window", resolution, ignoreHet, threads, scoreTable, secondary,
                          maxUnpackedMiB, scan, py::none(), true, confidence, confidentPlddt);
  auto many = std::make_shared<PyMany>();
  many->settings = call.settings;
  many->recordFailures = errors == "record";
  many->run = std::make_shared<OrderedRun>(std::move(files), std::move(call.options), jobs);
  return many;
}

py::object ManyNext(PyMany& many) {
  std::shared_ptr<OrderedRun> run = many.run;
  if (!run) throw py::stop_iteration();
  std::optional<Outcome<Analysis>> next;
  {
    py::gil_scoped_release release;
    next = run->Next();
    // The last holder stops the workers here, not with the lock held.
    run.reset();
  }
  if (!next) throw py::stop_iteration();
  if (next->ok()) {
    // As analyse() does: a structure's warnings (its pLDDT refused) as Python warnings too.
    Warn(next->value->messages);
    return py::cast(MakeResult(std::move(*next->value), many.settings));
  }
  if (!many.recordFailures) Raise(next->failure);
  FailureRecord record{next->failure.status.path, KindName(next->failure), next->failure.message,
                       next->failure.status.line};
  return py::cast(record);
}

// One (name, sequence) pair given to spanner2d, checked as a FASTA record would be;
// ValueError naming what is wrong.
std::pair<std::string, std::string> CheckedPair(py::handle item) {
  py::tuple pair;
  try {
    pair = py::reinterpret_borrow<py::object>(item).cast<py::tuple>();
  } catch (const py::cast_error&) {
    RaiseValue("each sequence must be a (name, sequence) pair");
  }
  if (pair.size() != 2 || !py::isinstance<py::str>(pair[0]) || !py::isinstance<py::str>(pair[1]))
    RaiseValue("each sequence must be a (name, sequence) pair of text");
  std::string name = pair[0].cast<std::string>(), sequence;
  // Blanks, line ends and position numbers, as a sequence pasted from a database entry has
  // them, are skipped as the FASTA reader skips them.
  for (char c : pair[1].cast<std::string>())
    if (!std::isspace(static_cast<unsigned char>(c)) && !std::isdigit(static_cast<unsigned char>(c)))
      sequence += c;
  // A translation's stop, as a FASTA file may end its record with it.
  if (!sequence.empty() && sequence.back() == '*') sequence.pop_back();
  if (name.empty() || name.find_first_of(" \t\r\n>") != std::string::npos)
    RaiseValue("a sequence name must be one word: '" + name + "'");
  if (sequence.empty()) RaiseValue("the sequence of " + name + " is empty");
  for (size_t at = 0; at < sequence.size(); ++at) {
    const auto c = static_cast<unsigned char>(sequence[at]);
    if (c < 0x80 && std::isalpha(c)) continue;
    // The whole character (text from Python is UTF-8), not its first byte alone.
    size_t end = at + 1;
    while (end < sequence.size() && (static_cast<unsigned char>(sequence[end]) & 0xC0) == 0x80) ++end;
    RaiseValue("the sequence of " + name + " holds '" + sequence.substr(at, end - at) +
               "', not a residue letter");
  }
  return {std::move(name), std::move(sequence)};
}

py::list Spanner2D(const py::object& source, const std::string& method, int resolution, bool ignoreHet,
                   int threads, const py::object& scoreTable, const py::object& scan, const py::object& log,
                   const std::string& errors) {
  if (errors != "raise" && errors != "record")
    RaiseValue("errors must be 'raise' or 'record', not '" + errors + "'");
  Call call = MakeOptions(py::none(), method, resolution, ignoreHet, threads, scoreTable, "auto",
                          kDefaultMaxUnpackedMiB, scan, log, false);
  Outcome<std::vector<Analysis>> out;
  if (py::isinstance<py::str>(source) || py::hasattr(source, "__fspath__")) {
    const std::string path = FsPath(source);
    RefuseLogOnInput(call, {path});
    py::gil_scoped_release release;
    out = RunSpanner2D(path, call.options, errors == "record");
  } else {
    std::vector<std::pair<std::string, std::string>> records;
    // With errors='record', a pair that is no sequence takes its place as a Failure, as a
    // FASTA record does.
    std::vector<std::pair<size_t, Analysis>> refused;  // place among the pairs
    size_t place = 0;
    for (py::handle item : source) {
      ++place;
      if (errors == "record") {
        try {
          records.push_back(CheckedPair(item));
        } catch (const py::value_error& error) {
          Analysis failed;
          failed.recordFailure = FileFailure(FileStatus::Format("sequences", 0, error.what()));
          failed.recordFailure->message = std::string("Error: ") + error.what();
          refused.emplace_back(place - 1, std::move(failed));
        }
        continue;
      }
      records.push_back(CheckedPair(item));
    }
    if (records.empty() && refused.empty()) RaiseValue("no sequences given");
    if (!records.empty()) {
      py::gil_scoped_release release;
      out = RunSpanner2D(records, call.options);
    } else {
      out.value.emplace();
    }
    if (out.ok())
      for (auto& [at, failed] : refused)
        out.value->insert(out.value->begin() + static_cast<long>(at), std::move(failed));
  }
  if (!out.ok()) Raise(out.failure);
  py::list results;
  for (Analysis& a : *out.value) {
    if (a.recordFailure) {
      const Failure& f = *a.recordFailure;
      results.append(py::cast(FailureRecord{f.status.path, KindName(f), f.message, f.status.line}));
      continue;
    }
    Warn(a.messages);
    results.append(MakeResult(std::move(a), call.settings));
  }
  return results;
}

std::shared_ptr<PyResult> ReadResultFile(const py::object& path, const py::object& scoreTable) {
  const std::string file = FsPath(path);
  std::shared_ptr<const ScoreTable> table = TableFrom(scoreTable);
  Outcome<Analysis> out;
  {
    py::gil_scoped_release release;
    out = ReadStoredResult(file, table);
  }
  if (!out.ok()) Raise(out.failure);
  Warn(out.value->messages);
  py::dict settings;
  settings["source"] = "result file";
  return MakeResult(std::move(*out.value), settings);
}

void Check(const FileStatus& written) {
  if (!written) Raise(FileFailure(written));
}

// What is written from a result never replaces the file it came from (its structure, stored
// result or FASTA file), as tessmol-cli refuses such an output.
void CheckNotInput(const PyResult& r, const std::string& file) {
  if (r.data->path.empty()) return;
  RunNames names;
  names.Clear({r.data->path});
  Check(names.CheckNotInput(file));
}

// ---- the data folder ----

std::string FindDataFolder() {
  if (const char* env = std::getenv("TESSMOL_DATA"); env != nullptr && env[0] != '\0') return env;
  Dl_info info{};
  std::filesystem::path here = ".";
  if (::dladdr(reinterpret_cast<void*>(&FindDataFolder), &info) != 0 && info.dli_fname != nullptr)
    here = std::filesystem::path(info.dli_fname).parent_path();
  // Installed: the data beside the module; in the build tree: the folder of the programs.
  for (const std::filesystem::path& candidate : {here / "tessmol_data", here / ".." / "bin"}) {
    std::error_code error;
    if (std::filesystem::exists(candidate / "Tessmol_Files" / "Default.stb", error))
      return std::filesystem::weakly_canonical(candidate, error).string();
  }
  return (here / "tessmol_data").string();
}

constexpr const char* kExceptions = R"(
class Error(Exception):
    """A Tessmol operation failed. ``path``, ``line`` (of a format error, else 0) and ``kind``
    ('missing', 'unreadable', 'format', 'write failed' or 'analysis') say where and how."""

    def __init__(self, message, path=None, line=0, kind="analysis"):
        super().__init__(message)
        self.message = message
        self.path = path
        self.line = line
        self.kind = kind


class FileError(Error, OSError):
    """A file could not be read or written: missing, unreadable, or a failed write."""

    def __init__(self, message, path=None, line=0, kind="unreadable"):
        Error.__init__(self, message, path, line, kind)

    def __str__(self):
        return self.message


class FormatError(Error):
    """A file was read but is not what it should be; ``line`` is the offending line."""
)";

}  // namespace

}  // namespace tessmol::python

using namespace tessmol;
using namespace tessmol::python;

PYBIND11_MODULE(tessmol, m) {
  m.doc() = R"(Tessmol: solvent accessible surface areas, 3D-1D profile scores (Profiles-3D and its
membrane variant KAVELIN) and transmembrane helices of protein structures, in process.

    import tessmol
    s = tessmol.analyse("1u19.cif.gz", spanner3d="default", resolution=5, threads=2)
    print(s.summary())
    df = s.to_pandas()

Every number equals what tessmol-cli prints for the same file and settings. Analyses run
without the interpreter lock, so Python threads analyse side by side. Failures raise
tessmol.FileError (missing, unreadable, write failed) or tessmol.FormatError (with the
line); bad arguments raise ValueError.)";
  SetDataFolder(FindDataFolder());
  m.attr("__version__") = kVersion;
  m.attr("data_folder") = DataFolder();
  py::exec(kExceptions, m.attr("__dict__"));

  py::class_<ResidueRecord>(m, "Residue",
                            "One residue's row of the residue table, with its secondary structure.")
      .def_readonly("index", &ResidueRecord::index, "Position in the structure, from 0")
      .def_property_readonly(
          "chain", [](const ResidueRecord& r) { return Text(r.chain); }, "Chain name")
      .def_readonly("number", &ResidueRecord::number, "Residue number (resSeq)")
      .def_property_readonly(
          "insertion_code", [](const ResidueRecord& r) { return Text(r.insertion_code); },
          "Insertion code, '' when none")
      .def_property_readonly(
          "name", [](const ResidueRecord& r) { return Text(r.name); }, "Residue name")
      .def_readonly("ss", &ResidueRecord::ss, "Secondary structure: 'H' helix, 'E' strand, 'C' coil")
      .def_readonly("area_buried", &ResidueRecord::area_buried, "Reference side-chain area less side_sasa")
      .def_readonly("fraction_polar", &ResidueRecord::fraction_polar, "Polar share of the contact points")
      .def_readonly("kavelin_fp", &ResidueRecord::kavelin_fp,
                    "Fraction polar less the exposed side-chain share")
      .def_readonly("category", &ResidueRecord::category, "Profiles-3D environment class, 0 to 17")
      .def_readonly("kavelin_category", &ResidueRecord::kavelin_category,
                    "KAVELIN class (18: no standard type)")
      .def_readonly("main_sasa", &ResidueRecord::main_sasa, "Main-chain accessible area, square angstrom")
      .def_readonly("side_sasa", &ResidueRecord::side_sasa, "Side-chain (with CA) accessible area")
      .def_readonly("sasa", &ResidueRecord::sasa, "main_sasa + side_sasa")
      .def_readonly("solvent_score", &ResidueRecord::solvent_score, "Profiles-3D score")
      .def_readonly("kavelin_score", &ResidueRecord::kavelin_score, "KAVELIN (membrane) score")
      .def_readonly("overall_score", &ResidueRecord::overall_score,
                    "KAVELIN inside a transmembrane segment, else the solvent score")
      .def_readonly("transmembrane", &ResidueRecord::transmembrane, "In a predicted transmembrane segment")
      .def_readonly("topology", &ResidueRecord::topology,
                    "Segment direction: 1 in to out, -1 out to in, 0 unknown")
      .def_readonly("plddt", &ResidueRecord::plddt,
                    "A predicted model's confidence (pLDDT, 0 to 100); None for an experimental structure "
                    "(NaN in to_numpy())")
      .def_readonly("confidence", &ResidueRecord::plddt, "The same as plddt")
      // A row is a value: two rows are equal when every field is (a residue read twice, or
      // the same residue of two runs with the same results).
      .def("__eq__",
           [](const ResidueRecord& a, const py::object& other) -> py::object {
             if (!py::isinstance<ResidueRecord>(other))
               return py::reinterpret_borrow<py::object>(Py_NotImplemented);
             const auto& b = other.cast<const ResidueRecord&>();
             const auto fields = [](const ResidueRecord& r) {
               return std::tie(r.index, r.chain, r.number, r.insertion_code, r.name, r.ss, r.area_buried,
                               r.fraction_polar, r.kavelin_fp, r.category, r.kavelin_category, r.main_sasa,
                               r.side_sasa, r.sasa, r.solvent_score, r.kavelin_score, r.overall_score,
                               r.transmembrane, r.topology, r.plddt);
             };
             return py::bool_(fields(a) == fields(b));
           })
      .def("__hash__",
           [](const ResidueRecord& r) {
             return py::hash(py::make_tuple(r.index, r.chain, r.number, r.insertion_code, r.name));
           })
      .def("__repr__", [](const ResidueRecord& r) {
        return "<Residue " + std::to_string(r.index) + " " + r.name + " " + r.chain +
               std::to_string(r.number) + r.insertion_code +
               " overall_score=" + std::to_string(r.overall_score) + ">";
      });

  py::class_<ChainRecord>(m, "Chain", "A chain: its name and residue range.")
      .def_property_readonly(
          "name", [](const ChainRecord& c) { return Text(c.name); }, "Chain name")
      .def_readonly("residue_count", &ChainRecord::residue_count, "Number of residues")
      .def_readonly("first_number", &ChainRecord::first_number, "Residue number of its first residue")
      .def_readonly("last_number", &ChainRecord::last_number, "Residue number of its last residue")
      .def_readonly("first_index", &ChainRecord::first_index, "Index of its first residue in residues")
      .def_readonly("last_index", &ChainRecord::last_index, "Index of its last residue (inclusive)")
      .def("__repr__", [](const ChainRecord& c) {
        return "<Chain " + c.name + " " + std::to_string(c.first_number) + "-" +
               std::to_string(c.last_number) + ">";
      });

  py::class_<DomainRecord>(m, "Domain", "A predicted transmembrane domain, as the summary lists it.")
      .def_property_readonly(
          "chain", [](const DomainRecord& d) { return Text(d.chain); }, "Chain name")
      .def_readonly("first_number", &DomainRecord::first_number, "Residue number of its first residue")
      .def_readonly("last_number", &DomainRecord::last_number, "Residue number of its last residue")
      .def_readonly("orientation", &DomainRecord::orientation,
                    "'in-out', 'out-in' or 'unknown'; a re-entrant segment 'in-in' or 'out-out'")
      .def_readonly("kind", &DomainRecord::kind, "'crossing', 're-entrant' or 'signal-peptide'")
      .def("__repr__", [](const DomainRecord& d) {
        return "<Domain " + d.chain + " " + std::to_string(d.first_number) + "-" +
               std::to_string(d.last_number) + " " + d.orientation + ">";
      });

  py::class_<SlabSegmentRecord>(m, "MembraneSegment", "A segment inside the placed membrane.")
      .def_property_readonly(
          "chain", [](const SlabSegmentRecord& d) { return Text(d.chain); }, "Chain name")
      .def_readonly("first_number", &SlabSegmentRecord::first_number, "Residue number of its first residue")
      .def_readonly("last_number", &SlabSegmentRecord::last_number, "Residue number of its last residue")
      .def_readonly(
          "orientation", &SlabSegmentRecord::orientation,
          "'in-out' or 'out-in'; a re-entrant segment 'in-in' or 'out-out' (the side it dips in from)")
      .def_readonly("kind", &SlabSegmentRecord::kind, "'crossing' or 're-entrant'")
      .def_readonly("tilt", &SlabSegmentRecord::tilt, "Axis against the membrane normal, degrees")
      .def("__repr__", [](const SlabSegmentRecord& d) {
        return "<MembraneSegment " + d.chain + " " + std::to_string(d.first_number) + "-" +
               std::to_string(d.last_number) + " " + d.orientation + " tilt " + std::to_string(d.tilt) + ">";
      });

  py::class_<MembraneRecord>(m, "Membrane",
                             "A lipid slab placed on a structure by Spanner3D's slab or default method.")
      .def_readonly("placed", &MembraneRecord::placed, "False: no plausible membrane (see score, threshold)")
      .def_readonly("normal", &MembraneRecord::normal, "Unit normal from the cytoplasmic side out")
      .def_readonly("centre", &MembraneRecord::centre, "A point of the mid-plane")
      .def_readonly("half_thickness", &MembraneRecord::half_thickness, "Angstrom")
      .def_readonly("score", &MembraneRecord::score, "Transfer free energy gained, kcal/mol")
      .def_readonly("threshold", &MembraneRecord::threshold, "What a placement must gain")
      .def_property_readonly(
          "chains",
          [](const MembraneRecord& m) {
            py::list names;
            for (const std::string& c : m.chains) names.append(Text(c));
            return names;
          },
          "Names of the chains this membrane was placed on; empty: all of them")
      .def_readonly("symmetry_order", &MembraneRecord::symmetry_order,
                    "n when the normal runs along the chains' n-fold symmetry axis, else 0")
      .def_readonly("segments", &MembraneRecord::segments, "The segments inside the slab")
      .def("__repr__", [](const MembraneRecord& m) {
        return std::string("<Membrane ") + (m.placed ? "placed" : "not placed") + ", half-thickness " +
               std::to_string(m.half_thickness) + ", score " + std::to_string(m.score) + ", " +
               std::to_string(m.segments.size()) + " segments>";
      });

  py::class_<ParametersRecord>(
      m, "Parameters", "How a structure was analysed, as every output records it (the JSON's parameters).")
      .def_readonly("version", &ParametersRecord::version, "Tessmol's version that analysed it")
      .def_readonly("resolution", &ParametersRecord::resolution, "The sphere-point option, 0 to 6")
      .def_readonly("points_per_atom", &ParametersRecord::points_per_atom,
                    "Sphere points per atom of that option (None when out of range)")
      .def_readonly("heteroatoms", &ParametersRecord::heteroatoms,
                    "'waters_left_out' (the surface counts other heteroatoms) or 'all_left_out' (ignore_het)")
      .def_readonly("heteroatoms_covering", &ParametersRecord::heteroatoms_covering,
                    "Heteroatoms that covered the surface (None when not recorded)")
      .def_readonly("waters_left_out", &ParametersRecord::waters_left_out,
                    "Water molecules left out of the surface (None when not recorded)")
      .def_readonly("secondary_structure", &ParametersRecord::secondary_structure,
                    "Where the secondary structure came from: 'auto', 'records' or 'computed'")
      .def_readonly("score_table", &ParametersRecord::score_table, "The score table's file name")
      .def_readonly("method", &ParametersRecord::method,
                    "The transmembrane method that ran ('window', 'segments', 'slab'), None before one ran")
      .def(
          "to_dict",
          [](const ParametersRecord& p) {
            // The JSON's keys, with None for what is not recorded.
            py::dict d;
            d["version"] = p.version;
            d["resolution"] = p.resolution;
            d["points_per_atom"] = p.points_per_atom;
            d["heteroatoms"] = p.heteroatoms;
            d["heteroatoms_covering"] = p.heteroatoms_covering;
            d["waters_left_out"] = p.waters_left_out;
            d["secondary_structure"] = p.secondary_structure;
            d["score_table"] = p.score_table;
            d["method"] = p.method;
            return d;
          },
          "The parameters as a dict with the JSON output's keys")
      .def("__repr__", [](const ParametersRecord& p) {
        return "<Parameters Tessmol " + p.version + ", resolution " + std::to_string(p.resolution) + ", " +
               p.heteroatoms + ", " + p.secondary_structure + ", " + p.score_table +
               (p.method ? ", " + *p.method : std::string()) + ">";
      });

  py::class_<StretchRecord>(m, "Stretch", "Residues of one chain, first to last by residue number.")
      .def_property_readonly(
          "chain", [](const StretchRecord& s) { return Text(s.chain); }, "Chain name")
      .def_readonly("first_number", &StretchRecord::first_number, "Residue number of its first residue")
      .def_readonly("last_number", &StretchRecord::last_number, "Residue number of its last residue")
      .def("__repr__", [](const StretchRecord& s) {
        return "<Stretch " + s.chain + " " + std::to_string(s.first_number) + "-" +
               std::to_string(s.last_number) + ">";
      });

  py::class_<FailureRecord>(
      m, "Failure",
      "A file analyse_many(errors='record') could not analyse, or a FASTA record spanner2d(errors='record') "
      "could not model, in its place in the order.")
      .def_property_readonly("path", [](const FailureRecord& f) { return Text(f.path); })
      .def_readonly("kind", &FailureRecord::kind,
                    "'missing', 'unreadable', 'format', 'write failed' or 'analysis'")
      .def_readonly("line", &FailureRecord::line, "Line of a format error, else 0")
      .def_property_readonly(
          "message", [](const FailureRecord& f) { return Text(f.message); }, "The core's message")
      .def("__repr__", [](const FailureRecord& f) { return "<Failure " + f.message + ">"; });

  py::class_<PyScoreTable>(m, "ScoreTable",
                           "A score table file (.stb), read once, for analyse(score_table=...).")
      .def(py::init([](const py::object& path) {
             const std::string file = FsPath(path);
             Outcome<ScoreTable> read;
             {
               py::gil_scoped_release release;
               read = ReadScoreTable(file);
             }
             if (!read.ok()) Raise(read.failure);
             return PyScoreTable{std::make_shared<const ScoreTable>(std::move(*read.value)), file};
           }),
           py::arg("path"),
           "Reads the table; FileError when it cannot be read, FormatError (with the line) when a SCORES "
           "row does not hold 20 numbers or there is none.")
      .def_property_readonly(
          "name", [](const PyScoreTable& t) { return t.table->fileName; },
          "The file's name, as results show it")
      .def_property_readonly(
          "path", [](const PyScoreTable& t) { return t.path; }, "The path it was read from")
      .def(
          "expected_score",
          [](const PyScoreTable& t, long long residues) {
            // No structure has fewer than one residue: such a count is a caller's slip; nor
            // more than a structure can hold.
            if (residues < 1 || residues > std::numeric_limits<int32_t>::max())
              RaiseValue("residue_count must be 1 to 2147483647, not " + std::to_string(residues));
            return t.table->ExpectedResidueScore(static_cast<int>(residues));
          },
          py::arg("residue_count"), "Expected average residue score of a structure of that many residues")
      .def("__repr__", [](const PyScoreTable& t) { return "<ScoreTable " + t.path + ">"; });

  py::class_<PyResidues>(
      m, "Residues", "The residues of a result: a sequence of Residue records, and to_numpy() for arrays.")
      .def("__len__", [](const PyResidues& r) { return r.result->data->protein.structure.residues.size(); })
      .def(
          "__getitem__",
          [](const PyResidues& r, py::ssize_t i) {
            const auto n = static_cast<py::ssize_t>(r.result->data->protein.structure.residues.size());
            if (i < 0) i += n;
            if (i < 0 || i >= n) throw py::index_error("residue index out of range");
            return MakeResidue(r.result->data->protein, static_cast<size_t>(i));
          },
          py::arg("index"))
      .def(
          "__getitem__",
          [](const PyResidues& r, const py::slice& slice) {
            const Protein& p = r.result->data->protein;
            size_t start = 0, stop = 0, step = 0, length = 0;
            if (!slice.compute(p.structure.residues.size(), &start, &stop, &step, &length))
              throw py::error_already_set();
            std::vector<ResidueRecord> records;
            for (size_t k = 0; k < length; ++k, start += step) records.push_back(MakeResidue(p, start));
            return records;
          },
          py::arg("slice"))
      .def("__iter__",
           [](const PyResidues& r) {
             const Protein& p = r.result->data->protein;
             py::list records;
             for (size_t i = 0; i < p.structure.residues.size(); ++i) records.append(MakeResidue(p, i));
             return records.attr("__iter__")();
           })
      .def(
          "to_numpy", [](const PyResidues& r) { return Numpy(*r.result); },
          R"(The residues as a numpy structured array, one record per residue, with the fields of
Residue (chain, name, insertion_code and ss as text; plddt NaN for an experimental structure).
The array is made once per result and read-only: each field (a["overall_score"]) is a view
into it, with no copy.)")
      .def("__repr__", [](const PyResidues& r) {
        return "<Residues of " + r.result->data->name + ": " +
               std::to_string(r.result->data->protein.structure.residues.size()) + ">";
      });

  py::class_<PyResult, std::shared_ptr<PyResult>>(
      m, "Result",
      "One analysed structure (or Spanner2D model): summary, chains, residues, domains, membrane.")
      .def_property_readonly(
          "file", [](const PyResult& r) { return Text(r.data->protein.fileName); },
          "The structure file's name, without folder")
      .def_property_readonly(
          "name", [](const PyResult& r) { return Text(r.data->name); },
          "The FASTA record's name for a Spanner2D model, else the file's name")
      .def_property_readonly(
          "path", [](const PyResult& r) { return r.data->path; }, "The path as given")
      .def_property_readonly(
          "total_area", [](const PyResult& r) { return r.data->protein.surface.totalSASA; },
          "Total solvent accessible surface area, square angstrom")
      .def_property_readonly(
          "average_score", [](const PyResult& r) { return r.data->protein.scores.averageScore; },
          "Average residue score")
      .def_property_readonly(
          "total_score", [](const PyResult& r) { return r.data->protein.scores.totalScore; },
          "Sum of the residues' overall scores")
      .def_property_readonly(
          "expected_score", [](const PyResult& r) { return r.data->row.expectedScore; },
          "The score table's expected average residue score for this many residues")
      .def_property_readonly(
          "compatible_score",
          [](const PyResult& r) { return static_cast<float>(CompatibleScore(r.data->row.expectedScore)); },
          "45 % of the expected score: the least a compatible structure scores")
      .def_property_readonly(
          "score_table", [](const PyResult& r) { return r.data->row.scoreTableName; },
          "Name of the score table the residues were scored with")
      .def_property_readonly(
          "version", [](const PyResult&) { return std::string(kVersion); }, "Tessmol's version")
      .def_property_readonly(
          "parameters",
          [](const PyResult& r) -> py::object {
            const RunParameters& p = r.data->protein.parameters;
            if (!p.recorded()) return py::none();
            return py::cast(ParametersRecordOf(p));
          },
          "How the structure was analysed, as the outputs record it (a tessmol.Parameters; "
          ".to_dict() for a dict); None for a result file of a version that did not record it")
      .def_property_readonly(
          "settings",
          [](const PyResult& r) {
            // A copy, nested scan included: the caller's changes never reach the record.
            return py::module_::import("copy").attr("deepcopy")(r.settings).cast<py::dict>();
          },
          "The arguments of the call that made this result, as a dict")
      .def_property_readonly(
          "window_pass_fraction",
          [](const PyResult& r) -> py::object {
            // A sequence's ideal-helix model is not judged, as the command line's outputs say.
            if (r.data->protein.FromSequence()) return py::none();
            return py::cast(JudgeProfile(r.data->protein.structure, r.data->protein.scores).passFraction);
          },
          "3D-1D window test: the fraction of residues whose solvent score averaged over 21 residues is "
          "at least 0.2; None for a model built from a sequence (spanner2d), which is not judged")
      .def_property_readonly(
          "window_test_passed",
          [](const PyResult& r) -> py::object {
            if (r.data->protein.FromSequence()) return py::none();
            return py::cast(JudgeProfile(r.data->protein.structure, r.data->protein.scores).passes);
          },
          "Whether at least 80 % of the residues pass the window test; None for a sequence's model")
      .def_property_readonly(
          "below_window_test",
          [](const PyResult& r) {
            const Structure& s = r.data->protein.structure;
            std::vector<StretchRecord> stretches;
            if (r.data->protein.FromSequence()) return stretches;
            for (const LowStretch& low : LowStretches(s, JudgeProfile(s, r.data->protein.scores)))
              stretches.push_back({low.chain, low.firstResSeq, low.lastResSeq});
            return stretches;
          },
          "The stretches of residues below the window test, as tessmol.Stretch records")
      .def_property_readonly(
          "is_model", [](const PyResult& r) { return Confident(r).has_value(); },
          "Whether the structure is a predicted model with per-residue confidence (pLDDT)")
      .def_property_readonly(
          "model_source",
          [](const PyResult& r) -> py::object {
            if (!Confident(r)) return py::none();
            return Text(r.data->protein.structure.modelSource);
          },
          "What made a predicted model (e.g. 'AlphaFold monomer v2.0'); None for an experimental structure")
      .def_property_readonly(
          "mean_plddt",
          [](const PyResult& r) {
            return ModelValue(r, [](const ConfidentScores& c) { return c.meanPlddt; });
          },
          "A predicted model's mean pLDDT; None for an experimental structure")
      .def_property_readonly(
          "low_confidence_count",
          [](const PyResult& r) {
            return ModelValue(r, [](const ConfidentScores& c) { return c.lowConfidence; });
          },
          "Residues of pLDDT below 50 (None for an experimental structure)")
      .def_property_readonly(
          "confident_plddt",
          [](const PyResult& r) {
            return ModelValue(r, [](const ConfidentScores& c) { return c.threshold; });
          },
          "The pLDDT from which a residue counts as confident (None for an experimental structure)")
      .def_property_readonly(
          "confident_count",
          [](const PyResult& r) {
            return ModelValue(r, [](const ConfidentScores& c) { return c.confident; });
          },
          "Residues of pLDDT at least confident_plddt (None for an experimental structure)")
      .def_property_readonly(
          "left_out_count",
          [](const PyResult& r) { return ModelValue(r, [](const ConfidentScores& c) { return c.leftOut; }); },
          "Residues below confident_plddt, left out of the confident scores (None for an experimental "
          "structure)")
      .def_property_readonly(
          "confident_average_score",
          [](const PyResult& r) {
            return ConfidentScore(r, [](const ConfidentScores& c) { return c.averageScore; });
          },
          "Overall score averaged over the confident residues (None for an experimental structure or a model "
          "with no confident residue)")
      .def_property_readonly(
          "confident_expected_score",
          [](const PyResult& r) {
            return ConfidentScore(r, [&](const ConfidentScores&) { return r.data->row.confidentExpected; });
          },
          "The score table's expected average score for that many confident residues (None for an "
          "experimental structure or a model with no confident residue)")
      .def_property_readonly(
          "confident_compatible_score",
          [](const PyResult& r) {
            return ConfidentScore(r, [&](const ConfidentScores&) {
              return static_cast<float>(CompatibleScore(r.data->row.confidentExpected));
            });
          },
          "45 % of confident_expected_score (None for an experimental structure or a model with no "
          "confident residue)")
      .def_property_readonly(
          "messages",
          [](const PyResult& r) {
            py::list messages;
            for (const std::string& m : r.data->messages) messages.append(Text(m));
            return messages;
          },
          "Warnings the analysis gave (also issued as Python warnings)")
      .def_property_readonly(
          "chains",
          [](const PyResult& r) {
            const Structure& s = r.data->protein.structure;
            std::vector<ChainRecord> chains;
            for (size_t k = 0; k < s.chains.size(); ++k) {
              const Chain& c = s.chains[k];
              const bool any = c.firstResidue >= 0 && c.lastResidue >= c.firstResidue &&
                               c.lastResidue < static_cast<int32_t>(s.residues.size());
              chains.push_back({s.ChainName(k), any ? c.lastResidue - c.firstResidue + 1 : 0,
                                any ? s.residues[c.firstResidue].resSeq : 0,
                                any ? s.residues[c.lastResidue].resSeq : 0, any ? c.firstResidue : -1,
                                any ? c.lastResidue : -1});
            }
            return chains;
          },
          "The chains with their residue ranges")
      .def_property_readonly(
          "residues", [](const std::shared_ptr<PyResult>& r) { return PyResidues{r}; },
          "The residues: a sequence of Residue records; .to_numpy() for a record array")
      .def_property_readonly(
          "domains", [](const PyResult& r) { return DomainRecords(TransmembraneDomains(r.data->protein)); },
          "Predicted transmembrane domains with their orientation")
      .def_property_readonly(
          "signal_peptides", [](const PyResult& r) { return DomainRecords(SignalPeptides(r.data->protein)); },
          "N-terminal signal peptides the segmentation found (kind 'signal-peptide'); never among the "
          "domains")
      .def_property_readonly(
          "membranes",
          [](const PyResult& r) {
            std::vector<MembraneRecord> records;
            for (const MembranePlacement& m : r.data->protein.membranes)
              records.push_back(MembraneRecordOf(r.data->protein.structure, m));
            return records;
          },
          "Every membrane placed on the structure: one, or one per group of chains that cannot share a "
          "membrane (crystal copies lying apart or antiparallel); empty where none was sought. A slab "
          "that was sought and not placed is here too, with placed False and its score")
      .def_property_readonly(
          "membrane",
          [](const PyResult& r) -> py::object {
            const Protein& p = r.data->protein;
            if (p.membranes.empty()) return py::none();
            return py::cast(MembraneRecordOf(p.structure, p.membranes.front()));
          },
          "The first of membranes (placed or not: see its placed), where Spanner3D's slab or default "
          "method sought one; else None")
      .def_property_readonly(
          "assembly_missing_chains",
          [](const PyResult& r) -> py::object {
            const Protein& p = r.data->protein;
            const int missing = ChainsBesidesThePlacement(p.structure, p.membranes);
            if (missing <= 0) return py::none();
            return py::cast(missing);
          },
          "How many chains of the file's first biological assembly the membrane was placed without "
          "(a channel's file of one protomer): on the whole assembly the normal and the tilts may "
          "differ; None when it was placed on the whole assembly, or not placed")
      .def(
          "summary",
          [](const PyResult& r) {
            // With the expected and compatible scores, as after an analysis; a stored result is
            // shown as tessmol-cli show shows it, with them only when the table that scored it
            // gave them.
            const std::optional<float> expected =
                r.data->row.expectedKnown ? std::optional<float>(r.data->row.expectedScore) : std::nullopt;
            std::string text;
            for (const std::string& line : SummaryLines(r.data->protein, expected)) text += line + "\n";
            // A Spanner2D model, made now or stored, is named by its record, as tessmol-cli
            // spanner2d and show end its summary.
            if (!r.data->protein.fastaRecord.empty())
              text += "FASTA record: " + r.data->protein.fastaRecord + "\n";
            return Text(text);
          },
          "The protein summary as tessmol-cli prints it (analyse, spanner2d; show for a stored result)")
      .def(
          "to_pandas",
          [](const std::shared_ptr<PyResult>& r) {
            py::module_ pandas = py::module_::import("pandas");
            py::object array = Numpy(*r);
            py::dict columns;
            for (const std::string& heading : ResidueTableHeadings(&r->data->protein)) {
              const auto field = ColumnFields().find(heading);
              if (field != ColumnFields().end()) columns[py::str(heading)] = array[py::str(field->second)];
            }
            return pandas.attr("DataFrame")(columns);
          },
          "The residue table as a pandas DataFrame, with the columns of the TSV (ImportError without pandas)")
      .def(
          "write_result",
          [](const PyResult& r, const py::object& path) {
            const std::string file = FsPath(path);
            CheckNotInput(r, file);
            FileStatus written;
            {
              py::gil_scoped_release release;
              written = WriteResult(r.data->protein, file);
            }
            Check(written);
          },
          py::arg("path"), "Writes the result file (.tsm) that tessmol-cli show and tessmol.read_result read")
      .def(
          "write_tsv",
          [](const PyResult& r, const py::object& path) {
            const std::string file = FsPath(path);
            CheckNotInput(r, file);
            FileStatus written;
            {
              py::gil_scoped_release release;
              written = WriteFileAtomically(
                  file, [&](std::ostream& out) { WriteResidueTable(out, r.data->protein); });
            }
            Check(written);
          },
          py::arg("path"),
          "Writes the residue table as tab-separated text, as tessmol-cli --residues prints it")
      .def(
          "write_bfactor",
          [](const PyResult& r, const py::object& path, const std::string& value, int window) {
            const std::optional<BFactorValue> which = BFactorValueNamed(value);
            if (!which)
              RaiseValue("value must be 'overall', 'solvent', 'kavelin', 'sasa' or 'transmembrane', not '" +
                         value + "'");
            if (window < 1 || window > 500) RaiseValue("window: Please enter an integer between 1 and 500.");
            const std::string file = FsPath(path);
            CheckNotInput(r, file);
            FileStatus written;
            {
              py::gil_scoped_release release;
              // The structure file as it was, but for the B-factors, as tessmol-cli --bfactor-out
              // writes it; a model or stored result has only its atoms as read.
              written = r.data->source.empty()
                            ? WriteBFactorFile(r.data->protein, file, *which, window)
                            : WriteBFactorsIntoSource(r.data->protein, r.data->source, file, *which, window,
                                                      r.data->maxUnpackedBytes);
            }
            Check(written);
          },
          py::arg("path"), py::arg("value") = "overall", py::arg("window") = 1,
          "Writes the structure with a residue value as each atom's B-factor (PDB, or mmCIF for .cif), "
          "averaged over `window` residues as the chart does: the analysed file as it was but for those "
          "B-factors, as tessmol-cli --bfactor-out writes it (a stored result or Spanner2D model: its atoms)")
      .def("__repr__", [](const PyResult& r) {
        return "<tessmol.Result " + r.data->name + ": " +
               std::to_string(r.data->protein.structure.residues.size()) + " residues, average score " +
               std::to_string(r.data->protein.scores.averageScore) + ">";
      });

  py::class_<PyMany, std::shared_ptr<PyMany>>(
      m, "AnalysisRun", "The iterator analyse_many returns: one Result (or Failure) per path, in order.")
      .def(
          "__iter__", [](const std::shared_ptr<PyMany>& self) { return self; }, "The run itself")
      .def("__next__", &ManyNext, "The next path's Result (or Failure), waiting for it")
      .def(
          "__len__", [](const PyMany& many) { return many.run ? many.run->size() : 0; }, "Number of paths")
      .def(
          "close",
          [](PyMany& many) {
            std::shared_ptr<OrderedRun> run = std::move(many.run);
            py::gil_scoped_release release;
            run.reset();
          },
          "Stops the run after the files being analysed; iteration then ends");

  m.def("analyse", &Analyse, py::arg("path"), py::kw_only(), py::arg("spanner3d") = py::none(),
        py::arg("resolution") = 2, py::arg("ignore_het") = false, py::arg("threads") = 0,
        py::arg("score_table") = py::none(), py::arg("secondary_structure") = "auto",
        py::arg("max_unpacked_mib") = kDefaultMaxUnpackedMiB, py::arg("scan") = py::none(),
        py::arg("log") = py::none(), py::arg("confidence") = "auto",
        py::arg("confident_plddt") = kDefaultConfidentPlddt,
        R"(Analyses one structure file (PDB or mmCIF, plain or gzip): surface areas, environment
classes, Profiles-3D and KAVELIN scores, and with spanner3d its transmembrane segments.

path                a structure file (str or os.PathLike)
spanner3d           None/False: no transmembrane prediction; True, 'default' or 'auto': the
                    lipid slab placed on the structure where one fits, else the segmentation
                    method (as the command line's default); 'window': the window scan of
                    ideal-helix models; 'segments': the segmentation method; 'slab': the
                    slab alone (see Result.membranes)
resolution          sphere points per atom: 0 = 92, 1 = 162, 2 = 252, 3 = 392, 4 = 482,
                    5 = 1002, 6 = 2562
ignore_het          leave heteroatoms (ligands, ions, waters) out of the surface
threads             threads of the surface-area pass (0: one per core); the numbers do not
                    depend on it
score_table         a tessmol.ScoreTable or the path of a .stb file (default: Default.stb)
secondary_structure 'auto' (the file's records, else from coordinates), 'records', 'computed'
max_unpacked_mib    the most one gzip file may unpack to
scan                dict of the window scan's parameters by their names (movingAverage, ...);
                    only with spanner3d='window' (a ValueError otherwise, as the command line)
log                 path of the surface pass's log (default: none kept)
confidence          a predicted model's pLDDT: 'auto' (AlphaFold files and ModelCIF, by their
                    header; experimental structures never), 'plddt' (the B-factor column, for
                    ColabFold and ESMFold files without a header; values within 0 to 1 are
                    scaled by 100)
confident_plddt     the pLDDT from which a model's residue counts as confident (0 to 100)

Returns a tessmol.Result. Raises FileError (missing, unreadable), FormatError (with the line)
or Error; ValueError for an argument out of range. The interpreter lock is released while it
works. Nothing is written to the current folder.)");

  m.def("analyse_many", &AnalyseMany, py::arg("paths"), py::kw_only(), py::arg("jobs") = 2,
        py::arg("errors") = "raise", py::arg("spanner3d") = py::none(), py::arg("resolution") = 2,
        py::arg("ignore_het") = false, py::arg("threads") = 0, py::arg("score_table") = py::none(),
        py::arg("secondary_structure") = "auto", py::arg("max_unpacked_mib") = kDefaultMaxUnpackedMiB,
        py::arg("scan") = py::none(), py::arg("confidence") = "auto",
        py::arg("confident_plddt") = kDefaultConfidentPlddt,
        R"(Analyses many structure files on `jobs` threads (0: one per core) and returns an
iterator over the results in the order of `paths`. Each analysis is the one analyse gives
with the same arguments (single-threaded when jobs > 1, as tessmol-cli multi does).

errors='raise' (default): a file that cannot be analysed raises its exception (FileError,
FormatError, Error) when the iteration reaches it; iterating on continues with the next file.
errors='record': such a file gives a tessmol.Failure (path, kind, line, message) in its place.

Only a few results are held ahead of the reader, so a run over many files stays small.)");

  m.def("read_result", &ReadResultFile, py::arg("path"), py::kw_only(), py::arg("score_table") = py::none(),
        R"(Reads a result file (.tsm) written by tessmol-cli, the desktop or Result.write_result,
as a Result: the stored residues, areas, scores and transmembrane flags; the expected score
from score_table (default: Default.stb). FormatError names the offending line.)");

  m.def("spanner2d", &Spanner2D, py::arg("sequences"), py::kw_only(), py::arg("method") = "segments",
        py::arg("resolution") = 2, py::arg("ignore_het") = false, py::arg("threads") = 0,
        py::arg("score_table") = py::none(), py::arg("scan") = py::none(), py::arg("log") = py::none(),
        py::arg("errors") = "raise",
        R"(Spanner2D: transmembrane segments of sequences, from ideal-helix models analysed as
structures. `sequences` is a FASTA file's path or a list of (name, sequence) pairs; method
'segments' (the segmentation method, the default; 'auto' and 'default' name it too) or 'window'
(the scan). Returns one Result per record,
in order, named by the record. errors='raise' (default): a record of the file that cannot be
modelled (no sequence, a character that is no residue letter) raises FormatError on its line;
errors='record': it gives a tessmol.Failure in its place and the other records their Results
(likewise a (name, sequence) pair that is no sequence).)");
}
