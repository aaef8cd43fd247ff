// SPDX-License-Identifier: MIT
// The scratch folders and test data shared by every platform's harness.
#include "program.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace e2e {
namespace {

// Paths are held as UTF-8 text; on Windows the narrow forms of
// std::filesystem would go through the ANSI code page and lose names.
std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::u8string& text) { return std::string(text.begin(), text.end()); }

}  // namespace

std::string DidNotEnd(const Launch& launch) {
  std::string text = "the program did not end within " + std::to_string(launch.limit_seconds) + " s (run with";
  for (const std::string& argument : launch.arguments) text += " \"" + argument + "\"";
  return text + (launch.arguments.empty() ? " no argument)" : ")");
}

ScratchFolder::ScratchFolder() {
  // create_directory reports whether it made the folder, so a name another
  // test took first is never shared.
  static std::mt19937_64 names(std::random_device{}());
  const std::filesystem::path temp = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate = temp / ("varnhold-e2e-" + std::to_string(names()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = Utf8Of(candidate.generic_u8string());
      return;
    }
  }
  throw std::runtime_error("cannot make a scratch folder in " + temp.string());
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(PathOf(path_), ignored);
}

void ScratchFolder::Write(const std::string& name, const Bytes& bytes) const {
  std::ofstream out(PathOf(*this / name), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + name);
}

std::optional<Bytes> ScratchFolder::Read(const std::string& name) const {
  std::ifstream in(PathOf(*this / name), std::ios::binary);
  if (!in) return std::nullopt;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ScratchFolder::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(PathOf(path_))) {
    names.push_back(Utf8Of(entry.path().filename().u8string()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace e2e
