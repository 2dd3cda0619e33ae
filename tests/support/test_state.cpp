#include "support/test_state.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "imagetype/image_type.h"

namespace xev::test {

std::unique_ptr<RunState> make_state(const std::string& definition) {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base != nullptr ? base : "/tmp") + "/xev-unit-XXXXXX";
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  const std::string ini = templ + "/xev.ini";
  {
    std::ofstream out(ini, std::ios::binary);
    out << "[dsk]\n" << definition;
  }
  auto state = std::make_unique<RunState>();
  state->io_buffer.assign(kIoBufferSize, 0);
  state->exe_dir = templ + "/";
  state->exe_name = "xev";
  state->image_name = "test.dsk";
  state->image_type_name = "dsk";
  const ErrorCode code = load_image_type(*state);
  ::unlink(ini.c_str());
  ::rmdir(templ.c_str());
  EXPECT_EQ(code, ERR_OK) << "definition refused:\n" << definition;
  return state;
}

void attach_image(RunState& state, std::uint8_t fill) {
  state.image_file.reset(std::tmpfile());
  if (!state.image_file) throw std::runtime_error("tmpfile failed");
  const std::vector<char> bytes(static_cast<std::size_t>(state.image_size),
                                static_cast<char>(fill));
  std::fwrite(bytes.data(), 1, bytes.size(), state.image_file.get());
  std::fflush(state.image_file.get());
}

std::string image_bytes(RunState& state) {
  std::FILE* file = state.image_file.get();
  std::fflush(file);
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  std::fseek(file, 0, SEEK_SET);
  if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    throw std::runtime_error("short read of the test image");
  }
  return bytes;
}

}  // namespace xev::test
