// Text files as CP/M keeps them: lines end in CR LF, and the text ends at the
// first Ctrl-Z, which also fills the rest of its record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xev {

constexpr std::uint8_t kEndOfText = 0x1A;  // Ctrl-Z

// A host text whose lines end in LF or CR LF, as CP/M stores it: every LF
// preceded by CR, then Ctrl-Z up to the end of the record (at least one).
std::vector<std::uint8_t> to_cpm_text(const std::vector<std::uint8_t>& host);

// Turns a CP/M text, fed record by record, into host text: up to the first
// Ctrl-Z, with every CR LF replaced by the host's line end. A CR that ends a
// record is held back until the next byte shows what it is.
class CpmTextReader {
 public:
  explicit CpmTextReader(std::string line_end) : line_end_(std::move(line_end)) {}

  // Appends the host text of one 128-byte record to `text`.
  void read(const std::uint8_t* record, std::string& text);
  // Appends what is held back once the file has no more records.
  void finish(std::string& text);

 private:
  std::string line_end_;
  bool held_cr_ = false;
  bool ended_ = false;
};

}  // namespace xev
