// The safe writer and the text reader against a temporary folder: what they refuse, what they
// leave behind.
#include "datalog/safe_file.h"
#include "datalog/text_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace kvt;
namespace fs = std::filesystem;

namespace {

class SafeFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kvt-files-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(Dir, fs::perms::owner_all, ec);
        fs::remove_all(Dir, ec);
    }
    std::string Path(const std::string& Name) const { return (Dir / Name).string(); }
    static std::string Read(const std::string& Path)
    {
        std::ifstream in(Path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(Dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The error of F, "no error" when it throws none.
    static std::string Error(const std::function<void()>& F, int* Code = nullptr)
    {
        try {
            F();
        } catch (const EFileError& e) {
            if (Code)
                *Code = e.ErrorCode;
            return e.what();
        }
        return "no error";
    }
    fs::path Dir;
};

} // namespace

TEST_F(SafeFiles, OnlyARegularFileTheUserMayWriteIsReplaced)
{
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0644), 0);
    fs::create_directory(Dir / "folder");
    fs::create_symlink("/dev/null", Dir / "null-link");
    std::ofstream(Path("kept")) << "kept";
    fs::create_symlink(Path("kept"), Dir / "file-link");
    std::ofstream(Path("read-only")) << "old";
    fs::permissions(Dir / "read-only", fs::perms::owner_read | fs::perms::group_read); // even for root
    const bool device = ::mknod(Path("null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;

    struct TCase {
        std::string Name;
        int Code;
        std::string Reason;
    };
    std::vector<TCase> cases = {
        {"fifo", EINVAL, "Is a FIFO, not a regular file"},
        {"folder", EISDIR, "Is a folder"},
        {"null-link", ELOOP, "Is a symbolic link, which is not followed"},
        {"file-link", ELOOP, "Is a symbolic link, which is not followed"},
        {"read-only", EACCES, "Is read-only"},
        {"missing/new", ENOENT, "The folder does not exist"},
        {"folder/", EISDIR, "Is a folder"},
    };
    if (device)
        cases.push_back({"null", EINVAL, "Is a device, not a regular file"});
    const auto names = Names();
    const auto start = std::chrono::steady_clock::now();
    for (const TCase& c : cases) {
        const std::string path = Path(c.Name);
        int code = 0;
        EXPECT_EQ(Error([&] { WriteFileSafely(path, "new"); }, &code), path + ": " + c.Reason);
        EXPECT_EQ(code, c.Code) << c.Name;
        // The check before long work says the same.
        EXPECT_EQ(Error([&] { CheckSafeTarget(path); }), path + ": " + c.Reason);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "a FIFO was opened";
    // All left as they were, nothing added.
    EXPECT_EQ(Names(), names);
    EXPECT_TRUE(fs::is_fifo(Dir / "fifo"));
    EXPECT_EQ(fs::read_symlink(Dir / "null-link"), "/dev/null");
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(Read(Path("kept")), "kept");
    EXPECT_EQ(Read(Path("read-only")), "old");
    EXPECT_TRUE(fs::is_empty(Dir / "folder"));
}

TEST_F(SafeFiles, ReplacesWholeKeepingTheModeAndLeavesNoTemporaryFile)
{
    const std::string file = Path("conf");
    CheckSafeTarget(file);
    EXPECT_TRUE(Names().empty());
    WriteFileSafely(file, "first\n");
    EXPECT_EQ(Read(file), "first\n");

    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    {
        TSafeFile f(file);
        f.Write("sec");
        f.Write("ond\n");
        EXPECT_EQ(Read(file), "first\n") << "untouched until the commit";
        f.Commit();
    }
    EXPECT_EQ(Read(file), "second\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // Given up before the commit: the old file stays, the temporary one goes.
    {
        TSafeFile f(file);
        f.Write("third\n");
        EXPECT_EQ(Names().size(), 2u);
    }
    EXPECT_EQ(Read(file), "second\n");
    EXPECT_EQ(Names(), std::vector<std::string>{"conf"});

    // A name at the file system's limit still gets its temporary file.
    const std::string longName = Path(std::string(255, 'x'));
    WriteFileSafely(longName, "long");
    EXPECT_EQ(Read(longName), "long");
    EXPECT_EQ(Names().size(), 2u);
}

TEST_F(SafeFiles, TheNewContentIsNeverOpenToMoreThanTheOldFile)
{
    // The temporary file as it is the moment it exists: whoever may open it then reads what goes in.
    static mode_t Created;
    detail::TempFileCreated = [](int Fd) {
        struct stat st {};
        Created = ::fstat(Fd, &st) == 0 ? st.st_mode & 07777 : 07777;
    };
    const mode_t umaskWas = ::umask(0); // a new file is 0666 then
    for (const mode_t mode : {0600, 0640}) {
        const std::string file = Path("conf");
        WriteFileSafely(file, "old");
        EXPECT_EQ(Created, 0666u) << "a new file gets what any new file gets";
        EXPECT_EQ(::chmod(file.c_str(), mode), 0);
        WriteFileSafely(file, "new");
        EXPECT_EQ(Created & ~mode, 0u) << std::oct << Created << " for a file of " << mode;
        struct stat st {};
        EXPECT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_EQ(::unlink(file.c_str()), 0);
    }
    ::umask(umaskWas);
    detail::TempFileCreated = nullptr;
}

TEST_F(SafeFiles, TextFilesAreReadBoundedAndWithoutWaiting)
{
    const std::string conf = Path("conf");
    std::ofstream(conf) << "\xEF\xBB\xBFkey = 1\n";
    EXPECT_EQ(ReadTextFile(conf), "key = 1\n");
    fs::create_symlink(conf, Dir / "link");
    EXPECT_EQ(ReadTextFile(Path("link")), "key = 1\n");

    const std::string big = Path("big");
    std::ofstream(big) << std::string(TextFileLimit, 'x');
    EXPECT_EQ(ReadTextFile(big).size(), TextFileLimit);
    std::ofstream(big, std::ios::app) << "x";
    int code = 0;
    EXPECT_EQ(Error([&] { ReadTextFile(big); }, &code), big + ": Is larger than 1 MiB");
    EXPECT_EQ(code, EFBIG);

    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0644), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Error([&] { ReadTextFile(Path("fifo")); }), Path("fifo") + ": Is a FIFO, not a regular file");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(Error([&] { ReadTextFile("/dev/zero"); }), "/dev/zero: Is a device, not a regular file");
    EXPECT_EQ(Error([&] { ReadTextFile(Dir.string()); }), Dir.string() + ": Is a folder");
    EXPECT_EQ(Error([&] { ReadTextFile(Path("none")); }, &code), Path("none") + ": No such file or directory");
    EXPECT_EQ(code, ENOENT);
}

TEST(MessageQuote, CutsLongTextOnACharacterAndHidesControlBytes)
{
    EXPECT_EQ(MessageQuote("abc"), "\"abc\"");
    EXPECT_EQ(MessageQuote(std::string(1 << 20, 'k'), 5), "\"kkkkk...\"");
    EXPECT_EQ(MessageQuote("a\tb\x1b[2J\xff", 10), "\"a?b?[2J?\"");
    EXPECT_EQ(MessageQuote("\xC5\xBE\xC5\xBE", 3), "\"\xC5\xBE...\""); // never half a character
}
