#include "cli/multi.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "base/gzip.h"
#include "base/program_folder.h"
#include "cli/common.h"
#include "cli/run_outputs.h"

namespace tessmol::cli {

namespace {

struct MultiArgs {
  std::vector<std::string> files;
  std::string fileList;
  AnalysisOptions options;
  std::string customTable;
  std::string customCounts;
  std::string shard;
  int jobs = 1;
  std::string format = "text";
};

// "I/N": the I-th of N interleaved parts, I from 1.
bool ParseShard(const std::string& text, size_t& part, size_t& parts) {
  const size_t slash = text.find('/');
  if (slash == std::string::npos) return false;
  try {
    part = std::stoul(text.substr(0, slash));
    parts = std::stoul(text.substr(slash + 1));
  } catch (const std::exception&) {
    return false;
  }
  return parts >= 1 && part >= 1 && part <= parts;
}

// The paths of a --file-list file: separated by NUL bytes when it holds any (so that a
// name may hold a newline), else one a line, a line's CRs (a list saved on Windows) and a
// leading byte-order mark not part of its paths. Empty entries are skipped.
bool ReadFileList(const std::string& path, std::vector<std::string>& files) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << ReadFailure(path).Describe() << '\n';
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    std::cerr << FileStatus::Unreadable(path).Describe() << '\n';
    return false;
  }
  const char separator = text.find('\0') != std::string::npos ? '\0' : '\n';
  // A list saved by a Windows editor may begin with a UTF-8 byte-order mark.
  size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  while (start < text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    const size_t next = end + 1;
    while (separator == '\n' && end > start && text[end - 1] == '\r') --end;
    if (end > start) files.push_back(text.substr(start, end - start));
    start = next;
  }
  return true;
}

// Why a structure file gave no row, without its name (the row names it).
std::string SkipReason(const FileStatus& skipped) {
  return skipped.problem == FileProblem::kFormat && skipped.line == 0 ? skipped.detail : skipped.Describe();
}

// A reason said after the file's name: as a reason, not as a message of its own.
std::string_view WithoutErrorPrefix(std::string_view reason) {
  return reason.substr(reason.rfind("Error: ", 0) == 0 ? 7 : 0);
}

// After the analysis list, the input files that were not analysed, in input order.
void PrintFailures(const nlohmann::json& failures) {
  if (failures.empty()) return;
  std::cout << '\n';
  PrintTabbed({"Not analysed", "Reason"});
  for (const nlohmann::json& f : failures) {
    std::string input = f.at("file").get<std::string>();
    if (f.contains("record")) input += " (record " + f.at("record").get<std::string>() + ")";
    PrintTabbed({input, std::string(WithoutErrorPrefix(f.at("message").get<std::string>()))});
  }
  std::cout.flush();
}

// The files that gave no row, said on stderr and listed with their places in the whole list;
// they are, in order, those not in report.analysed.
nlohmann::json ReportFailures(const MultipleAnalysisReport& report, size_t fileCount, size_t part,
                              size_t parts) {
  nlohmann::json failures = nlohmann::json::array();
  size_t next = 0;
  for (size_t k = 0, analysed = 0; k < fileCount && next < report.skipped.size(); ++k) {
    if (analysed < report.analysed.size() && report.analysed[analysed] == k) {
      ++analysed;
      continue;
    }
    const FileStatus& skipped = report.skipped[next++];
    const std::string reason = SkipReason(skipped);
    // "Skipped FILE: Error: cannot read FILE" would say the error twice.
    std::cerr << "Skipped " << skipped.path << ": " << WithoutErrorPrefix(reason) << '\n';
    failures.push_back(FailureJson(skipped.path, static_cast<int>(part - 1 + k * parts), reason));
  }
  return failures;
}

