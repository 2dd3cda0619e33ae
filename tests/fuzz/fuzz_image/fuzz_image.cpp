// Any image under a few fixed geometries. The first input byte picks the
// geometry and a file, the second the options; the rest is laid over a blank
// image from the directory on, in logical record order. The directory is
// loaded strictly and with invalid entries ignored, then every file command
// runs: the reading ones must leave the image as it was; the writing ones
// must not touch the system area, nor (erase, attributes, user area) any
// data, and must not turn a clean directory into one that no longer loads.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
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

// g0: 8-bit pointers, 3740 skew; g1: two extents per entry; g2: 16-bit
// pointers, no system area; g3: 16-bit pointers, skew, OFFX not whole tracks.
constexpr const char kDefinitions[] =
    "[g0]\nSPT=26\nXLT=1,7,13,19,25,5,11,17,23,3,9,15,21,2,8,14,20,26,6,12,18,24,4,10,16,22\n"
    "BLS=1\nEXM=0\nDSM=242\nDRM=63\nOFF=2\n"
    "[g1]\nSPT=36\nXLT=0\nBLS=2\nEXM=1\nDSM=149\nDRM=63\nOFF=1\n"
    "[g2]\nSPT=32\nXLT=0\nBLS=2\nEXM=0\nDSM=299\nDRM=127\nOFF=0\n"
    "[g3]\nSPT=16\nXLT=1,4,7,10,13,16,3,6,9,12,15,2,5,8,11,14\n"
    "BLS=2\nEXM=0\nDSM=279\nDRM=63\nOFF=2\nOFFX=5\n";
// Host files offered to -a: empty, one record and a bit, more than an extent.
constexpr const char* kHostFiles[] = {"EMPTY.TXT", "SMALL.COM", "LARGE.DAT", "*.*"};
constexpr std::size_t kHostSizes[] = {0, 300, 20000};
constexpr const char* kAttrs[] = {"--", "R-", "-S", "RS"};

std::string g_dir;
int g_image_fd = -1;  // the image as laid, for the reading commands
int g_work_fd = -1;   // a copy of it for each writing command

std::unique_ptr<RunState> make_state(int geometry, int fd, bool for_writing) {
  auto state = std::make_unique<RunState>();
  state->io_buffer.assign(kIoBufferSize, 0);
  state->exe_dir = g_dir;
  state->exe_name = "xev";
  state->image_type_name = "g" + std::to_string(geometry);
  state->image_name = "fuzz." + state->image_type_name;
  FUZZ_CHECK(load_image_type(*state) == ERR_OK);
  // The reading commands, too, get a stream that could write, so that a
  // stray write shows in the image.
  state->image_file.reset(fdopen(dup(fd), "r+b"));
  FUZZ_CHECK(state->image_file != nullptr);
  if (for_writing) std::setvbuf(state->image_file.get(), nullptr, _IONBF, 0);
  return state;
}

void fill_file(int fd, const Bytes& image) {
  FUZZ_CHECK(ftruncate(fd, off_t(image.size())) == 0);
  FUZZ_CHECK(pwrite(fd, image.data(), image.size(), 0) == ssize_t(image.size()));
}

void read_file(int fd, Bytes& image) {
  FUZZ_CHECK(pread(fd, image.data(), image.size(), 0) == ssize_t(image.size()));
}

// Loads strictly, true when that works; else with invalid entries ignored,
// which must always work.
bool load_either_way(RunState& state) {
  state.opt_ignore_invalid = false;
  if (load_directory(state) == ERR_OK) return true;
  state.opt_ignore_invalid = true;
  FUZZ_CHECK(load_directory(state) == ERR_OK);
  return false;
}

