// Saving through a temporary file, with each step made to fail on real files in a folder
// of their own: the writer's stream at every one of its writes, creating the temporary
// file, flushing it and moving it onto the target. After any failure the target holds
// its old bytes exactly (or is still absent), no temporary file stays, a file of the
// user's named like the temporary file is untouched, and the result, the failed step and
// the path name what the message shows (7 for create, 8 for write and flush, 9 for replace).
#include "app/messages.h"
#include "app/safe_save.h"
#include "card/document.h"
#include "tests/support/card_text.h"

#include <gtest/gtest.h>
#include <errno.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const HRESULT DISK_FULL = ResultFromWin32(112);
const HRESULT ACCESS_DENIED = ResultFromWin32(5);

// A card with groups, parameters, escapes and a line long enough to fold.
const char CARD[] =
    "BEGIN:VCARD\r\n"
    "VERSION:4.0\r\n"
    "FN:Simon Perreault\r\n"
    "N:Perreault;Simon;;;ing. jr,M.Sc.\r\n"
    "work.TEL;TYPE=WORK,VOICE;PREF=1:+1-555-0100\r\n"
    "work.EMAIL:simon@example.com\r\n"
    "ADR;GEO=\"geo:12.3,45.6\":;;Main St\\;5;Town\r\n"
    "NOTE:a note long enough to be folded by the writer\\, with commas\\, semicolons \\; and\\n"
    "line breaks that run on well past seventy-five bytes\r\n"
    "END:VCARD\r\n";

const char OLD_TARGET[] = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:old\r\nEND:VCARD\r\n";
const char USERS_TMP[] = "the user's own notes, not ours\n";

std::string ReadBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file << bytes;
}

// A new empty folder for one test, removed with what it holds when the test ends.
class TempFolder {
public:
    TempFolder()
    {
        static int counter = 0;
        for (;;) {
            path = fs::temp_directory_path() / ("oskan-save-test-" + std::to_string(++counter) + "-" +
                                                 std::to_string((unsigned long)(uintptr_t)this % 100000));
            std::error_code error;
            if (fs::create_directory(path, error)) break;
        }
    }
    ~TempFolder()
    {
        std::error_code error;
        fs::remove_all(path, error);
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string operator/(const char* name) const { return (path / name).string(); }

    fs::path path;
};

// Forwards to the file, and fails at one write: it hands on the first half of that
// write's bytes, as a disk that fills up does, then reports the disk full.
class FailingOutput : public CardOutput {
public:
    HRESULT Write(const char* bytes, size_t length) override
    {
        int index = writes++;
        if (index == failAt) {
            inner->Write(bytes, length / 2);
            return DISK_FULL;
        }
        return inner->Write(bytes, length);
    }

    CardOutput* inner = nullptr;
    int failAt = -1;
    int writes = 0;
};

class InjectedSteps : public SaveSteps {
public:
    FILE* CreateNew(const char* path) override
    {
        createdPaths.push_back(path);
        if (userFileAppears) {
            // Another program takes the chosen name between the check and the open.
            WriteBytes(path, USERS_TMP);
            userFileAppears = false;
        }
        if (failCreate) {
            errno = EACCES;
#ifdef _WIN32
            _doserrno = 5;
#endif
            return nullptr;
        }
        return SaveSteps::CreateNew(path);
    }
    HRESULT Flush(FILE* file) override
    {
        // The bytes reach the temporary file before the flush to disk fails.
        if (failFlush) return fflush(file) == 0 ? DISK_FULL : ResultFromRuntimeError();
        return SaveSteps::Flush(file);
    }
    HRESULT Replace(const char* temporary, const char* target) override
    {
        replacedFrom = temporary;
        return failReplace ? ACCESS_DENIED : SaveSteps::Replace(temporary, target);
    }
    CardOutput* WrapOutput(CardOutput* output) override
    {
        stream.inner = output;
        return &stream;
    }

    FailingOutput stream;
    bool failCreate = false;
    bool failFlush = false;
    bool failReplace = false;
    bool userFileAppears = false;
    std::vector<std::string> createdPaths;
    std::string replacedFrom;
};

HRESULT WriteDocument(CardOutput& output, void* context)
{
    return ((CardDocument*)context)->WriteCard(output);
}

// The message the save's caller shows for a failure: its body names the path.
std::string MessageFor(HRESULT result, const SaveFailure& failure)
{
    int id = failure.stage == SaveStage::CreateTemporary ? IDS_CANNOT_CREATE
             : failure.stage == SaveStage::Write         ? IDS_CANNOT_SAVE
                                                         : IDS_CANNOT_DELETE;
    char* text = ComposeMessageF(result, nullptr, id, failure.path);
    std::string message = text != nullptr ? text : "";
    free(text);
    return message;
}

class SafeSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, card.Load(CARD)) << card.Why();
        expected = card.Save();
        target = folder / "card.vcf";
    }

    HRESULT Save(InjectedSteps& steps)
    {
        return SaveThroughTemporary(target.c_str(), WriteDocument, &card.document, &failure, &steps);
    }

    TestCard card;
    std::string expected;  // the card's bytes as a save writes them
    TempFolder folder;
    std::string target;
    SaveFailure failure;
};

