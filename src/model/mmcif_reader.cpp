// mmCIF through gemmi. gemmi's parser is large to compile, so it lives in this one file.
//
// The atom_site loop holds nearly all of a file's bytes, and gemmi's general parser reads
// it at a fifth of the speed of our PDB reader. So a plain loop is read here, with the
// CIF tokens it can hold (bare and quoted values), while gemmi reads everything else
// (helices, strands, modified residues, the method). A file the fast reader is not sure
// to read as gemmi does goes to gemmi whole.
#include <algorithm>
#include <cmath>
#include <gemmi/cif.hpp>
#include <gemmi/mmcif.hpp>
#include <limits>
#include <optional>
#include <set>
#include <string_view>
#include <tuple>
#include <utility>

#include "base/text.h"
#include "model/structure_file.h"

namespace tessmol {

namespace {

// The name as the PDB's four columns would hold it: the element symbol right-justified in
// the first two (" CA " is C-alpha, "CA  " calcium), a name that does not start with its
// element from the first column ("UNK " of element X). Heteroatom radii go by it.
std::string PdbField(const std::string& name, const std::string& element) {
  const bool shifted = element.size() == 1 && name.size() < 4 && !name.empty() && name[0] == element[0];
  std::string field = shifted ? " " + name : name;
  field.resize(4, ' ');
  return field;
}

// The PDB format writes HETATM for every residue that is no standard amino acid or
// nucleotide, but mmCIF files may call a polymer's caps (ACE, NH2) ATOM; the PDB's rule
// keeps an mmCIF file and its PDB twin alike.
bool IsStandardPolymerResidue(const std::string& name) {
  return ResidueTypeOf(name) != kUnknownResidueType || name == "UNK" || IsNucleotide(name);
}

// Whether a _struct_conf helix counts as the PDB format's reader counts its HELIX twin.
// Archive files type every helix HELX_P and give its class; files annotated by DSSP
// (AlphaFold's) type each by its DSSP letter, of which only HELX_RH_AL_P is DSSP's H, the
// helix computed for a file without records, so a model's PDB twin (which has no HELIX
// records) gets the same helices. 3-10 (G), pi (I) and polyproline II (P) are not H.
bool HelixCounts(const std::string& type, const gemmi::Helix& helix) {
  if (gemmi::iequal(type, "helx_p") || gemmi::iequal(type, "helx_rh_p"))
    return StructureBuilder::HelixClassCounts(static_cast<int>(helix.pdb_helix_class));
  return gemmi::iequal(type, "helx_rh_al_p");
}

void AddRanges(gemmi::cif::Block& block, const gemmi::Structure& st, StructureBuilder& builder) {
  auto range = [&](const gemmi::AtomAddress& start, const gemmi::AtomAddress& end) {
    SecondaryRange r;
    r.chainId = builder.ChainIdFor(start.chain_name);
    r.firstResSeq = start.res_id.seqid.num.value;
    r.lastResSeq = end.res_id.seqid.num.value;
    return r;
  };
  // gemmi keeps no helix's type: its helices are the _struct_conf rows whose type starts
  // with H, in order.
  std::vector<std::string> types;
  for (auto row : block.find("_struct_conf.", {"conf_type_id"})) {
    if (row.has2(0) && !row.str(0).empty() && (row.str(0)[0] == 'H' || row.str(0)[0] == 'h'))
      types.push_back(row.str(0));
  }
  for (size_t i = 0; i < st.helices.size(); ++i) {
    const gemmi::Helix& helix = st.helices[i];
    if (HelixCounts(i < types.size() ? types[i] : "HELX_P", helix))
      builder.AddRange(range(helix.start, helix.end), true);
  }
  for (const gemmi::Sheet& sheet : st.sheets) {
    for (const gemmi::Sheet::Strand& strand : sheet.strands)
      builder.AddRange(range(strand.start, strand.end), false);
  }
  // Files annotated by DSSP (AlphaFold's) give their strands as STRN rows of _struct_conf
  // and have no sheets; a PDB twin without records computes the same strands. A row of one
  // residue is an isolated bridge (DSSP's B, which these files type alike), no strand.
  if (!st.sheets.empty()) return;
  for (auto row : block.find("_struct_conf.",
                             {"conf_type_id", "beg_auth_asym_id", "beg_auth_seq_id", "end_auth_seq_id"})) {
    if (!row.has2(0) || !gemmi::iequal(row.str(0), "strn") || !row.has2(1) || !row.has2(2) || !row.has2(3))
      continue;
    const std::optional<int32_t> first = ParseCheckedInt(row.str(2)), last = ParseCheckedInt(row.str(3));
    if (!first || !last || *first == *last) continue;
    SecondaryRange r;
    r.chainId = builder.ChainIdFor(row.str(1));
    r.firstResSeq = *first;
    r.lastResSeq = *last;
    builder.AddRange(r, false);
  }
}

// ---- the atom_site loop ------------------------------------------------------------
//
// The fast path reads only files it is sure of, and hands every other file to gemmi
// whole: what it reads is exactly what gemmi reads. It takes one plain atom_site loop
// (a "loop_" line, one tag a line, rows of bare or simply quoted values, comments
// allowed) in a file of one data block, with values in the forms gemmi converts as it
// does. gemmi reads the file with the loop's rows after the first blanked out to their
// line ends, so that its errors and the lines it reports are those of the file.

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != prefix[i]) return false;
  }
  return true;
}

