// -t and -h: one walk over the records of a file, showing each record as
// text or as hex rows, with a pause for the Enter key every 20 lines. With
// -nb the file is shown alone: no heading, no pauses, no closing lines.
#include <cstdint>
#include <cstdio>
#include <string>

#include "commands/commands.h"
#include "cpm/cpm_text.h"
#include "cpm/files.h"
#include "cpm/names.h"
#include "platform/platform.h"

namespace xev {
namespace {

constexpr int kLinesPerPage = 20;
constexpr int kBytesPerRow = 16;
constexpr const char* kPagerPrompt = " ... Press Enter to continue ...";

// Counts lines for the pager across records and entries.
class Pager {
 public:
  Pager(Output& out, bool pauses) : out_(out), pauses_(pauses) {}
  void line_done() {
    if (pauses_ && ++lines_ == kLinesPerPage) {
      out_.wait_for_enter(kPagerPrompt);
      lines_ = 0;
    }
  }

 private:
  Output& out_;
  bool pauses_;
  int lines_ = 0;
};

// Writes the record's bytes unchanged up to the first Ctrl-Z, which hides
// only the rest of this record.
void show_text(std::FILE* text, Pager& pager, const std::uint8_t* record) {
  for (int i = 0; i < kRecordSize && record[i] != kEndOfText; ++i) {
    std::fputc(record[i], text);
    if (record[i] == '\n') pager.line_done();
  }
}

// Eight rows of 16 bytes: offset, hex bytes, printable characters.
void show_hex(std::FILE* text, Pager& pager, long& offset, const std::uint8_t* record) {
  for (int row = 0; row < kRecordSize; row += kBytesPerRow) {
    const std::uint8_t* bytes = record + row;
    std::fprintf(text, "%06lX  ", offset);
    for (int i = 0; i < kBytesPerRow; ++i) std::fprintf(text, "%02X ", bytes[i]);
    std::fputc(' ', text);
    for (int i = 0; i < kBytesPerRow; ++i) {
      std::fputc(bytes[i] >= 0x20 && bytes[i] <= 0x7E ? bytes[i] : '.', text);
    }
    std::fputc('\n', text);
    offset += kBytesPerRow;
    pager.line_done();
  }
}

// The one file the name stands for, or -1 when there is none to show (what
// was wrong has been printed).
int find_one_file(Disk& disk, const Request& request, const char* heading, Output& out) {
  const std::optional<CpmName> name = parse_cpm_name(request.mask);
  if (!name) {
    out.fail({ERR_BAD_NAME, request.mask});
    return -1;
  }
  std::FILE* text = out.text();
  if (name->ambiguous()) {
    std::fprintf(text, "File name '%s' must be unambiguous!\n\n", request.mask.c_str());
    out.count_failure(ERR_AMBIGUOUS);
    return -1;
  }
  if (!request.no_banner) std::fprintf(text, heading, request.mask.c_str(), disk.name().c_str());
  const int index = disk.directory().find_file(*name, request.user, 0);
  if (index < 0) {
    std::fprintf(text, "File '%s' not found\n\n", request.mask.c_str());
    out.count_failure(ERR_FILE_NOT_FOUND);
  }
  return index;
}

// `show` takes each record; `finish` runs once they have all been shown.
template <typename Show, typename Finish>
void show_file(Disk& disk, const Request& request, const char* heading, Output& out,
               Show show, Finish finish) {
  const int index = find_one_file(disk, request, heading, out);
  if (index < 0) return;
  Pager pager(out, !request.no_banner);
  const Error error = read_file(disk, index, [&](const std::uint8_t* record) -> Error {
    show(pager, record);
    return {};
  });
  if (error) {
    out.fail(error);
    return;
  }
  finish(pager);
  if (!request.no_banner) std::fprintf(out.text(), "\n\n");
}

}  // namespace

void run_type(Disk& disk, const Request& request, Output& out) {
  std::FILE* text = out.text();
  // -txt: the host text up to the file's first Ctrl-Z.
  CpmTextReader reader(platform::text_line_end());
  std::string host_text;
  const auto show_host_text = [&](Pager& pager) {
    for (const char c : host_text) {
      std::fputc(c, text);
      if (c == '\n') pager.line_done();
    }
    host_text.clear();
  };
  show_file(
      disk, request, "Content of the file '%s' from '%s'\n\n", out,
      [&](Pager& pager, const std::uint8_t* record) {
        if (!request.text_mode) return show_text(text, pager, record);
        reader.read(record, host_text);
        show_host_text(pager);
      },
      [&](Pager& pager) {
        reader.finish(host_text);
        show_host_text(pager);
      });
}

void run_hex_dump(Disk& disk, const Request& request, Output& out) {
  std::FILE* text = out.text();
  long offset = 0;
  show_file(disk, request, "Hex Dump of the file '%s' from '%s'\n\n", out,
            [text, &offset](Pager& pager, const std::uint8_t* record) {
              show_hex(text, pager, offset, record);
            },
            [](Pager&) {});
}

}  // namespace xev
