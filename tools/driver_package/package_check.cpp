// The checks: entry names, the model list, and every file each listed model
// stages.
#include "tools/driver_package/package_check.h"

#include <map>
#include <set>

#include "platform/archive_paths.h"
#include "platform/sim/sim_env.h"
#include "tools/driver_package/model_files.h"
#include "tools/driver_package/model_list.h"
#include "tools/driver_package/pe_image.h"
#include "tools/driver_package/text_encoding.h"

namespace driver_package {

namespace {

const char* const kConfigName = "DriverName.cfg";

std::string Join(const std::vector<std::string>& parts, const char* separator) {
    std::string joined;
    for (const std::string& part : parts) joined += (joined.empty() ? "" : separator) + part;
    return joined;
}

// A finding and the models of its row it concerns, in first-seen order.
class RowFindings {
public:
    void Add(Severity severity, const std::string& text, const std::string& model) {
        auto [it, added] = m_index.emplace(text, m_items.size());
        if (added) m_items.push_back({severity, text, {}});
        Item& item = m_items[it->second];
        if (item.models.empty() || item.models.back() != model) item.models.push_back(model);
    }

    // A finding that concerns only some of the row's models says which.
    void Into(RowReport* row) const {
        std::set<std::string> all(row->models.begin(), row->models.end());
        for (const Item& item : m_items) {
            std::set<std::string> concerned(item.models.begin(), item.models.end());
            std::string text = item.text;
            if (concerned != all) text += " (for " + Join(item.models, ", ") + ")";
            row->findings.push_back({item.severity, text});
        }
    }

private:
    struct Item {
        Severity severity;
        std::string text;
        std::vector<std::string> models;
    };
    std::map<std::string, size_t> m_index;
    std::vector<Item> m_items;
};

void CheckImage(const StagedFile& file, const std::string& bytes, const std::string& model, RowFindings* findings) {
    if (file.role == FileRole::kData) return;
    const PeImage image = InspectPeImage(bytes);
    const std::uint16_t wanted = file.x64 ? kMachineAmd64 : kMachineI386;
    if (!image.isPe) {
        findings->Add(Severity::kError, file.entry + " is not a PE image", model);
        return;
    }
    if (image.machine != wanted) {
        findings->Add(Severity::kError,
                      file.entry + " is built for " + MachineName(image.machine) + ", not " + MachineName(wanted), model);
    }
    if (!image.isDll) findings->Add(Severity::kError, file.entry + " is a program, not a DLL", model);
    if (file.role != FileRole::kMonitor) return;
    bool exported = false;
    for (const std::string& name : image.exports) exported = exported || name == kMonitorExport;
    if (!image.exportsReadable) {
        findings->Add(Severity::kError, file.entry + " has a damaged export table", model);
    } else if (!exported) {
        findings->Add(Severity::kError, file.entry + " does not export " + kMonitorExport, model);
    }
}

class Checker {
public:
    explicit Checker(const PackageContents& contents) : m_contents(contents) {}

    CheckReport Run() {
        CheckEntries();
        auto config = m_files.find(platform::sim::FoldName(kConfigName));
        if (config == m_files.end()) {
            Package(Severity::kError, std::string("no ") + kConfigName + ": the installer lists no model");
        } else {
            m_used.insert(config->first);
            CheckModels(config->second->bytes);
        }
        for (const auto& [folded, entry] : m_files) {
            if (m_used.count(folded) == 0 && m_outside.count(folded) == 0) {
                Package(Severity::kWarning, m_paths[folded] + " is used by no listed model");
            }
        }
        m_report.fileCount = m_files.size();
        return m_report;
    }

private:
    void Package(Severity severity, const std::string& text) { m_report.package.push_back({severity, text}); }

    // The unpackers refuse the whole package for any of these.
    void CheckEntries() {
        for (const PackageEntry& entry : m_contents.entries) {
            std::vector<std::string> components;
            const platform::EntryPathProblem problem = platform::CheckArchiveEntryPath(entry.name, &components);
            const std::string shown = ForTerminal(entry.name);
            if (problem != platform::EntryPathProblem::kNone) {
                Package(Severity::kError, "entry \"" + shown + "\": " + platform::DescribeEntryPathProblem(problem));
                continue;
            }
            const std::string path = Join(components, "\\");
            if (entry.kind == EntryKind::kOther) {
                Package(Severity::kError, path + " is a link or special file, not a file");
                continue;
            }
            const bool inRoots = platform::IsInPackageRoots(components);
            if (!inRoots) {
                Package(Severity::kError, path + " is outside the package's roots (DriverName.cfg, Ticket, Barcode)");
            }
            if (entry.kind != EntryKind::kFile) continue;
            const std::string folded = platform::sim::FoldName(path);
            auto [it, added] = m_files.emplace(folded, &entry);
            if (!added) {
                Package(Severity::kError, path + " and " + m_paths[folded] + " are the same file on Windows");
                continue;
            }
            m_paths[folded] = path;
            if (!inRoots) m_outside.insert(folded);
        }
    }

