// The catalogue (-c): the files that match a mask, with their user area,
// size in records and in whole allocation units and their attributes, then
// the used and free space and the free directory entries.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/errors.h"
#include "commands/commands.h"
#include "imagetype/image_type.h"
#include "store/directory.h"
#include "store/format.h"

namespace xev {
namespace {

constexpr int kNameWidth = 12;
constexpr const char* kHeading = " U Name          RECS  SIZE  RS";
constexpr const char* kRule = "-------------------------------";
constexpr const char* kPagePrompt = "Press Enter to continue...";

// A copy of the current-file group of the run state, one per listed file.
struct CatalogueItem {
  std::uint8_t user = 0;
  std::string name;
  int records = 0;
  int size_k = 0;
  bool read_only = false;
  bool system = false;
};

// True when the free entry at `index` carries `mark` in byte 15.
bool is_tns_entry(const RunState& state, int index, std::uint8_t mark) {
  if (index < 0) return false;
  const std::uint8_t* entry = state.entry(index);
  return entry[0] == kFreeMark && entry[15] == mark;
}

// The label of a TNS-DOS disk: bytes 1 to 11 of its label entry, trimmed;
// empty when the directory has no label entry.
std::string read_tns_label(const RunState& state) {
  const int index = find_tns_entry(state, TNS_LABEL_MARK, 0);
  if (!is_tns_entry(state, index, TNS_LABEL_MARK)) return std::string();
  // The label ends at a NUL as well as after its eleventh character.
  const std::uint8_t* first = state.entry(index) + 1;
  const std::uint8_t* last = std::find(first, first + kLabelLength, 0);
  std::string label(first, last);
  return trim(label);
}

// A directory with a label entry and a map entry was most likely written
// by TNS-DOS.
bool looks_like_tns_disk(const RunState& state) {
  return is_tns_entry(state, find_tns_entry(state, TNS_LABEL_MARK, 0), TNS_LABEL_MARK) &&
         is_tns_entry(state, find_tns_entry(state, TNS_MAP_MARK, 0), TNS_MAP_MARK);
}

// Every file that matches fcb_name, in directory order of first entries.
std::vector<CatalogueItem> collect_items(RunState& state) {
  std::vector<CatalogueItem> items;
  items.reserve(static_cast<std::size_t>(state.dir_entry_count));
  const int k_per_au = state.au_size / 1024;
  for (int index = search_first(state, state.fcb_name); index >= 0;
       index = search_next(state)) {
    load_entry_name(state, index);
    state.cur_records = file_records(state, extent_key_of(state, index));
    state.cur_size_k =
        (state.cur_records + state.records_per_au - 1) / state.records_per_au * k_per_au;
    items.push_back({state.cur_user, state.cur_name, state.cur_records, state.cur_size_k,
                     state.cur_read_only, state.cur_system});
  }
  return items;
}

// Positions into `items`: by name, byte by byte as unsigned values, files of
// equal name in directory order; or directory order with `unsorted`.
std::vector<int> display_order(const std::vector<CatalogueItem>& items, bool unsorted) {
  std::vector<int> order(items.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  if (!unsorted) {
    std::stable_sort(order.begin(), order.end(), [&items](int a, int b) {
      return std::strcmp(items[a].name.c_str(), items[b].name.c_str()) < 0;
    });
  }
  return order;
}

void print_heading(const RunState& state, bool two_columns) {
  std::printf("Catalogue of '%s', mask: '%s'\n", state.image_name.c_str(),
              state.mask.c_str());
  if (state.opt_tns && !state.tns_label.empty()) {
    std::printf("TNS-DOS disk label: %s\n", state.tns_label.c_str());
  }
  std::printf("\n%s", kHeading);
  if (two_columns) std::printf("\t%s", kHeading);
  std::printf("\n");
  std::printf("%s", kRule);
  if (two_columns) std::printf("\t%s", kRule);
  std::printf("\n");
}

void print_item(CatalogueItem& item) {
  if (item.name.size() < kNameWidth) item.name.resize(kNameWidth, ' ');
  std::printf("%2d %s  %4d %4dK  %c%c", item.user, item.name.c_str(), item.records,
              item.size_k, item.read_only ? 'R' : '-', item.system ? 'S' : '-');
}

}  // namespace

void run_catalogue(RunState& state) {
  if (!parse_cpm_name(state, state.fcb_name.data(), state.mask)) {
    raise_error(ERR_BAD_NAME, state.mask.c_str());
    return;
  }

  bool tns_hint = false;
  if (state.opt_tns) {
    state.tns_label = read_tns_label(state);
  } else {
    tns_hint = looks_like_tns_disk(state);
  }

  std::vector<CatalogueItem> items = collect_items(state);
  const std::vector<int> order = display_order(items, state.opt_unsorted);
  const bool two_columns = !state.opt_one_column;

  print_heading(state, two_columns);
  // A corrupt directory may name more than fits an int of KiB.
  long long total_k = 0;
  for (std::size_t j = 0; j < order.size(); ++j) {
    CatalogueItem& item = items[static_cast<std::size_t>(order[j])];
    print_item(item);
    total_k += item.size_k;
    std::printf("%s", two_columns && j % 2 == 0 ? "\t" : "\n");
    if (state.catalogue_page_size > 0 &&
        (j + 1) % static_cast<std::size_t>(state.catalogue_page_size) == 0) {
      wait_for_enter(kPagePrompt);
      std::printf("\r");
    }
  }

  if (two_columns && order.size() % 2 == 1) std::printf("\n");
  std::printf("\n");
  std::printf("%lldK in %d file(s), %dK free\n", total_k, static_cast<int>(order.size()),
              count_free_aus(state) * (state.au_size / 1024));
  std::printf("%d directory entries free\n\n", count_free_entries(state));

  if (tns_hint) {
    std::printf("This is likely a TNS-DOS disk.\n");
    std::printf(
        "Use the `-tns` switch together with the `-c`, `-f`, `-q`, `-a`, or `-e` "
        "switches.\n\n");
  }
}

}  // namespace xev
