#include "imagetype/image_type.h"
namespace xev {
ErrorCode load_image_type(RunState&) { return raise_error(ERR_FATAL); }
std::string& trim_right(std::string& t) { return t; }
std::string& trim_left(std::string& t) { return t; }
std::string& trim(std::string& t) { return t; }
}  // namespace xev
