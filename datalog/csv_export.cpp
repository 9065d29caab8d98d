#include "datalog/csv_export.h"

#include "platform/safe_file.h"
#include "platform/utf8.h"

namespace kvt {

namespace {

constexpr size_t BlockSize = 1 << 20;

bool IsAscii(std::string_view Text)
{
    for (char c : Text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

void AppendRow(std::string& Out, std::string_view Text)
{
    if (IsAscii(Text))
        Out.append(Text);
    else
        AppendSingleByte(Out, Text);
    Out.append(";\r\n");
}

} // namespace

ECsvError::ECsvError(int Code, std::string Name, const std::string& Reason)
    : std::runtime_error(Reason), ErrorCode(Code), FileName(std::move(Name))
{
}

std::string CsvFileName(std::string_view Chosen)
{
    std::string name(Chosen);
    bool hasExt = false;
    if (name.size() >= 4) {
        const std::string_view tail = std::string_view(name).substr(name.size() - 4);
        hasExt = tail[0] == '.' && (tail[1] | 0x20) == 'c' && (tail[2] | 0x20) == 's'
                 && (tail[3] | 0x20) == 'v';
    }
    if (!hasExt)
        name += ".csv";
    return name;
}

void AppendSingleByte(std::string& Out, std::string_view Utf8)
{
    while (!Utf8.empty()) {
        const platform::TUtf8Char c = platform::DecodeUtf8(Utf8);
        if (c.Length == 0) {
            Out.push_back('?');
            Utf8.remove_prefix(1);
            continue;
        }
        Out.push_back(c.Code <= 0xFF ? static_cast<char>(c.Code) : '?');
        Utf8.remove_prefix(c.Length);
    }
}

std::string CsvBytes(const TLogTable& Table)
{
    std::string out;
    for (size_t row = 0; row < Table.RowCount(); ++row)
        AppendRow(out, Table.Cell(row));
    return out;
}

void ExportCsv(const TLogTable& Table, const std::string& FileName)
{
    try {
        TSafeFile file(FileName);
        std::string block;
        block.reserve(BlockSize + 256);
        for (size_t row = 0; row < Table.RowCount(); ++row) {
            AppendRow(block, Table.Cell(row));
            if (block.size() >= BlockSize) {
                file.Write(block);
                block.clear();
            }
        }
        file.Write(block);
        file.Commit();
    } catch (const EFileError& e) {
        throw ECsvError(e.ErrorCode, FileName, e.Reason);
    }
}

} // namespace kvt