    void CheckModels(const std::string& config) {
        if (config.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            Package(Severity::kError, std::string(kConfigName) +
                                          " starts with a UTF-8 byte order mark: its first section is not seen");
        }
        const ModelList list = ReadModelList(config);
        if (!list.read) {
            Package(Severity::kError, std::string(kConfigName) + " could not be read: no temporary folder to read it in");
        }
        if (list.sectionListCut) {
            Package(Severity::kError, std::string("the section names of ") + kConfigName +
                                          " are too long together: the installer reads only the first " +
                                          std::to_string(list.sections.size()) + " sections");
        }
        // The installer takes the last section that lists the chosen name.
        std::map<std::string, int> lastSection;
        for (size_t row = 0; row < list.sections.size(); ++row) {
            for (const std::string& model : list.sections[row].models) lastSection[model] = static_cast<int>(row);
        }
        for (size_t row = 0; row < list.sections.size(); ++row) {
            CheckRow(static_cast<int>(row), list.sections[row], lastSection);
        }
    }

    void CheckRow(int row, const ModelSection& section, const std::map<std::string, int>& lastSection) {
        RowReport report;
        report.row = row;
        report.models = section.models;
        ModelFiles catalogued;
        if (ResolveModel(row, "", &catalogued)) report.series = catalogued.series;
        if (section.models.empty()) {
            report.findings.push_back({Severity::kWarning, "section [" + section.name + "] lists no model"});
        }
        for (const std::string& key : section.unreadKeys) {
            report.findings.push_back({Severity::kWarning, key + " is never read (names are PrintName1, PrintName2, ... "
                                                                "without gaps, at most 50)"});
        }
        RowFindings findings;
        std::set<std::string> seen;
        for (const std::string& model : section.models) {
            if (!seen.insert(model).second) findings.Add(Severity::kWarning, "listed twice", model);
            if (IsUtf8BeyondAscii(model)) {
                findings.Add(Severity::kError, "the name is UTF-8, not code page 936", model);
            } else if (!IsCodePage936(model)) {
                findings.Add(Severity::kError, "the name is not code page 936", model);
            }
            const int last = lastSection.at(model);
            if (last != row) {
                findings.Add(Severity::kError, "also listed at row " + std::to_string(last) +
                                                   ", whose driver the installer takes", model);
            }
            ModelFiles files;
            if (!ResolveModel(row, model, &files)) {
                findings.Add(Severity::kError,
                             "past the catalogue's " + std::to_string(CatalogueRows()) + " rows: no driver to install",
                             model);
                continue;
            }
            for (const StagedFile& file : files.files) {
                const std::string folded = platform::sim::FoldName(file.entry);
                m_used.insert(folded);
                auto found = m_files.find(folded);
                if (found == m_files.end()) {
                    findings.Add(Severity::kError, "missing " + file.entry, model);
                } else {
                    CheckImage(file, found->second->bytes, model, &findings);
                }
            }
        }
        findings.Into(&report);
        m_report.rows.push_back(report);
    }

    const PackageContents& m_contents;
    CheckReport m_report;
    std::map<std::string, const PackageEntry*> m_files;  // by folded path
    std::map<std::string, std::string> m_paths;          // folded path -> path as stored
    std::set<std::string> m_outside;
    std::set<std::string> m_used;
};

}  // namespace

int CheckReport::Count(Severity severity) const {
    int count = 0;
    for (const Finding& finding : package) count += finding.severity == severity;
    for (const RowReport& row : rows) {
        for (const Finding& finding : row.findings) count += finding.severity == severity;
    }
    return count;
}

CheckReport CheckPackage(const PackageContents& contents) { return Checker(contents).Run(); }

std::vector<SafeFile> SafeFiles(const PackageContents& contents) {
    std::vector<SafeFile> files;
    std::set<std::string> seen;
    for (const PackageEntry& entry : contents.entries) {
        std::string path;
        if (entry.kind != EntryKind::kFile ||
            platform::MakeSafeEntryPath(entry.name, &path) != platform::EntryPathProblem::kNone ||
            !seen.insert(platform::sim::FoldName(path)).second) {
            continue;
        }
        files.push_back({path, &entry});
    }
    return files;
}

}  // namespace driver_package
