#include "package/archive_extractor.h"

#include <exception>

namespace package {

namespace {
// The result an exception out of the unpacker counts as.
constexpr int kUnpackerThrew = 100;
}  // namespace

ArchiveExtractor::~ArchiveExtractor() { Unload(); }

int ArchiveExtractor::Load() {
    Unload();
    m_module = m_machine.archive().LoadUnpacker();
    return m_module != nullptr ? 1 : 0;
}

bool ArchiveExtractor::Extract(const std::string& archivePath, const std::string& outputFolder) {
    m_unpackedFiles.clear();
    m_foundArchive = false;
    Load();
    if (m_module == nullptr) return false;
    // A library without every entry point is as good as none: nothing is
    // called through a missing one.
    if (!m_machine.archive().HasEntryPoints(m_module)) return false;
    if (m_machine.files().GetFileAttributesA(archivePath.c_str()) == win::INVALID_FILE_ATTRIBUTES) return false;
    m_foundArchive = true;

    int result;
    try {
        result = m_machine.archive().Extract(m_module, archivePath.c_str(), outputFolder.c_str(), &m_unpackedFiles);
    } catch (const std::exception&) {
        result = kUnpackerThrew;
    }
    if (result != 0) m_unpackedFiles.clear();
    return result == 0;
}

void ArchiveExtractor::Unload() {
    if (m_module != nullptr) {
        m_machine.archive().FreeLibrary(m_module);
        m_module = nullptr;
    }
}

}  // namespace package