std::size_t record_offset(const RunState& state, int au, int record) {
  int track = 0;
  int sector = 0;
  FUZZ_CHECK(locate_record(state, au, record, track, sector));
  return std::size_t(state.system_size + (track - state.reserved_tracks) * state.track_size +
                     (state.skew_table[std::size_t(sector)] - 1) * kRecordSize);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silence_tool_output();
  g_dir = fuzz::make_work_dir("image");
  std::filesystem::create_directory(g_dir + "in");
  g_image_fd = memfd_create("image", 0);
  g_work_fd = memfd_create("work", 0);
  FUZZ_CHECK(g_image_fd >= 0 && g_work_fd >= 0);
  FilePtr ini(std::fopen((g_dir + "xev.ini").c_str(), "wb"));
  FUZZ_CHECK(ini != nullptr && std::fputs(kDefinitions, ini.get()) >= 0);
  for (int n = 0; n < 3; ++n) {
    FilePtr host(std::fopen((g_dir + "in/" + kHostFiles[n]).c_str(), "wb"));
    FUZZ_CHECK(host != nullptr);
    for (std::size_t i = 0; i < kHostSizes[n]; ++i) std::fputc(int(i * 7 % 251), host.get());
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Byte 1: TNS-DOS (1), overwrite (2), target name (4), host mask (0x18),
  // attributes (0x60), user filter (0x80).
  const int geometry = data[0] & 3;
  const int pick = data[0] >> 2;
  const int flags = data[1];
  data += 2;
  size -= 2;
  static Bytes image;  // kept between runs: fresh blocks cost page faults
  static Bytes after;

  // A blank image with the input laid over the data area in logical order.
  auto loaded = make_state(geometry, g_image_fd, false);
  const RunState& geo = *loaded;
  image.assign(std::size_t(geo.image_size), kFreeMark);
  for (std::size_t n = 0; n < std::size_t(geo.au_count) * geo.records_per_au &&
                          n * kRecordSize < size; ++n) {
    std::memcpy(image.data() + record_offset(geo, int(n / geo.records_per_au),
                                             int(n % geo.records_per_au)),
                data + n * kRecordSize, std::min<std::size_t>(kRecordSize, size - n * kRecordSize));
  }
  after.resize(image.size());
  fill_file(g_image_fd, image);
  const bool clean = load_either_way(*loaded);

  // The single-file commands use the name of a file picked by the input.
  std::string name = "NONE.TXT";
  std::uint8_t user = 0;
  FcbName all{};
  FUZZ_CHECK(parse_cpm_name(*loaded, all.data(), "*.*"));
  for (int i = search_first(*loaded, all), n = 0; i >= 0 && n++ <= pick; i = search_next(*loaded)) {
    load_entry_name(*loaded, i);
    name = loaded->cur_name;
    user = loaded->cur_user;
  }

  loaded->mask = "*.*";
  // Unsorted, one column, TNS-DOS, paged; the plain layout last, for the rest.
  for (int layout = 7; layout >= 0; --layout) {
    loaded->opt_unsorted = (layout & 1) != 0;
    loaded->opt_one_column = (layout & 2) != 0;
    loaded->opt_tns = (layout & 4) != 0;
    loaded->catalogue_page_size = layout == 5 ? 2 : -1;
    run_catalogue(*loaded);
  }
  loaded->host_dir = g_dir + "out/";
  std::filesystem::create_directory(loaded->host_dir);
  run_extract(*loaded);
  std::filesystem::remove_all(loaded->host_dir);
  loaded->mask = name;
  run_type(*loaded);
  run_hex_dump(*loaded);
  read_file(g_image_fd, after);
  FUZZ_CHECK(after == image);

  for (int command = 0; command < 4; ++command) {
    fill_file(g_work_fd, image);
    auto state = make_state(geometry, g_work_fd, true);
    load_either_way(*state);
    if ((flags & 0x80) != 0) state->user_filter = user;
    state->opt_tns = (flags & 1) != 0;
    state->opt_overwrite = (flags & 2) != 0;
    state->mask = command == 0 && state->opt_overwrite ? "*.*" : name;
    if (command == 0) {
      run_erase(*state, false);
    } else if (command == 1) {
      state->new_attrs = kAttrs[(flags >> 5) & 3];
      run_set_attrs(*state);
    } else if (command == 2) {
      state->new_user = std::uint8_t(pick & 31);
      run_set_user(*state);
    } else {
      state->host_dir = g_dir + "in/";
      state->mask = kHostFiles[(flags >> 3) & 3];
      // As on the command line, a target name goes with one host file only.
      if ((flags & 4) != 0 && (flags & 0x18) != 0x18) state->afn_name = name;
      run_add(*state);
    }
    read_file(g_work_fd, after);
    FUZZ_CHECK(load_either_way(*state) || !clean);

    // Beside the directory, adding may write only into the data area, and
    // the other commands nowhere.
    for (int au = 0; au < directory_au_count(*state); ++au) {
      for (int record = 0; record < state->records_per_au; ++record) {
        const std::size_t offset = record_offset(*state, au, record);
        std::memcpy(after.data() + offset, image.data() + offset, kRecordSize);
      }
    }
    const long data_end = state->system_size + long(state->au_count) * state->au_size;
    FUZZ_CHECK(std::equal(image.begin(), image.begin() + state->system_size, after.begin()));
    FUZZ_CHECK(std::equal(image.begin() + data_end, image.end(), after.begin() + data_end));
    FUZZ_CHECK(command == 3 || after == image);
  }
  return 0;
}
