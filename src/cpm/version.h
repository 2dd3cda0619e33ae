// The product texts: the banner prints them and a full format signs the
// last record of the image with them.
#pragma once

namespace xev {

constexpr const char* kProductText = "XEV CP/M Disk Image Manager";
constexpr int kVersionMajor = 2;
constexpr int kVersionMinor = 4;
constexpr const char* kMakerText = "(c) 2026 The xev Authors";

}  // namespace xev