// CIF's reserved words open a token that can be no value.
bool IsReservedWord(std::string_view token) {
  for (std::string_view word : {"data_", "loop_", "save_", "global_", "stop_"}) {
    if (StartsWithNoCase(token, word)) return true;
  }
  return false;
}

int LineOf(std::string_view text, size_t at) {
  return static_cast<int>(std::count(
             text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(at, text.size())), '\n')) +
         1;
}

// Ten significant digits at the start of a bare value, as OverlongInteger finds them.
bool Overlong(std::string_view v) {
  size_t j = 0;
  if (j < v.size() && (v[j] == '+' || v[j] == '-')) ++j;
  while (j < v.size() && v[j] == '0') ++j;
  size_t digits = 0;
  while (j < v.size() && v[j] >= '0' && v[j] <= '9') ++j, ++digits;
  return digits >= 10;
}

// A value as the file holds it; `quoted` ones have lost their quotes.
struct Token {
  std::string_view text;
  bool quoted = false;
  size_t at = 0;  // where it starts in the file
};

// The values of the loop's rows. `declined` when a value is not one the fast path is sure
// to read as gemmi does: a text field, a quote that holds its own quote character, a
// bare word gemmi refuses.
struct Tokenizer {
  std::string_view text;
  size_t at = 0;
  bool declined = false;

  void SkipBlanks() {
    while (at < text.size()) {
      if (IsSpace(text[at])) {
        ++at;
      } else if (text[at] == '#') {
        while (at < text.size() && text[at] != '\n') ++at;
      } else {
        return;
      }
    }
  }

  bool Next(Token& token) {
    SkipBlanks();
    if (at >= text.size()) return false;
    token.at = at;
    const char c = text[at];
    if (c == '\'' || c == '"') {
      size_t end = at + 1;
      while (end < text.size() && text[end] != c && text[end] != '\n') ++end;
      if (end >= text.size() || text[end] != c || (end + 1 < text.size() && !IsSpace(text[end + 1]))) {
        declined = true;
        return false;
      }
      token.text = text.substr(at + 1, end - at - 1);
      token.quoted = true;
      at = end + 1;
      return true;
    }
    if (c == ';' || c == '_' || c == '$') {  // a text field, a tag, a reference
      declined = true;
      return false;
    }
    size_t end = at;
    while (end < text.size() && !IsSpace(text[end])) {
      if (text[end] < '!' || text[end] > '~') {
        declined = true;
        return false;
      }
      ++end;
    }
    token.text = text.substr(at, end - at);
    token.quoted = false;
    if (Overlong(token.text)) {  // gemmi's integers overflow: the whole-file path says where
      declined = true;
      return false;
    }
    if ((Lower(c) == 'd' || Lower(c) == 'l' || Lower(c) == 's' || Lower(c) == 'g') &&
        IsReservedWord(token.text)) {
      declined = true;
      return false;
    }
    at = end;
    return true;
  }
};

// Where the atom_site loop lies: the offset of its values and the end of its rows, and its
// tags, in lower case without "_atom_site.". False when there is none the fast path takes.
struct AtomLoop {
  std::vector<std::string> tags;
  size_t valuesStart = 0;
  size_t end = 0;
};

