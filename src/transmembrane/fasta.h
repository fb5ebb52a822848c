// FASTA files: a header line (">...") before each sequence. Records are read one at a
// time, so a file of any number of records is handled in the memory of its largest one.
//
// Sequence lines: letters in either case are residue codes; blanks, tabs, digits (the
// position numbers of GenBank-style layouts) and one terminal '*' (a stop) are skipped.
// Any other character is a format error on its line; it is that record's fault, and the
// records after it are read as usual. A record without residues is a fault too. Of the 26 letters, six are
// not one of the twenty amino acids; each is modelled as the residue closest to it in chemistry
// (ResidueNameForLetter) and named in one warning per record:
//   U selenocysteine -> CYS, O pyrrolysine -> LYS (their parent residues),
//   B Asp or Asn -> ASN, Z Glu or Gln -> GLN (the uncharged amide: an unresolved position
//     neither adds nor removes a charge),
//   J Leu or Ile -> LEU, X unknown -> ALA (a helix former with the smallest side chain
//     that still has a CB, so an unknown position bends nothing).
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/file_status.h"
#include "base/gzip.h"

namespace tessmol {

// What a FASTA file that is no FASTA at all gets (its first line is not a header).
inline constexpr const char* kFastaNoHeader = "the first line is not a '>' header";
// What a file whose lines end in a carriage return alone gets.
inline constexpr const char* kFastaCarriageReturns =
    "its lines end in a carriage return alone (classic Mac OS): save it with Unix or Windows line ends";

struct FastaRecord {
  std::string name;         // the header's first word; "unnamed_line_N" for a header without one
  std::string sequence;     // upper-case one-letter codes, nothing else
  std::string rareLetters;  // which of B, J, O, U, X, Z the sequence holds, each once, as met
  int headerLine = 0;       // counted from 1
  int sameNameLine = 0;     // the header line of an earlier record of this name; 0 when none
  // Ok, or Format naming the line of the record's first fault (a character that is no
  // residue, or no sequence at all): such a record is not to be modelled.
  FileStatus fault;
};

// A gzip-compressed file is read as its text (UniProt's downloads come so), within the
// limit a compressed structure has; a byte-order mark before the first header (as
// Windows editors save UTF-8) is skipped.
class FastaReader {
 public:
  // A gzip-compressed file is unpacked to at most `maxUnpackedBytes` (a guard against files
  // that unpack to more than the machine holds).
  explicit FastaReader(const std::string& path,
                       uint64_t maxUnpackedBytes = MebibytesToBytes(kDefaultMaxUnpackedMiB));
  FastaReader(const FastaReader&) = delete;  // in_ points into the reader itself
  FastaReader& operator=(const FastaReader&) = delete;
  // The next record, which may hold a fault of its own; false at the end of the file or
  // at a fault of the file, which status() names.
  bool Next(FastaRecord& record);
  // Ok, Missing/Unreadable (cannot open, read error), or Format on line 1 with
  // kFastaNoHeader for a file that does not start with a header, or kFastaCarriageReturns.
  const FileStatus& status() const { return status_; }

 private:
  std::ifstream file_;
  std::istringstream unpacked_;  // a compressed file's text
  std::istream* in_ = &file_;
  std::string path_;
  std::string header_;  // the header of the record Next reads, already read
  int line_ = 0;
  bool ended_ = false;
  std::unordered_map<std::string, int> firstLines_;  // each name's first header line
  FileStatus status_;
};

// Every record at once, for small files and tests.
struct FastaFile {
  FileStatus status;  // the file's own: each record holds its fault
  std::vector<FastaRecord> records;
};
FastaFile ReadFasta(const std::string& path);

// "Warning: WHERE looks like a nucleotide sequence (97 % A, C, G, T, U and N): it is read as
// protein" for a record of 20 letters or more, nine in ten of them nucleotide codes (a DNA
// or RNA file given by mistake reads as a valid protein of alanines, cysteines, glycines
// and threonines); empty otherwise.
std::string NucleotideWarning(const std::string& where, const FastaRecord& record);

// "Warning: NAME holds B, X: modelled as ASN, ALA" for a record with rare letters; empty
// when it has none. Where no model is built, only the segmentation reads the sequence:
// "read as ASN, unknown".
std::string RareLetterWarning(const std::string& where, const FastaRecord& record,
                              bool segmentationOnly = false);

// "Warning: WHERE has the name of the record at line 3: outputs that name records alone
// (3-line, the analysis list) cannot tell them apart" for a record whose name an earlier
// record of its file has; empty otherwise.
std::string SameNameWarning(const std::string& where, const FastaRecord& record);

// Every warning a modelled record gets, in order: SameNameWarning, NucleotideWarning,
// RareLetterWarning.
std::vector<std::string> RecordWarnings(const std::string& where, const FastaRecord& record,
                                        bool segmentationOnly = false);

}  // namespace tessmol
