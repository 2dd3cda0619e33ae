// Any image under a few fixed geometries. The first input byte picks the
// geometry and a file, the second the options; the rest is laid over a blank
// image from the directory on, in logical record order. The directory is
// loaded strictly and with invalid entries ignored, then every file command
// runs: the reading ones must leave the image as it was, the writing ones
// must not touch the system area, the data of files they did not change, or
// (erase, attributes, user area) any data at all, and must not turn a clean
// directory into one that no longer loads.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/run_state.h"
#include "commands/commands.h"
#include "fuzz_support.h"
#include "imagetype/image_type.h"
#include "store/directory.h"
#include "store/image.h"

namespace {

using namespace xev;
using Bytes = std::vector<std::uint8_t>;

// g0: 8-bit pointers with the 3740 skew; g1: 8-bit pointers, two extents per
// entry; g2: 16-bit pointers, no system area; g3: 16-bit pointers with a skew
// and a system area of OFFX records that is not a whole number of tracks.
constexpr const char kDefinitions[] = R"([g0]
SPT=26
XLT=1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,18,24,4,10,16,22
BLS=1
EXM=0
DSM=242
DRM=63
OFF=2
[g1]
SPT=36
XLT=0
BLS=2
EXM=1
DSM=149
DRM=63
OFF=1
[g2]
SPT=32
XLT=0
BLS=2
EXM=0
DSM=299
DRM=127
OFF=0
[g3]
SPT=16
XLT=1,4,7,10,13,16,3,6,9,12,15,2,5,8,11,14
BLS=2
EXM=0
DSM=279
DRM=63
OFF=2
OFFX=5
)";

// Host files offered to -a: empty, one record and a bit, more than an extent.
struct HostFile {
  const char* name;
  std::size_t size;
};
constexpr HostFile kHostFiles[] = {{"EMPTY.TXT", 0}, {"SMALL.COM", 300}, {"LARGE.DAT", 20000}};
constexpr const char* kHostMasks[] = {"EMPTY.TXT", "SMALL.COM", "LARGE.DAT", "*.*"};
constexpr const char* kAttrs[] = {"--", "R-", "-S", "RS"};

std::string g_dir;      // xev.ini
std::string g_in_dir;   // host files for -a
std::string g_out_dir;  // target of -x

// What the two header bytes ask for.
struct Choice {
  int geometry;
  int pick;  // which file's name the single-file commands use
  bool tns;
  bool overwrite;
  bool target_name;
  int host_mask;
  int attrs;
  bool user_filter;
};

Choice read_choice(const std::uint8_t* header) {
  return Choice{header[0] & 3,
                header[0] >> 2,
                (header[1] & 1) != 0,
                (header[1] & 2) != 0,
                (header[1] & 4) != 0,
                (header[1] >> 3) & 3,
                (header[1] >> 5) & 3,
                (header[1] & 0x80) != 0};
}

// Two in-memory files, kept for the whole process: one holds the image as
// laid for the reading commands, the other a copy for each writing command.
int g_image_fd = -1;
int g_work_fd = -1;

void fill_file(int fd, const Bytes& image) {
  FUZZ_CHECK(ftruncate(fd, static_cast<off_t>(image.size())) == 0);
  FUZZ_CHECK(pwrite(fd, image.data(), image.size(), 0) == static_cast<ssize_t>(image.size()));
}

// A run state of the geometry, without an image.
std::unique_ptr<RunState> make_state(int geometry) {
  auto state = std::make_unique<RunState>();
  state->io_buffer.assign(kIoBufferSize, 0);
  state->exe_dir = g_dir;
  state->exe_name = "xev";
  state->image_type_name = "g" + std::to_string(geometry);
  state->image_name = "fuzz." + state->image_type_name;
  FUZZ_CHECK(load_image_type(*state) == ERR_OK);
  return state;
}

// Gives the state the in-memory file `fd` as its image; unbuffered for the
// writing commands, as the tool opens their images. The reading commands get
// a stream that could write, so that a stray write shows in the image.
void attach_image(RunState& state, int fd, bool for_writing) {
  state.image_file.reset(fdopen(dup(fd), "r+b"));
  FUZZ_CHECK(state.image_file != nullptr);
  if (for_writing) std::setvbuf(state.image_file.get(), nullptr, _IONBF, 0);
}

// Loads the directory strictly; true when that works. Otherwise loads it
// again with invalid entries ignored, which must always work.
bool load_either_way(RunState& state) {
  state.opt_ignore_invalid = false;
  if (load_directory(state) == ERR_OK) return true;
  state.opt_ignore_invalid = true;
  FUZZ_CHECK(load_directory(state) == ERR_OK);
  return false;
}

