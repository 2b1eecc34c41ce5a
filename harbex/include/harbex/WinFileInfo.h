// Reader of the version information that a Windows program or library file carries.
#pragma once

#include <cstdint>

#include "harbex/HarbexApi.h"

// The fixed version record of a version block, field for field the platform's own record, so
// callers read it without the platform's headers (the Windows build checks that both layouts
// agree). It lives inside the reader's block; the reader never allocates one.
struct tagFixedFileInfo {
    std::uint32_t dwSignature;  // 0xFEEF04BD
    std::uint32_t dwStrucVersion;
    std::uint32_t dwFileVersionMS;
    std::uint32_t dwFileVersionLS;
    std::uint32_t dwProductVersionMS;
    std::uint32_t dwProductVersionLS;
    std::uint32_t dwFileFlagsMask;
    std::uint32_t dwFileFlags;
    std::uint32_t dwFileOS;
    std::uint32_t dwFileType;
    std::uint32_t dwFileSubtype;
    std::uint32_t dwFileDateMS;
    std::uint32_t dwFileDateLS;
};
static_assert(sizeof(tagFixedFileInfo) == 52, "the fixed version record is 52 bytes");

// Copies a file's version block once and answers every later question from that copy.
// Texts it returns point into the object's own block: valid until the next OpenWinFile or the
// object's end. Answering a text may write into the block (the narrow copy of the text), so the
// text getters are not const.
class HARBEX_API CWinFileInfo {
public:
    CWinFileInfo();
    virtual ~CWinFileInfo();
    // A copy answers from its own block: its fixed-record view refers into that block.
    CWinFileInfo(const CWinFileInfo& other);
    CWinFileInfo& operator=(const CWinFileInfo& other);

    // Loads the version block of the named file. On failure the object is left as after
    // construction.
    bool OpenWinFile(const char* fileName);

    // Text of one named string of the string table named by the file's first translation, or
    // null when the file, the table or the name is missing. Names whose query path would not
    // fit 127 characters give null.
    const char* QueryValue(const char* valueName);

    const char* GetFileVersion();
    const char* GetProductVersion();
    const char* GetInternalName();
    const char* GetCompanyName();
    const char* GetLegalCopyright();
    const char* GetOriginalFilename();
    const char* GetProductName();
    const char* GetFileDescription();

    // The fixed version record inside the block; null until a file has been opened.
    const tagFixedFileInfo* GetFixedFileInfo() const;

    // Numeric versions from the fixed record; false with both set to 0 when nothing is open.
    bool GetFileVersion(std::uint32_t& high, std::uint32_t& low) const;
    bool GetProductVersion(std::uint32_t& high, std::uint32_t& low) const;

protected:
    static constexpr std::uint32_t kBlockSize = 4096;

    std::uint32_t m_dwLangCharset;   // language << 16 | code page; 0 without a translation
    std::uint32_t m_dwFileInfoSize;  // as the platform's version service reports it
    alignas(4) unsigned char m_cbFileInfo[kBlockSize];
    tagFixedFileInfo* m_pFixedFileInfo;  // into m_cbFileInfo, or null
};
