// mmCIF through gemmi. gemmi's parser is large to compile, so it lives in this one file.
//
// The atom_site loop holds nearly all of a file's bytes, and gemmi's general parser reads
// it at a fifth of the speed of our PDB reader. So the loop is cut out and read here, with
// the CIF tokens it can hold (bare and quoted values), while gemmi reads everything else
// (helices, strands, modified residues, the method). A file whose atom_site is not one
// plain loop goes to gemmi whole.
#include <gemmi/cif.hpp>
#include <gemmi/mmcif.hpp>

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>

#include "model/structure_file.h"
#include "model/text.h"

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
  static const std::set<std::string> kNucleotides = {"A",  "C",  "G",  "U",  "I",  "N",  "DA",
                                                     "DC", "DG", "DT", "DU", "DI", "DN", "UNK"};
  return ResidueTypeOf(name) != kUnknownResidueType || kNucleotides.count(name) > 0;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

void AddRanges(const gemmi::Structure& st, StructureBuilder& builder) {
  auto range = [&](const gemmi::AtomAddress& start, const gemmi::AtomAddress& end) {
    SecondaryRange r;
    r.chainId = builder.ChainIdFor(start.chain_name);
    r.firstResSeq = start.res_id.seqid.num.value;
    r.lastResSeq = end.res_id.seqid.num.value;
    return r;
  };
  for (const gemmi::Helix& helix : st.helices) builder.AddRange(range(helix.start, helix.end), true);
  for (const gemmi::Sheet& sheet : st.sheets) {
    for (const gemmi::Sheet::Strand& strand : sheet.strands) builder.AddRange(range(strand.start, strand.end), false);
  }
}

// ---- the atom_site loop ------------------------------------------------------------

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// One CIF value at `at` (after blanks and comments), or false at the end of the loop.
// `quoted` values lose their quotes. A text field (';' at a line start) is not handled.
struct Tokenizer {
  std::string_view text;
  size_t at = 0;
  bool failed = false;

  bool AtLineStart(size_t i) const { return i == 0 || text[i - 1] == '\n'; }

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

  bool Next(std::string_view& value) {
    SkipBlanks();
    if (at >= text.size()) return false;
    const char c = text[at];
    if (c == ';' && AtLineStart(at)) {
      failed = true;
      return false;
    }
    if (c == '\'' || c == '"') {
      // A quote closes only where blank space follows it.
      size_t end = at + 1;
      while (end < text.size() && !(text[end] == c && (end + 1 == text.size() || IsSpace(text[end + 1])))) ++end;
      if (end >= text.size()) {
        failed = true;
        return false;
      }
      value = text.substr(at + 1, end - at - 1);
      at = end + 1;
      return true;
    }
    size_t end = at;
    while (end < text.size() && !IsSpace(text[end])) ++end;
    value = text.substr(at, end - at);
    at = end;
    return true;
  }
};

// Where the atom_site loop lies in `text`: [begin, end), begin at its "loop_".
bool FindAtomSiteLoop(std::string_view text, size_t& begin, size_t& end, std::vector<std::string>& tags,
                      size_t& valuesStart) {
  size_t search = 0;
  while (true) {
    const size_t tag = text.find("_atom_site.", search);
    if (tag == std::string_view::npos) return false;
    search = tag + 1;
    if (tag > 0 && text[tag - 1] != '\n' && text[tag - 1] != ' ' && text[tag - 1] != '\t') continue;
    // The loop_ keyword before the first tag, with only blanks between.
    size_t back = tag;
    while (back > 0 && IsSpace(text[back - 1])) --back;
    if (back < 5 || text.substr(back - 5, 5) != "loop_") return false;
    begin = back - 5;
    Tokenizer t{text, tag};
    std::string_view value;
    while (true) {
      t.SkipBlanks();
      if (t.at >= text.size() || text.compare(t.at, 11, "_atom_site.") != 0) break;
      t.Next(value);
      tags.emplace_back(value.substr(11));
    }
    valuesStart = t.at;
    // The rows end at the first line that starts an item, a loop, a block or a comment.
    size_t line = valuesStart;
    while (line < text.size()) {
      size_t first = line;
      while (first < text.size() && (text[first] == ' ' || text[first] == '\t')) ++first;
      if (first < text.size()) {
        const char c = text[first];
        if (c == ';' && first == line) return false;  // a text field: not ours to read
        if (c == '_' || c == '#' || text.compare(first, 5, "loop_") == 0 || text.compare(first, 5, "data_") == 0)
          break;
      }
      const size_t next = text.find('\n', line);
      line = next == std::string_view::npos ? text.size() : next + 1;
    }
    t.at = line;
    end = t.at;
    return true;
  }
}

