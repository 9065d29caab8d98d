#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

#include "datalog/csv_export.h"

using namespace kvt;
namespace fs = std::filesystem;

namespace {

class CsvExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kvt-csv-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }
    static std::string Read(const fs::path& Path)
    {
        std::ifstream in(Path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static size_t OpenFiles()
    {
        size_t n = 0;
        for ([[maybe_unused]] auto& e : fs::directory_iterator("/proc/self/fd"))
            ++n;
        return n;
    }
    fs::path Dir;
};

TLogTable Recording(std::string_view Period, std::initializer_list<std::string_view> Samples)
{
    TLogTable t;
    t.SetCell(0, Period);
    t.SetRowCount(0);
    for (auto s : Samples)
        t.Append(s);
    return t;
}

} // namespace

TEST_F(CsvExport, FileBytesForARun)
{
    const auto t = Recording("5 sec", {"4012", "4015", "4020"});
    const std::string name = (Dir / "run.csv").string();
    ExportCsv(t, name);
    EXPECT_EQ(Read(name), "5 sec;\r\n4012;\r\n4015;\r\n4020;\r\n");
    // A second export writes the same and leaves the table as it was.
    ExportCsv(t, name);
    EXPECT_EQ(Read(name), "5 sec;\r\n4012;\r\n4015;\r\n4020;\r\n");
    EXPECT_EQ(t.RowCount(), 4u);
}

TEST_F(CsvExport, EmptyTableAndStartStopWithoutTick)
{
    EXPECT_EQ(CsvBytes(TLogTable()), ";\r\n");
    EXPECT_EQ(CsvBytes(Recording("2 min", {})), "2 min;\r\n");
    // An existing longer file is replaced whole.
    const std::string name = (Dir / "x.csv").string();
    std::ofstream(name) << "old content that is longer";
    ExportCsv(TLogTable(), name);
    EXPECT_EQ(Read(name), ";\r\n");
}

TEST_F(CsvExport, SingleByteText)
{
    // The locale's separator is written as one byte; what has no single byte becomes '?'.
    EXPECT_EQ(CsvBytes(Recording("1 sec", {"123,5", "-3,5"})), "1 sec;\r\n123,5;\r\n-3,5;\r\n");
    std::string out;
    AppendSingleByte(out, "1\u00b75");
    EXPECT_EQ(out, "1\xb7" "5");
    out.clear();
    AppendSingleByte(out, "1\u066b5|\xff|\xc3|\xc1\x81");
    EXPECT_EQ(out, "1?5|?|?|??");
    // An overlong 'A' and a surrogate are no characters: a '?' for each of their bytes.
    out.clear();
    AppendSingleByte(out, "\xE0\x81\x81|\xED\xA0\x80");
    EXPECT_EQ(out, "???|???");
}

TEST(CsvFileName, AppendsTheExtensionOnlyWhenMissing)
{
    EXPECT_EQ(CsvFileName("/home/u/log"), "/home/u/log.csv");
    EXPECT_EQ(CsvFileName("/home/u/log.csv"), "/home/u/log.csv");
    EXPECT_EQ(CsvFileName("/home/u/LOG.CSV"), "/home/u/LOG.CSV");
    EXPECT_EQ(CsvFileName("/home/u/log.Csv"), "/home/u/log.Csv");
    EXPECT_EQ(CsvFileName("/home/u/log.txt"), "/home/u/log.txt.csv");
    EXPECT_EQ(CsvFileName("/home/u/logcsv"), "/home/u/logcsv.csv");
    EXPECT_EQ(CsvFileName("/home/u/měření"), "/home/u/měření.csv");
    EXPECT_EQ(CsvFileName("csv"), "csv.csv");
}

TEST_F(CsvExport, FilesThatCannotBeWrittenGiveTheReasonAndStayAsTheyWere)
{
    const auto t = Recording("1 sec", {"1", "2"});
    const size_t before = OpenFiles();
    auto expectError = [&](const std::string& Name, int Code, const std::string& Reason) {
        try {
            ExportCsv(t, Name);
            ADD_FAILURE() << "no error for " << Name;
        } catch (const ECsvError& e) {
            EXPECT_EQ(e.ErrorCode, Code) << Name;
            EXPECT_EQ(e.what(), Reason);
            EXPECT_EQ(e.FileName, Name);
        }
    };
    expectError((Dir / "missing" / "log.csv").string(), ENOENT, "The folder does not exist");
    expectError(Dir.string(), EISDIR, "Is a folder");
    fs::create_symlink("/dev/full", Dir / "full.csv");
    expectError((Dir / "full.csv").string(), ELOOP, "Is a symbolic link, which is not followed");
    EXPECT_TRUE(fs::is_symlink(Dir / "full.csv"));
    EXPECT_EQ(OpenFiles(), before);
}

TEST_F(CsvExport, AFailedWriteLeavesTheOldFile)
{
    // A file size limit makes the write fail part-way, as a full disk would.
    TLogTable t;
    t.SetCell(0, "1 sec");
    for (int i = 0; i < 400000; ++i)
        t.Append(std::to_string(10000 + i % 90000));
    ASSERT_GT(CsvBytes(t).size(), 2u << 20);

    const std::string name = (Dir / "big.csv").string();
    std::ofstream(name) << "old;\r\n";
    const rlim_t limit = 1536 * 1024;
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = old;
    lowered.rlim_cur = limit;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
    const size_t before = OpenFiles();
    int code = 0;
    try {
        ExportCsv(t, name);
    } catch (const ECsvError& e) {
        code = e.ErrorCode;
    }
    const size_t after = OpenFiles();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(code, EFBIG);
    EXPECT_EQ(after, before);
    EXPECT_EQ(Read(name), "old;\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1) << "no temporary file left";
}