TEST_F(SafeSave, WithoutAFailureTheTargetIsTheNewCardWhole)
{
    WriteBytes(target, OLD_TARGET);
    WriteBytes(folder / "card.tmp", USERS_TMP);
    InjectedSteps steps;
    ASSERT_EQ(S_OK, Save(steps));
    EXPECT_EQ(expected, ReadBytes(target));
    EXPECT_EQ(USERS_TMP, ReadBytes(folder / "card.tmp"));
    EXPECT_EQ((std::vector<std::string>{"card.tmp", "card.vcf"}), folder.Names());
    EXPECT_EQ(folder / "card-1.tmp", steps.replacedFrom) << "the user's card.tmp is passed over";
    EXPECT_GT(steps.stream.writes, 5) << "the card is written in many pieces";
}

TEST_F(SafeSave, StreamFailingAtEveryWriteLeavesTheOldTarget)
{
    InjectedSteps counting;
    WriteBytes(target, OLD_TARGET);
    ASSERT_EQ(S_OK, Save(counting));
    int writes = counting.stream.writes;
    ASSERT_GT(writes, 5);

    for (int n = 0; n <= writes; ++n) {
        SCOPED_TRACE("write " + std::to_string(n) + " of " + std::to_string(writes));
        WriteBytes(target, OLD_TARGET);
        WriteBytes(folder / "card.tmp", USERS_TMP);
        InjectedSteps steps;
        steps.stream.failAt = n;
        HRESULT result = Save(steps);
        EXPECT_EQ(USERS_TMP, ReadBytes(folder / "card.tmp"));
        EXPECT_EQ((std::vector<std::string>{"card.tmp", "card.vcf"}), folder.Names());
        if (n == writes) {
            // Past the last write nothing fails: the new card, whole.
            EXPECT_EQ(S_OK, result);
            EXPECT_EQ(expected, ReadBytes(target));
            continue;
        }
        EXPECT_EQ(DISK_FULL, result);
        EXPECT_EQ(n + 1, steps.stream.writes) << "the writer stops at the failed write";
        EXPECT_EQ(SaveStage::Write, failure.stage);
        EXPECT_EQ(folder / "card-1.tmp", failure.path);
        EXPECT_EQ(OLD_TARGET, ReadBytes(target));
        std::string message = MessageFor(result, failure);
        EXPECT_EQ(0u, message.find("Cannot save vCard file " + (folder / "card-1.tmp") + "\n[0x80070070] "))
            << message;
    }
}

TEST_F(SafeSave, StreamFailingWithoutAnOldTargetLeavesNoTarget)
{
    InjectedSteps counting;
    ASSERT_EQ(S_OK, Save(counting));
    int writes = counting.stream.writes;
    fs::remove(target);
    for (int n : {0, 1, writes / 2, writes - 1}) {
        SCOPED_TRACE(n);
        InjectedSteps steps;
        steps.stream.failAt = n;
        EXPECT_EQ(DISK_FULL, Save(steps));
        EXPECT_TRUE(folder.Names().empty()) << "neither a target nor a temporary file";
    }
}

TEST_F(SafeSave, CreateFailureReportsTheOpenErrorNotTheExistenceCheck)
{
    // The check whether the chosen name exists ran after the failed open and replaced
    // its error (access denied) with its own (file not found).
    WriteBytes(target, OLD_TARGET);
    WriteBytes(folder / "card.tmp", USERS_TMP);
    InjectedSteps steps;
    steps.failCreate = true;
    HRESULT result = Save(steps);
    EXPECT_EQ(ACCESS_DENIED, result);
    EXPECT_EQ(SaveStage::CreateTemporary, failure.stage);
    EXPECT_EQ(folder / "card-1.tmp", failure.path);
    EXPECT_EQ(0, steps.stream.writes);
    EXPECT_EQ(OLD_TARGET, ReadBytes(target));
    EXPECT_EQ(USERS_TMP, ReadBytes(folder / "card.tmp"));
    EXPECT_EQ((std::vector<std::string>{"card.tmp", "card.vcf"}), folder.Names());
    std::string message = MessageFor(result, failure);
    EXPECT_EQ(0u, message.find("Cannot create vCard file\r\n'" + (folder / "card-1.tmp") + "'\n[0x80070005] "))
        << message;
}

