// Entry and run sequence: banner, options, image type, image, format,
// directory, one command; then the first failure becomes the exit status.
#include <cstdio>
#include <memory>
#include <new>

#include "cli/console.h"
#include "cli/errors.h"
#include "cli/options.h"
#include "cli/run_state.h"
#include "commands/commands.h"
#include "imagetype/image_type.h"
#include "platform/platform.h"
#include "store/directory.h"
#include "store/format.h"
#include "store/image.h"

namespace xev {
namespace {

// Step 7: a requested format, full or quick, and the TNS-DOS entries.
ErrorCode run_format(RunState& state) {
  ErrorCode code = ERR_OK;
  if (state.cmd_full_format) code = format_image(state, true);
  if (code == ERR_OK) code = clear_directory(state);
  if (code == ERR_OK && state.opt_tns) {
    code = load_directory(state);
    if (code == ERR_OK) code = write_tns_label(state);
    if (code == ERR_OK) code = store_tns_map(state);
    if (code == ERR_OK) code = save_directory(state);
  }
  return code;
}

// Step 8: exactly one command. Its own failures do not change the result.
ErrorCode dispatch(RunState& state) {
  if (state.cmd_write_system) {
    run_write_system(state);
  } else if (state.cmd_copy_system) {
    run_copy_system(state);
  } else if (state.cmd_save_system) {
    run_save_system(state);
  } else {
    const ErrorCode code = load_directory(state);
    if (code != ERR_OK) return code;
    if (state.cmd_catalogue) {
      run_catalogue(state);
    } else if (state.cmd_add) {
      run_add(state);
    } else if (state.cmd_erase) {
      run_erase(state, false);
    } else if (state.cmd_extract) {
      run_extract(state);
    } else if (state.cmd_set_attrs) {
      run_set_attrs(state);
    } else if (state.cmd_set_user) {
      run_set_user(state);
    } else if (state.cmd_type) {
      run_type(state);
    } else if (state.cmd_hex_dump) {
      run_hex_dump(state);
    }
  }
  return ERR_OK;
}

ErrorCode run(int argc, const char* const* argv, std::unique_ptr<RunState>& state) {
  if (argc <= 1) return SHOW_USAGE;
  ErrorCode code = parse_options(argc, argv, state);
  if (code != ERR_OK) return code;
  code = load_image_type(*state);
  if (code != ERR_OK || state->opt_type_info) return code;
  code = open_image(*state);
  if (code != ERR_OK) return code;
  if (state->cmd_full_format || state->cmd_quick_format) {
    code = run_format(*state);
    if (code != ERR_OK) return code;
  }
  return dispatch(*state);
}

}  // namespace
}  // namespace xev

int main(int argc, char** argv) {
  using namespace xev;
  platform::use_binary_streams();
  print_banner();
  std::unique_ptr<RunState> state;
  ErrorCode code = ERR_OK;
  try {
    code = run(argc, argv, state);
  } catch (const std::bad_alloc&) {
    code = raise_error(ERR_OUT_OF_MEMORY);
  }
  if (code == SHOW_USAGE) {
    print_usage();
    code = ERR_OK;
  } else if (code != ERR_OK) {
    std::printf("\n");
  }
  if (state) close_image(*state);
  state.reset();  // closes the host stream and frees every buffer
  std::fflush(stdout);
  return -code;
}
