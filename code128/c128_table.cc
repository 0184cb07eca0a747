// Code 128 symbol table entries and their collection.
#include "code128/c128_table.h"

#include <algorithm>

#include "base/run_time_error.h"

namespace kalvenor {

std::shared_ptr<C128> colC128::Add(const Text& Código, const Text& sKey) {
  Text key = UCase(sKey);
  if (!key.empty() && std::find(keys_.begin(), keys_.end(), key) != keys_.end()) {
    throw RunTimeError(kKeyAlreadyPresent);
  }
  auto entry = std::make_shared<C128>();
  entry->Código = Código;
  items_.push_back(entry);
  keys_.push_back(key);
  return entry;
}

void colC128::CheckPosition(int32_t position) const {
  if (position < 1 || position > Count()) throw RunTimeError(kSubscriptOutOfRange);
}

size_t colC128::PositionOfKey(const Text& key) const {
  Text wanted = UCase(key);
  auto hit = wanted.empty() ? keys_.end() : std::find(keys_.begin(), keys_.end(), wanted);
  if (hit == keys_.end()) throw RunTimeError(kInvalidProcedureCall);
  return static_cast<size_t>(hit - keys_.begin());
}

std::shared_ptr<C128> colC128::Item(int32_t vntIndexKey) const {
  CheckPosition(vntIndexKey);
  return items_[vntIndexKey - 1];
}

std::shared_ptr<C128> colC128::Item(const Text& vntIndexKey) const {
  return items_[PositionOfKey(vntIndexKey)];
}

void colC128::Remove(int32_t vntIndexKey) {
  CheckPosition(vntIndexKey);
  items_.erase(items_.begin() + (vntIndexKey - 1));
  keys_.erase(keys_.begin() + (vntIndexKey - 1));
}

void colC128::Remove(const Text& vntIndexKey) {
  size_t at = PositionOfKey(vntIndexKey);
  items_.erase(items_.begin() + at);
  keys_.erase(keys_.begin() + at);
}

}  // namespace kalvenor
