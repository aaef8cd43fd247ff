// SPDX-License-Identifier: MIT
#include "testing/memory_file_system.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace test_support {
namespace {

class MemoryFile final : public platform::File {
 public:
  MemoryFile(std::shared_ptr<MemoryFileSystem::Node> node, platform::FileIdentity identity, bool writable)
      : node_(std::move(node)), identity_(identity), writable_(writable), version_(Version()) {
    node_->open = true;
  }
  ~MemoryFile() override { node_->open = false; }

  platform::FileIdentity Identity() const override { return identity_; }
  std::uint32_t PermissionBits() const override { return 0; }
  bool Unchanged() override { return Version() == version_; }
  std::optional<std::uint64_t> Length() override { return node_->bytes.size(); }
  std::optional<std::uint64_t> Position() override { return position_; }

  std::size_t ReadSome(void* data, std::size_t size) override {
    const std::size_t available = node_->bytes.size() > position_ ? node_->bytes.size() - position_ : 0;
    const std::size_t taken = std::min({size, available, node_->read_piece});
    if (taken > 0) std::memcpy(data, node_->bytes.data() + position_, taken);
    position_ += taken;
    if (node_->rewritten_after_first_read) {
      node_->bytes = *std::exchange(node_->rewritten_after_first_read, std::nullopt);
      ++node_->modified;
    }
    return taken;
  }

  bool WriteAll(const void* data, std::size_t size) override {
    if (!writable_) return false;
    std::size_t allowed = size;
    if (node_->write_limit) {
      allowed = *node_->write_limit > position_
                    ? static_cast<std::size_t>(std::min<std::uint64_t>(size, *node_->write_limit - position_))
                    : 0;
    }
    if (node_->bytes.size() < position_ + allowed) node_->bytes.resize(position_ + allowed);
    if (allowed > 0) std::memcpy(node_->bytes.data() + position_, data, allowed);
    position_ += allowed;
    ++node_->modified;
    return allowed == size;
  }

  bool Seek(std::uint64_t position) override {
    position_ = static_cast<std::size_t>(position);
    return true;
  }

  bool Resize(std::uint64_t length) override {
    if (!writable_) return false;
    node_->bytes.resize(static_cast<std::size_t>(length));
    ++node_->modified;
    position_ = static_cast<std::size_t>(length);
    return true;
  }

  bool Close() override { return !node_->fail_close; }

 private:
  std::pair<std::size_t, std::uint64_t> Version() const { return {node_->bytes.size(), node_->modified}; }

  std::shared_ptr<MemoryFileSystem::Node> node_;
  platform::FileIdentity identity_;
  bool writable_;
  std::pair<std::size_t, std::uint64_t> version_;
  std::size_t position_ = 0;
};

}  // namespace

MemoryFileSystem::Node& MemoryFileSystem::AddFile(const std::string& name, std::vector<std::uint8_t> bytes) {
  auto node = std::make_shared<Node>();
  node->bytes = std::move(bytes);
  node->index = next_index_++;
  names_[name] = node;
  own_index_.erase(name);
  return *node;
}

MemoryFileSystem::Node& MemoryFileSystem::AddDirectory(const std::string& name) {
  Node& node = AddFile(name);
  node.directory = true;
  return node;
}

void MemoryFileSystem::AddLink(const std::string& alias, const std::string& name) { names_[alias] = names_.at(name); }

bool MemoryFileSystem::Remove(const std::string& name) {
  own_index_.erase(name);
  return names_.erase(name) > 0;
}

void MemoryFileSystem::AddUnrecognisableLink(const std::string& alias, const std::string& name) {
  AddLink(alias, name);
  own_index_[alias] = next_index_++;
}

platform::FileIdentity MemoryFileSystem::IdentityOf(const std::string& name) const {
  auto own = own_index_.find(name);
  return {1, own != own_index_.end() ? own->second : names_.at(name)->index};
}

MemoryFileSystem::Node* MemoryFileSystem::Find(const std::string& name) {
  auto found = names_.find(name);
  return found == names_.end() ? nullptr : found->second.get();
}

std::optional<std::vector<std::uint8_t>> MemoryFileSystem::Contents(const std::string& name) {
  Node* node = Find(name);
  if (node == nullptr || node->directory) return std::nullopt;
  return node->bytes;
}

std::vector<std::string> MemoryFileSystem::FileNames() const {
  std::vector<std::string> names;
  for (const auto& [name, node] : names_) {
    if (!node->directory) names.push_back(name);
  }
  return names;
}

platform::NameKind MemoryFileSystem::KindOf(const std::string& name) {
  Node* node = Find(name);
  if (node == nullptr) return platform::NameKind::kMissing;
  return node->directory ? platform::NameKind::kDirectory : platform::NameKind::kRegularFile;
}

std::unique_ptr<platform::File> MemoryFileSystem::OpenForReading(const std::string& name) {
  auto found = names_.find(name);
  if (found == names_.end() || found->second->directory || found->second->held_elsewhere || found->second->open) {
    return nullptr;
  }
  return std::make_unique<MemoryFile>(found->second, IdentityOf(name), false);
}

platform::OutputOpening MemoryFileSystem::OpenForWriting(const std::string& name, const platform::File&) {
  if (refused_.count(name) > 0) return {};
  auto found = names_.find(name);
  const bool created = found == names_.end();
  if (created) {
    AddFile(name).held_elsewhere = held_on_creation_.count(name) > 0;
    found = names_.find(name);
  }
  const Node& node = *found->second;
  // An open file is held exclusively, by this run as by any other.
  if (node.directory || node.held_elsewhere || node.open) return {nullptr, created};
  return {std::make_unique<MemoryFile>(found->second, IdentityOf(name), true), created};
}

std::string MemoryFileSystem::NameFromAnsi(std::string_view bytes) {
  if (!ansi_is_latin1_) return std::string(bytes);
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text.push_back(static_cast<char>(byte));
    } else {
      text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return text;
}

}  // namespace test_support
