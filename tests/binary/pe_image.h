// A reader for the parts of a PE file the binary checks look at: sections, exports, imports and
// resources. It works on the file bytes alone, so it checks 32-bit DLLs on a 64-bit host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class PeImage {
 public:
  struct Section {
    std::string name;
    std::uint32_t rva, size, file_offset, file_size, characteristics;
  };
  struct Export {
    std::string name;
    std::uint32_t ordinal, rva;
  };
  struct Import {
    std::string library;
    std::string function;  // "#n" for an import by ordinal n
  };

  explicit PeImage(const std::string& path);

  // Empty when the file was read and understood; otherwise what went wrong.
  const std::string& error() const { return error_; }

  bool is_64() const { return is_64_; }
  std::uint16_t machine() const { return machine_; }
  std::uint64_t image_base() const { return image_base_; }
  const std::vector<Section>& sections() const { return sections_; }
  const Section* section_of(std::uint32_t rva) const;

  // `size` bytes of the loaded image at `rva`, or null if they are not all in the file.
  const std::uint8_t* at(std::uint32_t rva, std::uint32_t size) const;

  const std::string& export_name() const { return export_name_; }
  std::uint32_t ordinal_base() const { return ordinal_base_; }
  const std::vector<Export>& exports() const { return exports_; }  // name-table order
  const std::vector<std::string>& imports() const { return imports_; }
  const std::vector<Import>& imported_functions() const { return imported_functions_; }
  // The raw bytes of the resource section's data, for content checks.
  bool has_resource_type(std::uint16_t type) const;
  // Whether a version resource is there and names the file (its OriginalFilename, in UTF-16).
  bool has_version_naming(const std::u16string& file) const;
  std::vector<std::uint8_t> resource_bytes() const;

 private:
  bool parse();
  bool read_exports(std::uint32_t rva);
  bool read_imports(std::uint32_t rva);
  std::string string_at(std::uint32_t rva) const;

  std::vector<std::uint8_t> file_;
  std::string error_;
  bool is_64_ = false;
  std::uint16_t machine_ = 0;
  std::uint64_t image_base_ = 0;
  std::uint32_t resource_rva_ = 0;
  std::uint32_t resource_size_ = 0;
  std::vector<Section> sections_;
  std::string export_name_;
  std::uint32_t ordinal_base_ = 0;
  std::vector<Export> exports_;
  std::vector<std::string> imports_;
  std::vector<Import> imported_functions_;
};
