#include "app/CommaText.h"

namespace tempolog {

namespace {

bool IsSeparatorBlank(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

void SkipBlanks(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && IsSeparatorBlank(text[pos])) ++pos;
}

// Reads a quoted item starting at the opening quote; leaves `pos` after the
// closing quote (or at the end of an unterminated one).
std::string ReadQuoted(std::string_view text, std::size_t& pos) {
  std::string item;
  ++pos;  // opening quote
  while (pos < text.size()) {
    if (text[pos] == '"') {
      if (pos + 1 < text.size() && text[pos + 1] == '"') {
        item += '"';
        pos += 2;
        continue;
      }
      ++pos;  // closing quote
      break;
    }
    item += text[pos++];
  }
  return item;
}

std::string ReadPlain(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < text.size() && !IsSeparatorBlank(text[pos]) && text[pos] != ',') ++pos;
  return std::string(text.substr(start, pos - start));
}

}  // namespace

std::vector<std::string> SplitCommaText(std::string_view text) {
  std::vector<std::string> items;
  std::size_t pos = 0;
  SkipBlanks(text, pos);
  while (pos < text.size()) {
    items.push_back(text[pos] == '"' ? ReadQuoted(text, pos) : ReadPlain(text, pos));
    SkipBlanks(text, pos);
    if (pos < text.size() && text[pos] == ',') {
      if (pos + 1 == text.size()) items.emplace_back();
      ++pos;
      SkipBlanks(text, pos);
    }
  }
  return items;
}

}  // namespace tempolog
