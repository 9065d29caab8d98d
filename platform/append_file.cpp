#include "platform/append_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace kvt {

void MakeFolders(const std::string& Folder)
{
    std::error_code ec;
    const std::filesystem::path path(reinterpret_cast<const char8_t*>(Folder.c_str()));
    std::filesystem::create_directories(path, ec);
    if (ec)
        throw EFileError(ec.value(), Folder, ec.message());
    if (!std::filesystem::is_directory(path, ec))
        throw EFileError(ENOTDIR, Folder, "Is not a folder");
}

} // namespace kvt
