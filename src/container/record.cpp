// SPDX-License-Identifier: MIT
#include "container/record.h"

#include "container/layout.h"
#include "container/names.h"
#include "geometry/dimensions.h"

namespace container {
namespace {

// The length of the UTF-8 sequence a lead byte starts; 0 for a byte that
// never starts one (continuation bytes, and C0, C1, F5 to FF).
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

// A dot that lay in a folder name gives an "extension" with a separator in
// it; that, or a control byte, could never be restored beside the picture, so
// such files are stored as having none.
std::string StoredExtension(std::string_view extension) {
  if (extension.empty() || !IsRestorableTag(extension)) return kNoExtensionMarker;
  return std::string(extension);
}

PicturePlan PlanPicture(const geometry::Parameters& parameters, std::string_view stored_extension,
                        std::uint32_t file_length) {
  PicturePlan plan;
  const std::string_view tag = stored_extension.substr(1);
  const std::uint64_t record_length = RecordLength(tag.size(), file_length);
  const auto pixels = static_cast<std::uint32_t>((record_length + 2) / 3);
  const geometry::GeometryResult geometry = geometry::ChooseGeometry(pixels, parameters.divisor, parameters.fraction);
  if (geometry.fault != geometry::Fault::kNone) {
    plan.fault = geometry.fault;
    return plan;
  }
  const auto [width, height] = geometry.dimensions;
  plan.fill_length = 3ull * width * height - record_length;

  const auto header = BuildHeader(width, height);
  plan.record_start.assign(header.begin(), header.end());
  plan.record_start.push_back(static_cast<std::uint8_t>(tag.size()));
  plan.record_start.insert(plan.record_start.end(), tag.begin(), tag.end());
  plan.record_start.resize(plan.record_start.size() + kFileLengthSize);
  StoreLittleEndian32(&plan.record_start[plan.record_start.size() - kFileLengthSize], file_length);
  return plan;
}

std::optional<RecordStart> ParseRecordStart(std::span<const std::uint8_t> bytes) {
  if (bytes.size() <= kHeaderSize) return std::nullopt;
  const std::size_t tag_length = bytes[kHeaderSize];
  const std::size_t length = RecordStartLength(tag_length);
  if (bytes.size() < length) return std::nullopt;
  const auto* tag = reinterpret_cast<const char*>(&bytes[kHeaderSize + kTagLengthSize]);
  const std::string_view stored(tag, tag_length);
  return RecordStart{std::string(stored.substr(0, stored.find('\0'))),
                     LoadLittleEndian32(&bytes[length - kFileLengthSize]), length};
}

bool IsUtf8(std::string_view bytes) {
  constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = SequenceLength(lead);
    if (length == 0 || bytes.size() - i < length) return false;
    std::uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3Fu);
    }
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

}  // namespace container
