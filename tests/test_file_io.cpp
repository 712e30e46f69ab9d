#include <gtest/gtest.h>

#include <QDir>

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "core/file_io.h"
#include "core/path_text.h"
#include "app/prompts.h"
#include "tests/scripted_answers.h"
#include "tests/test_support.h"

class FileIo : public ::testing::Test {
protected:
    void SetUp() override { Prompts::resetTestState(); }
    ScratchDir dir;
};

TEST_F(FileIo, LoadsEmptyAndNormalFilesWithATrailingZero)
{
    writeWholeFile(dir.file("empty"), "");
    std::int64_t size = -7;
    ByteBuffer b = Load_AllFile(dir.file("empty"), size);
    ASSERT_TRUE(b);
    EXPECT_EQ(size, 1);
    EXPECT_EQ(b.data()[0], 0);

    writeWholeFile(dir.file("text"), std::string("ab\0c", 4));
    b = Load_AllFile(dir.file("text"), size);
    ASSERT_TRUE(b);
    EXPECT_EQ(size, 5);
    EXPECT_EQ(std::string(b.data(), 5), std::string("ab\0c\0", 5));
    EXPECT_TRUE(Prompts::shownMessages().empty());
}

TEST_F(FileIo, LoadingAMissingFileCreatesItEmpty)
{
    std::int64_t size = 0;
    ByteBuffer b = Load_AllFile(dir.file("new"), size);
    ASSERT_TRUE(b);
    EXPECT_EQ(size, 1);
    EXPECT_EQ(access(dir.file("new").c_str(), F_OK), 0);
}

TEST_F(FileIo, LoadFailuresAreReported)
{
    std::int64_t size = 123;
    ByteBuffer b = Load_AllFile(dir.file("no/such/dir/file"), size);
    EXPECT_FALSE(b);
    EXPECT_EQ(size, 123);
    auto msgs = Prompts::shownMessages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].caption, "Load_AllFile");
    EXPECT_EQ(msgs[0].text, QString::fromStdString("Error CreateFile " + dir.file("no/such/dir/file") + "|FILE NOT FOUND"));
    EXPECT_EQ(msgs[0].icon, Prompts::Icon::Stop);

    Prompts::resetTestState();
    b = Load_AllFile(dir.path(), size);
    EXPECT_FALSE(b);
    ASSERT_EQ(Prompts::shownMessages().size(), 1u);
    EXPECT_TRUE(Prompts::shownMessages()[0].text.endsWith("|ACCESS DENIED"));

    // Other OS errors by their true names.
    symlink(dir.file("loop").c_str(), dir.file("loop").c_str());
    const std::pair<std::string, const char*> cases[] = {{dir.file(std::string(300, 'n')), "|FILENAME EXCED RANGE"},
                                                         {dir.file("loop"), "|BAD PATHNAME"}};
    for (const auto& [path, text] : cases) {
        Prompts::resetTestState();
        EXPECT_FALSE(Load_AllFile(path, size));
        ASSERT_EQ(Prompts::shownMessages().size(), 1u);
        EXPECT_TRUE(Prompts::shownMessages()[0].text.endsWith(text)) << Prompts::shownMessages()[0].text.toStdString();
    }
}

TEST_F(FileIo, LoadsFilesLargerThanFourGigabytes)
{
    long pages = sysconf(_SC_AVPHYS_PAGES);
    if (pages > 0 && static_cast<double>(pages) * sysconf(_SC_PAGESIZE) < 7e9)
        GTEST_SKIP() << "not enough free memory for a 4 GiB buffer";
    const std::int64_t length = (std::int64_t(1) << 32) + 5;
    {
        int fd = ::open(dir.file("big").c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, length - 5), 0);
        ASSERT_EQ(pwrite(fd, "tail!", 5, length - 5), 5);
        ::close(fd);
    }
    std::int64_t size = 0;
    ByteBuffer b = Load_AllFile(dir.file("big"), size);
    ASSERT_TRUE(b);
    EXPECT_EQ(size, length + 1);
    EXPECT_EQ(std::string(b.data() + length - 5, 6), std::string("tail!\0", 6));
}