// merge-counts: a fresh table, every count at 1, with the default table's curve, as a run
// starts; then each counts file added in turn.
int MergeCounts(const std::vector<std::string>& counts, const std::string& tablePath) {
  if (const std::string refused = RefuseRunFiles({{"--custom-table", tablePath}}, {}, counts);
      !refused.empty()) {
    std::cerr << refused << '\n';
    return 2;
  }
  // Each shard's counts once: a file given twice would count its structures twice.
  for (size_t i = 0; i < counts.size(); ++i) {
    for (size_t j = i + 1; j < counts.size(); ++j) {
      if (SameFile(counts[i], counts[j])) {
        std::cerr << "Error: " << counts[j] << " is " << counts[i]
                  << " again: its counts would be added twice\n";
        return 2;
      }
    }
  }
  ScoreTable merged;
  if (const FileStatus table =
          merged.LoadTable(ExecutableFolder() + "/Tessmol_Files/Default.stb", "Default.stb");
      !table) {
    std::cerr << BuiltInTableWarning(table) << '\n';
  }
  for (const std::string& path : counts) {
    if (const FileStatus read = merged.AddCounts(path); !read) {
      std::cerr << read.Describe() << '\n';
      return 1;
    }
  }
  // Shards of one run hold each structure once: one structure at one place of the run in
  // two files (a copied shard, or a whole run's counts beside its shards) would count its
  // residues twice.
  std::set<std::pair<int64_t, std::string>> seen;
  for (const ScoreSample& sample : merged.samples) {
    if (!seen.insert({sample.order, sample.filePath}).second) {
      std::cerr << "Error: input " << sample.order << " of the run (" << sample.filePath
                << ") is in more than one counts file: the files are not the shards of one run\n";
      return 1;
    }
  }
  merged.ComputeScores();
  if (const FileStatus written = merged.SaveTable(tablePath); !written) {
    std::cerr << written.Describe() << '\n';
    return 1;
  }
  return 0;
}

// The rows and failures of one multi --format json output, appended; false (said) when the
// file cannot be read as one.
bool ReadAnalysisList(const std::string& path, std::vector<AnalysisEntry>& entries,
                      std::vector<nlohmann::json>& failures) {
  std::string text;
  if (const FileStatus read = ReadFileText(path, text); !read) {
    std::cerr << read.Describe() << '\n';
    return false;
  }
  const nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
  if (doc.is_discarded() || !doc.is_object() || !doc.contains("analysis_list")) {
    std::cerr << "Error: cannot read " << path << ": "
              << (doc.is_discarded() ? "it is no JSON document" : "it holds no analysis_list")
              << " (merge-lists merges the output of multi --format json)\n";
    return false;
  }
  try {
    for (const nlohmann::json& row : doc.at("analysis_list")) {
      AnalysisEntry e;
      e.resultName = row.at("structure").get<std::string>();
      e.scoreTableName = row.at("score_table").get<std::string>();
      e.averageScore = row.at("average_score").get<float>();
      e.expectedScore = row.at("expected_score").get<float>();
      // null for a result that could not be written; its failure is listed with the others
      if (row.at("result_file").is_null())
        e.unstored = "not written";
      else
        e.resultPath = row.at("result_file").get<std::string>();
      e.inputIndex = row.value("input_index", -1);
      e.passFraction = row.value("window_pass_fraction", 0.0f);
      e.judged = row.contains("window_pass_fraction");  // absent for a sequence's model
      e.model = row.contains("confident_average_score");
      // null where no residue of the model is confident
      const auto number = [&row](const char* key) {
        return row.contains(key) && row.at(key).is_number() ? row.at(key).get<float>() : 0.0f;
      };
      e.confidentAverage = number("confident_average_score");
      e.confidentExpected = number("confident_expected_score");
      e.confidentCount = row.value("confident_count", 0);
      e.leftOut = row.value("left_out_count", 0);
      entries.push_back(e);
    }
    if (doc.contains("failures")) {
      // Kept whole: a Spanner2D failure names its FASTA record beside the file.
      for (const nlohmann::json& f : doc.at("failures")) {
        nlohmann::json failure = FailureJson(f.at("file").get<std::string>(), f.at("input_index").get<int>(),
                                             f.at("message").get<std::string>());
        if (f.contains("record")) failure["record"] = f.at("record").get<std::string>();
        failures.push_back(std::move(failure));
      }
    }
  } catch (const std::exception& error) {
    std::cerr << "Error: cannot read " << path << ": " << error.what() << '\n';
    return false;
  }
  return true;
}

