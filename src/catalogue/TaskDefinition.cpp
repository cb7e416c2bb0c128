#include "catalogue/TaskDefinition.h"

#include <cstdint>

#include "platform/TaskScheduler.h"
#include "text/StrMan.h"

namespace korvalis::catalogue {

namespace {

constexpr std::size_t kMaxDepth = 32;
constexpr std::size_t kMaxElements = 20000;

struct Element {
  std::string name;  // without its namespace prefix
  std::string text;
  std::vector<std::size_t> children;
};

class Malformed {};

// A strict reader of the subset of XML a task definition is written in: elements, attributes,
// text, the five entities and character references, comments, CDATA and processing
// instructions. A document type is refused, so no entity can expand.
class XmlReader {
 public:
  explicit XmlReader(const std::string& xml) : xml_(xml) {}

  std::vector<Element> Read() {
    Misc();
    if (!Starts("<")) throw Malformed();
    ElementAt(0);
    Misc();
    if (at_ != xml_.size()) throw Malformed();
    return std::move(elements_);
  }

 private:
  bool Starts(const char* prefix) const { return xml_.compare(at_, std::char_traits<char>::length(prefix), prefix) == 0; }
  void SkipPast(const char* end) {
    const auto found = xml_.find(end, at_);
    if (found == std::string::npos) throw Malformed();
    at_ = found + std::char_traits<char>::length(end);
  }
  void Blanks() {
    while (at_ < xml_.size() && (xml_[at_] == ' ' || xml_[at_] == '\t' || xml_[at_] == '\r' || xml_[at_] == '\n')) ++at_;
  }
  // Comments, processing instructions and blanks outside the root element.
  void Misc() {
    for (;;) {
      Blanks();
      if (Starts("<?"))
        SkipPast("?>");
      else if (Starts("<!--"))
        SkipPast("-->");
      else
        return;
    }
  }
  static bool NameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
  }
  std::string Name() {
    const std::size_t start = at_;
    while (at_ < xml_.size() && NameChar(xml_[at_])) ++at_;
    if (at_ == start) throw Malformed();
    return xml_.substr(start, at_ - start);
  }
  static std::string Local(const std::string& name) {
    const auto colon = name.rfind(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
  }
  // Text up to the next '<' or the quote, with its references replaced.
  void Characters(std::string& out, char stop) {
    while (at_ < xml_.size() && xml_[at_] != stop && xml_[at_] != '<') {
      if (xml_[at_] != '&') {
        out += xml_[at_++];
        continue;
      }
      const auto end = xml_.find(';', at_);
      if (end == std::string::npos || end - at_ > 10) throw Malformed();
      const std::string reference = xml_.substr(at_ + 1, end - at_ - 1);
      at_ = end + 1;
      if (reference == "lt") out += '<';
      else if (reference == "gt") out += '>';
      else if (reference == "amp") out += '&';
      else if (reference == "quot") out += '"';
      else if (reference == "apos") out += '\'';
      else out += CharacterReference(reference);
    }
  }
  static std::string CharacterReference(const std::string& reference) {
    if (reference.size() < 2 || reference[0] != '#') throw Malformed();
    const bool hex = reference[1] == 'x';
    const std::string digits = reference.substr(hex ? 2 : 1);
    if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
      throw Malformed();
    const unsigned long code = std::stoul(digits, nullptr, hex ? 16 : 10);  // at most 8 digits: no overflow
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) throw Malformed();
    // Through the file conversion's own encoder, as one UTF-16 unit or pair.
    std::vector<std::uint8_t> units{0xFF, 0xFE};
    if (code >= 0x10000) {
      const unsigned long high = 0xD800 + ((code - 0x10000) >> 10), low = 0xDC00 + ((code - 0x10000) & 0x3FF);
      units.insert(units.end(), {static_cast<std::uint8_t>(high & 0xFF), static_cast<std::uint8_t>(high >> 8),
                                 static_cast<std::uint8_t>(low & 0xFF), static_cast<std::uint8_t>(low >> 8)});
    } else {
      units.insert(units.end(), {static_cast<std::uint8_t>(code & 0xFF), static_cast<std::uint8_t>(code >> 8)});
    }
    return platform::TaskFileText(units);
  }