std::string_view TrimmedLine(std::string_view text, size_t at, size_t& next) {
  const size_t newline = text.find('\n', at);
  next = newline == std::string_view::npos ? text.size() : newline + 1;
  std::string_view line = text.substr(at, next - at);
  while (!line.empty() && IsSpace(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsSpace(line.back())) line.remove_suffix(1);
  return line;
}

bool FindAtomSiteLoop(std::string_view text, AtomLoop& loop) {
  constexpr std::string_view kPrefix = "_atom_site.";
  bool inTextField = false;
  size_t next = 0;
  for (size_t at = 0; at < text.size(); at = next) {
    // Text fields open and close at a ';' that starts a line; nothing inside one counts.
    if (text[at] == ';') {
      inTextField = !inTextField;
      TrimmedLine(text, at, next);
      continue;
    }
    const std::string_view line = TrimmedLine(text, at, next);
    if (inTextField || line.size() != 5 || !StartsWithNoCase(line, "loop_")) continue;
    size_t tagLine = next;
    while (tagLine < text.size()) {
      size_t after = 0;
      const std::string_view tag = TrimmedLine(text, tagLine, after);
      if (!StartsWithNoCase(tag, kPrefix)) break;
      if (std::any_of(tag.begin(), tag.end(), [](char c) { return c < '!' || c > '~'; })) return false;
      std::string name(tag.substr(kPrefix.size()));
      for (char& c : name) c = Lower(c);
      if (std::find(loop.tags.begin(), loop.tags.end(), name) != loop.tags.end()) return false;
      loop.tags.push_back(std::move(name));
      tagLine = after;
    }
    if (loop.tags.empty()) continue;  // another category's loop
    loop.valuesStart = tagLine;
    // The rows end where a line starts a tag, a loop, a block or a frame, or at the end.
    size_t row = tagLine;
    while (row < text.size()) {
      if (text[row] == ';') return false;  // a text field among the rows
      size_t after = 0;
      const std::string_view line = TrimmedLine(text, row, after);
      if (!line.empty() && (line[0] == '_' || IsReservedWord(line))) break;
      row = after;
    }
    loop.end = row;
    return true;
  }
  return false;
}

bool Missing(const Token& v) {
  return !v.quoted && (v.text == "?" || v.text == ".");
}

bool IsInteger(std::string_view v, bool sign) {
  if (sign && !v.empty() && v[0] == '-') v.remove_prefix(1);
  return !v.empty() && v.size() <= 9 &&
         std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Digits with an optional sign and decimals: what our conversion and gemmi's agree on.
bool IsPlainDecimal(const Token& v) {
  if (v.quoted || v.text.size() > 16) return false;
  std::string_view t = v.text;
  if (!t.empty() && t[0] == '-') t.remove_prefix(1);
  const size_t point = t.find('.');
  if (point == std::string_view::npos) return IsInteger(t, false);
  return IsInteger(t.substr(0, point), false) &&
         (point + 1 == t.size() || IsInteger(t.substr(point + 1), false));
}

// A one-character value as gemmi's as_char reads it, or false when gemmi would take it
// otherwise (several characters, a quoted value).
bool OneCharacter(const Token& v, char& c) {
  if (v.quoted || v.text.size() != 1) return false;
  c = Missing(v) ? ' ' : v.text[0];
  return true;
}

enum class FastResult { kRead, kDeclined };

// The atom_site columns the fast path reads; -1 for an absent optional one.
struct AtomColumns {
  int group, symbol, alt, atomName, comp, asym, seq, icode, model, id, x, y, z, labelSeq, charge, b,
      labelAsym;
};

// The columns, or nullopt when one gemmi needs is absent: the whole-file path says so.
std::optional<AtomColumns> FindAtomColumns(const std::vector<std::string>& tags) {
  auto column = [&](const char* name) {
    for (size_t i = 0; i < tags.size(); ++i) {
      if (tags[i] == name) return static_cast<int>(i);
    }
    return -1;
  };
  auto either = [&](const char* first, const char* second) {
    const int c = column(first);
    return c >= 0 ? c : column(second);
  };
  // gemmi reads no atoms at all without these.
  for (const char* required : {"id", "type_symbol", "label_alt_id", "label_asym_id", "cartn_x", "cartn_y",
                               "cartn_z", "occupancy", "b_iso_or_equiv", "auth_seq_id"}) {
    if (column(required) < 0) return std::nullopt;
  }
  AtomColumns c;
  c.group = column("group_pdb"), c.symbol = column("type_symbol"), c.alt = column("label_alt_id");
  c.atomName = either("auth_atom_id", "label_atom_id"), c.comp = either("auth_comp_id", "label_comp_id");
  c.asym = either("auth_asym_id", "label_asym_id"), c.seq = column("auth_seq_id");
  c.icode = column("pdbx_pdb_ins_code"), c.model = column("pdbx_pdb_model_num"), c.id = column("id");
  c.x = column("cartn_x"), c.y = column("cartn_y"), c.z = column("cartn_z");
  c.labelSeq = column("label_seq_id"), c.charge = column("pdbx_formal_charge");
  c.b = column("b_iso_or_equiv"), c.labelAsym = column("label_asym_id");
  if (c.atomName < 0 || c.comp < 0) return std::nullopt;
  return c;
}

// Whether a row's numbers and one-character values are in the forms both readers convert
// alike; the alternate location and insertion code when they are.
bool PlainRowValues(const std::vector<Token>& row, const AtomColumns& c, char& altLoc, char& insertion) {
  for (int col : {c.x, c.y, c.z}) {
    if (!IsPlainDecimal(row[col])) return false;
  }
  if (row[c.seq].quoted || !IsInteger(row[c.seq].text, true) || row[c.id].quoted ||
      !IsInteger(row[c.id].text, false))
    return false;
  for (int col : {c.labelSeq, c.charge}) {
    if (col >= 0 && !Missing(row[col]) && (row[col].quoted || !IsInteger(row[col].text, true))) return false;
  }
  return OneCharacter(row[c.alt], altLoc) && (c.icode < 0 || OneCharacter(row[c.icode], insertion));
}

// One row's atom, its element named as gemmi names it (remembered per symbol in `elements`).
void FillAtomRecord(const std::vector<Token>& row, const AtomColumns& c, char altLoc, char insertion,
                    std::vector<std::pair<std::string, std::string>>& elements, AtomRecord& r) {
  r.name = Missing(row[c.atomName]) ? std::string() : std::string(row[c.atomName].text);
  r.residueName = Missing(row[c.comp]) ? std::string() : std::string(row[c.comp].text);
  const std::string_view symbolText = Missing(row[c.symbol]) ? std::string_view() : row[c.symbol].text;
  auto known =
      std::find_if(elements.begin(), elements.end(), [&](const auto& e) { return e.first == symbolText; });
  if (known == elements.end()) {
    elements.emplace_back(std::string(symbolText), gemmi::Element(std::string(symbolText)).uname());
    known = elements.end() - 1;
  }
  r.element = known->second;
  r.field = PdbField(r.name, r.element);
  r.altLoc = altLoc;
  r.chainName = Missing(row[c.asym]) ? std::string() : std::string(row[c.asym].text);
  r.resSeq = ParseInt(row[c.seq].text);
  r.iCode = insertion;
  r.serial = ParseInt(row[c.id].text);
  r.x = static_cast<float>(ParseReal(row[c.x].text));
  r.y = static_cast<float>(ParseReal(row[c.y].text));
  r.z = static_cast<float>(ParseReal(row[c.z].text));
  // Missing or no number: no confidence (NaN, as the PDB reader gives it).
  r.bFactor =
      Missing(row[c.b]) ? std::numeric_limits<float>::quiet_NaN() : ParseWholeFloatOrNan(row[c.b].text);
  r.labelAsym = Missing(row[c.labelAsym]) ? std::string() : std::string(row[c.labelAsym].text);
  r.labelSeq = c.labelSeq >= 0 && !Missing(row[c.labelSeq]) ? ParseInt(row[c.labelSeq].text) : 0;
}

// The residues met in the current chain, to type atoms as gemmi does: a residue is typed by
// its first atom's group, and the atoms of one met again are added to it.
class ResidueTracker {
 public:
  // False when gemmi would gather or type the atom otherwise than the fast path can.
  bool Add(AtomRecord& r, bool hetero) {
    if (!chainOpen_ || chain_ != r.chainName) {
      residues_.clear();
      residueOpen_ = false;
      chain_ = r.chainName;
      chainOpen_ = true;
    }
    std::tuple<int32_t, char, std::string> here{r.resSeq, r.iCode, r.residueName};
    if (!residueOpen_ || here != residue_) {
      if (!residues_.insert(here).second) return false;
      residue_ = std::move(here);
      residueOpen_ = true;
      residueHetero_ = hetero;
    } else if (hetero != residueHetero_) {
      return false;
    }
    r.hetero = residueHetero_ || !IsStandardPolymerResidue(r.residueName);
    return true;
  }

 private:
  std::set<std::tuple<int32_t, char, std::string>> residues_;
  std::tuple<int32_t, char, std::string> residue_{0, ' ', std::string()};
  bool residueHetero_ = false, residueOpen_ = false;
  std::string chain_;
  bool chainOpen_ = false;
};

// The atom rows of the first model, or kDeclined for any row the fast path is not sure of
// (implausible coordinates among them: the whole-file path names their line).
FastResult ReadAtomSite(std::string_view text, const AtomLoop& loop, std::vector<AtomRecord>& records,
                        bool& modelsSkipped, size_t& firstRowEnd) {
  const std::optional<AtomColumns> columns = FindAtomColumns(loop.tags);
  if (!columns) return FastResult::kDeclined;
  const AtomColumns& c = *columns;
  Tokenizer t{text.substr(0, loop.end), loop.valuesStart};
  std::vector<Token> row(loop.tags.size());
  std::string firstModel;
  bool otherModelSeen = false;
  ResidueTracker residues;
  std::vector<std::pair<std::string, std::string>> elements;  // symbol -> gemmi's name
  size_t rows = 0;
  while (true) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (!t.Next(row[i])) {
        if (i == 0 && !t.declined && rows > 0) return FastResult::kRead;
        return FastResult::kDeclined;  // a short row, an odd value, no rows: gemmi says
      }
    }
    if (++rows == 1) firstRowEnd = t.at;
    char altLoc = ' ', insertion = ' ';
    if (!PlainRowValues(row, c, altLoc, insertion)) return FastResult::kDeclined;
    if (c.model >= 0) {
      if (row[c.model].quoted || !IsInteger(row[c.model].text, false)) return FastResult::kDeclined;
      if (firstModel.empty()) firstModel = std::string(row[c.model].text);
      if (row[c.model].text != firstModel) {
        modelsSkipped = otherModelSeen = true;
        continue;
      }
      if (otherModelSeen) return FastResult::kDeclined;  // gemmi would open new chains here
    }
    bool hetero = false;
    if (c.group >= 0) {
      if (row[c.group].quoted || (row[c.group].text != "ATOM" && row[c.group].text != "HETATM"))
        return FastResult::kDeclined;
      hetero = row[c.group].text == "HETATM";
    }
    AtomRecord& r = records.emplace_back();
    FillAtomRecord(row, c, altLoc, insertion, elements, r);
    if (!PlausibleCoordinates(r)) return FastResult::kDeclined;  // the whole-file path names the row
    if (!residues.Add(r, hetero)) return FastResult::kDeclined;
  }
}