// merge-lists: the lists of several runs, sorted as one run sorts.
int MergeLists(const std::vector<std::string>& lists, const std::string& format) {
  std::vector<AnalysisEntry> entries;
  std::vector<nlohmann::json> failures;
  for (const std::string& path : lists) {
    if (!ReadAnalysisList(path, entries, failures)) return 1;
  }
  // Shards of one run hold each input once: a list given twice, or lists of other runs,
  // would count structures twice. A FASTA file is one input whose records each have a row
  // or a failure of their own.
  using Input = std::pair<int, std::string>;  // place in the run, record
  std::set<Input> seen;
  auto once = [&seen](const Input& input) {
    if (input.first < 0 || seen.insert(input).second) return true;
    std::cerr << "Error: input " << input.first;
    if (!input.second.empty()) std::cerr << " (record " << input.second << ")";
    std::cerr << " of the run is in more than one list: the lists are not the shards of one run\n";
    return false;
  };
  // A row whose result could not be written has its failure beside it, in the same list.
  std::set<Input> unstored;
  const bool unstoredRows =
      std::any_of(entries.begin(), entries.end(), [](const AnalysisEntry& e) { return !e.unstored.empty(); });
  for (const AnalysisEntry& e : entries) {
    if (!once({e.inputIndex, std::string()})) return 1;
    if (!e.unstored.empty()) unstored.insert({e.inputIndex, std::string()});
  }
  for (const nlohmann::json& f : failures) {
    const Input input{f.at("input_index").get<int>(), f.value("record", std::string())};
    if (unstored.erase(input) == 0 && !once(input)) return 1;
  }
  // Highest average first, equal ones in the order of the file list.
  std::stable_sort(entries.begin(), entries.end(), [](const AnalysisEntry& a, const AnalysisEntry& b) {
    if (a.averageScore != b.averageScore) return a.averageScore > b.averageScore;
    return a.inputIndex < b.inputIndex;
  });
  std::stable_sort(failures.begin(), failures.end(), [](const nlohmann::json& a, const nlohmann::json& b) {
    return a.at("input_index").get<int>() < b.at("input_index").get<int>();
  });
  const nlohmann::json failureList(failures);
  if (format == "json") {
    PrintJson("multi", nlohmann::json::array(), entries, failureList);
  } else {
    PrintAnalysisList(entries);
    PrintFailures(failureList);
  }
  // The status the one run would have ended with: 1 for a result it could not write, 3 when
  // the only failures were inputs it could not read, so a script sees them as it would there.
  if (!unstoredRows) return failures.empty() ? 0 : 3;
  return 1;
}

