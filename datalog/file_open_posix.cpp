#include "datalog/file_open.h"

namespace kvt {

std::FILE* OpenFileUtf8(const std::string& Name, const char* Mode)
{
    return std::fopen(Name.c_str(), Mode);
}

} // namespace kvt