bool ContainsNoCase(const std::string& text, std::string_view word) {
  return std::search(text.begin(), text.end(), word.begin(), word.end(),
                     [](char a, char b) { return Lower(a) == Lower(b); }) != text.end();
}

// A ModelCIF file (any _ma_ category) is a prediction; so is a file that names AlphaFold
// in its title or software and no experiment. Its local pLDDT scores come from
// _ma_qa_metric_local, those of the metrics _ma_qa_metric calls pLDDT (all when it is
// absent).
void ReadModelEvidence(gemmi::cif::Block& block, ModelEvidence& evidence) {
  evidence.analysisValues = block.find_value(kNotConfidenceItem) != nullptr;
  bool modelCif = false;
  for (const gemmi::cif::Item& item : block.items) {
    const std::string* tag = item.type == gemmi::cif::ItemType::Pair ? &item.pair[0]
                             : item.type == gemmi::cif::ItemType::Loop && !item.loop.tags.empty()
                                 ? &item.loop.tags[0]
                                 : nullptr;
    if (tag != nullptr && StartsWithNoCase(*tag, "_ma_")) {
      modelCif = true;
      break;
    }
  }
  std::string named;
  for (auto row : block.find("_software.", {"name"})) {
    if (row.has2(0) && ContainsNoCase(row.str(0), "alphafold")) named = "AlphaFold";
  }
  if (const std::string* title = block.find_value("_struct.title");
      title != nullptr && ContainsNoCase(gemmi::cif::as_string(*title), "alphafold"))
    named = "AlphaFold";
  const std::string* method = block.find_value("_exptl.method");
  const bool measured = method != nullptr && !gemmi::cif::is_null(*method);
  if (measured) {
    const std::string namedMethod = gemmi::cif::as_string(*method);
    if (!ContainsNoCase(namedMethod, "theoretical model")) evidence.experiment = namedMethod;
  }
  if (!modelCif && (named.empty() || measured)) return;
  evidence.predicted = true;
  evidence.source = named.empty() ? "ModelCIF" : named;
  for (auto row : block.find("_ma_model_list.", {"model_group_name"})) {
    if (!row.has2(0)) continue;
    std::string group = row.str(0);
    if (group.size() > 6 && group.compare(group.size() - 6, 6, " model") == 0) group.resize(group.size() - 6);
    if (!group.empty()) evidence.source = group;
    break;
  }
  std::set<std::string> plddt;
  bool metricTable = false;
  for (auto row : block.find("_ma_qa_metric.", {"id", "?type", "?name"})) {
    metricTable = true;
    const bool typed = row.has2(1) && gemmi::iequal(row.str(1), "plddt");
    const bool named = row.has2(2) && gemmi::iequal(row.str(2), "plddt");
    if (row.has2(0) && (typed || named)) plddt.insert(row.str(0));
  }
  for (auto row :
       block.find("_ma_qa_metric_local.", {"label_asym_id", "label_seq_id", "metric_value", "?metric_id"})) {
    if (!row.has2(0) || !row.has2(1) || !row.has2(2)) continue;
    if (metricTable && (!row.has2(3) || plddt.count(row.str(3)) == 0)) continue;
    const double value = gemmi::cif::as_number(row[2]);
    if (!std::isfinite(value)) continue;
    evidence.localScores[{row.str(0), ParseInt(row.str(1))}] = static_cast<float>(value);
  }
}

