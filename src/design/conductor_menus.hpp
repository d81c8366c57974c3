// The conductors and surface finishes a design chooses from, in the order
// of the interactive menus (choice 1 first), and the default choice of each.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace ketrovane {

struct ConductorChoice {
  std::string_view name;  // as the batch command takes it
  float resistivity_uohm_cm;
};

inline constexpr std::array kConductorMenu = {
    ConductorChoice{"silver", 1.6F}, ConductorChoice{"copper", 1.7F},
    ConductorChoice{"gold", 2.5F},   ConductorChoice{"aluminium", 4.0F},
    ConductorChoice{"brass", 7.0F},  ConductorChoice{"lossless", 0.0F}};
inline constexpr int kDefaultConductorChoice = 2;  // copper

// RMS surface roughness, micro-inches.
inline constexpr std::array kRoughnessMenuUin = {20.0F, 10.0F, 5.0F, 1.0F, 0.0F};
inline constexpr int kDefaultRoughnessChoice = 3;  // 5 micro-inches

// The entry of a menu choice (1 for the first).
template <class Menu>
constexpr const auto& menu_entry(const Menu& menu, int choice) {
  return menu.at(static_cast<std::size_t>(choice - 1));
}

}  // namespace ketrovane