int Run(MultiArgs args) {
  size_t part = 1, parts = 1;
  if (!args.shard.empty() && !ParseShard(args.shard, part, parts)) {
    std::cerr << "Error: --shard takes I/N with 1 <= I <= N\n";
    return 2;
  }
  if (!args.fileList.empty() && !ReadFileList(args.fileList, args.files)) return 1;
  if (args.files.empty()) {
    std::cerr << "Error: name the structure files, or a --file-list that holds some\n";
    return 2;
  }
  {
    std::vector<std::string> inputs = args.files;
    inputs.push_back(args.fileList);
    inputs.push_back(args.options.scoreTable);
    if (const std::string refused = RefuseRunFiles({{"--log", args.options.logPath},
                                                    {"--custom-table", args.customTable},
                                                    {"--custom-counts", args.customCounts}},
                                                   {}, inputs);
        !refused.empty()) {
      std::cerr << refused << '\n';
      return 2;
    }
  }
  Session session(args.options);
  if (session.status() != 0) return session.status();
  CTessmolDoc& doc = session.doc();
  MultipleAnalysisRequest request;
  // The shard's files, in the list's order; file k of the shard is file part-1 + k*parts.
  for (size_t k = part - 1; k < args.files.size(); k += parts) request.filePaths.push_back(args.files[k]);
  if (parts > 1) {
    // Named as one run over the whole list names them: shards writing into one folder
    // never take each other's names, and their merged list is that run's.
    const std::vector<std::string> names = ResultNamesFor(args.files);
    for (size_t k = part - 1; k < args.files.size(); k += parts) request.resultNames.push_back(names[k]);
  }
  request.createCustomTable = !args.customTable.empty() || !args.customCounts.empty();
  request.customTablePath = args.customTable;
  // Result files and the custom table that could not be written have been named already.
  const MultipleAnalysisReport report = doc.AnalyseMultiple(request, args.jobs);
  for (const std::string& warning : report.warnings) std::cerr << warning << '\n';
  nlohmann::json failures = ReportFailures(report, request.filePaths.size(), part, parts);
  // Places in the whole list, so that shards merge into the single run's order.
  std::vector<AnalysisEntry> entries = doc.entries();
  for (AnalysisEntry& e : entries) {
    if (e.inputIndex < 0) continue;
    const int inRun = static_cast<int>(part - 1 + static_cast<size_t>(e.inputIndex) * parts);
    // An analysed file whose result could not be written is a failure too (its row stays).
    if (!e.unstored.empty())
      failures.push_back(
          FailureJson(request.filePaths[static_cast<size_t>(e.inputIndex)], inRun, e.unstored));
    e.inputIndex = inRun;
  }
  // Unreadable inputs (status 3) are told apart from results that could not be written (1).
  bool ok = report.unwritten.empty() && report.customTable.ok();
  if (!args.customCounts.empty()) {
    ScoreTable counts = doc.scoreTable();
    for (ScoreSample& sample : counts.samples)
      sample.order = static_cast<int64_t>(part - 1) + sample.order * static_cast<int64_t>(parts);
    if (const FileStatus written = counts.SaveCounts(args.customCounts); !written) {
      std::cerr << written.Describe() << '\n';
      ok = false;
    }
  }
  if (args.format == "json") {
    PrintJson("multi", nlohmann::json::array(), entries, failures);
  } else {
    PrintAnalysisList(entries);
    PrintFailures(failures);
  }
  if (!ok) return 1;
  return failures.empty() ? 0 : kSomeInputsNotAnalysed;
}

}  // namespace

void SetupMulti(CLI::App& app, int& status) {
  auto args = std::make_shared<MultiArgs>();
  CLI::App* multi = app.add_subcommand(
      "multi", "Analyse many structures and list them by average residue score; writes NAME.tsm for each");
  multi->add_option("FILE", args->files, kStructureFilesHelp);
  multi
      ->add_option("--file-list", args->fileList,
                   "A file of structure paths, one a line or NUL-separated, read after any FILE")
      ->check(CLI::ExistingFile);
  AddAnalysisOptions(*multi, args->options);
  AddConfidenceOptions(*multi, args->options);
  multi->add_option("--custom-table", args->customTable,
                    "Derive a score table from these structures and write it here");
  AddFormatOption(*multi, args->format);
  multi->add_option("--shard", args->shard, "Only the I-th of N interleaved parts of the file list, I/N");
  multi->add_option("--custom-counts", args->customCounts,
                    "Write the custom table's counts and samples here, for merge-counts");
  multi->add_option("--jobs", args->jobs, "Structures analysed at once")
      ->check(CLI::Range(1, 256))
      ->capture_default_str();
  multi->callback([args, &status]() { status = Run(*args); });
}

void SetupMerge(CLI::App& app, int& status) {
  auto counts = std::make_shared<std::vector<std::string>>();
  auto table = std::make_shared<std::string>();
  CLI::App* merge = app.add_subcommand("merge-counts",
                                       "Merge the counts of multi --custom-counts runs into one score table");
  merge->add_option("COUNTS", *counts, "Counts files")->required();
  merge->add_option("--custom-table", *table, "The score table to write")->required();
  merge->callback([counts, table, &status]() { status = MergeCounts(*counts, *table); });

  auto lists = std::make_shared<std::vector<std::string>>();
  auto format = std::make_shared<std::string>("text");
  CLI::App* mergeLists =
      app.add_subcommand("merge-lists", "Merge the JSON analysis lists of multi runs, sorted as one run");
  mergeLists->add_option("JSON", *lists, "multi --format json outputs")->required();
  AddFormatOption(*mergeLists, *format);
  mergeLists->callback([lists, format, &status]() { status = MergeLists(*lists, *format); });
}

}  // namespace tessmol::cli
