#pragma once

namespace vantry {

// How much of a network the Travona workbook layout can hold: one row per link and per node in
// blocks of fixed size. The checker warns about a network past them before a save is tried.
inline constexpr int kMaxWorkbookLinks = 200;
inline constexpr int kMaxWorkbookNodes = 100;

} // namespace vantry
