// A reader of the version resource of PE program and library files, and a query over the
// version block with the semantics of the platform's version service. Portable: the Linux
// build reads version information with it, and the Windows tests hold it against the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace harbex::fileinfo {

// Random access to the bytes of a file, so the reader works the same on disk and in memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`; false when they are not all there.
    virtual bool ReadAt(std::uint64_t offset, void* out, std::size_t size) const = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::uint64_t Size() const override { return m_bytes.size(); }
    bool ReadAt(std::uint64_t offset, void* out, std::size_t size) const override;

private:
    std::span<const std::uint8_t> m_bytes;
};

class FileSource final : public ByteSource {
public:
    // `fileName` is a path in the platform's narrow encoding.
    explicit FileSource(const char* fileName);
    bool IsOpen() const { return m_open; }
    std::uint64_t Size() const override { return m_size; }
    bool ReadAt(std::uint64_t offset, void* out, std::size_t size) const override;

private:
    mutable std::ifstream m_stream;
    std::uint64_t m_size = 0;
    bool m_open = false;
};

// Where the version resource's bytes lie in the file.
struct VersionResource {
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
};

// Finds the version resource (type 16, name 1) the way the platform's resource lookup does:
// the language-neutral entry, then Simplified Chinese (the players' language, code page 936),
// then US English, then the first entry. Nothing found, or any structure out of the file's
// bounds: nullopt.
std::optional<VersionResource> FindVersionResource(const ByteSource& file);

// The size the platform's version service reports for a resource of `resourceSize` bytes: twice
// the resource plus four, the room it keeps behind the block for narrow copies of its texts.
std::uint32_t ReportedVersionInfoSize(std::uint32_t resourceSize);

// Copies the resource into `block` (at most block.size() bytes) and marks the end of the
// version tree as the platform does. False when the bytes cannot be read.
bool CopyVersionInfo(const ByteSource& file, const VersionResource& resource,
                     std::span<std::uint8_t> block);

// True when `block` holds a Unicode version tree whose every node lies inside its parent with a
// terminated key and a value inside the tree, no deeper than sixteen levels, and whose narrow
// copies fit behind it (twice the tree plus four bytes within block.size()). Any query on such
// a block stays inside it.
bool IsSoundVersionBlock(std::span<const std::uint8_t> block);

// Conversion between the version block's UTF-16 texts and the narrow texts of the callers.
struct AnsiCodec {
    std::string (*toAnsi)(std::u16string_view text);
    std::u16string (*fromAnsi)(std::string_view text);
};

// The platform's version query on a block: `path` is a backslash-separated list of keys (empty
// parts skipped, keys matched without regard to ASCII case); "\\" names the root. A text value
// is converted to narrow text, stored behind the tree in the block and terminated; `value`
// then points at it and `length` is its converted length. Other values point into the tree
// with `length` the stored value length. False when a key is missing or the block is malformed.
bool QueryVersionValue(std::span<std::uint8_t> block, const char* path, const AnsiCodec& codec,
                       void** value, std::uint32_t* length);

}  // namespace harbex::fileinfo
