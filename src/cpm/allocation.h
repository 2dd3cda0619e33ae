// The allocation map: one bit per allocation unit, set while the unit is in
// use. Kept in memory only; the directory is its source of truth.
#pragma once

#include <cstdint>
#include <vector>

namespace xev {

class AllocationMap {
 public:
  AllocationMap() = default;
  explicit AllocationMap(int units)
      : units_(units), bytes_(static_cast<std::size_t>((units + 7) / 8), 0) {}

  int units() const { return units_; }

  // False, and nothing changed, for a unit the disk does not have.
  bool set(int au, bool used) {
    if (au < 0 || au >= units_) return false;
    std::uint8_t& byte = bytes_[static_cast<std::size_t>(au / 8)];
    const auto bit = static_cast<std::uint8_t>(0x80 >> (au % 8));
    byte = used ? static_cast<std::uint8_t>(byte | bit) : static_cast<std::uint8_t>(byte & ~bit);
    return true;
  }

  bool in_use(int au) const {
    return (bytes_[static_cast<std::size_t>(au / 8)] & (0x80 >> (au % 8))) != 0;
  }

  void clear() { bytes_.assign(bytes_.size(), 0); }

  // The lowest free unit, or units() when every unit is in use.
  int first_free() const {
    for (int au = 0; au < units_; ++au) {
      if (bytes_[static_cast<std::size_t>(au / 8)] == 0xFF) {
        au |= 7;  // skip the rest of a full byte
      } else if (!in_use(au)) {
        return au;
      }
    }
    return units_;
  }

  int count_free() const {
    int count = 0;
    for (int au = 0; au < units_; ++au) count += in_use(au) ? 0 : 1;
    return count;
  }

  // The map as bytes, the first unit in the most significant bit; the bits
  // past the last unit are 0.
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  int units_ = 0;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace xev
