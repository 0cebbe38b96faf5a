// The cabinet writer, on libgcab.
#include "tools/driver_package/cabinet_writer.h"

#include <libgcab.h>

#include <cstdio>
#include <memory>

namespace driver_package {

namespace {

template <typename T>
struct GObjectUnref {
    void operator()(T* object) const {
        if (object) g_object_unref(object);
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref<T>>;

std::string Take(GError* error) {
    std::string text = error && error->message ? error->message : "unknown error";
    if (error) g_error_free(error);
    return text;
}

bool Write(const std::vector<SafeFile>& files, const std::string& path, std::string* why) {
    GPtr<GCabCabinet> cabinet(gcab_cabinet_new());
    GPtr<GCabFolder> folder(gcab_folder_new(GCAB_COMPRESSION_MSZIP));
    // A fixed date: the same folder gives the same package.
    GDateTime* date = g_date_time_new_utc(2020, 1, 1, 0, 0, 0);
    GError* error = nullptr;
    bool added = true;
    for (const SafeFile& file : files) {
        GBytes* bytes = g_bytes_new(file.entry->bytes.data(), file.entry->bytes.size());
        GPtr<GCabFile> item(gcab_file_new_with_bytes(file.path.c_str(), bytes));
        g_bytes_unref(bytes);
        gcab_file_set_date_time(item.get(), date);
        if (!gcab_folder_add_file(folder.get(), item.get(), FALSE, nullptr, &error)) {
            added = false;
            break;
        }
    }
    g_date_time_unref(date);
    if (!added || !gcab_cabinet_add_folder(cabinet.get(), folder.get(), &error)) {
        *why = Take(error);
        return false;
    }
    GPtr<GFile> target(g_file_new_for_path(path.c_str()));
    GPtr<GFileOutputStream> stream(
        g_file_replace(target.get(), nullptr, FALSE, G_FILE_CREATE_REPLACE_DESTINATION, nullptr, &error));
    if (!stream) {
        *why = Take(error);
        return false;
    }
    GOutputStream* output = G_OUTPUT_STREAM(stream.get());
    if (!gcab_cabinet_write_simple(cabinet.get(), output, nullptr, nullptr, nullptr, &error) ||
        !g_output_stream_close(output, nullptr, &error)) {
        *why = Take(error);
        return false;
    }
    return true;
}

}  // namespace

bool WriteCabinet(const std::vector<SafeFile>& files, const std::string& outputPath, std::string* why) {
    const std::string temporary = outputPath + ".tmp";
    if (!Write(files, temporary, why)) {
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), outputPath.c_str()) != 0) {
        *why = "cannot rename " + temporary + " to " + outputPath;
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace driver_package