TEST_F(SafeSave, FlushFailureRemovesTheWrittenTemporaryFile)
{
    WriteBytes(target, OLD_TARGET);
    InjectedSteps steps;
    steps.failFlush = true;
    HRESULT result = Save(steps);
    EXPECT_EQ(DISK_FULL, result);
    EXPECT_EQ(SaveStage::Write, failure.stage);
    EXPECT_EQ(folder / "card.tmp", failure.path);
    EXPECT_EQ(OLD_TARGET, ReadBytes(target));
    EXPECT_EQ(std::vector<std::string>{"card.vcf"}, folder.Names());
    EXPECT_EQ(0u, MessageFor(result, failure).find("Cannot save vCard file " + (folder / "card.tmp")));
}

TEST_F(SafeSave, ReplaceFailureKeepsTheOldTargetAndRemovesTheTemporaryFile)
{
    WriteBytes(target, OLD_TARGET);
    WriteBytes(folder / "card.tmp", USERS_TMP);
    InjectedSteps steps;
    steps.failReplace = true;
    HRESULT result = Save(steps);
    EXPECT_EQ(ACCESS_DENIED, result);
    EXPECT_EQ(SaveStage::Replace, failure.stage);
    EXPECT_EQ(target, failure.path);
    EXPECT_EQ(folder / "card-1.tmp", steps.replacedFrom);
    EXPECT_EQ(OLD_TARGET, ReadBytes(target));
    EXPECT_EQ(USERS_TMP, ReadBytes(folder / "card.tmp"));
    EXPECT_EQ((std::vector<std::string>{"card.tmp", "card.vcf"}), folder.Names());
    std::string message = MessageFor(result, failure);
    EXPECT_EQ(0u, message.find("Cannot delete file " + target + "\n[0x80070005] ")) << message;
}

TEST_F(SafeSave, ReplacingAFolderFailsForReal)
{
    // No injection: the target is a folder, which no file may replace.
    fs::create_directory(target);
    WriteBytes((fs::path(target) / "inside.txt").string(), USERS_TMP);
    InjectedSteps steps;
    HRESULT result = Save(steps);
    EXPECT_TRUE(FAILED(result));
    EXPECT_EQ(SaveStage::Replace, failure.stage);
    EXPECT_EQ(target, failure.path);
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(USERS_TMP, ReadBytes((fs::path(target) / "inside.txt").string()));
    EXPECT_EQ(std::vector<std::string>{"card.vcf"}, folder.Names());
}

TEST_F(SafeSave, NameTakenBetweenCheckAndOpenIsPassedOver)
{
    WriteBytes(target, OLD_TARGET);
    InjectedSteps steps;
    steps.userFileAppears = true;
    ASSERT_EQ(S_OK, Save(steps));
    ASSERT_EQ(2u, steps.createdPaths.size());
    EXPECT_EQ(folder / "card.tmp", steps.createdPaths[0]);
    EXPECT_EQ(folder / "card-1.tmp", steps.createdPaths[1]);
    EXPECT_EQ(USERS_TMP, ReadBytes(folder / "card.tmp"));
    EXPECT_EQ(expected, ReadBytes(target));
    EXPECT_EQ((std::vector<std::string>{"card.tmp", "card.vcf"}), folder.Names());
}

TEST_F(SafeSave, EveryStepFailingBesideTwoUserFiles)
{
    // card.tmp and card-1.tmp are the user's: the save works in card-2.tmp whatever fails.
    for (int step = 0; step < 4; ++step) {
        SCOPED_TRACE(step);
        WriteBytes(target, OLD_TARGET);
        WriteBytes(folder / "card.tmp", USERS_TMP);
        WriteBytes(folder / "card-1.tmp", USERS_TMP);
        InjectedSteps steps;
        steps.failCreate = step == 0;
        steps.stream.failAt = step == 1 ? 3 : -1;
        steps.failFlush = step == 2;
        steps.failReplace = step == 3;
        EXPECT_TRUE(FAILED(Save(steps)));
        EXPECT_EQ(step == 3 ? target : folder / "card-2.tmp", failure.path);
        EXPECT_EQ(OLD_TARGET, ReadBytes(target));
        EXPECT_EQ(USERS_TMP, ReadBytes(folder / "card.tmp"));
        EXPECT_EQ(USERS_TMP, ReadBytes(folder / "card-1.tmp"));
        EXPECT_EQ((std::vector<std::string>{"card-1.tmp", "card.tmp", "card.vcf"}), folder.Names());
    }
}

}  // namespace
