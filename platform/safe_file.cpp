#include "platform/safe_file.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>

namespace kvt {

EFileError::EFileError(int Code, std::string Name, std::string Why)
    : std::runtime_error(Name + ": " + Why), ErrorCode(Code), FileName(std::move(Name)), Reason(std::move(Why))
{
}

void WriteFileSafely(const std::string& Target, std::string_view Data)
{
    TSafeFile file(Target);
    file.Write(Data);
    file.Commit();
}

namespace detail {

namespace {

uint64_t RandomBits()
{
    try {
        std::random_device device;
        return (uint64_t(device()) << 32) ^ device();
    } catch (...) {
        // No entropy source: the exclusive create still keeps the name from being taken over.
        static std::atomic<uint64_t> counter{0};
        const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
        return uint64_t(now) * 0x9E3779B97F4A7C15ull + ++counter;
    }
}

} // namespace

std::string TempFileName(std::string_view BaseName)
{
    // 12 characters of 32 each: 60 bits no one else can predict.
    static const char Digits[] = "abcdefghijklmnopqrstuvwxyz234567";
    uint64_t bits = RandomBits();
    std::string tag;
    for (int i = 0; i < 12; ++i, bits >>= 5)
        tag += Digits[bits & 31];
    // Within 255 bytes (a file name's limit on the usual file systems), cut on a UTF-8 boundary.
    constexpr size_t MaxBase = 255 - 1 - 1 - 12 - 4;
    size_t keep = std::min(BaseName.size(), MaxBase);
    while (keep > 0 && keep < BaseName.size() && (static_cast<unsigned char>(BaseName[keep]) & 0xC0) == 0x80)
        --keep;
    std::string name = ".";
    return name.append(BaseName.substr(0, keep)).append(".").append(tag).append(".tmp");
}

} // namespace detail

} // namespace kvt
