// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_TESTING_MEMORY_FILE_SYSTEM_H_
#define VARNHOLD_TESTING_MEMORY_FILE_SYSTEM_H_

// A file system held in memory, for tests: it stores bytes by name, lets
// names share a file as links do, and fails on demand.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/file.h"

namespace test_support {

class MemoryFileSystem final : public platform::FileSystem {
 public:
  /// One stored file; several names may point at the same one.
  struct Node {
    std::vector<std::uint8_t> bytes;
    std::uint64_t index = 0;
    bool directory = false;
    bool held_elsewhere = false;               ///< another process holds it open
    bool open = false;                         ///< this run holds it open
    std::optional<std::uint64_t> write_limit;  ///< writes past this length fail
    bool fail_close = false;
    /// Each read delivers at most this many bytes, as a pipe or a network
    /// file system may.
    std::size_t read_piece = SIZE_MAX;
    std::uint64_t modified = 0;  ///< counts writes: the double's modification time
    /// Another process rewrites the file with these bytes once this run has
    /// read from it.
    std::optional<std::vector<std::uint8_t>> rewritten_after_first_read;
  };

  /// Creates or replaces `name` with `bytes`.
  Node& AddFile(const std::string& name, std::vector<std::uint8_t> bytes = {});
  Node& AddDirectory(const std::string& name);
  /// Makes `alias` another name of the file `name` (as a hard or symbolic link).
  void AddLink(const std::string& alias, const std::string& name);
  /// Makes `alias` another name of the file `name` that reports an identity of
  /// its own, as file systems without stable inode numbers do.
  void AddUnrecognisableLink(const std::string& alias, const std::string& name);
  /// Makes creating `name` fail, as a name in a missing folder does.
  void RefuseCreation(const std::string& name) { refused_.insert(name); }
  /// Lets another process take hold of `name` the moment this run creates it.
  void HoldOnCreation(const std::string& name) { held_on_creation_.insert(name); }

  /// The file behind `name`, or nullptr.
  Node* Find(const std::string& name);
  /// The bytes stored under `name`; nothing when it does not exist.
  std::optional<std::vector<std::uint8_t>> Contents(const std::string& name);
  /// Every name that holds a file (not folders), in order.
  std::vector<std::string> FileNames() const;

  platform::NameKind KindOf(const std::string& name) override;
  std::unique_ptr<platform::File> OpenForReading(const std::string& name) override;
  /// Has no permissions to copy: `like` is not used.
  platform::OutputOpening OpenForWriting(const std::string& name, const platform::File& like) override;
  bool Remove(const std::string& name) override;
  /// Keeps the bytes, as POSIX systems do; after `ReadAnsiAsLatin1` it stands
  /// for a system whose ANSI code page is ISO 8859-1: every byte becomes the
  /// UTF-8 form of the code point of the same number.
  std::string NameFromAnsi(std::string_view bytes) override;
  void ReadAnsiAsLatin1() { ansi_is_latin1_ = true; }

 private:
  platform::FileIdentity IdentityOf(const std::string& name) const;

  std::map<std::string, std::shared_ptr<Node>> names_;
  std::map<std::string, std::uint64_t> own_index_;  ///< names that do not show their file's index
  std::set<std::string> refused_;
  std::set<std::string> held_on_creation_;
  std::uint64_t next_index_ = 1;
  bool ansi_is_latin1_ = false;
};

}  // namespace test_support

#endif  // VARNHOLD_TESTING_MEMORY_FILE_SYSTEM_H_