  void ElementAt(std::size_t depth) {
    if (depth >= kMaxDepth || elements_.size() >= kMaxElements) throw Malformed();
    ++at_;  // '<'
    const std::string name = Name();
    const std::size_t index = elements_.size();
    elements_.push_back(Element{Local(name), std::string(), {}});
    for (;;) {
      Blanks();
      if (Starts("/>")) {
        at_ += 2;
        return;
      }
      if (Starts(">")) break;
      Name();
      Blanks();
      if (!Starts("=")) throw Malformed();
      ++at_;
      Blanks();
      if (at_ >= xml_.size() || (xml_[at_] != '"' && xml_[at_] != '\'')) throw Malformed();
      const char quote = xml_[at_++];
      std::string ignored;
      Characters(ignored, quote);
      if (at_ >= xml_.size() || xml_[at_] != quote) throw Malformed();
      ++at_;
    }
    ++at_;  // '>'
    for (;;) {
      Characters(elements_[index].text, '<');
      if (at_ >= xml_.size()) throw Malformed();
      if (Starts("</")) {
        at_ += 2;
        if (Name() != name) throw Malformed();
        Blanks();
        if (!Starts(">")) throw Malformed();
        ++at_;
        return;
      }
      if (Starts("<!--")) {
        SkipPast("-->");
      } else if (Starts("<![CDATA[")) {
        at_ += 9;
        const auto end = xml_.find("]]>", at_);
        if (end == std::string::npos) throw Malformed();
        elements_[index].text += xml_.substr(at_, end - at_);
        at_ = end + 3;
      } else if (Starts("<?")) {
        SkipPast("?>");
      } else if (Starts("<!")) {
        throw Malformed();
      } else {
        const std::size_t child = elements_.size();
        ElementAt(depth + 1);
        elements_[index].children.push_back(child);
      }
    }
  }

  const std::string& xml_;
  std::size_t at_ = 0;
  std::vector<Element> elements_;
};

class Definition {
 public:
  explicit Definition(std::vector<Element> elements) : elements_(std::move(elements)) {}
  const Element& Root() const { return elements_[0]; }
  const Element* Child(const Element& parent, const char* name) const {
    for (const std::size_t child : parent.children)
      if (elements_[child].name == name) return &elements_[child];
    return nullptr;
  }
  std::vector<const Element*> Children(const Element& parent) const {
    std::vector<const Element*> children;
    for (const std::size_t child : parent.children) children.push_back(&elements_[child]);
    return children;
  }
  std::string Text(const Element& parent, const char* name) const {
    const Element* child = Child(parent, name);
    return child ? text::TrimControl(child->text) : std::string();
  }
  // An XML boolean: "true" or "1".
  std::optional<bool> Flag(const Element& parent, const char* name) const {
    const Element* child = Child(parent, name);
    if (!child) return std::nullopt;
    const std::string value = text::TrimControl(child->text);
    return value == "true" || value == "1";
  }

