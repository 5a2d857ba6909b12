// System colours outside Windows: the desktop's colours as Qt's application
// palette holds them.
#include <QGuiApplication>
#include <QPalette>
#include <array>

#include "framework/Colors.h"

namespace tempolog {
namespace {

struct SystemColorEntry {
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
  TColor classic;  // used when no application palette exists
};

// Index of a system colour -> where the desktop keeps it in Qt's palette.
// Qt knows no desktop colour, and none of its palette roles is reliably dark
// (Dark is a mid grey under the default palette), while the program draws
// light texts on the desktop colour: it resolves to black.
constexpr QPalette::ColorGroup A = QPalette::Active;
constexpr QPalette::ColorGroup I = QPalette::Inactive;
constexpr QPalette::ColorGroup D = QPalette::Disabled;
constexpr std::array<SystemColorEntry, 31> kSystemColors{{
    {A, QPalette::Button, 0xC8C8C8},           // 0 scroll bar
    {A, QPalette::NoRole, 0x000000},           // 1 desktop background (below)
    {A, QPalette::Highlight, 0xD1B499},        // 2 active caption
    {I, QPalette::Highlight, 0xDBCDBF},        // 3 inactive caption
    {A, QPalette::Window, 0xF0F0F0},           // 4 menu
    {A, QPalette::Base, 0xFFFFFF},             // 5 window
    {A, QPalette::WindowText, 0x646464},       // 6 window frame
    {A, QPalette::WindowText, 0x000000},       // 7 menu text
    {A, QPalette::Text, 0x000000},             // 8 window text
    {A, QPalette::HighlightedText, 0x000000},  // 9 caption text
    {A, QPalette::Window, 0xB4B4B4},           // 10 active border
    {I, QPalette::Window, 0xFCF7F4},           // 11 inactive border
    {A, QPalette::Mid, 0xABABAB},              // 12 application work space
    {A, QPalette::Highlight, 0xD77800},        // 13 highlight
    {A, QPalette::HighlightedText, 0xFFFFFF},  // 14 highlighted text
    {A, QPalette::Window, 0xF0F0F0},           // 15 button face
    {A, QPalette::Dark, 0xA0A0A0},             // 16 button shadow
    {D, QPalette::Text, 0x6D6D6D},             // 17 grey (disabled) text
    {A, QPalette::ButtonText, 0x000000},       // 18 button text
    {I, QPalette::HighlightedText, 0x000000},  // 19 inactive caption text
    {A, QPalette::Light, 0xFFFFFF},            // 20 button highlight
    {A, QPalette::Shadow, 0x696969},           // 21 3D dark shadow
    {A, QPalette::Midlight, 0xE3E3E3},         // 22 3D light
    {A, QPalette::ToolTipText, 0x000000},      // 23 tool tip text
    {A, QPalette::ToolTipBase, 0xE1FFFF},      // 24 tool tip background
    {A, QPalette::NoRole, 0x000000},           // 25 (unused)
    {A, QPalette::Link, 0xCC6600},             // 26 hot-tracked item
    {A, QPalette::Highlight, 0xEAD1B9},        // 27 active caption gradient
    {I, QPalette::Highlight, 0xF2E4D7},        // 28 inactive caption gradient
    {A, QPalette::Highlight, 0xFF9933},        // 29 menu highlight
    {A, QPalette::Window, 0xF0F0F0},           // 30 menu bar
}};

}  // namespace

TColor SystemColor(unsigned index) {
  if (index >= kSystemColors.size()) return clBlack;
  const SystemColorEntry& entry = kSystemColors[index];
  if (entry.role == QPalette::NoRole || QGuiApplication::instance() == nullptr)
    return entry.classic;
  return FromQColor(QGuiApplication::palette().color(entry.group, entry.role));
}

}  // namespace tempolog
