// Small text helpers shared by every reader of the system's own files and of PDB files.
// Conversions behave like the C library's (leading blanks skipped, longest valid prefix,
// 0 when there is none) but never depend on the process locale: a desktop program runs
// under the user's locale, where strtod may expect a decimal comma.
#pragma once

#include <cstdint>
#include <fstream>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessmol {

// Integer prefix of `text` after leading white space; 0 when there are no digits.
// Values beyond 32 bits saturate instead of overflowing.
int32_t ParseInt(std::string_view text);

// ParseInt's number, or nothing when it does not fit in 32 bits: for readers that refuse
// such a file rather than take a saturated value.
std::optional<int32_t> ParseCheckedInt(std::string_view text);

// ParseReal's number, or nothing when the text holds an infinity or NaN written out or a
// number beyond a double's range (either way); text without a number still reads as 0.
// For readers that refuse such a file rather than take 0 for it.
std::optional<double> ParseFiniteReal(std::string_view text);

// Decimal prefix of `text` after leading white space; 0 when there is no number.
// Infinities and NaN read as 0: no caller can do anything sensible with them.
double ParseReal(std::string_view text);
// The same for a 32-bit float field: a value beyond float range (1e39) also reads as 0,
// rather than becoming an infinity when it is narrowed.
float ParseFloat(std::string_view text);

// The number when the whole field (blanks around it aside) is one, else nothing.
std::optional<double> ParseWholeReal(std::string_view text);
// The whole field as a 32-bit float; NaN when it is no number or lies beyond float range
// (a field read for a value that may be absent, such as a B-factor read as confidence).
float ParseWholeFloatOrNan(std::string_view text);
// The same for a whole number of 32 bits (an optional sign and digits only).
std::optional<int32_t> ParseWholeInt(std::string_view text);

// The substring of `line` starting at column `first` (from 0) with `count` characters,
// cut short at the end of the line; empty when the field starts beyond the line.
std::string_view Field(std::string_view line, size_t first, size_t count);

// One line up to the next newline, without the newline and without a carriage return
// in front of it. Returns false at the end of the stream when nothing was read.
bool ReadLine(std::istream& in, std::string& line);

// True when reading stopped on an error rather than at the end of the stream: a failing
// disk, or a line too long to hold in memory. Check it after a ReadLine loop.
bool ReadFailed(const std::istream& in);

// Opens a regular file for reading in binary mode (line ends are handled by ReadLine).
// False for a missing file, a folder or a file that cannot be read: a folder would open
// as a stream and fail only on its first read.
bool OpenForReading(std::ifstream& in, const std::string& path);

// An atom name without its blanks: " CA " gives "CA", " H 1" gives "H". An all-blank field
// stays as it is.
std::string_view TrimAtomName(std::string_view field);

// The part of a path after its last '/': the file name without its folder.
std::string BareName(const std::string& path);

// Whether `text` ends in `suffix`, letters in either case (".TSM" as ".tsm").
bool EndsWithAnyCase(std::string_view text, std::string_view suffix);

// Control characters (TAB among them) split or end the records of our own files: names
// hold '?' in their place from the moment they are read. Code 0 stays where `keepNul`
// says so (a chain identifier of code 0 means a line too short to hold one).
void MaskControlCharacters(std::string& text, bool keepNul = false);

// Splits a line at every TAB; blanks are part of fields. A line without TAB is one field,
// an empty line one empty field, a line ending in TAB ends with an empty field.
std::vector<std::string> SplitFields(std::string_view line);

// A number as a standard stream writes it by default: six significant digits, no trailing
// zeros, exponent form for very large or small magnitudes; always in the C locale.
std::string FormatNumber(double value);

// FormatNumber's text written at `out` (room for 32 characters); returns its end.
char* FormatNumberTo(char* out, double value);

// printf-style "%f" (six decimals), independent of the locale.
std::string FormatFixed(double value, int decimals = 6);

// `text` with every byte that is not part of well-formed UTF-8 (RFC 3629: no overlong
// forms, surrogates or code points beyond U+10FFFF) replaced by U+FFFD: names read from a
// user's files may be in another encoding, and XML and JSON take UTF-8 only.
std::string ValidUtf8(std::string_view text);

}  // namespace tessmol
