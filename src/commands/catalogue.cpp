// -c: the files that match a mask, with their user area, size in records and
// in whole allocation units and their attributes; then the used and free
// space and the free directory entries; with -cj the same as one JSON
// document.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "cpm/format.h"
#include "cpm/names.h"
#include "cpm/stamps.h"
#include "cpm/text.h"

namespace xev {
namespace {

constexpr std::size_t kNameColumn = 12;
constexpr const char* kHeading = " U Name          RECS  SIZE  RS";
constexpr const char* kRule = "-------------------------------";
constexpr const char* kPagePrompt = "Press Enter to continue...";

struct CatalogueItem {
  int user = 0;
  std::string name;
  int records = 0;
  int size_k = 0;
  bool read_only = false;
  bool system = false;
  DateStamp created;  // or accessed, as the label says
  DateStamp updated;
  int first = 0;  // index of the file's first entry
};

// Every file that matches, in directory order of first entries.
std::vector<CatalogueItem> collect_items(const Disk& disk, const CpmName& mask, int user) {
  const Directory& directory = disk.directory();
  const Geometry& geometry = disk.geometry();
  const int k_per_au = geometry.au_size / 1024;
  std::vector<CatalogueItem> items;
  for (int index = directory.find_file(mask, user, 0); index >= 0;
       index = directory.find_file(mask, user, index + 1)) {
    const std::uint8_t* entry = directory.entry(index);
    CatalogueItem item;
    item.user = entry[kUserByte];
    item.name = entry_name(entry);
    item.records = directory.records(directory.key(index));
    item.size_k =
        (item.records + geometry.records_per_au - 1) / geometry.records_per_au * k_per_au;
    item.read_only = (entry[kReadOnlyByte] & 0x80) != 0;
    item.system = (entry[kSystemByte] & 0x80) != 0;
    if (const std::uint8_t* stamps = directory.stamps(index)) {
      item.created = read_stamp(stamps);
      item.updated = read_stamp(stamps + 4);
    }
    item.first = index;
    items.push_back(std::move(item));
  }
  return items;
}

// By name, byte by byte as unsigned values, files of equal name in directory
// order; or directory order as it is.
void sort_items(std::vector<CatalogueItem>& items, bool unsorted) {
  if (unsorted) return;
  std::stable_sort(items.begin(), items.end(), [](const CatalogueItem& a, const CatalogueItem& b) {
    return std::strcmp(a.name.c_str(), b.name.c_str()) < 0;
  });
}

void print_heading(std::FILE* text, const Disk& disk, const Request& request,
                   const std::string& label, bool two_columns) {
  std::fprintf(text, "Catalogue of '%s', mask: '%s'\n", disk.name().c_str(),
               request.mask.c_str());
  if (request.tns && !label.empty()) std::fprintf(text, "TNS-DOS disk label: %s\n", label.c_str());
  const Directory& directory = disk.directory();
  if (const int index = directory.label(); index >= 0) {
    std::fprintf(text, "CP/M 3 disk label: %s\n", printable(entry_name(directory.entry(index))).c_str());
  }
  std::fprintf(text, "\n%s", kHeading);
  if (two_columns) std::fprintf(text, "\t%s", kHeading);
  if (request.stamps) {
    const bool access = (directory.label_flags() & kLabelAccessStamps) != 0;
    std::fprintf(text, "  %-16s  Updated", access ? "Accessed" : "Created");
  }
  std::fprintf(text, "\n%s", kRule);
  if (two_columns) std::fprintf(text, "\t%s", kRule);
  if (request.stamps) std::fprintf(text, "  ----------------  ----------------");
  std::fprintf(text, "\n");
}

void print_item(std::FILE* text, const CatalogueItem& item, bool stamps) {
  std::string name = printable(item.name);
  if (name.size() < kNameColumn) name.resize(kNameColumn, ' ');
  std::fprintf(text, "%2d %s  %4d %4dK  %c%c", item.user, name.c_str(), item.records,
               item.size_k, item.read_only ? 'R' : '-', item.system ? 'S' : '-');
  if (!stamps) return;
  std::string columns = "  " + format_stamp(item.created);
  columns.resize(18, ' ');
  columns += "  " + format_stamp(item.updated);
  std::fputs(trim_right(columns).c_str(), text);
}

// A JSON string; every byte outside printable ASCII, and the quote and the
// backslash, as an escape.
void print_json_string(std::FILE* text, const std::string& value) {
  std::fputc('"', text);
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      std::fprintf(text, "\\%c", byte);
    } else if (byte < 0x20 || byte > 0x7E) {
      std::fprintf(text, "\\u%04X", byte);
    } else {
      std::fputc(byte, text);
    }
  }
  std::fputc('"', text);
}

