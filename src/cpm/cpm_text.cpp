#include "cpm/cpm_text.h"

#include "cpm/geometry.h"

namespace xev {

std::vector<std::uint8_t> to_cpm_text(const std::vector<std::uint8_t>& host) {
  std::vector<std::uint8_t> text;
  for (std::size_t i = 0; i < host.size(); ++i) {
    if (host[i] == '\n' && (i == 0 || host[i - 1] != '\r')) text.push_back('\r');
    text.push_back(host[i]);
  }
  do {
    text.push_back(kEndOfText);
  } while (text.size() % kRecordSize != 0);
  return text;
}

void CpmTextReader::read(const std::uint8_t* record, std::string& text) {
  for (int i = 0; i < kRecordSize && !ended_; ++i) {
    const std::uint8_t byte = record[i];
    if (held_cr_) {
      held_cr_ = false;
      if (byte == '\n') {
        text += line_end_;
        continue;
      }
      text += '\r';
    }
    if (byte == kEndOfText) {
      ended_ = true;
    } else if (byte == '\r') {
      held_cr_ = true;
    } else {
      text += static_cast<char>(byte);
    }
  }
}

void CpmTextReader::finish(std::string& text) {
  if (held_cr_) text += '\r';
}

}  // namespace xev