TEST_F(FileIo, SaveReplacesALongerFileWhole)
{
    writeWholeFile(dir.file("out"), std::string(100, 'o'));
    QString name = QString::fromStdString(dir.file("out"));
    Prompts::queueFileAnswer(name);
    EXPECT_EQ(SaveOnDiskFile(name, "0123456789", 10), 0);
    EXPECT_EQ(readWholeFile(dir.file("out")), "0123456789");
    EXPECT_TRUE(Prompts::shownMessages().empty());
    // No temporary file is left behind.
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList(QDir::Files).size(), 1);
}

TEST_F(FileIo, SaveKeepsTheModeOfTheFileItReplaces)
{
    writeWholeFile(dir.file("private"), "old");
    chmod(dir.file("private").c_str(), 0600);
    QString name = QString::fromStdString(dir.file("private"));
    Prompts::queueFileAnswer(name);
    EXPECT_EQ(SaveOnDiskFile(name, "new", 3), 0);
    struct stat st {};
    ASSERT_EQ(stat(dir.file("private").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(FileIo, SaveOverAFileWithHardLinksOrInAClosedFolderWritesInPlace)
{
    writeWholeFile(dir.file("a"), std::string(50, 'o'));
    ASSERT_EQ(link(dir.file("a").c_str(), dir.file("b").c_str()), 0);
    QString name = QString::fromStdString(dir.file("a"));
    Prompts::queueFileAnswer(name);
    EXPECT_EQ(SaveOnDiskFile(name, "new", 3), 0);
    EXPECT_EQ(readWholeFile(dir.file("b")), "new");  // still one file under two names
    struct stat st {};
    ASSERT_EQ(stat(dir.file("a").c_str(), &st), 0);
    EXPECT_EQ(st.st_nlink, 2u);

    if (geteuid() == 0)
        GTEST_SKIP() << "root may write into any folder";
    const std::string closed = dir.file("closed");
    ASSERT_EQ(mkdir(closed.c_str(), 0700), 0);
    writeWholeFile(closed + "/f", "old text");
    chmod(closed.c_str(), 0500);
    name = QString::fromStdString(closed + "/f");
    Prompts::queueFileAnswer(name);
    EXPECT_EQ(SaveOnDiskFile(name, "newer", 5), 0);
    EXPECT_EQ(readWholeFile(closed + "/f"), "newer");
    chmod(closed.c_str(), 0700);
}

TEST_F(FileIo, SaveCancelledWritesNothing)
{
    QString name = "proposed.asc";
    Prompts::queueFileAnswer(std::nullopt);
    EXPECT_EQ(SaveOnDiskFile(name, "x", 1), -1);
    EXPECT_EQ(name, "proposed.asc");
    EXPECT_NE(access("proposed.asc", F_OK), 0);
}

TEST_F(FileIo, SaveIntoAFolderThatCannotBeWritten)
{
    writeWholeFile(dir.file("blocker"), "x");
    QString name = QString::fromStdString(dir.file("blocker") + "/out.txt");
    Prompts::queueFileAnswer(name);
    EXPECT_EQ(SaveOnDiskFile(name, "data", 4), 0);
    auto msgs = Prompts::shownMessages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].caption, "SaveOnDiskFile");
    EXPECT_EQ(msgs[0].text, "Error CreateFile " + name + "|PATH NOT FOUND");
}

TEST_F(FileIo, SaveOntoAFullDiskReportsAShortWrite)
{
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "/dev/full not available";
    QString name = "/dev/full";
    Prompts::queueFileAnswer(name);
    EXPECT_EQ(SaveOnDiskFile(name, "data", 4), 2);
    auto msgs = Prompts::shownMessages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].text, "Error write all file /dev/full|Size = 4");
    struct stat st {};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device node must not be replaced";
}

