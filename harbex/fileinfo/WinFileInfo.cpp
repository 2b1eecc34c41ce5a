#include "harbex/WinFileInfo.h"

#include <cstring>

#include "fileinfo/VersionService.h"

using harbex::fileinfo::PlatformVersionService;
using harbex::fileinfo::VersionState;

CWinFileInfo::CWinFileInfo()
    : m_dwLangCharset(0), m_dwFileInfoSize(0), m_cbFileInfo{}, m_pFixedFileInfo(nullptr) {}

CWinFileInfo::~CWinFileInfo() = default;

CWinFileInfo::CWinFileInfo(const CWinFileInfo& other) : CWinFileInfo() {
    *this = other;
}

CWinFileInfo& CWinFileInfo::operator=(const CWinFileInfo& other) {
    if (this == &other) {
        return *this;
    }
    m_dwLangCharset = other.m_dwLangCharset;
    m_dwFileInfoSize = other.m_dwFileInfoSize;
    std::memcpy(m_cbFileInfo, other.m_cbFileInfo, sizeof m_cbFileInfo);
    m_pFixedFileInfo = nullptr;
    if (other.m_pFixedFileInfo != nullptr) {
        auto offset =
            reinterpret_cast<const unsigned char*>(other.m_pFixedFileInfo) - other.m_cbFileInfo;
        m_pFixedFileInfo = reinterpret_cast<tagFixedFileInfo*>(m_cbFileInfo + offset);
    }
    return *this;
}

bool CWinFileInfo::OpenWinFile(const char* fileName) {
    return harbex::fileinfo::OpenVersionFile(
        PlatformVersionService(), fileName,
        VersionState{m_dwLangCharset, m_dwFileInfoSize, m_cbFileInfo, m_pFixedFileInfo});
}

const char* CWinFileInfo::QueryValue(const char* valueName) {
    return harbex::fileinfo::QueryVersionString(
        PlatformVersionService(),
        VersionState{m_dwLangCharset, m_dwFileInfoSize, m_cbFileInfo, m_pFixedFileInfo}, valueName);
}

const char* CWinFileInfo::GetFileVersion() {
    return QueryValue("FileVersion");
}
const char* CWinFileInfo::GetProductVersion() {
    return QueryValue("ProductVersion");
}
const char* CWinFileInfo::GetInternalName() {
    return QueryValue("InternalName");
}
const char* CWinFileInfo::GetCompanyName() {
    return QueryValue("CompanyName");
}
const char* CWinFileInfo::GetLegalCopyright() {
    return QueryValue("LegalCopyright");
}
const char* CWinFileInfo::GetOriginalFilename() {
    return QueryValue("OriginalFilename");
}
const char* CWinFileInfo::GetProductName() {
    return QueryValue("ProductName");
}
const char* CWinFileInfo::GetFileDescription() {
    return QueryValue("FileDescription");
}

const tagFixedFileInfo* CWinFileInfo::GetFixedFileInfo() const {
    return m_pFixedFileInfo;
}

bool CWinFileInfo::GetFileVersion(std::uint32_t& high, std::uint32_t& low) const {
    if (m_pFixedFileInfo == nullptr) {
        high = low = 0;
        return false;
    }
    high = m_pFixedFileInfo->dwFileVersionMS;
    low = m_pFixedFileInfo->dwFileVersionLS;
    return true;
}

bool CWinFileInfo::GetProductVersion(std::uint32_t& high, std::uint32_t& low) const {
    if (m_pFixedFileInfo == nullptr) {
        high = low = 0;
        return false;
    }
    high = m_pFixedFileInfo->dwProductVersionMS;
    low = m_pFixedFileInfo->dwProductVersionLS;
    return true;
}