// What gemmi needs to read besides the atoms: the data block's name and the categories
// of helices, strands, modified residues and the method. Files of the PDB and of gemmi
// put a "#" line between categories; without those the whole remainder goes.
std::string MetadataText(std::string_view text, size_t loopBegin, size_t loopEnd) {
  static const char* const kWanted[] = {"_struct_conf.", "_struct_sheet_range.", "_pdbx_struct_mod_residue.",
                                        "_exptl."};
  std::string out;
  size_t at = 0;
  bool separated = false;
  while (at < text.size()) {
    if (at == loopBegin) {
      at = loopEnd;
      continue;
    }
    // One section: up to the next line that starts with '#'.
    size_t end = at;
    while (end < text.size()) {
      const size_t next = text.find('\n', end);
      end = next == std::string_view::npos ? text.size() : next + 1;
      if (end < text.size() && text[end] == '#') break;
      if (end > loopBegin && at < loopBegin) {
        end = loopBegin;
        break;
      }
    }
    const std::string_view section = text.substr(at, end - at);
    if (section.substr(0, 1) == "#") separated = true;
    const bool wanted = std::any_of(std::begin(kWanted), std::end(kWanted), [&](const char* tag) {
      return section.find(tag) != std::string_view::npos;
    });
    if (out.empty() || wanted) out.append(section);  // the first section holds data_
    at = end;
    // Skip the '#' line itself.
    if (at < text.size() && text[at] == '#') {
      const size_t next = text.find('\n', at);
      at = next == std::string_view::npos ? text.size() : next + 1;
      separated = true;
      out.append("#\n");
    }
  }
  if (!separated) return std::string(text.substr(0, loopBegin)) + "\n" + std::string(text.substr(loopEnd));
  return out;
}

bool Missing(std::string_view v) {
  return v.empty() || v == "?" || v == ".";
}

// The atom rows of the first model. False when a row is malformed.
bool ReadAtomSite(std::string_view text, const std::vector<std::string>& tags, size_t valuesStart, size_t end,
                  std::vector<AtomRecord>& records, bool& modelsSkipped) {
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
  const int group = column("group_PDB"), symbol = column("type_symbol"), alt = column("label_alt_id");
  const int atomName = either("auth_atom_id", "label_atom_id"), comp = either("auth_comp_id", "label_comp_id");
  const int asym = either("auth_asym_id", "label_asym_id"), seq = column("auth_seq_id");
  const int icode = column("pdbx_PDB_ins_code"), model = column("pdbx_PDB_model_num"), id = column("id");
  const int x = column("Cartn_x"), y = column("Cartn_y"), z = column("Cartn_z");
  if (atomName < 0 || comp < 0 || asym < 0 || seq < 0 || x < 0 || y < 0 || z < 0) return false;

  Tokenizer t{text.substr(0, end), valuesStart};
  std::vector<std::string_view> row(tags.size());
  std::string firstModel;
  while (true) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (!t.Next(row[i])) return i == 0 && !t.failed;
    }
    if (model >= 0) {
      if (firstModel.empty()) firstModel = std::string(row[model]);
      if (row[model] != firstModel) {
        modelsSkipped = true;
        continue;
      }
    }
    AtomRecord& r = records.emplace_back();
    r.name = std::string(row[atomName]);
    r.residueName = std::string(row[comp]);
    r.element = symbol >= 0 && !Missing(row[symbol]) ? Upper(std::string(row[symbol])) : std::string();
    r.field = PdbField(r.name, r.element);
    r.hetero = (group >= 0 && row[group] == "HETATM") || !IsStandardPolymerResidue(r.residueName);
    r.altLoc = alt >= 0 && !Missing(row[alt]) ? row[alt][0] : ' ';
    r.chainName = std::string(row[asym]);
    r.resSeq = ParseInt(row[seq]);
    r.iCode = icode >= 0 && !Missing(row[icode]) ? row[icode][0] : ' ';
    r.serial = id >= 0 ? ParseInt(row[id]) : 0;
    r.x = ParseFloat(row[x]);
    r.y = ParseFloat(row[y]);
    r.z = ParseFloat(row[z]);
  }
}