// The image as the state's stream has left it.
void read_image(int fd, Bytes& bytes) {
  FUZZ_CHECK(pread(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
}

// File offset of a record of an allocation unit.
std::size_t record_offset(const RunState& state, int au, int record) {
  int track = 0;
  int sector = 0;
  FUZZ_CHECK(locate_record(state, au, record, track, sector));
  return static_cast<std::size_t>(
      state.system_size + (track - state.reserved_tracks) * state.track_size +
      (state.skew_table[static_cast<std::size_t>(sector)] - 1) * kRecordSize);
}

bool same_unit(const RunState& state, const Bytes& a, const Bytes& b, int au) {
  for (int record = 0; record < state.records_per_au; ++record) {
    const std::size_t offset = record_offset(state, au, record);
    if (std::memcmp(a.data() + offset, b.data() + offset, kRecordSize) != 0) return false;
  }
  return true;
}

// A blank image with `data` laid over the data area in logical record order.
void lay_image(const RunState& state, const std::uint8_t* data, std::size_t size, Bytes& image) {
  image.assign(static_cast<std::size_t>(state.image_size), kFreeMark);
  const std::size_t records = static_cast<std::size_t>(state.au_count) * state.records_per_au;
  for (std::size_t n = 0; n < records && n * kRecordSize < size; ++n) {
    const std::size_t offset = record_offset(state, static_cast<int>(n / state.records_per_au),
                                             static_cast<int>(n % state.records_per_au));
    std::memcpy(image.data() + offset, data + n * kRecordSize,
                std::min<std::size_t>(kRecordSize, size - n * kRecordSize));
  }
}

bool in_use(const std::uint8_t* entry) { return entry[0] != kFreeMark; }

// The display names of the files in directory order, and their user areas.
void list_files(RunState& state, std::vector<std::string>& names,
                std::vector<std::uint8_t>& users) {
  FcbName all{};
  FUZZ_CHECK(parse_cpm_name(state, all.data(), "*.*"));
  for (int index = search_first(state, all); index >= 0; index = search_next(state)) {
    load_entry_name(state, index);
    names.push_back(state.cur_name);
    users.push_back(state.cur_user);
  }
}

void clear_out_dir() {
  for (const auto& item : std::filesystem::directory_iterator(g_out_dir)) {
    std::filesystem::remove_all(item.path());
  }
}

void run_reading_commands(RunState& state, const std::string& name) {
  for (int layout = 0; layout < 8; ++layout) {
    state.mask = "*.*";
    state.opt_unsorted = (layout & 1) != 0;
    state.opt_one_column = (layout & 2) != 0;
    state.opt_tns = (layout & 4) != 0;
    state.catalogue_page_size = layout == 5 ? 2 : -1;
    run_catalogue(state);
  }
  state.opt_tns = false;

  state.host_dir = g_out_dir;
  state.mask = "*.*";
  run_extract(state);
  clear_out_dir();
  state.host_dir.clear();

  state.mask = name;
  run_type(state);
  run_hex_dump(state);
}

enum class Command { kErase, kSetAttrs, kSetUser, kAdd };

void run_writing_command(RunState& state, Command command, const Choice& choice,
                         const std::string& name, std::uint8_t user) {
  if (choice.user_filter) state.user_filter = user;
  switch (command) {
    case Command::kErase:
      state.mask = choice.overwrite ? "*.*" : name;
      state.opt_tns = choice.tns;
      run_erase(state, false);
      break;
    case Command::kSetAttrs:
      state.mask = name;
      state.new_attrs = kAttrs[choice.attrs];
      run_set_attrs(state);
      break;
    case Command::kSetUser:
      state.mask = name;
      state.new_user = static_cast<std::uint8_t>(choice.pick & 31);
      run_set_user(state);
      break;
    case Command::kAdd:
      state.host_dir = g_in_dir;
      state.mask = kHostMasks[choice.host_mask];
      // As on the command line, a target name goes with one host file only.
      if (choice.target_name && choice.host_mask != 3) state.afn_name = name;
      state.opt_overwrite = choice.overwrite;
      state.opt_tns = choice.tns;
      run_add(state);
      break;
  }
}

// The entries in use, as 32-byte texts.
std::set<std::string> entries_in_use(const RunState& state) {
  std::set<std::string> entries;
  for (int i = 0; i < state.dir_entry_count; ++i) {
    const std::uint8_t* entry = state.entry(i);
    if (in_use(entry)) entries.emplace(reinterpret_cast<const char*>(entry), kEntrySize);
  }
  return entries;
}

// `state` has just run `command` on a copy of `before`, which now reads
// `after`; `loaded` holds the directory as it was.
void check_writing_command(RunState& state, Command command, const Bytes& before,
                           const RunState& loaded, bool was_clean, Bytes& after) {
  FUZZ_CHECK(load_either_way(state) || !was_clean);

  // A file whose entry is unchanged keeps its data, unless adding has just
  // replaced it by a file of the same name in the same units.
  std::set<std::string> added;
  for (const std::string& host_name : state.host_files) {
    FcbName fcb{};
    const std::string& target = state.afn_name.empty() ? host_name : state.afn_name;
    if (parse_cpm_name(state, fcb.data(), target)) added.emplace(fcb.data(), 11);
  }
  const int directory_units = directory_au_count(state);
  const std::set<std::string> unchanged = entries_in_use(loaded);
  for (int i = 0; i < state.dir_entry_count; ++i) {
    const std::uint8_t* entry = state.entry(i);
    const char* text = reinterpret_cast<const char*>(entry);
    if (!in_use(entry) || unchanged.count(std::string(text, kEntrySize)) == 0 ||
        added.count(std::string(text + 1, 11)) != 0) {
      continue;
    }
    for (int slot = 0; slot < state.pointers_per_entry; ++slot) {
      const int au = entry_pointer(state, entry, slot);
      if (au == 0) break;
      if (au < directory_units || au >= state.au_count) continue;
      FUZZ_CHECK(same_unit(state, before, after, au));
    }
  }

  // Beside the directory, adding may write only into the data area, and the
  // other commands nowhere.
  for (int au = 0; au < directory_units; ++au) {
    for (int record = 0; record < state.records_per_au; ++record) {
      const std::size_t offset = record_offset(state, au, record);
      std::memcpy(after.data() + offset, before.data() + offset, kRecordSize);
    }
  }
  if (command == Command::kAdd) {
    const auto data_start = static_cast<std::size_t>(state.system_size);
    const std::size_t data_end =
        data_start + static_cast<std::size_t>(state.au_count) * state.au_size;
    FUZZ_CHECK(std::memcmp(after.data(), before.data(), data_start) == 0);
    FUZZ_CHECK(std::memcmp(after.data() + data_end, before.data() + data_end,
                           after.size() - data_end) == 0);
  } else {
    FUZZ_CHECK(after == before);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silence_tool_output();
  g_dir = fuzz::make_work_dir("image");
  g_in_dir = g_dir + "in/";
  g_out_dir = g_dir + "out/";
  std::filesystem::create_directory(g_in_dir);
  std::filesystem::create_directory(g_out_dir);
  g_image_fd = memfd_create("image", 0);
  g_work_fd = memfd_create("work", 0);
  FUZZ_CHECK(g_image_fd >= 0 && g_work_fd >= 0);
  {
    FilePtr ini(std::fopen((g_dir + "xev.ini").c_str(), "wb"));
    FUZZ_CHECK(ini != nullptr);
    std::fputs(kDefinitions, ini.get());
  }
  for (const HostFile& file : kHostFiles) {
    FilePtr host(std::fopen((g_in_dir + file.name).c_str(), "wb"));
    FUZZ_CHECK(host != nullptr);
    for (std::size_t i = 0; i < file.size; ++i) std::fputc(static_cast<int>(i * 7 % 251), host.get());
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const Choice choice = read_choice(data);
  // Kept between runs: images are large, and fresh blocks cost page faults.
  static Bytes image;
  static Bytes after;

  std::unique_ptr<RunState> loaded = make_state(choice.geometry);
  lay_image(*loaded, data + 2, size - 2, image);
  after.resize(image.size());
  fill_file(g_image_fd, image);
  attach_image(*loaded, g_image_fd, false);
  const bool clean = load_either_way(*loaded);

  std::vector<std::string> names;
  std::vector<std::uint8_t> users;
  list_files(*loaded, names, users);
  const std::size_t picked = names.empty() ? 0 : choice.pick % names.size();
  const std::string name = names.empty() ? "NONE.TXT" : names[picked];
  const std::uint8_t user = users.empty() ? 0 : users[picked];

  run_reading_commands(*loaded, name);
  read_image(g_image_fd, after);
  FUZZ_CHECK(after == image);

  for (Command command :
       {Command::kErase, Command::kSetAttrs, Command::kSetUser, Command::kAdd}) {
    fill_file(g_work_fd, image);
    std::unique_ptr<RunState> state = make_state(choice.geometry);
    attach_image(*state, g_work_fd, true);
    load_either_way(*state);
    run_writing_command(*state, command, choice, name, user);
    read_image(g_work_fd, after);
    check_writing_command(*state, command, image, *loaded, clean, after);
  }
  return 0;
}