// Metadata through gemmi: modified residues, the method, helix and sheet ranges.
void ReadMetadata(gemmi::cif::Block& block, StructureBuilder& builder, bool& isNMR,
                  const gemmi::Structure& st) {
  for (auto row : block.find("_pdbx_struct_mod_residue.", {"label_comp_id", "parent_comp_id"})) {
    builder.AddModifiedResidue(row.str(0), row.str(1));
  }
  // "SOLUTION NMR", "SOLID-STATE NMR", or a hybrid method list naming NMR.
  isNMR = st.get_info("_exptl.method").find("NMR") != std::string::npos;
  ReadModelEvidence(block, builder.evidence());
  // The first biological assembly: the author chains of its polymer subchains, and the
  // most operators one generator applies.
  if (!st.assemblies.empty()) {
    // Polymer subchains by their author chain: the sequence scheme names both.
    std::map<std::string, std::string> chainOfSubchain;
    for (auto row : block.find("_pdbx_poly_seq_scheme.", {"asym_id", "pdb_strand_id"})) {
      if (row.has2(0) && row.has2(1)) chainOfSubchain.emplace(row.str(0), row.str(1));
    }
    if (!st.models.empty()) {
      for (const gemmi::Chain& chain : st.models.front().chains) {
        for (const gemmi::Residue& residue : chain.residues) {
          if (IsStandardPolymerResidue(residue.name)) chainOfSubchain.emplace(residue.subchain, chain.name);
        }
      }
    }
    std::vector<std::string> chains;
    int copies = 0;
    for (const gemmi::Assembly::Gen& gen : st.assemblies.front().generators) {
      copies = std::max(copies, static_cast<int>(gen.operators.size()));
      for (const std::string& sub : gen.subchains) {
        const auto found = chainOfSubchain.find(sub);
        if (found != chainOfSubchain.end() &&
            std::find(chains.begin(), chains.end(), found->second) == chains.end())
          chains.push_back(found->second);
      }
      for (const std::string& name : gen.chains)
        if (std::find(chains.begin(), chains.end(), name) == chains.end()) chains.push_back(name);
    }
    builder.SetAssembly(std::move(chains), copies);
  }
}