// Metadata through gemmi: modified residues, the method, helix and sheet ranges.
void ReadMetadata(gemmi::cif::Block& block, StructureBuilder& builder, bool& isNMR, const gemmi::Structure& st) {
  for (auto row : block.find("_pdbx_struct_mod_residue.", {"label_comp_id", "parent_comp_id"})) {
    builder.AddModifiedResidue(row.str(0), row.str(1));
  }
  isNMR = st.get_info("_exptl.method").rfind("NMR", 0) == 0;
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

FileStatus ReadMmcif(const std::string& text, const std::string& name, StructureBuilder& builder, bool& isNMR,
                     bool fast) {
  try {
    size_t begin = 0, end = 0, valuesStart = 0;
    std::vector<std::string> tags;
    const bool loop = fast && FindAtomSiteLoop(text, begin, end, tags, valuesStart);
    // gemmi reads the file without its atom rows when we read those ourselves.
    const std::string rest = loop ? MetadataText(text, begin, end) : std::string();
    const std::string& forGemmi = loop ? rest : text;
    if (const size_t at = OverlongInteger(forGemmi); at != std::string_view::npos) {
      // The line in the file: what gemmi reads are whole lines of it.
      const size_t lineStart = forGemmi.rfind('\n', at) + 1;  // npos + 1 is 0
      const std::string_view line =
          std::string_view(forGemmi).substr(lineStart, forGemmi.find('\n', at) - lineStart);
      const size_t where = text.find(line);
      if (where == std::string::npos) return FileStatus::Format(name, 0, kIntegerTooLong);
      const auto number = std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(where), '\n') + 1;
      return FileStatus::Format(name, static_cast<int>(number), kIntegerTooLong);
    }
    gemmi::cif::Document doc = gemmi::cif::read_memory(forGemmi.data(), forGemmi.size(), name.c_str());
    if (doc.blocks.empty()) return FileStatus::Format(name, 0, "no data block");
    gemmi::cif::Block& block = doc.blocks.front();
    const gemmi::Structure st = gemmi::make_structure_from_block(block);
    ReadMetadata(block, builder, isNMR, st);
    if (loop) {
      std::vector<AtomRecord> records;
      bool modelsSkipped = false;
      if (!ReadAtomSite(text, tags, valuesStart, end, records, modelsSkipped)) {
        return FileStatus::Format(name, 0, "the atom_site loop has a row of the wrong length");
      }
      builder.summary().modelsSkipped = modelsSkipped;
      for (size_t i = 0; i < records.size(); ++i) {
        if (!PlausibleCoordinates(records[i]))
          return FileStatus::Format(name, 0, "atom_site row " + std::to_string(i + 1) + ": " + kImplausibleCoordinates);
      }
      // The chains' names first, so ranges and atoms agree on their letters.
      std::vector<std::string> names;
      for (const AtomRecord& r : records) {
        if (names.empty() || names.back() != r.chainName) names.push_back(r.chainName);
      }
      NameChains(names, builder);
      AddRanges(st, builder);
      const std::string* chain = nullptr;
      for (const AtomRecord& r : records) {
        if (chain != nullptr && r.chainName != *chain) builder.EndChain();
        chain = &r.chainName;
        builder.AddAtom(r);
      }
      return FileStatus::Ok(name);
    }
    std::vector<std::string> names;
    if (!st.models.empty()) {
      for (const gemmi::Chain& chain : st.models.front().chains) names.push_back(chain.name);
    }
    NameChains(names, builder);
    AddRanges(st, builder);
    if (!ReadAtomsThroughGemmi(st, builder)) return FileStatus::Format(name, 0, kImplausibleCoordinates);
    return FileStatus::Ok(name);
  } catch (const std::exception& error) {
    // gemmi says where: "name:LINE:..." for syntax errors.
    return FileStatus::Format(name, 0, error.what());
  }
}

}  // namespace tessmol
