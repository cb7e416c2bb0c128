#include "shell/StoredValue.h"

#include "platform/Error.h"
#include "shell/PlacementStore.h"
#include "shell/ScrambleText.h"
#include "text/StrMan.h"

namespace korvalis::shell {

namespace {

struct TextOf {
  std::string operator()(std::monostate) const { return std::string(); }
  std::string operator()(bool value) const { return value ? "-1" : "0"; }
  std::string operator()(std::int32_t value) const { return std::to_string(value); }
  std::string operator()(const std::string& value) const { return value; }
};

}  // namespace

std::string VariantToText(const TStoredVariant& value) { return std::visit(TextOf{}, value); }

void TStoredValue::SetName(const std::string& name) {
  if (!name.empty() && !text::SameTextAscii(name, name_) && collection_.IndexOf(name) >= 0)
    throw Error("String list does not allow duplicates");
  name_ = name;
}

std::string TStoredValue::StoredText(const TStoredVariant& value) const {
  const std::string text = VariantToText(value);
  return keyString_.empty() ? text : ScrambleText(keyString_, text);
}

void TStoredValue::Save(PlacementStore& store) {
  TStoredVariant outgoing = value_;
  if (onSave_) onSave_(*this, outgoing);
  store.WriteString(name_, StoredText(outgoing));
}

void TStoredValue::Restore(PlacementStore& store) {
  std::string text = store.ReadString(name_, StoredText(value_));
  if (!keyString_.empty()) text = UnscrambleText(keyString_, text);
  TStoredVariant incoming = text;
  if (onRestore_) onRestore_(*this, incoming);
  value_ = std::move(incoming);
}

TStoredValue& TStoredValues::Add(const std::string& name) {
  auto item = std::make_unique<TStoredValue>(*this, TStoredValue::CreationKey{});
  item->SetName(name);
  items_.push_back(std::move(item));
  return *items_.back();
}

int TStoredValues::IndexOf(const std::string& name) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (text::SameTextAscii(items_[i]->Name(), name)) return static_cast<int>(i);
  return -1;
}

TStoredValue* TStoredValues::Find(const std::string& name) {
  const int index = IndexOf(name);
  return index < 0 ? nullptr : items_[static_cast<std::size_t>(index)].get();
}

}  // namespace korvalis::shell