// The whole file through gemmi, for what the fast loop reader does not take.
bool ReadAtomsThroughGemmi(const gemmi::Structure& st, StructureBuilder& builder) {
  if (st.models.empty()) return true;
  if (st.models.size() > 1) builder.summary().modelsSkipped = true;
  for (const gemmi::Chain& chain : st.models.front().chains) {
    for (const gemmi::Residue& residue : chain.residues) {
      for (const gemmi::Atom& atom : residue.atoms) {
        AtomRecord r;
        r.hetero = residue.het_flag == 'H' || !IsStandardPolymerResidue(residue.name);
        r.name = atom.name;
        r.element = atom.element.uname();
        r.field = PdbField(atom.name, r.element);
        r.altLoc = atom.altloc == '\0' ? ' ' : atom.altloc;
        r.residueName = residue.name;
        r.chainName = chain.name;
        r.resSeq = residue.seqid.num.value;
        r.iCode = residue.seqid.icode;
        r.serial = atom.serial;
        r.x = static_cast<float>(atom.pos.x);
        r.y = static_cast<float>(atom.pos.y);
        r.z = static_cast<float>(atom.pos.z);
        r.bFactor = atom.b_iso;
        r.labelAsym = residue.subchain;
        r.labelSeq = residue.label_seq.has_value() ? residue.label_seq.value : 0;
        if (!PlausibleCoordinates(r)) return false;
        builder.AddAtom(std::move(r));
      }
    }
    builder.EndChain();
  }
  return true;
}

// gemmi reads integers without a check for overflow: a value of more digits than an int
// holds is a signed overflow, undefined. The offset of the first bare token in `text`
// that starts with ten significant digits (after a sign and leading zeros), else npos.
// Quoted values, text fields and comments are passed over.
constexpr const char* kIntegerTooLong = "a number beyond the integer range";

size_t OverlongInteger(std::string_view text) {
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (space(c)) {
      ++i;
    } else if (c == ';' && (i == 0 || text[i - 1] == '\n')) {  // a text field, to a line ";"
      const size_t close = text.find("\n;", i + 1);
      i = close == std::string_view::npos ? text.size() : close + 2;
    } else if (c == '#') {
      const size_t end = text.find('\n', i);
      i = end == std::string_view::npos ? text.size() : end;
    } else if (c == '\'' || c == '"') {  // to the same quote before a space
      size_t j = i + 1;
      while (j < text.size() && !(text[j] == c && (j + 1 == text.size() || space(text[j + 1])))) ++j;
      i = j + 1;
    } else {
      size_t j = i;
      if (text[j] == '+' || text[j] == '-') ++j;
      while (j < text.size() && text[j] == '0') ++j;
      size_t digits = 0;
      while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j, ++digits;
      if (digits >= 10) return i;
      while (j < text.size() && !space(text[j])) ++j;
      i = j;
    }
  }
  return std::string_view::npos;
}

// Chain names met in the atom rows, in order: one-character names keep their letter,
// longer ones take free letters in the order they come.
void NameChains(const std::vector<std::string>& names, StructureBuilder& builder) {
  for (const std::string& name : names) {
    if (name.size() == 1) builder.ChainIdFor(name);
  }
  for (const std::string& name : names) builder.ChainIdFor(name);
}

}  // namespace