 private:
  std::vector<Element> elements_;
};

std::string Action(const Definition& definition, const Element& action) {
  if (action.name == "Exec") {
    std::string program = definition.Text(action, "Command");
    if (program.empty()) return std::string();
    // A path with blanks is shown as it would have to be typed.
    if (program.find(' ') != std::string::npos && program.front() != '"') program = "\"" + program + "\"";
    const std::string arguments = definition.Text(action, "Arguments");
    return arguments.empty() ? program : program + " " + arguments;
  }
  if (action.name == "ComHandler") {
    const std::string data = definition.Text(action, "Data");
    return "COM handler " + definition.Text(action, "ClassId") + (data.empty() ? "" : " " + data);
  }
  if (action.name == "SendEmail") return "send an e-mail";
  if (action.name == "ShowMessage") return "show a message";
  return action.name;
}

// "2026-12-09T09:00:00" (perhaps with a zone) as its date and its time of day.
struct Moment {
  std::string date, time;
};
Moment MomentOf(const std::string& boundary) {
  const auto digits = [&](std::size_t from, std::size_t count) {
    if (boundary.size() < from + count) return false;
    for (std::size_t i = from; i < from + count; ++i)
      if (boundary[i] < '0' || boundary[i] > '9') return false;
    return true;
  };
  if (digits(0, 4) && boundary[4] == '-' && digits(5, 2) && boundary[7] == '-' && digits(8, 2) &&
      boundary.size() >= 16 && boundary[10] == 'T' && digits(11, 2) && boundary[13] == ':' && digits(14, 2))
    return Moment{boundary.substr(0, 10), boundary.substr(11, 5)};
  return Moment{boundary, boundary};
}

std::string Every(const std::string& interval, const char* one, const char* many) {
  return interval.empty() || interval == "1" ? one : "every " + interval + " " + many;
}

std::string Calendar(const Definition& definition, const Element& trigger) {
  const std::string at = " at " + MomentOf(definition.Text(trigger, "StartBoundary")).time;
  if (const Element* day = definition.Child(trigger, "ScheduleByDay"))
    return Every(definition.Text(*day, "DaysInterval"), "daily", "days") + at;
  if (const Element* week = definition.Child(trigger, "ScheduleByWeek")) {
    std::string days;
    if (const Element* list = definition.Child(*week, "DaysOfWeek"))
      for (const Element* day : definition.Children(*list)) days += (days.empty() ? "" : ", ") + day->name;
    return Every(definition.Text(*week, "WeeksInterval"), "weekly", "weeks") + (days.empty() ? "" : " on " + days) + at;
  }
  return "monthly" + at;
}

std::string Trigger(const Definition& definition, const Element& trigger) {
  const std::string& name = trigger.name;
  if (name == "LogonTrigger") {
    const std::string user = definition.Text(trigger, "UserId");
    return user.empty() ? "at logon of any user" : "at logon of " + user;
  }
  if (name == "BootTrigger") return "at boot";
  if (name == "IdleTrigger") return "on idle";
  if (name == "EventTrigger") return "on an event";
  if (name == "RegistrationTrigger") return "at registration";
  if (name == "TimeTrigger") {
    const Moment moment = MomentOf(definition.Text(trigger, "StartBoundary"));
    return moment.date == moment.time ? "at " + moment.time : "at " + moment.time + " on " + moment.date;
  }
  if (name == "CalendarTrigger") return Calendar(definition, trigger);
  if (name == "SessionStateChangeTrigger") {
    const std::string change = definition.Text(trigger, "StateChange");
    if (change == "SessionLock") return "at lock of the workstation";
    if (change == "SessionUnlock") return "at unlock of the workstation";
    return "on a session change";
  }
  return "on " + name;
}

// The accounts a task may name by their SID, by their name or as the service manager does.
struct WellKnown {
  const char* names[4];
  const char* words;
};
constexpr WellKnown kAccounts[] = {
    {{"S-1-5-18", "SYSTEM", "NT AUTHORITY\\SYSTEM", "LocalSystem"}, "SYSTEM"},
    {{"S-1-5-19", "LOCAL SERVICE", "NT AUTHORITY\\LOCAL SERVICE", "LocalService"}, "LOCAL SERVICE"},
    {{"S-1-5-20", "NETWORK SERVICE", "NT AUTHORITY\\NETWORK SERVICE", "NetworkService"}, "NETWORK SERVICE"},
    {{"S-1-5-32-544", "Administrators", "BUILTIN\\Administrators", "S-1-5-32-544"}, "Administrators"},
    {{"S-1-5-32-545", "Users", "BUILTIN\\Users", "S-1-5-32-545"}, "Users"},
};

std::string AccountWords(const std::string& account) {
  for (const WellKnown& known : kAccounts)
    for (const char* name : known.names)
      if (text::SameTextAscii(account, name)) return known.words;
  return account;
}

bool NamesUser(const std::string& account, const std::string& user) {
  if (user.empty()) return false;
  if (text::SameTextAscii(account, user)) return true;
  return account.size() > user.size() && account[account.size() - user.size() - 1] == '\\' &&
         text::SameTextAscii(account.substr(account.size() - user.size()), user);
}

std::string PrincipalWords(const TTaskDefinition& definition, const std::string& currentUser) {
  std::string words;
  if (!definition.groupId.empty())
    words = "as members of " + AccountWords(definition.groupId);
  else if (!definition.userId.empty() && !NamesUser(definition.userId, currentUser))
    words = "as " + AccountWords(definition.userId);
  if (definition.highest) words += (words.empty() ? "" : " ") + std::string("with highest privileges");
  return words;
}

void ReadPrincipal(const Definition& definition, TTaskDefinition& result) {
  const Element* principals = definition.Child(definition.Root(), "Principals");
  const Element* principal = principals ? definition.Child(*principals, "Principal") : nullptr;
  if (!principal) return;
  result.userId = definition.Text(*principal, "UserId");
  result.groupId = definition.Text(*principal, "GroupId");
  result.highest = definition.Text(*principal, "RunLevel") == "HighestAvailable";
}

}  // namespace

