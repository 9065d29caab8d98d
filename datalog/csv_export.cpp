#include "datalog/csv_export.h"

#include "platform/safe_file.h"

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
    const auto* p = reinterpret_cast<const unsigned char*>(Utf8.data());
    const auto* end = p + Utf8.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            Out.push_back(static_cast<char>(c));
            ++p;
            continue;
        }
        int len = 0;
        unsigned cp = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1Fu;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0Fu;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07u;
        }
        bool ok = len > 0 && end - p >= len;
        for (int i = 1; ok && i < len; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (p[i] & 0x3Fu);
        }
        // Overlong two-byte forms of ASCII (0xC0, 0xC1) are not UTF-8.
        if (ok && len == 2 && cp < 0x80)
            ok = false;
        if (!ok) {
            Out.push_back('?');
            ++p;
            continue;
        }
        Out.push_back(cp <= 0xFF ? static_cast<char>(cp) : '?');
        p += len;
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
