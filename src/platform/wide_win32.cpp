// SPDX-License-Identifier: MIT
#include "platform/wide_win32.h"

#include <windows.h>

namespace platform {
namespace {

std::optional<std::wstring> WideFrom(std::string_view bytes, UINT code_page, DWORD flags) {
  if (bytes.empty()) return std::wstring();
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(code_page, flags, bytes.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(code_page, flags, bytes.data(), size, wide.data(), length);
  return wide;
}

std::string NarrowFrom(std::wstring_view wide, UINT code_page) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length = ::WideCharToMultiByte(code_page, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string bytes(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(code_page, 0, wide.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

}  // namespace

std::optional<std::wstring> WideFromUtf8(std::string_view text) {
  return WideFrom(text, CP_UTF8, MB_ERR_INVALID_CHARS);
}

std::string Utf8FromWide(std::wstring_view text) { return NarrowFrom(text, CP_UTF8); }

std::optional<std::string> Utf8FromCodePage(std::string_view bytes, unsigned code_page) {
  std::optional<std::wstring> wide = WideFrom(bytes, code_page, 0);
  if (!wide) return std::nullopt;
  return Utf8FromWide(*wide);
}

std::string CodePageFromUtf8(std::string_view text, unsigned code_page) {
  std::optional<std::wstring> wide = WideFromUtf8(text);
  return wide ? NarrowFrom(*wide, code_page) : std::string(text.size(), '?');
}

}  // namespace platform
