// Product texts shared by the banner and the format signature.
#pragma once

namespace xev {

constexpr const char* kProductText = "XEV CP/M Disk Image Manager";
constexpr int kVersionMajor = 2;
constexpr int kVersionMinor = 4;
constexpr const char* kMakerText = "(c) 2026 The xev Authors";

}  // namespace xev
