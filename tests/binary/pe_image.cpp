#include "pe_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

template <typename T>
T read(const std::uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

}  // namespace

PeImage::PeImage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error_ = "cannot open " + path;
    return;
  }
  file_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!parse() && error_.empty()) error_ = "malformed PE file " + path;
}

const PeImage::Section* PeImage::section_of(std::uint32_t rva) const {
  for (const Section& s : sections_)
    if (rva >= s.rva && rva - s.rva < s.size) return &s;
  return nullptr;
}

const std::uint8_t* PeImage::at(std::uint32_t rva, std::uint32_t size) const {
  const Section* s = section_of(rva);
  if (s == nullptr) return nullptr;
  std::uint64_t offset = rva - s->rva;
  if (offset + size > s->file_size) return nullptr;
  std::uint64_t file_offset = s->file_offset + offset;
  if (file_offset + size > file_.size()) return nullptr;
  return file_.data() + file_offset;
}

std::string PeImage::string_at(std::uint32_t rva) const {
  std::string text;
  for (const std::uint8_t* p; (p = at(rva, 1)) != nullptr && *p != 0; ++rva) text += char(*p);
  return text;
}

bool PeImage::parse() {
  if (file_.size() < 0x40 || file_[0] != 'M' || file_[1] != 'Z') return false;
  std::uint32_t pe = read<std::uint32_t>(&file_[0x3C]);
  if (pe + 24 > file_.size() || std::memcmp(&file_[pe], "PE\0\0", 4) != 0) return false;
  const std::uint8_t* coff = &file_[pe + 4];
  machine_ = read<std::uint16_t>(coff);
  std::uint16_t section_count = read<std::uint16_t>(coff + 2);
  std::uint16_t optional_size = read<std::uint16_t>(coff + 16);
  std::uint32_t optional = pe + 24;
  if (optional + optional_size > file_.size()) return false;
  std::uint16_t magic = read<std::uint16_t>(&file_[optional]);
  if (magic != 0x10B && magic != 0x20B) return false;
  is_64_ = magic == 0x20B;
  image_base_ = is_64_ ? read<std::uint64_t>(&file_[optional + 24])
                       : read<std::uint32_t>(&file_[optional + 28]);
  std::uint32_t directories = optional + (is_64_ ? 112 : 96);

  std::uint32_t table = optional + optional_size;
  if (table + 40u * section_count > file_.size()) return false;
  for (unsigned i = 0; i < section_count; ++i) {
    const std::uint8_t* h = &file_[table + 40 * i];
    Section s;
    s.name.assign(reinterpret_cast<const char*>(h), strnlen(reinterpret_cast<const char*>(h), 8));
    s.size = read<std::uint32_t>(h + 8);
    s.rva = read<std::uint32_t>(h + 12);
    s.file_size = read<std::uint32_t>(h + 16);
    s.file_offset = read<std::uint32_t>(h + 20);
    s.characteristics = read<std::uint32_t>(h + 36);
    sections_.push_back(s);
  }

  auto directory = [&](unsigned index, std::uint32_t& rva, std::uint32_t& size) {
    rva = read<std::uint32_t>(&file_[directories + 8 * index]);
    size = read<std::uint32_t>(&file_[directories + 8 * index + 4]);
  };
  std::uint32_t rva, size;
  directory(0, rva, size);
  if (rva != 0 && !read_exports(rva)) return false;
  directory(1, rva, size);
  if (rva != 0 && !read_imports(rva)) return false;
  directory(2, resource_rva_, resource_size_);
  return true;
}

bool PeImage::read_exports(std::uint32_t rva) {
  const std::uint8_t* d = at(rva, 40);
  if (d == nullptr) return false;
  export_name_ = string_at(read<std::uint32_t>(d + 12));
  ordinal_base_ = read<std::uint32_t>(d + 16);
  std::uint32_t function_count = read<std::uint32_t>(d + 20);
  std::uint32_t name_count = read<std::uint32_t>(d + 24);
  const std::uint8_t* functions = at(read<std::uint32_t>(d + 28), 4 * function_count);
  const std::uint8_t* names = at(read<std::uint32_t>(d + 32), 4 * name_count);
  const std::uint8_t* ordinals = at(read<std::uint32_t>(d + 36), 2 * name_count);
  if (functions == nullptr || names == nullptr || ordinals == nullptr) return false;
  for (std::uint32_t i = 0; i < name_count; ++i) {
    std::uint16_t index = read<std::uint16_t>(ordinals + 2 * i);
    if (index >= function_count) return false;
    exports_.push_back({string_at(read<std::uint32_t>(names + 4 * i)), ordinal_base_ + index,
                        read<std::uint32_t>(functions + 4 * index)});
  }
  return true;
}

bool PeImage::read_imports(std::uint32_t rva) {
  for (;; rva += 20) {
    const std::uint8_t* d = at(rva, 20);
    if (d == nullptr) return false;
    std::uint32_t name = read<std::uint32_t>(d + 12);
    if (name == 0) return true;
    imports_.push_back(string_at(name));
    // The lookup table, or the address table where a linker left no lookup table.
    std::uint32_t entry =
        read<std::uint32_t>(d) != 0 ? read<std::uint32_t>(d) : read<std::uint32_t>(d + 16);
    const unsigned size = is_64_ ? 8 : 4;
    for (;; entry += size) {
      const std::uint8_t* e = at(entry, size);
      if (e == nullptr) return false;
      std::uint64_t value = is_64_ ? read<std::uint64_t>(e) : read<std::uint32_t>(e);
      if (value == 0) break;
      std::uint64_t by_ordinal = std::uint64_t(1) << (8 * size - 1);
      std::string function =
          value & by_ordinal ? "#" + std::to_string(value & 0xffff)
                             : string_at(static_cast<std::uint32_t>(value) + 2);  // after the hint
      imported_functions_.push_back({imports_.back(), function});
    }
  }
}

bool PeImage::has_resource_type(std::uint16_t type) const {
  const std::uint8_t* root = at(resource_rva_, 16);
  if (resource_rva_ == 0 || root == nullptr) return false;
  unsigned entries = read<std::uint16_t>(root + 12) + read<std::uint16_t>(root + 14);
  const std::uint8_t* entry = at(resource_rva_ + 16, 8 * entries);
  if (entry == nullptr) return false;
  for (unsigned i = 0; i < entries; ++i)
    if (read<std::uint32_t>(entry + 8 * i) == type) return true;
  return false;
}

std::vector<std::uint8_t> PeImage::resource_bytes() const {
  const std::uint8_t* bytes = at(resource_rva_, resource_size_);
  if (bytes == nullptr) return {};
  return {bytes, bytes + resource_size_};
}

bool PeImage::has_version_naming(const std::u16string& file) const {
  if (!has_resource_type(16)) return false;
  const std::vector<std::uint8_t> bytes = resource_bytes();
  const auto* begin = reinterpret_cast<const std::uint8_t*>(file.data());
  const auto* end = begin + file.size() * sizeof(char16_t);
  return std::search(bytes.begin(), bytes.end(), begin, end) != bytes.end();
}
