#pragma once
// A monitor host that answers from a script and records every question, log line and error.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/MonitorHost.h"

namespace korvalis::testing {

struct Question {
  std::string name;
  std::string command;
  catalogue::Section section;
  catalogue::ChangeKind kind;
  std::string valueName;  // of the registry value: empty for a key's default value
  bool whileNotRunning = false;
  bool disabledInTaskManager = false;
  std::optional<std::string> before = std::nullopt;  // the earlier command a change's question carries
};

class ScriptedHost : public app::MonitorHost {
 public:
  bool AskUser(const app::TChangeQuestion& question, bool whileNotRunning) override {
    const catalogue::TStartup& entry = *question.entry;
    questions.push_back(Question{entry.Name(), entry.Command(), entry.GetSection(), question.kind, entry.ValueName(),
                                 whileNotRunning, entry.DisabledInTaskManager()});
    if (question.before) questions.back().before = question.before->Command();
    if (whileAsking) whileAsking(questions.back());
    if (answers.empty()) return defaultAnswer;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  // A grouped question: its size is recorded, and each change is answered as a single one would be.
  std::vector<bool> AskUserAll(const std::vector<app::TChangeQuestion>& changes, bool whileNotRunning) override {
    groups.push_back(changes.size());
    return app::AskOneByOne(*this, changes, whileNotRunning);
  }
  bool Closing() const override { return closing; }
  std::string TakeAlwaysAllow() override { return std::exchange(alwaysAllow, std::string()); }
  // Records each second question before a risky undo; No unless the script says Yes.
  bool ConfirmRisk(const std::string& question) override {
    risks.push_back(question);
    if (whileRisk) whileRisk();
    if (riskAnswers.empty()) return false;
    const bool answer = riskAnswers.front();
    riskAnswers.pop_front();
    return answer;
  }
  void Notify(const std::string& text) override { notices.push_back(text); }
  // Records the messages of each offer to undo as administrator, and answers it; the messages of
  // an offer the user closes were shown as errors are.
  bool OfferUndoAsAdministrator(const std::vector<std::string>& messages) override {
    offers.push_back(messages);
    // The last lines name the requests' codes, which are no error.
    if (!acceptOffer)
      for (const std::string& message : messages)
        if (message.rfind("Korvalis as administrator will show the code ", 0) != 0) errors.push_back(message);
    return acceptOffer;
  }
  // Records what is said instead of an offer where the program may not run elevated.
  void UndoNotOffered(const std::vector<std::string>& messages, const std::string& why) override {
    notOffered.push_back(messages);
    notOfferedWhy.push_back(why);
  }
  void WriteLog(const std::string& line) override { log.push_back(line); }
  void Record(app::TDecision decision, const app::TRecordedEntry& entry, const std::string&) override {
    records.emplace_back(decision, entry);
  }
  void ReportError(const std::exception& error) override { errors.push_back(error.what()); }

  std::deque<bool> answers;
  bool defaultAnswer = true;
  bool closing = false;  // the program is ending: answers are not the user's
  std::function<void(const Question&)> whileAsking;  // runs while the question is open
  std::vector<Question> questions;
  std::vector<std::size_t> groups;  // the size of each grouped question
  std::vector<std::string> notices;
  std::vector<std::string> log;
  std::vector<std::pair<app::TDecision, app::TRecordedEntry>> records;
  std::vector<std::string> errors;
  std::deque<bool> riskAnswers;
  std::vector<std::string> risks;
  std::function<void()> whileRisk;  // runs while the second question is open
  bool acceptOffer = false;
  std::string alwaysAllow;  // ticked in the next question: "Always allow changes ... signed by" it
  std::vector<std::vector<std::string>> offers;
  std::vector<std::vector<std::string>> notOffered;
  std::vector<std::string> notOfferedWhy;
};

}  // namespace korvalis::testing
