// Laying out the check's findings and the model list in columns.
#include "tools/driver_package/report_table.h"

#include <algorithm>
#include <map>

#include "tools/driver_package/text_encoding.h"

namespace driver_package {

namespace {

constexpr size_t kWrapColumn = 100;

std::string Pad(const std::string& utf8, size_t width) {
    const size_t used = TerminalWidth(utf8);
    return utf8 + std::string(width > used ? width - used : 0, ' ');
}

std::string RightAligned(const std::string& text, size_t width) {
    return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

std::string Describe(const Finding& finding) {
    return std::string(finding.severity == Severity::kError ? "error: " : "warning: ") + ForTerminal(finding.text);
}

std::string Plural(int count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

std::string FormatCheckReport(const std::string& packageName, const CheckReport& report) {
    size_t modelCount = 0;
    size_t seriesWidth = 6;
    size_t modelWidth = 6;
    for (const RowReport& row : report.rows) {
        modelCount += row.models.size();
        seriesWidth = std::max(seriesWidth, TerminalWidth(row.series));
        for (const std::string& model : row.models) modelWidth = std::max(modelWidth, TerminalWidth(ForTerminal(model)));
    }
    std::string out = "Package " + packageName + ": " + Plural(static_cast<int>(report.fileCount), "file") + ", " +
                      Plural(static_cast<int>(report.rows.size()), "row") + ", " +
                      Plural(static_cast<int>(modelCount), "model") + "\n\n";
    if (!report.rows.empty()) {
        out += "Row  " + Pad("Series", seriesWidth) + "  " + Pad("Models", modelWidth) + "  Result\n";
        out += "---  " + std::string(seriesWidth, '-') + "  " + std::string(modelWidth, '-') + "  ------\n";
    }
    for (const RowReport& row : report.rows) {
        std::vector<std::string> results;
        for (const Finding& finding : row.findings) results.push_back(Describe(finding));
        if (results.empty()) results.push_back("ok");
        const std::string series = row.series.empty() ? "(none)" : row.series;
        const size_t lines = std::max(results.size(), row.models.size());
        for (size_t i = 0; i < lines; ++i) {
            const std::string model = i < row.models.size() ? ForTerminal(row.models[i]) : "";
            const std::string result = i < results.size() ? results[i] : "";
            out += (i == 0 ? RightAligned(std::to_string(row.row), 3) : "   ") + "  " +
                   Pad(i == 0 ? series : "", seriesWidth) + "  ";
            out += result.empty() ? model : Pad(model, modelWidth) + "  " + result;
            out += "\n";
        }
    }
    if (!report.package.empty()) {
        out += "\nPackage:\n";
        for (const Finding& finding : report.package) out += "  " + Describe(finding) + "\n";
    }
    const int errors = report.Count(Severity::kError);
    const int warnings = report.Count(Severity::kWarning);
    out += "\n" + std::string(report.Installs() ? "Installs every listed model" : "Does NOT install every listed model") +
           " (" + Plural(errors, "error") + ", " + Plural(warnings, "warning") + ")\n";
    return out;
}

std::string FormatModelList(const std::vector<ListedModel>& models) {
    std::string out;
    for (const ListedModel& model : models) {
        out += ForTerminal(model.name) + "  (row " + std::to_string(model.row) + ": ";
        if (!model.resolved) {
            out += "past the catalogue, nothing installs)\n";
            continue;
        }
        out += std::string(model.files.isLabel ? "label" : "receipt") + " series " + model.files.series + ", " +
               model.files.detail + ")\n";
        // The files grouped by folder, in the order they are staged.
        std::vector<std::string> folders;
        std::map<std::string, std::vector<std::string>> byFolder;
        for (const StagedFile& file : model.files.files) {
            const size_t cut = file.entry.rfind('\\') + 1;
            const std::string folder = file.entry.substr(0, cut);
            if (byFolder.count(folder) == 0) folders.push_back(folder);
            byFolder[folder].push_back(file.entry.substr(cut));
        }
        for (const std::string& folder : folders) {
            std::string line = "  " + folder + ":";
            for (const std::string& name : byFolder[folder]) {
                if (line.size() + 1 + name.size() > kWrapColumn) {
                    out += line + "\n";
                    line = std::string(folder.size() + 3, ' ');
                }
                line += " " + name;
            }
            out += line + "\n";
        }
    }
    return out;
}

}  // namespace driver_package
