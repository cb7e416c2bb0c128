#pragma once
// Named values a form keeps in the registry between runs, each optionally scrambled with a
// key of its own.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace korvalis::shell {

class PlacementStore;
class TStoredValues;

using TStoredVariant = std::variant<std::monostate, bool, std::int32_t, std::string>;

// Text as the system's variant conversion gives it: a Boolean is "0" or "-1", not a word.
std::string VariantToText(const TStoredVariant& value);

class TStoredValue {
 public:
  // Only the collection can make the key: items are created by TStoredValues::Add alone.
  class CreationKey {
    friend class TStoredValues;
    CreationKey() = default;
  };
  // Receives the item and the value on its way to or from the registry; may change the value.
  using Event = std::function<void(TStoredValue& item, TStoredVariant& value)>;

  TStoredValue(TStoredValues& collection, CreationKey) : collection_(collection) {}
  TStoredValue(const TStoredValue&) = delete;
  TStoredValue& operator=(const TStoredValue&) = delete;

  const std::string& Name() const { return name_; }
  // Fails with "String list does not allow duplicates" when another item has the name,
  // letter case aside.
  void SetName(const std::string& name);
  const TStoredVariant& Value() const { return value_; }
  void SetValue(TStoredVariant value) { value_ = std::move(value); }
  const std::string& KeyString() const { return keyString_; }
  void SetKeyString(const std::string& keyString) { keyString_ = keyString; }
  void SetOnSave(Event handler) { onSave_ = std::move(handler); }
  void SetOnRestore(Event handler) { onRestore_ = std::move(handler); }

  void Save(PlacementStore& store);
  // The value read back is always text, whatever kind it had before.
  void Restore(PlacementStore& store);

 private:
  std::string StoredText(const TStoredVariant& value) const;

  TStoredValues& collection_;
  std::string name_;
  TStoredVariant value_;
  std::string keyString_;
  Event onSave_;
  Event onRestore_;
};

class TStoredValues {
 public:
  TStoredValues() = default;
  TStoredValues(const TStoredValues&) = delete;
  TStoredValues& operator=(const TStoredValues&) = delete;

  TStoredValue& Add(const std::string& name = std::string());
  std::size_t Count() const { return items_.size(); }
  TStoredValue& operator[](std::size_t index) { return *items_.at(index); }
  const TStoredValue& operator[](std::size_t index) const { return *items_.at(index); }
  // -1 when no item has the name.
  int IndexOf(const std::string& name) const;
  TStoredValue* Find(const std::string& name);

 private:
  std::vector<std::unique_ptr<TStoredValue>> items_;
};

}  // namespace korvalis::shell