namespace {

// Where gemmi's message puts the line: "NAME:LINE..." for what it finds in parsing and in
// reading items; 0 when it names none.
int LineInMessage(const std::string& message, const std::string& name) {
  if (message.compare(0, name.size() + 1, name + ":") != 0) return 0;
  return ParseInt(std::string_view(message).substr(name.size() + 1));
}

// gemmi's message without the "NAME:LINE:COLUMN: " it starts with: the error names the file
// and the line already.
std::string WithoutPlace(const std::string& message, const std::string& name) {
  if (LineInMessage(message, name) <= 0) return message;
  size_t at = name.size() + 1;
  for (int field = 0; field < 2 && at < message.size(); ++field) {
    const size_t colon = message.find(':', at);
    if (colon == std::string::npos || message.find_first_not_of("0123456789", at) != colon) return message;
    at = colon + 1;
  }
  while (at < message.size() && message[at] == ' ') ++at;
  return at < message.size() ? message.substr(at) : message;
}

// The line of the row that holds the `index`-th value of the loop whose tags start at
// line `loopLine`, by the CIF tokens (text fields, quotes and comments included); 0 when
// it cannot be found.
int LineOfLoopValue(std::string_view text, int loopLine, size_t width, size_t index) {
  size_t at = 0;
  for (int line = 1; line < loopLine && at < text.size(); ++line) {
    const size_t next = text.find('\n', at);
    at = next == std::string_view::npos ? text.size() : next + 1;
  }
  size_t seen = 0, tags = 0;
  bool inValues = false;
  while (at < text.size()) {
    const char c = text[at];
    if (IsSpace(c)) {
      ++at;
      continue;
    }
    if (c == '#') {
      while (at < text.size() && text[at] != '\n') ++at;
      continue;
    }
    size_t end = at;
    if (c == ';' && (at == 0 || text[at - 1] == '\n')) {
      const size_t close = text.find("\n;", at);
      end = close == std::string_view::npos ? text.size() : close + 2;
    } else if (c == '\'' || c == '"') {
      end = at + 1;
      while (end < text.size() && text[end] != '\n' &&
             !(text[end] == c && (end + 1 == text.size() || IsSpace(text[end + 1]) || text[end + 1] == '#')))
        ++end;
      ++end;
    } else {
      while (end < text.size() && !IsSpace(text[end])) ++end;
    }
    const std::string_view token = text.substr(at, end - at);
    if (!inValues) {
      if (token[0] == '_') {
        ++tags;
      } else if (tags > 0) {
        inValues = true;
      }
    }
    if (inValues) {
      if (seen == index - index % width) return LineOf(text, at);
      ++seen;
    }
    at = end;
  }
  return 0;
}

// The line of the first row of the first model whose coordinates are implausible, as
// gemmi converts them; the loop's own line when none is found.
int LineOfImplausibleRow(std::string_view text, const gemmi::cif::Item& atoms) {
  const gemmi::cif::Loop& loop = atoms.loop;
  const size_t width = loop.width();
  auto column = [&](const char* tag) {
    for (size_t i = 0; i < width; ++i) {
      if (gemmi::iequal(loop.tags[i], std::string("_atom_site.") + tag)) return static_cast<int>(i);
    }
    return -1;
  };
  const int x = column("cartn_x"), y = column("cartn_y"), z = column("cartn_z"),
            model = column("pdbx_pdb_model_num");
  if (x < 0 || y < 0 || z < 0 || width == 0) return atoms.line_number;
  for (size_t row = 0; (row + 1) * width <= loop.values.size(); ++row) {
    const std::string* v = &loop.values[row * width];
    if (model >= 0 &&
        gemmi::cif::as_string(v[model]) != gemmi::cif::as_string(loop.values[static_cast<size_t>(model)]))
      continue;
    AtomRecord r;
    r.x = static_cast<float>(gemmi::cif::as_number(v[x]));
    r.y = static_cast<float>(gemmi::cif::as_number(v[y]));
    r.z = static_cast<float>(gemmi::cif::as_number(v[z]));
    if (!PlausibleCoordinates(r)) {
      const int line = LineOfLoopValue(text, atoms.line_number, width, row * width);
      return line > 0 ? line : atoms.line_number;
    }
  }
  return atoms.line_number;
}

// The atom_site loop of the block: its item, or null.
const gemmi::cif::Item* AtomSiteLoop(const gemmi::cif::Block& block) {
  for (const gemmi::cif::Item& item : block.items) {
    if (item.type == gemmi::cif::ItemType::Loop && !item.loop.tags.empty() &&
        StartsWithNoCase(item.loop.tags.front(), "_atom_site."))
      return &item;
  }
  return nullptr;
}

// Items of the block that belong to atom_site, loops and single items alike.
int AtomSiteItems(const gemmi::cif::Block& block) {
  int count = 0;
  for (const gemmi::cif::Item& item : block.items) {
    if (item.type == gemmi::cif::ItemType::Pair && StartsWithNoCase(item.pair[0], "_atom_site.")) ++count;
    if (item.type == gemmi::cif::ItemType::Loop &&
        std::any_of(item.loop.tags.begin(), item.loop.tags.end(),
                    [](const std::string& tag) { return StartsWithNoCase(tag, "_atom_site."); }))
      ++count;
    if (item.type == gemmi::cif::ItemType::Frame) ++count;  // not ours to read
  }
  return count;
}

// The first overlong integer where gemmi reads, as a format error with its line.
std::optional<FileStatus> CheckIntegers(const std::string& text, const std::string& name) {
  const size_t at = OverlongInteger(text);
  if (at == std::string_view::npos) return std::nullopt;
  return FileStatus::Format(name, LineOf(text, at), kIntegerTooLong);
}

// Adds the chains, ranges and atoms of the first model to `builder`.
void AddRecords(const std::vector<AtomRecord>& records, gemmi::cif::Block& block, const gemmi::Structure& st,
                StructureBuilder& builder) {
  // The chains' names first, so ranges and atoms agree on their letters.
  std::vector<std::string> names;
  for (const AtomRecord& r : records) {
    if (names.empty() || names.back() != r.chainName) names.push_back(r.chainName);
  }
  NameChains(names, builder);
  AddRanges(block, st, builder);
  const std::string* chain = nullptr;
  for (const AtomRecord& r : records) {
    if (chain != nullptr && r.chainName != *chain) builder.EndChain();
    chain = &r.chainName;
    builder.AddAtom(r);
  }
}

// The fast path: nothing when it declines (and `builder` is untouched), else the atoms.
// Every fault sends the file to the whole-file path, which names its line.
std::optional<FileStatus> ReadFast(const std::string& text, const std::string& name,
                                   StructureBuilder& builder, bool& isNMR) {
  AtomLoop loop;
  if (!FindAtomSiteLoop(text, loop)) return std::nullopt;
  std::vector<AtomRecord> records;
  bool modelsSkipped = false;
  size_t firstRowEnd = 0;
  const FastResult read = ReadAtomSite(text, loop, records, modelsSkipped, firstRowEnd);
  if (read == FastResult::kDeclined) return std::nullopt;
  // gemmi reads the rest: the first row stays, so that the loop is still one; the others
  // are blanked to their line ends, so that every line keeps its number.
  std::string rest;
  rest.reserve(text.size() - (loop.end - firstRowEnd) + static_cast<size_t>(LineOf(text, loop.end)));
  rest.append(text, 0, firstRowEnd);
  rest.append(static_cast<size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(firstRowEnd),
                                             text.begin() + static_cast<std::ptrdiff_t>(loop.end), '\n')),
              '\n');
  rest.append(text, loop.end, std::string::npos);
  if (OverlongInteger(rest) != std::string_view::npos) return std::nullopt;
  gemmi::Structure st;
  gemmi::cif::Document doc;
  try {
    doc = gemmi::cif::read_memory(rest.data(), rest.size(), name.c_str());
    // One block, whose only atom_site items are this loop with its one row left.
    if (doc.blocks.size() != 1 || AtomSiteItems(doc.blocks.front()) != 1) return std::nullopt;
    const gemmi::cif::Item* item = AtomSiteLoop(doc.blocks.front());
    if (item == nullptr || item->loop.tags.size() != loop.tags.size() || item->loop.length() != 1)
      return std::nullopt;
    st = gemmi::make_structure_from_block(doc.blocks.front());
  } catch (const std::exception&) {
    return std::nullopt;  // gemmi says what, on the whole file
  }
  ReadMetadata(doc.blocks.front(), builder, isNMR, st);
  builder.summary().modelsSkipped = modelsSkipped;
  AddRecords(records, doc.blocks.front(), st, builder);
  return FileStatus::Ok(name);
}

