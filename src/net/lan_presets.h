#pragma once
// The networks the tool presets for a reader's LAN board, in one place.
#include <array>

namespace kx9 {

// The board's own default network: the network of the default reader address
// `TCPServAddr` (192.168.0.100, in the option defaults).
inline constexpr std::array<int, 3> kBoardNetwork = {192, 168, 0};
// The network a board comes up in after a factory reset.
inline constexpr std::array<int, 3> kBoardResetNetwork = {192, 168, 10};

} // namespace kx9