std::optional<TTaskDefinition> ParseTaskDefinition(const std::string& xml) {
  if (xml.size() > platform::kMaxTaskDefinitionBytes) return std::nullopt;
  std::vector<Element> elements;
  try {
    elements = XmlReader(xml).Read();
  } catch (const Malformed&) {
    return std::nullopt;
  }
  const Definition definition(std::move(elements));
  if (definition.Root().name != "Task") return std::nullopt;
  TTaskDefinition result;
  if (const Element* settings = definition.Child(definition.Root(), "Settings")) {
    result.enabled = definition.Flag(*settings, "Enabled").value_or(true);
    result.hidden = definition.Flag(*settings, "Hidden").value_or(false);
  }
  if (const Element* actions = definition.Child(definition.Root(), "Actions"))
    for (const Element* action : definition.Children(*actions)) {
      std::string words = Action(definition, *action);
      if (!words.empty()) result.actions.push_back(std::move(words));
    }
  if (const Element* triggers = definition.Child(definition.Root(), "Triggers"))
    for (const Element* trigger : definition.Children(*triggers))
      // A trigger switched off starts nothing.
      if (definition.Flag(*trigger, "Enabled").value_or(true)) result.triggers.push_back(Trigger(definition, *trigger));
  ReadPrincipal(definition, result);
  return result;
}

std::string TaskCommand(const TTaskDefinition& definition, const std::string& currentUser) {
  std::string command;
  for (const std::string& action : definition.actions) command += (command.empty() ? "" : " & ") + action;
  if (command.empty()) return command;
  std::string triggers;
  for (const std::string& trigger : definition.triggers) triggers += (triggers.empty() ? "" : "; ") + trigger;
  if (!triggers.empty()) command += " (" + triggers + ")";
  const std::string principal = PrincipalWords(definition, currentUser);
  return principal.empty() ? command : command + " " + principal;
}

std::string StoredTaskCommand(const std::string& storedCommand, const std::string& xml, const std::string& currentUser) {
  const std::optional<TTaskDefinition> definition = ParseTaskDefinition(xml);
  if (!definition) return storedCommand;
  TTaskDefinition unsaid = *definition;
  unsaid.userId.clear();
  unsaid.groupId.clear();
  unsaid.highest = false;
  return text::SameTextAscii(TaskCommand(unsaid), storedCommand) ? TaskCommand(*definition, currentUser) : storedCommand;
}

}  // namespace korvalis::catalogue
