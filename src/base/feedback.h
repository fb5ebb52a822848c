// What the analysis core tells the user goes through this one interface: the desktop
// shows message boxes and a progress dialog, the command line writes to stderr, tests
// record everything. Calls come from the thread that started the work.
#pragma once

#include <string>
#include <vector>

namespace tessmol {

class Feedback {
 public:
  virtual ~Feedback() = default;
  virtual void ShowMessage(const std::string& text) = 0;
  virtual void BeginProgress(const std::string& text) = 0;
  virtual void SetProgress(int percent) = 0;
  virtual void EndProgress() = 0;
  virtual void DocumentChanged() {}
};

// Says nothing; for batch work where nobody is watching.
class SilentFeedback : public Feedback {
 public:
  void ShowMessage(const std::string&) override {}
  void BeginProgress(const std::string&) override {}
  void SetProgress(int) override {}
  void EndProgress() override {}
};

// Keeps every message and progress step, so tests can assert the exact texts.
class RecordingFeedback : public Feedback {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void BeginProgress(const std::string& text) override { progressTexts.push_back(text); }
  void SetProgress(int percent) override { percents.push_back(percent); }
  void EndProgress() override { ++progressEnds; }
  void DocumentChanged() override { ++documentChanges; }

  std::vector<std::string> messages;
  std::vector<std::string> progressTexts;
  std::vector<int> percents;
  int progressEnds = 0;
  int documentChanges = 0;
};

}  // namespace tessmol