TEST_F(FileIo, DialogFilterFromTheProposedExtension)
{
    FileDialogStart s = fileDialogStart("File to load.asc");
    EXPECT_EQ(s.filterText, "Files asc|*.asc|All files|*.*");
    EXPECT_EQ(s.fileName, "File to load.asc");
    EXPECT_TRUE(s.directory.isEmpty());
    EXPECT_EQ(qtNameFilters(s.filterText), (QStringList{"Files asc (*.asc)", "All files (*)"}));

    EXPECT_EQ(fileDialogStart("README").filterText, "All files|*.*");
    EXPECT_EQ(fileDialogStart("archive.tar.gz").filterText, "Files gz|*.gz|All files|*.*");
    EXPECT_EQ(fileDialogStart("long.extension").filterText, "All files|*.*");
    EXPECT_EQ(fileDialogStart("x.").filterText, "All files|*.*");
    EXPECT_EQ(fileDialogStart("x.a|b").filterText, "All files|*.*");
    EXPECT_EQ(fileDialogStart("x.a b").filterText, "All files|*.*");
    EXPECT_EQ(fileDialogStart(QString(200, 'n')).fileName.size(), 200);  // no folder: the whole name
    EXPECT_LE(fileDialogStart("a.abcd").filterText.indexOf("|All"), 40);
}

TEST_F(FileIo, DialogSplitsFolderAndKeepsTheBangSuffix)
{
    FileDialogStart s = fileDialogStart("/home/user/Docs/Letter.TXT\\!extra   ");
    EXPECT_EQ(s.directory, "/home/user/Docs");
    EXPECT_EQ(s.fileName, "Letter.TXT");
    EXPECT_EQ(s.keptSuffix, "\\!extra");
    EXPECT_EQ(s.filterText, "Files TXT|*.TXT|All files|*.*");

    const QString before = QDir::currentPath();
    QString name = "/home/user/Docs/Letter.TXT\\!extra";
    Prompts::queueFileAnswer("/Other/Place/Chosen.TXT  ");
    ASSERT_TRUE(FileNameDialog("Select file", name, FileDialogMode::Open));
    // Case is kept: on this system another case names another file.
    EXPECT_EQ(name, "/Other/Place/Chosen.TXT\\!extra");
    EXPECT_EQ(QDir::currentPath(), before);
    auto req = Prompts::fileRequests().back();
    EXPECT_EQ(req.directory, "/home/user/Docs");
    EXPECT_EQ(req.fileName, "Letter.TXT");
    EXPECT_EQ(req.title, "Select file");

    QString keep = "unchanged";
    Prompts::queueFileAnswer(std::nullopt);
    EXPECT_FALSE(FileNameDialog("t", keep, FileDialogMode::Save));
    EXPECT_EQ(keep, "unchanged");
}

TEST_F(FileIo, FileNamesKeepEveryByte)
{
    const std::string names[] = {"plain.txt", "Ключи/файл.asc", std::string("keep-\xff.txt"),
                                 std::string("\xed\xa0\x80-\xc3\x28-\xf0\x9f\x98\x80"), std::string("a\xdc\xff")};
    for (const std::string& n : names)
        EXPECT_EQ(pathFromQString(pathToQString(n)), n);
    EXPECT_EQ(pathToQString("Ключи"), QString("Ключи"));

    // Saving under a name that is not UTF-8 never touches the file whose name
    // it would be read as.
    const std::string odd = dir.file("keep-\xff.txt"), other = dir.file("keep-\xef\xbf\xbd.txt");
    writeWholeFile(other, "OLD");
    QString name = pathToQString(odd);
    Prompts::queueFileAnswer(name);
    EXPECT_EQ(SaveOnDiskFile(name, "new", 3), 0);
    EXPECT_EQ(readWholeFile(odd), "new");
    EXPECT_EQ(readWholeFile(other), "OLD");
}