// gemmi reads no atoms from an atom_site loop without these columns.
std::string MissingAtomColumns(const gemmi::cif::Item& loop) {
  std::string missing;
  for (const char* required : {"id", "type_symbol", "label_alt_id", "label_asym_id", "Cartn_x", "Cartn_y",
                               "Cartn_z", "occupancy", "B_iso_or_equiv", "auth_seq_id"}) {
    const std::string tag = std::string("_atom_site.") + required;
    const bool found = std::any_of(loop.loop.tags.begin(), loop.loop.tags.end(), [&](const std::string& t) {
      return gemmi::iequal(t, gemmi::to_lower(tag));
    });
    if (!found) missing += (missing.empty() ? "" : ", ") + std::string(required);
  }
  return missing;
}

}  // namespace

FileStatus ReadMmcif(const std::string& text, const std::string& name, StructureBuilder& builder, bool& isNMR,
                     bool fast, bool* readFast) {
  if (readFast) *readFast = false;
  if (fast) {
    if (std::optional<FileStatus> read = ReadFast(text, name, builder, isNMR)) {
      if (readFast) *readFast = true;
      return *read;
    }
  }
  if (auto overlong = CheckIntegers(text, name)) return *overlong;
  int atomLoopLine = 0;
  try {
    gemmi::cif::Document doc = gemmi::cif::read_memory(text.data(), text.size(), name.c_str());
    if (doc.blocks.empty()) return FileStatus::Format(name, 1, "no data block");
    gemmi::cif::Block& block = doc.blocks.front();
    const gemmi::cif::Item* atoms = AtomSiteLoop(block);
    if (atoms != nullptr) atomLoopLine = atoms->line_number;
    const gemmi::Structure st = gemmi::make_structure_from_block(block);
    if (atoms != nullptr && (st.models.empty() || st.models.front().chains.empty())) {
      if (const std::string missing = MissingAtomColumns(*atoms); !missing.empty()) {
        return FileStatus::Format(name, atomLoopLine, "the atom_site loop has no column " + missing);
      }
    }
    ReadMetadata(block, builder, isNMR, st);
    std::vector<std::string> names;
    if (!st.models.empty()) {
      for (const gemmi::Chain& chain : st.models.front().chains) names.push_back(chain.name);
    }
    NameChains(names, builder);
    AddRanges(block, st, builder);
    if (!ReadAtomsThroughGemmi(st, builder)) {
      const int line = atoms != nullptr ? LineOfImplausibleRow(text, *atoms) : 0;
      return FileStatus::Format(name, std::max(line, 1), kImplausibleCoordinates);
    }
    return FileStatus::Ok(name);
  } catch (const std::exception& error) {
    // gemmi names the line of what it cannot parse; what it cannot convert is an atom's
    // value as a rule, so the atom loop's line stands in.
    const int line = LineInMessage(error.what(), name);
    return FileStatus::Format(name, line > 0 ? line : std::max(atomLoopLine, 1),
                              WithoutPlace(error.what(), name));
  }
}

}  // namespace tessmol
