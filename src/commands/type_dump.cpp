// -t and -h: one walk over the records of a file, through its directory
// entries in directory order, showing each record as text or as hex rows,
// with a pause for the Enter key every 20 lines.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "cli/console.h"
#include "commands/commands.h"
#include "store/directory.h"
#include "store/image.h"

namespace xev {
namespace {

constexpr std::uint8_t kEndOfText = 0x1A;  // Ctrl-Z
constexpr int kLinesPerPage = 20;
constexpr int kBytesPerRow = 16;
constexpr const char* kPagerPrompt = " ... Press Enter to continue ...";

// Counts lines for the pager across records and entries.
class Pager {
 public:
  void line_done() {
    if (++lines_ == kLinesPerPage) {
      wait_for_enter(kPagerPrompt);
      lines_ = 0;
    }
  }

 private:
  int lines_ = 0;
};

// Writes the record's bytes unchanged up to the first Ctrl-Z, which hides
// only the rest of this record.
struct TextView {
  Pager pager;

  void show(const std::uint8_t* record) {
    for (int i = 0; i < kRecordSize && record[i] != kEndOfText; ++i) {
      std::putchar(record[i]);
      if (record[i] == '\n') pager.line_done();
    }
  }
};

// Eight rows of 16 bytes: offset, hex bytes, printable characters.
struct HexView {
  Pager pager;
  long offset = 0;

  void show(const std::uint8_t* record) {
    for (int row = 0; row < kRecordSize; row += kBytesPerRow) {
      const std::uint8_t* bytes = record + row;
      std::printf("%06lX  ", offset);
      for (int i = 0; i < kBytesPerRow; ++i) std::printf("%02X ", bytes[i]);
      std::putchar(' ');
      for (int i = 0; i < kBytesPerRow; ++i) {
        const bool printable = bytes[i] >= 0x20 && bytes[i] <= 0x7E;
        std::putchar(printable ? bytes[i] : '.');
      }
      std::putchar('\n');
      offset += kBytesPerRow;
      pager.line_done();
    }
  }
};

// Shows every record of the file, up to its record count, in the order of
// its entries and their allocation pointers. False when a failure has been
// reported and the output stopped.
template <typename View>
bool show_records(RunState& state, int index, View& view) {
  const ExtentKey key = extent_key_of(state, index);
  state.cur_records = file_records(state, key);
  std::uint8_t* record = state.io_buffer.data();
  for (; index >= 0; index = find_entry_from(state, key, index + 1)) {
    const std::uint8_t* entry = state.entry(index);
    for (int slot = 0; slot < state.pointers_per_entry; ++slot) {
      const int au = entry_pointer(state, entry, slot);
      if (au == 0) break;
      for (int r = 0; r < state.records_per_au && state.cur_records > 0; ++r) {
        int track = 0;
        int sector = 0;
        if (!locate_record(state, au, r, track, sector)) {
          raise_error(ERR_FATAL);
          return false;
        }
        if (read_record(state, record, track, sector) != ERR_OK) return false;
        view.show(record);
        --state.cur_records;
      }
    }
  }
  return true;
}

template <typename View>
void show_file(RunState& state, const char* heading) {
  if (!parse_cpm_name(state, state.fcb_name.data(), state.mask)) {
    raise_error(ERR_BAD_NAME, state.mask.c_str());
    return;
  }
  const FcbName& name = state.fcb_name;
  if (std::find(name.begin(), name.end(), '?') != name.end()) {
    std::printf("File name '%s' must be unambiguous!\n\n", state.mask.c_str());
    return;
  }
  std::printf(heading, state.mask.c_str(), state.image_name.c_str());
  const int index = search_first(state, state.fcb_name);
  if (index < 0) {
    std::printf("File '%s' not found\n\n", state.mask.c_str());
    return;
  }
  View view;
  if (show_records(state, index, view)) std::printf("\n\n");
}

}  // namespace

void run_type(RunState& state) {
  show_file<TextView>(state, "Content of the file '%s' from '%s'\n\n");
}

void run_hex_dump(RunState& state) {
  show_file<HexView>(state, "Hex Dump of the file '%s' from '%s'\n\n");
}

}  // namespace xev