// The numbers of the listing and the totals, one file a line. The label is
// the one the heading shows: TNS-DOS with -tns, else CP/M 3.
void print_json(std::FILE* text, const Disk& disk, const std::string& type_name,
                std::string label, const std::vector<CatalogueItem>& items, long long total_k) {
  const Directory& directory = disk.directory();
  if (const int index = directory.label(); label.empty() && index >= 0) {
    label = entry_name(directory.entry(index));
  }
  std::fprintf(text, "{\n  \"image\": ");
  print_json_string(text, disk.name());
  std::fprintf(text, ",\n  \"type\": ");
  print_json_string(text, type_name);
  std::fprintf(text, ",\n  \"label\": ");
  if (label.empty()) {
    std::fprintf(text, "null");
  } else {
    print_json_string(text, label);
  }
  std::fprintf(text, ",\n  \"files\": [");
  for (std::size_t j = 0; j < items.size(); ++j) {
    const CatalogueItem& item = items[j];
    const auto entries = static_cast<int>(directory.file_entries(item.first).size());
    std::fprintf(text, "%s\n    {\"user\": %d, \"name\": ", j == 0 ? "" : ",", item.user);
    print_json_string(text, item.name);
    std::fprintf(text,
                 ", \"records\": %d, \"kib\": %d, \"read_only\": %s, \"system\": %s, "
                 "\"entries\": %d}",
                 item.records, item.size_k, item.read_only ? "true" : "false",
                 item.system ? "true" : "false", entries);
  }
  std::fprintf(text, "%s],\n", items.empty() ? "" : "\n  ");
  std::fprintf(text, "  \"used_kib\": %lld,\n  \"free_kib\": %d,\n  \"free_entries\": %d\n}\n",
               total_k, disk.map().count_free() * (disk.geometry().au_size / 1024),
               directory.count_free());
}

}  // namespace

void run_catalogue(Disk& disk, const Request& request, const std::string& type_name,
                   Output& out) {
  const std::optional<CpmName> mask = parse_cpm_name(request.mask);
  if (!mask) {
    out.fail({ERR_BAD_NAME, request.mask});
    return;
  }
  const Directory& directory = disk.directory();
  const std::string label = request.tns ? read_tns_label(directory) : std::string();
  const bool tns_hint = !request.tns && looks_like_tns_disk(directory);

  std::vector<CatalogueItem> items = collect_items(disk, *mask, request.user);
  sort_items(items, request.unsorted);
  // A corrupt directory may name more than fits an int of KiB.
  long long total_k = 0;
  for (const CatalogueItem& item : items) total_k += item.size_k;
  std::FILE* text = out.text();
  if (request.json) {
    print_json(text, disk, type_name, label, items, total_k);
    return;
  }
  const bool two_columns = !request.one_column && !request.stamps;

  print_heading(text, disk, request, label, two_columns);
  for (std::size_t j = 0; j < items.size(); ++j) {
    print_item(text, items[j], request.stamps);
    std::fprintf(text, "%s", two_columns && j % 2 == 0 ? "\t" : "\n");
    if (request.page_size > 0 && (j + 1) % static_cast<std::size_t>(request.page_size) == 0) {
      out.wait_for_enter(kPagePrompt);
      std::fprintf(text, "\r");
    }
  }

  if (two_columns && items.size() % 2 == 1) std::fprintf(text, "\n");
  std::fprintf(text, "\n");
  std::fprintf(text, "%lldK in %d file(s), %dK free\n", total_k, static_cast<int>(items.size()),
               disk.map().count_free() * (disk.geometry().au_size / 1024));
  std::fprintf(text, "%d directory entries free\n\n", directory.count_free());

  if (tns_hint) {
    std::fprintf(text, "This is likely a TNS-DOS disk.\n");
    std::fprintf(text,
                 "Use the `-tns` switch together with the `-c`, `-f`, `-q`, `-a`, or `-e` "
                 "switches.\n\n");
  }
}

}  // namespace xev
